#include "app/WindowFit.h"

#include "app/MainWindowModel.h"
#include "platform/desktop/WindowPlatform.h"

#include <QQuickWindow>
#include <QScreen>

#include <algorithm>

namespace qv {

WindowFit::WindowFit(QObject *parent)
    : QObject(parent), m_designed(MainWindowModel::minimumWidth(), MainWindowModel::minimumHeight()),
      m_minimum(m_designed), m_minimumHeld(WindowPlatform::nativeWayland())
{
    if (m_minimumHeld)
        m_minimum = QSize(0, 0);
}

void WindowFit::setWindow(QQuickWindow *window)
{
    if (m_window == window)
        return;
    if (m_window)
        disconnect(m_window, nullptr, this, nullptr);
    m_window = window;
    m_corrected.reset();
    if (window) {
        connect(window, &QWindow::screenChanged, this, &WindowFit::followScreen);
        // The frame's size is known once the window manager has framed the window, which
        // moves it: look again then, and whenever the window is shown or resized. A move
        // alone brings no correction (see fit()).
        for (auto signal : {&QWindow::xChanged, &QWindow::yChanged, &QWindow::widthChanged, &QWindow::heightChanged})
            connect(window, signal, this, &WindowFit::fit);
        connect(window, &QWindow::visibleChanged, this, [this] {
            // A window shown again is looked at afresh.
            if (!m_window->isVisible())
                m_corrected.reset();
            fit();
        });
    }
    emit windowChanged();
    followScreen();
}

void WindowFit::setDesignedMinimum(const QSize &size)
{
    if (m_designed == size)
        return;
    m_designed = size;
    fit();
}

void WindowFit::followScreen()
{
    if (m_screen)
        disconnect(m_screen, nullptr, this, nullptr);
    m_screen = m_window ? m_window->screen() : nullptr;
    if (m_screen) {
        connect(m_screen, &QScreen::availableGeometryChanged, this, &WindowFit::fit);
        connect(m_screen, &QScreen::geometryChanged, this, &WindowFit::fit);
    }
    fit();
}

QSize WindowFit::fittedMinimum(const QSize &designed, const QRect &workArea, const QMargins &frame)
{
    if (!workArea.isValid())
        return designed;
    const int width = workArea.width() - frame.left() - frame.right();
    const int height = workArea.height() - frame.top() - frame.bottom();
    return {std::min(designed.width(), std::max(width, kSmallest.width())),
            std::min(designed.height(), std::max(height, kSmallest.height()))};
}

QRect WindowFit::placedInside(const QRect &frameGeometry, const QRect &workArea)
{
    if (!workArea.isValid())
        return frameGeometry;
    QRect placed(frameGeometry.topLeft(),
                 frameGeometry.size().boundedTo(workArea.size()));
    placed.moveLeft(std::clamp(placed.left(), workArea.left(), workArea.right() + 1 - placed.width()));
    placed.moveTop(std::clamp(placed.top(), workArea.top(), workArea.bottom() + 1 - placed.height()));
    return placed;
}

QRect WindowFit::corrected(const QRect &frameGeometry, const QRect &workArea, const QRegion &desktop)
{
    if (!workArea.isValid())
        return frameGeometry;
    if ((QRegion(frameGeometry) - desktop).isEmpty())
        return frameGeometry;
    return placedInside(frameGeometry, workArea);
}

void WindowFit::fit()
{
    if (m_fitting)
        return;
    const QRect area = m_screen ? m_screen->availableGeometry() : QRect();
    const QMargins frame = m_window ? m_window->frameMargins() : QMargins();
    const QSize minimum = m_minimumHeld ? QSize(0, 0) : fittedMinimum(m_designed, area, frame);
    if (minimum != m_minimum) {
        m_minimum = minimum;
        emit minimumChanged();
    }
    if (!m_window || !m_window->isVisible() || !area.isValid())
        return;
    // One look for each screen, work area and frame: the window manager's answer to what
    // is done here, a user's drag and the window manager's own placement come back as
    // moves and resizes, and these are not corrected again. (When the window crosses to
    // another monitor, its move arrives before its change of screen.)
    const Basis basis{m_screen, area, frame};
    if (m_corrected == basis)
        return;
    m_corrected = basis;
    // A window that reaches beyond the work areas (it was opened on a larger screen, the
    // screen shrank, its monitor was switched off) is brought inside its screen's, made
    // smaller where it is larger.
    QRegion desktop;
    for (const QScreen *screen : m_screen->virtualSiblings())
        desktop += screen->availableGeometry();
    const QRect frameGeometry = m_window->frameGeometry();
    const QRect placed = corrected(frameGeometry, area, desktop);
    if (placed == frameGeometry)
        return;
    m_fitting = true;
    m_window->setMinimumSize(m_minimum);
    m_window->resize(placed.size().shrunkBy(frame));
    m_window->setFramePosition(placed.topLeft());
    m_fitting = false;
}

} // namespace qv
