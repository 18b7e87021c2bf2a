#include "design/Design.h"

#include "design/Theme.h"

#include <QGuiApplication>
#include <QQmlEngine>
#include <QQuickWindow>

void qml_register_types_Quellvista_Design();

namespace qv::design {

void prepareEngine(QQmlEngine &engine)
{
    static const bool registered = [] {
        qml_register_types_Quellvista_Design();
        return true;
    }();
    Q_UNUSED(registered)
    engine.addImportPath(QStringLiteral("qrc:/"));
}

void applyApplicationDefaults()
{
    QGuiApplication::setFont(Theme::bodyRegular());
    QQuickWindow::setTextRenderType(QQuickWindow::NativeTextRendering);
}

} // namespace qv::design
