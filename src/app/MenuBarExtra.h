#pragma once

#include "runtime/Scheduler.h"

#include <QHash>
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QRect>

#include <functional>
#include <memory>

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

// Pictures of the eye for the tray, painted once per symbol, opacity step and appearance
// and then reused: the pulse only picks among cached pictures.
class MenuBarIconCache {
public:
    // Opacity is rounded to steps of 1/kOpacitySteps.
    static constexpr int kOpacitySteps = 20;
    static constexpr int kPixels = 44;

    QIcon icon(const QString &symbolName, double opacity, bool dark);
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

    MenuBarIconUpdater(MenuBarLabel &label, std::function<bool()> isDark, Sink sink, QObject *parent = nullptr);

    // Hands the current state over now.
    void refresh();
    // A change: handed over now or after the gap.
    void schedule();
    int handOverCount() const { return m_handOvers; }
    const MenuBarIconCache &cache() const { return m_cache; }

private:
    MenuBarLabel &m_label;
    std::function<bool()> m_isDark;
    Sink m_sink;
    MenuBarIconCache m_cache;
    TaskHandle m_pending;
    qint64 m_lastHandOverMs = -kMinimumGapMs;
    QString m_lastKey;
    int m_handOvers = 0;
};

// The menu-bar extra on this desktop: a system-tray icon drawn from the label. Clicking
// it asks for the pop-over with the icon's place on screen (empty when the tray does not
// tell). Without a tray host it logs so and stays hidden until one starts (on X11 the
// tray's manager selection is watched), the usual order at login; the main window stays
// reachable by starting the program again. A tray host that replaces another gets the
// icon too.
class MenuBarExtra : public QObject {
    Q_OBJECT
public:
    explicit MenuBarExtra(QuellvistaApp &app, QObject *parent = nullptr);
    ~MenuBarExtra() override;

    bool isShown() const;
    MenuBarLabel &label() { return *m_label; }

signals:
    void popoverRequested(const QRect &iconGeometry);

private:
    void addIcon();

    std::unique_ptr<MenuBarLabel> m_label;
    std::unique_ptr<X11SelectionWatch> m_trayWatch;
    std::unique_ptr<QSystemTrayIcon> m_tray;
    std::unique_ptr<MenuBarIconUpdater> m_updater;
};

} // namespace qv
