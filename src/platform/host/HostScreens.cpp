#include "platform/host/HostScreens.h"

#include "platform/host/HostDisplays.h"

#include <QGuiApplication>
#include <QScreen>

namespace qv {

HostScreens::HostScreens(HostDisplays *displays, QObject *parent) : Screens(parent), m_displays(displays)
{
    auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    if (!app)
        return;
    for (QScreen *screen : QGuiApplication::screens())
        watch(screen);
    connect(app, &QGuiApplication::screenAdded, this, [this](QScreen *screen) {
        watch(screen);
        // The toolkit may hear of a new output before the display services' own events
        // arrive: they look again, so that the screen is listed with its mode at once.
        if (m_displays && !m_displays->displayForOutputName(screen->name()))
            m_displays->reloadConfiguration();
        emit parametersChanged();
    });
    // A screen that goes is still listed while the signal runs: report on the next turn.
    connect(app, &QGuiApplication::screenRemoved, this, [this] {
        QMetaObject::invokeMethod(this, &Screens::parametersChanged, Qt::QueuedConnection);
    });
    connect(app, &QGuiApplication::primaryScreenChanged, this, &Screens::parametersChanged);
}

void HostScreens::watch(QScreen *screen)
{
    connect(screen, &QScreen::geometryChanged, this, &Screens::parametersChanged);
    connect(screen, &QScreen::availableGeometryChanged, this, &Screens::parametersChanged);
}

QList<ScreenInfo> HostScreens::screens()
{
    QList<ScreenInfo> list;
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return list;
    // The primary screen comes first, as the main screen does on the system the models know.
    QList<QScreen *> screens = QGuiApplication::screens();
    if (QScreen *primary = QGuiApplication::primaryScreen(); primary && screens.indexOf(primary) > 0)
        screens.move(screens.indexOf(primary), 0);
    for (QScreen *screen : std::as_const(screens)) {
        ScreenInfo info;
        if (m_displays)
            info.displayNumber = m_displays->displayForOutputName(screen->name());
        if (info.displayNumber)
            info.localizedName = m_displays->screenName(*info.displayNumber);
        info.frame = QRectF(screen->geometry());
        info.visibleFrame = QRectF(screen->availableGeometry());
        info.backingScaleFactor = screen->devicePixelRatio();
        list << info;
    }
    return list;
}

} // namespace qv
