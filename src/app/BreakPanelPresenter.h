#pragma once

#include "platform/KeyMonitors.h"
#include "platform/Panels.h"
#include "runtime/Logging.h"
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
// keyboard of another application is left alone. Assistive technology is told that the
// panel came, as an alert named by its headline.
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
        QPointer<QWindow> keyboardReturn; // the window that had the keyboard before the panel
    };

    QQuickItem *createContent(BreakReminder &reminder, BreakOverlayModel *&model);
    void installEscMonitors(quint64 id, OpenPanel &open, BreakReminder &reminder);
    void giveKeyboard(OpenPanel &open, QWindow *returnTo);

    Logger m_logger{"BreakReminder"};
    std::unique_ptr<QQmlEngine> m_engine; // made for the first panel
    std::map<quint64, OpenPanel> m_panels;
    // Panels of ended breaks that keep the keyboard until the window it goes back to has it.
    std::vector<std::unique_ptr<Panel>> m_leaving;
    quint64 m_nextId = 1;
};

} // namespace qv
