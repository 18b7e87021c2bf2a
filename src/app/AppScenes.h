#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>

#include <memory>

class QQmlEngine;
#include <QQuickWindow>

namespace qv {

class MenuBarExtra;
class QuellvistaApp;
class X11WindowLoss;

// The application's two scenes: the window "main" and the menu-bar extra with its
// pop-over. The main window may be closed and opened again (the process, the tray and
// every model go on); each time it appears the appearance is applied, and the first time
// the launch setup runs. The pop-over opens beside the tray icon. A window whose native
// window was destroyed from outside (xdotool windowclose) is made anew when next shown.
// Ctrl+Q in any window of the application quits as "Quit Quellvista" does.
class AppScenes : public QObject {
    Q_OBJECT
public:
    // Gives the engine's pages the application's services (givePageServices).
    AppScenes(QuellvistaApp &app, QQmlEngine &engine, QObject *parent = nullptr);
    ~AppScenes() override;

    // The page models engine makes from now on follow app's break reminder, the session
    // history and app's update checker.
    static void givePageServices(QuellvistaApp &app, QQmlEngine &engine);

    // Creates the main window (shown) and the pop-over (hidden), and the tray icon when
    // withTray. False when a window could not be made.
    bool load(bool withTray = true);

    QQuickWindow *mainWindow() const { return m_main; }
    QQuickWindow *popoverWindow() const { return m_popover; }
    MenuBarExtra *menuBarExtra() const { return m_extra.get(); }

    // Shows, raises and activates the main window (during a break, the break panel takes
    // the keyboard and hands it to the window when the break ends).
    void showMainWindow();
    // Opens the pop-over by the icon (or the cursor when iconGeometry is empty), or closes
    // it when it is open. While open it keeps its place by the icon as its height follows
    // its content; Escape closes it.
    void togglePopover(const QRect &iconGeometry);
    void closePopover();

    // Where a pop-over of size goes: centred under an icon in the upper half of the screen
    // (above one in the lower half), else by the cursor; always inside the screen.
    static QPoint popoverPosition(const QRect &iconGeometry, const QSize &size, const QRect &screen,
                                  const QPoint &cursor);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QQuickWindow *create(const char *url);
    void placePopover();
    void mainWindowVisibilityChanged(bool visible);

    QuellvistaApp &m_app;
    QQmlEngine &m_engine;
    QPointer<QQuickWindow> m_main;
    QPointer<QQuickWindow> m_popover;
    std::unique_ptr<MenuBarExtra> m_extra;
    X11WindowLoss *m_windowLoss = nullptr;
    qint64 m_closedOnLeaveMs = -1;
    bool m_popoverLeftToBreak = false; // the open pop-over's keyboard went to a break panel
    // Where the open pop-over was asked for: the icon's place, and the cursor's.
    QRect m_popoverIcon;
    QPoint m_popoverCursor;
};

} // namespace qv
