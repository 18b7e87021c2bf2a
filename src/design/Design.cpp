#include "design/Design.h"

#include "design/AccessibleValue.h"
#include "design/KeyboardControl.h"
#include "design/RendererProbe.h"
#include "design/Theme.h"

#include <QGuiApplication>
#include <QSGRendererInterface>
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
    installAccessibleValues();
    installKeyboardActivation();
    engine.addImportPath(QStringLiteral("qrc:/"));
}

void applyApplicationDefaults()
{
    QGuiApplication::setFont(Theme::bodyRegular());
    QQuickWindow::setTextRenderType(QQuickWindow::NativeTextRendering);
}

bool chooseSceneGraphBackend()
{
    if (!qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND") || !qEnvironmentVariableIsEmpty("QSG_RHI_BACKEND"))
        return false;
    // Ask in a separate process: an OpenGL context opened here, even briefly, keeps
    // costing CPU for the life of the process with a software rasteriser. The answer is
    // remembered for as long as the display, the devices and the drivers stay the same.
    // Where no direct rendering is on offer the answer is known without asking.
    QString renderer;
    if (QGuiApplication::platformName() == QLatin1String("xcb") && !openGlIsSoftwareOnHere())
        renderer = openGlRenderer(openGlRendererCachePath(), openGlRendererKey(), &probeOpenGlRenderer);
    const bool software = renderer.isEmpty() || renderer.contains(QLatin1String("llvmpipe")) ||
                          renderer.contains(QLatin1String("softpipe")) ||
                          renderer.contains(QLatin1String("Software Rasterizer"), Qt::CaseInsensitive);
    if (software)
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    return software;
}

} // namespace qv::design
