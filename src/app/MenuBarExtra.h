#pragma once

#include "runtime/Scheduler.h"

#include <QHash>
#include <QColor>
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QRect>

#include <functional>
#include <memory>
#include <optional>

class QSystemTrayIcon;

namespace qv {

class QuellvistaApp;
class X11SelectionWatch;

// What the menu-bar eye shows: "eye.slash" during a break, else "eye", at the blinker's
// opacity, and the countdown while "showBreakTimer" and break reminders are both on.
// A tray icon has no room for text beside it, so the countdown goes into its tooltip.
class MenuBarLabel : public QObject {
    Q_OBJECT
public:
    explicit MenuBarLabel(QuellvistaApp &app, QObject *parent = nullptr);

    QString symbolName() const;
    double opacity() const;
    // "%d:%02d" of the time until the break; empty when not shown.
    QString countdownText() const;
    QString toolTip() const;

signals:
    void changed();

private:
    QuellvistaApp &m_app;
};

// How the eye is drawn on the tray's panel, whatever the application's own appearance:
// in the colour the tray host asks its icons for, else in the text colour of the desktop's
// colour scheme, else light with a dark outline, which reads on a light panel and on a
// dark one alike.
struct TrayEyeStyle {
    QColor fill;
    QColor outline; // invalid: none

    static TrayEyeStyle choose(const std::optional<QColor> &trayForeground, const std::optional<bool> &desktopDark);
    QString key() const;
    bool operator==(const TrayEyeStyle &) const = default;
};

// Pictures of the eye for the tray, painted once per symbol, opacity step and style and
// then reused: the pulse only picks among cached pictures.
class MenuBarIconCache {
public:
    // Opacity is rounded to steps of 1/kOpacitySteps.
    static constexpr int kOpacitySteps = 20;
    static constexpr int kPixels = 44;

    QIcon icon(const QString &symbolName, double opacity, const TrayEyeStyle &style);
    int paintCount() const { return m_paintCount; }

private:
    QHash<QString, QIcon> m_icons;
    int m_paintCount = 0;
};

// Hands the label's picture and tooltip to a sink (the tray icon) at most ten times a
// second: a change inside 100 ms of the last hand-over waits for the rest of the 100 ms,
// and changes in between merge into one.
class MenuBarIconUpdater : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 kMinimumGapMs = 100;
    using Sink = std::function<void(const QIcon &icon, const QString &toolTip)>;

    MenuBarIconUpdater(MenuBarLabel &label, std::function<TrayEyeStyle()> style, Sink sink, QObject *parent = nullptr);

    // Hands the current state over now.
    void refresh();
    // A change: handed over now or after the gap.
    void schedule();
    int handOverCount() const { return m_handOvers; }
    const MenuBarIconCache &cache() const { return m_cache; }

private:
    MenuBarLabel &m_label;
    std::function<TrayEyeStyle()> m_style;
    Sink m_sink;
    MenuBarIconCache m_cache;
    TaskHandle m_pending;
    qint64 m_lastHandOverMs = -kMinimumGapMs;
    QString m_lastKey;
    int m_handOvers = 0;
};

// The menu-bar extra on this desktop: a system-tray icon drawn from the label. Clicking
// it asks for the pop-over with the icon's place on screen (empty when the tray does not
// tell). Without a tray host it logs so and stays hidden until one starts (the tray's
// manager selection on X11, the StatusNotifier watcher on the session bus), the usual
// order at login; the main window stays
// reachable by starting the program again. A tray host that replaces another gets the
// icon too.
class MenuBarExtra : public QObject {
    Q_OBJECT
public:
    explicit MenuBarExtra(QuellvistaApp &app, QObject *parent = nullptr);
    ~MenuBarExtra() override;

    bool isShown() const;
    MenuBarLabel &label() { return *m_label; }
    // How the eye is drawn now.
    TrayEyeStyle eyeStyle() const { return m_style; }

signals:
    void popoverRequested(const QRect &iconGeometry);

private:
    void addIcon();
    // A tray host appeared while there was no icon.
    void trayStarted();
    void createTrayIcon();
    // Looks, a while after a tray host took over, whether the icon docked in it; makes it
    // afresh when not, and looks again.
    void checkDockedLater(int attemptsLeft);
    // Asks the tray host and the desktop again how the eye is drawn.
    void updateStyle();

    std::unique_ptr<MenuBarLabel> m_label;
    std::unique_ptr<X11SelectionWatch> m_trayWatch;
    std::unique_ptr<QSystemTrayIcon> m_tray;
    std::unique_ptr<MenuBarIconUpdater> m_updater;
    TrayEyeStyle m_style;
    TaskHandle m_dockCheck;
};

} // namespace qv
