#include "app/MenuBarExtra.h"

#include "app/QuellvistaApp.h"
#include "design/SystemSymbol.h"
#include "design/Theme.h"
#include "platform/Appearance.h"
#include "platform/Platform.h"
#include "platform/desktop/TrayHostColours.h"
#include "platform/desktop/X11SelectionWatch.h"
#include "runtime/Logging.h"
#include "runtime/StoredSetting.h"
#include "wellness/BreakReminder.h"
#include "wellness/MenuBarBlinker.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>
#include <QWidget>
#include <QFont>
#include <QPainterPath>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

#include <cmath>

namespace qv {

namespace {
const Logger &menuBarExtraLog()
{
    static const Logger logger("MenuBar");
    return logger;
}
} // namespace

// ---- label ----

MenuBarLabel::MenuBarLabel(QuellvistaApp &app, QObject *parent) : QObject(parent), m_app(app)
{
    BreakReminder &reminder = app.breakReminder();
    connect(&reminder, &BreakReminder::isOnBreakChanged, this, &MenuBarLabel::changed);
    connect(&reminder, &BreakReminder::isEnabledChanged, this, &MenuBarLabel::changed);
    connect(&reminder, &BreakReminder::secondsUntilBreakChanged, this, &MenuBarLabel::changed);
    connect(&app.menuBarBlinker(), &MenuBarBlinker::opacityChanged, this, &MenuBarLabel::changed);
    connect(app.showBreakTimer(), &StoredSetting::valueChanged, this, &MenuBarLabel::changed);
}

QString MenuBarLabel::symbolName() const
{
    return m_app.breakReminder().isOnBreak() ? QStringLiteral("eye.slash") : QStringLiteral("eye");
}

double MenuBarLabel::opacity() const
{
    return m_app.menuBarBlinker().opacity();
}

QString MenuBarLabel::countdownText() const
{
    if (!m_app.showBreakTimer()->value().toBool() || !m_app.breakReminder().isEnabled())
        return {};
    return m_app.breakReminder().formattedTimeUntilBreak();
}

QString MenuBarLabel::toolTip() const
{
    const QString countdown = countdownText();
    return countdown.isEmpty() ? QStringLiteral("Quellvista") : QStringLiteral("Quellvista — %1").arg(countdown);
}

// ---- icon cache ----

TrayEyeStyle TrayEyeStyle::choose(const std::optional<QColor> &trayForeground, const std::optional<bool> &desktopDark)
{
    if (trayForeground && trayForeground->isValid())
        return {*trayForeground, QColor()};
    if (desktopDark)
        return {Theme::adaptive(ColorToken::textPrimary).resolve(*desktopDark), QColor()};
    return {Theme::adaptive(ColorToken::textPrimary).resolve(true), Theme::adaptive(ColorToken::textPrimary).resolve(false)};
}

QString TrayEyeStyle::key() const
{
    return fill.name(QColor::HexArgb) + u'/' + (outline.isValid() ? outline.name(QColor::HexArgb) : QString());
}

QIcon MenuBarIconCache::icon(const QString &symbolName, double opacity, const TrayEyeStyle &style)
{
    const int step = int(std::lround(std::clamp(opacity, 0.0, 1.0) * kOpacitySteps));
    const QString key = QStringLiteral("%1/%2/%3").arg(symbolName).arg(step).arg(style.key());
    auto found = m_icons.constFind(key);
    if (found != m_icons.constEnd())
        return *found;

    QPixmap pixmap(kPixels, kPixels);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        QFont font(SystemSymbol::fontFamily());
        const QString glyph = SystemSymbol::glyph(symbolName);
        painter.setOpacity(double(step) / kOpacitySteps);
        if (!style.outline.isValid()) {
            font.setPixelSize(int(kPixels * 0.86));
            painter.setFont(font);
            painter.setPen(style.fill);
            painter.drawText(pixmap.rect(), Qt::AlignCenter, glyph);
        } else {
            // A little smaller, to leave room for the outline inside the picture.
            font.setPixelSize(int(kPixels * 0.78));
            QPainterPath path;
            path.addText(0, 0, font, glyph);
            path.translate(QRectF(pixmap.rect()).center() - path.boundingRect().center());
            painter.strokePath(path, QPen(style.outline, kPixels * 0.09, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            painter.fillPath(path, style.fill);
        }
    }
    ++m_paintCount;
    QIcon icon(pixmap);
    m_icons.insert(key, icon);
    return icon;
}

// ---- updater ----

MenuBarIconUpdater::MenuBarIconUpdater(MenuBarLabel &label, std::function<TrayEyeStyle()> style, Sink sink,
                                       QObject *parent)
    : QObject(parent), m_label(label), m_style(std::move(style)), m_sink(std::move(sink))
{
    connect(&label, &MenuBarLabel::changed, this, &MenuBarIconUpdater::schedule);
}

void MenuBarIconUpdater::refresh()
{
    m_pending.cancel();
    m_pending = TaskHandle();
    m_lastHandOverMs = scheduler().monotonicMs();
    const TrayEyeStyle style = m_style();
    const QIcon icon = m_cache.icon(m_label.symbolName(), m_label.opacity(), style);
    const QString toolTip = m_label.toolTip();
    // Nothing new to show (the pulse moved within one opacity step): the tray is left alone.
    const QString key = QStringLiteral("%1|%2|%3").arg(icon.cacheKey()).arg(toolTip, style.key());
    if (key == m_lastKey)
        return;
    m_lastKey = key;
    ++m_handOvers;
    m_sink(icon, toolTip);
}

void MenuBarIconUpdater::schedule()
{
    if (m_pending.isActive())
        return;
    const qint64 since = scheduler().monotonicMs() - m_lastHandOverMs;
    if (since >= kMinimumGapMs) {
        refresh();
        return;
    }
    m_pending = scheduler().after(kMinimumGapMs - since, this, [this] { refresh(); });
}

// ---- tray ----

namespace {
// How long after a tray host took over the icon must be in it, and how often it is made
// afresh when it is not.
constexpr qint64 kDockCheckDelayMs = 2000;
constexpr int kDockAttempts = 5;
} // namespace

MenuBarExtra::MenuBarExtra(QuellvistaApp &app, QObject *parent)
    : QObject(parent), m_label(std::make_unique<MenuBarLabel>(app)),
      m_trayWatch(std::make_unique<X11SelectionWatch>("_NET_SYSTEM_TRAY_S0"))
{
    connect(m_trayWatch.get(), &X11SelectionWatch::ownerChanged, this, [this](quint32 owner) {
        if (!owner)
            return;
        updateStyle();
        // Once made, the icon docks in each tray host that takes over by itself; that it
        // did is checked, as a slow start can miss the new host.
        if (!m_tray)
            trayStarted();
        else
            checkDockedLater(kDockAttempts);
    });
    // The tray host may publish its colours after it took the selection, or change them.
    connect(m_trayWatch.get(), &X11SelectionWatch::ownerPropertyChanged, this, [this] {
        if (m_tray)
            updateStyle();
    });
    // A StatusNotifier tray (a Wayland panel's, or KDE's) has a watcher on the session bus.
    // Qt picks that tray or the X11 one once, at the first question about a tray: none is
    // asked before either is there, so that one starting later is the one the icon goes to.
    const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
    QDBusConnection bus = QDBusConnection::sessionBus();
    const bool watching = bus.isConnected() || m_trayWatch->isWatching();
    if (bus.isConnected()) {
        auto *watch = new QDBusServiceWatcher(watcher, bus, QDBusServiceWatcher::WatchForRegistration, this);
        connect(watch, &QDBusServiceWatcher::serviceRegistered, this, [this] {
            if (!m_tray)
                trayStarted();
        });
    }
    const bool statusNotifier = bus.isConnected() && bus.interface()->isServiceRegistered(watcher).value();
    if ((!statusNotifier && !m_trayWatch->owner()) || !QSystemTrayIcon::isSystemTrayAvailable()) {
        menuBarExtraLog().error(watching ? "No system tray is available yet; the icon is added when one starts (start "
                                           "Quellvista again to bring up its window)"
                                         : "No system tray is available; start Quellvista again to bring up its window");
        return;
    }
    addIcon();
}

void MenuBarExtra::trayStarted()
{
    // Qt may have chosen the other kind of tray before: the icon goes only where it can.
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        menuBarExtraLog().error("A system tray started that this program cannot put its icon in");
        return;
    }
    menuBarExtraLog().info("A system tray started: the icon is added to it");
    addIcon();
}

void MenuBarExtra::updateStyle()
{
    // The desktop is asked only when the tray host says nothing.
    const std::optional<QColor> trayColour = trayHostForeground(m_trayWatch->owner());
    Appearance *appearance = platform().appearance;
    const std::optional<bool> desktopDark = appearance ? appearance->desktopPreference() : std::nullopt;
    const TrayEyeStyle style = TrayEyeStyle::choose(trayColour, trayColour ? std::nullopt : desktopDark);
    if (style == m_style)
        return;
    m_style = style;
    if (m_updater)
        m_updater->schedule();
}

void MenuBarExtra::addIcon()
{
    updateStyle();
    // The desktop's colour scheme as the appearance service reads it.
    if (Appearance *appearance = platform().appearance)
        connect(appearance, &Appearance::systemAppearanceChanged, this, &MenuBarExtra::updateStyle,
                Qt::UniqueConnection);
    createTrayIcon();
}

void MenuBarExtra::checkDockedLater(int attemptsLeft)
{
    m_dockCheck.cancel();
    const quint32 owner = m_trayWatch->owner();
    m_dockCheck = scheduler().after(kDockCheckDelayMs, this, [this, owner, attemptsLeft] {
        if (!m_tray || !owner || m_trayWatch->owner() != owner)
            return; // gone again: its successor is checked
        // Qt's own window for the icon; there may briefly be an old one beside it.
        std::optional<bool> docked;
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (qstrcmp(widget->metaObject()->className(), "QSystemTrayIconSys") != 0 || !widget->internalWinId())
                continue;
            const std::optional<bool> shown = isEmbeddedAndShown(widget->internalWinId());
            if (shown)
                docked = docked.value_or(false) || *shown;
        }
        if (docked.value_or(true))
            return;
        menuBarExtraLog().info("The icon did not reach the system tray that started; it is added again");
        m_updater.reset();
        m_tray.reset();
        createTrayIcon();
        // Qt may still hold the tray that went as the one to dock in: the new icon asks the
        // tray that owns the selection now itself.
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (qstrcmp(widget->metaObject()->className(), "QSystemTrayIconSys") == 0 && widget->internalWinId() &&
                !isEmbeddedAndShown(widget->internalWinId()).value_or(true)) {
                requestTrayDock(owner, widget->internalWinId());
                widget->show();
            }
        }
        if (attemptsLeft > 1)
            checkDockedLater(attemptsLeft - 1);
    });
}

void MenuBarExtra::createTrayIcon()
{
    m_tray = std::make_unique<QSystemTrayIcon>();
    QSystemTrayIcon *tray = m_tray.get();
    m_updater = std::make_unique<MenuBarIconUpdater>(
        *m_label, [this] { return m_style; },
        [tray, shownIcon = qint64(0)](const QIcon &icon, const QString &toolTip) mutable {
            // The tray paints its icon anew on every setIcon: a countdown that moves only
            // the tool tip leaves the picture alone.
            if (icon.cacheKey() != shownIcon) {
                shownIcon = icon.cacheKey();
                tray->setIcon(icon);
            }
            tray->setToolTip(toolTip);
        });
    m_updater->refresh();
    connect(tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            emit popoverRequested(m_tray->geometry());
    });
    tray->show();
}

MenuBarExtra::~MenuBarExtra() = default;

bool MenuBarExtra::isShown() const
{
    return m_tray && m_tray->isVisible();
}

} // namespace qv
