#pragma once

#include "platform/KeyMonitors.h"
#include "platform/Panels.h"
#include "runtime/Logging.h"
#include "runtime/Scheduler.h"
#include "wellness/BreakPresenter.h"

#include <QObject>
#include <QPointer>

#include <map>
#include <memory>
#include <vector>

class QQmlEngine;
class QQuickItem;
class QWindow;

namespace qv {

class BreakOverlayModel;

// Shows breaks to the user: the full-screen break panel over the main screen, which
// catches clicks and ends the break on Esc (pressed in this application or in any other),
// and the break notification. A break that begins while one of the application's own
// windows has the keyboard gives it to the panel (Tab reaches "Skip Break", and no key
// acts on the window behind it), and the window gets it back when the break ends; the
// keyboard of another application is left alone; while the break lasts, a window of ours
// that comes under the panel and is given the keyboard (by the window manager, as it maps
// the main window of a second start) leaves it to the panel. Assistive technology is told
// that the panel came, as an alert named by its headline. A panel that goes is freed on the
// next turn of the event loop: it may go inside a signal that reports on its window.
class BreakPanelPresenter final : public QObject, public BreakPresenter {
    Q_OBJECT
public:
    static constexpr const char *kNotificationIdentifier = "breakReminder";

    explicit BreakPanelPresenter(QObject *parent = nullptr);
    ~BreakPanelPresenter() override;

    void requestNotificationAuthorization() override;
    quint64 showBreakOverlay(BreakReminder &reminder) override;
    void removeEscMonitors(quint64 panel) override;
    void closeBreakOverlay(quint64 panel) override;
    void sendBreakNotification(BreakReminder &reminder) override;

    // While a panel shows, it takes the keyboard (the main window brought up during a
    // break comes under the panel) and `returnTo` gets it back when the break ends. False
    // when no panel shows.
    bool takeKeyboard(QWindow *returnTo);
    // Whether a break panel (that of the running break, or one handing the keyboard back)
    // has the keyboard and gives it back to window when the break ends.
    bool keepsKeyboardFor(const QWindow *window) const;

    static QString notificationTitle() { return QStringLiteral("Time to look away"); }
    static QString notificationBody(int lookAwayDistanceFeet, int breakDurationSeconds);
    // A full-screen panel over the screen that catches clicks.
    static PanelConfiguration panelConfiguration(const ScreenInfo &screen);

    // The view shown in a panel (tests).
    QQuickItem *content(quint64 panel) const;
    BreakOverlayModel *model(quint64 panel) const;

private:
    struct OpenPanel {
        std::unique_ptr<Panel> panel;
        QQuickItem *content = nullptr; // owned by the panel
        BreakOverlayModel *model = nullptr; // owned by the content
        KeyMonitors *keys = nullptr; // the service the monitors were installed with
        KeyMonitors::MonitorToken escMonitor = 0;
        KeyMonitors::MonitorToken globalEscMonitor = 0;
        bool monitorsOn = false;
        bool tookKeyboard = false;
        int takenBack = 0; // times a window under the panel was given the keyboard and lost it
        QPointer<QWindow> keyboardReturn; // the window that had the keyboard before the panel
    };
    // The panel of an ended break that keeps the keyboard until the window it goes back to
    // has it.
    struct LeavingPanel {
        quint64 id = 0;
        std::unique_ptr<Panel> panel;
        QPointer<QWindow> returnTo;
        QMetaObject::Connection focusWatch;
        TaskHandle fallback;
    };

    QQuickItem *createContent(BreakReminder &reminder, BreakOverlayModel *&model);
    void installEscMonitors(quint64 id, OpenPanel &open, BreakReminder &reminder);
    void giveKeyboard(OpenPanel &open, QWindow *returnTo);
    void focusMoved(QWindow *window);
    void finishLeaving(quint64 id);
    // Off the screen now, freed on the next turn.
    void release(std::unique_ptr<Panel> panel);

    Logger m_logger{"BreakReminder"};
    std::unique_ptr<QQmlEngine> m_engine; // made for the first panel
    std::map<quint64, OpenPanel> m_panels;
    std::vector<LeavingPanel> m_leaving;
    std::vector<std::unique_ptr<Panel>> m_released; // off the screen, freed on the next turn
    TaskHandle m_freeReleased;
    quint64 m_nextId = 1;
};

} // namespace qv
