#include "platform/host/HostScreens.h"

#include "platform/host/HostDisplays.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <cmath>

namespace qv {

HostScreens::HostScreens(HostDisplays *displays, QObject *parent) : Screens(parent), m_displays(displays)
{
    // Outputs the display services learn of later (a compositor's list comes after the
    // screens) give screens their numbers then.
    if (m_displays)
        m_callback = m_displays->registerReconfigurationCallback([this](DisplayId, quint32) { displaysChanged(); });
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

HostScreens::~HostScreens()
{
    if (m_displays && m_callback >= 0)
        m_displays->removeReconfigurationCallback(m_callback);
}

void HostScreens::watch(QScreen *screen)
{
    connect(screen, &QScreen::geometryChanged, this, &Screens::parametersChanged);
    connect(screen, &QScreen::availableGeometryChanged, this, &Screens::parametersChanged);
}

void HostScreens::displaysChanged()
{
    // One report for the changes of one reading.
    if (std::exchange(m_changePending, true))
        return;
    QTimer::singleShot(0, this, [this] {
        m_changePending = false;
        emit parametersChanged();
    });
}

QList<int> HostScreens::match(const QList<Shape> &screens, const QList<Shape> &displays)
{
    QList<int> matched(screens.size(), -1);
    QList<bool> taken(displays.size(), false);
    const auto pass = [&](const std::function<bool(const Shape &, const Shape &)> &same) {
        for (int s = 0; s < screens.size(); ++s) {
            if (matched[s] >= 0)
                continue;
            for (int d = 0; d < displays.size(); ++d) {
                if (!taken[d] && same(screens[s], displays[d])) {
                    matched[s] = d;
                    taken[d] = true;
                    break;
                }
            }
        }
    };
    pass([](const Shape &screen, const Shape &display) { return !screen.name.isEmpty() && screen.name == display.name; });
    pass([](const Shape &screen, const Shape &display) {
        if (screen.geometry.topLeft() != display.geometry.topLeft())
            return false;
        const QSize pixels(int(std::lround(screen.geometry.width() * screen.pixelRatio)),
                           int(std::lround(screen.geometry.height() * screen.pixelRatio)));
        return screen.geometry.size() == display.geometry.size() || pixels == display.geometry.size();
    });
    pass([](const Shape &screen, const Shape &display) { return screen.geometry.topLeft() == display.geometry.topLeft(); });
    if (matched.count(-1) == 1 && taken.count(false) == 1)
        matched[matched.indexOf(-1)] = int(taken.indexOf(false));
    return matched;
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
    QList<Shape> screenShapes;
    for (QScreen *screen : std::as_const(screens))
        screenShapes << Shape{screen->name(), screen->geometry(), screen->devicePixelRatio()};
    QList<DisplayId> ids;
    QList<Shape> displayShapes;
    if (m_displays) {
        ids = m_displays->activeDisplays();
        for (DisplayId id : std::as_const(ids))
            displayShapes << Shape{m_displays->outputName(id), m_displays->outputGeometry(id), 1.0};
    }
    const QList<int> matched = match(screenShapes, displayShapes);
    for (int i = 0; i < screens.size(); ++i) {
        const QScreen *screen = screens.at(i);
        ScreenInfo info;
        if (matched.at(i) >= 0) {
            info.displayNumber = ids.at(matched.at(i));
            info.localizedName = m_displays->screenName(*info.displayNumber);
        }
        info.frame = QRectF(screen->geometry());
        info.visibleFrame = QRectF(screen->availableGeometry());
        info.backingScaleFactor = screen->devicePixelRatio();
        list << info;
    }
    // Said once per display while the process runs: the overlays leave it bare.
    for (int d = 0; d < ids.size(); ++d) {
        if (matched.contains(d) || m_toldWithoutScreen.contains(ids.at(d)))
            continue;
        m_toldWithoutScreen.insert(ids.at(d));
        m_log.error("The display on %s (%d,%d %dx%d) has no screen of the windowing system: overlays do not cover it",
                    qUtf8Printable(displayShapes.at(d).name), displayShapes.at(d).geometry.x(),
                    displayShapes.at(d).geometry.y(), displayShapes.at(d).geometry.width(),
                    displayShapes.at(d).geometry.height());
    }
    return list;
}

} // namespace qv
