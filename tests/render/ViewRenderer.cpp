#include "render/ViewRenderer.h"

#include "app/AppEngine.h"
#include "app/AppScenes.h"
#include "app/QuellvistaApp.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QMutex>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTimer>

#include <memory>

namespace qv::test {

namespace {
QMutex g_mutex;
QStringList g_warnings;
QtMessageHandler g_previous = nullptr;
int g_recorders = 0;

void record(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    // The offscreen platform (no display) says so of each window call it does without.
    const bool platformNotice = message.startsWith(QLatin1String("This plugin does not support"));
    if ((type == QtWarningMsg || type == QtCriticalMsg || type == QtFatalMsg) && !platformNotice) {
        QMutexLocker lock(&g_mutex);
        g_warnings << message;
    }
    if (g_previous)
        g_previous(type, context, message);
}

QByteArray componentSource(const QString &view)
{
    // "Quellvista.App/MainWindow" -> import Quellvista.App; MainWindow {}
    const qsizetype slash = view.indexOf(u'/');
    return QStringLiteral("import QtQuick\nimport %1\n%2 {}\n").arg(view.left(slash), view.mid(slash + 1)).toUtf8();
}

bool isTypeName(const QString &view)
{
    return !view.contains(u':') && !view.endsWith(QStringLiteral(".qml")) && view.count(u'/') == 1;
}
} // namespace

WarningRecorder::WarningRecorder()
{
    QMutexLocker lock(&g_mutex);
    if (g_recorders++ == 0) {
        g_warnings.clear();
        g_previous = qInstallMessageHandler(record);
    }
}

WarningRecorder::~WarningRecorder()
{
    QMutexLocker lock(&g_mutex);
    if (--g_recorders == 0)
        qInstallMessageHandler(g_previous);
}

QStringList WarningRecorder::warnings() const
{
    QMutexLocker lock(&g_mutex);
    return g_warnings;
}

RenderResult renderView(const ViewRequest &request)
{
    RenderResult result;
    WarningRecorder recorder;
    {
        QQmlEngine engine;
        prepareAppEngine(engine);
        // With an application (qv_render --app) its pages show its own models.
        if (QuellvistaApp *app = QuellvistaApp::current())
            AppScenes::givePageServices(*app, engine);
        std::unique_ptr<QQmlComponent> component;
        if (isTypeName(request.view)) {
            component = std::make_unique<QQmlComponent>(&engine);
            component->setData(componentSource(request.view), QUrl(QStringLiteral("qrc:/render/View.qml")));
        } else {
            QUrl url(request.view);
            if (url.isRelative() || url.scheme().size() <= 1)
                url = QUrl::fromLocalFile(QFileInfo(request.view).absoluteFilePath());
            component = std::make_unique<QQmlComponent>(&engine, url);
        }
        std::unique_ptr<QObject> root(component->create());
        if (!root) {
            result.error = component->errorString();
            return result;
        }
        std::unique_ptr<QQuickWindow> ownWindow;
        QQuickWindow *window = qobject_cast<QQuickWindow *>(root.get());
        if (!window) {
            auto *item = qobject_cast<QQuickItem *>(root.get());
            if (!item) {
                result.error = QStringLiteral("the view is neither a window nor an item");
                return result;
            }
            ownWindow = std::make_unique<QQuickWindow>();
            window = ownWindow.get();
            item->setParentItem(window->contentItem());
            item->setSize(request.size);
        }
        window->resize(request.size);
        window->setColor(Qt::transparent);
        window->show();

        // Wait for the first frames (the first polish paints the custom items).
        int frames = 0;
        QEventLoop loop;
        QObject::connect(window, &QQuickWindow::frameSwapped, &loop, [&] {
            if (++frames >= request.settleFrames)
                loop.quit();
            else
                window->update();
        });
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        window->update();
        loop.exec();
        result.image = window->grabWindow();
        window->hide();
        root.reset();
        ownWindow.reset();
    }
    result.warnings = recorder.warnings();
    return result;
}

} // namespace qv::test
