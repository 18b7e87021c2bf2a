#include "app/WindowFit.h"

#include "app/MainWindowModel.h"
#include "runtime/Logging.h"

#include <QGuiApplication>
#include <QQuickWindow>
#include <QScreen>

#include <algorithm>
#include <utility>

namespace qv {

namespace {
const Logger &windowLog()
{
    static const Logger logger("Window");
    return logger;
}
} // namespace

WindowFit::WindowFit(QObject *parent)
    : QObject(parent), m_designed(MainWindowModel::minimumWidth(), MainWindowModel::minimumHeight()),
      m_minimum(m_designed), m_minimumHeld(QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
{
    if (m_minimumHeld)
        m_minimum = QSize(0, 0);
    // A monitor switched off or on changes the desktop around a window whose own screen stays.
    if (qGuiApp) {
        connect(qGuiApp, &QGuiApplication::screenAdded, this, &WindowFit::fitSoon);
        connect(qGuiApp, &QGuiApplication::screenRemoved, this, &WindowFit::fitSoon);
    }
}

void WindowFit::setWindow(QQuickWindow *window)
{
    if (m_window == window)
        return;
    if (m_window)
        disconnect(m_window, nullptr, this, nullptr);
    m_window = window;
    m_lookedAt.reset();
    if (window) {
        // The frame's size is known once the window manager has framed the window, which
        // moves it: look again then, and whenever the window is shown, resized or changes
        // its screen. A move alone brings no correction (see correction()).
        connect(window, &QWindow::screenChanged, this, &WindowFit::fitSoon);
        for (auto signal : {&QWindow::xChanged, &QWindow::yChanged, &QWindow::widthChanged, &QWindow::heightChanged})
            connect(window, signal, this, &WindowFit::fitSoon);
        connect(window, &QWindow::visibleChanged, this, [this] {
            // A window shown again is looked at afresh.
            if (!m_window->isVisible())
                m_lookedAt.reset();
            fitSoon();
        });
    }
    emit windowChanged();
    fit();
}

void WindowFit::setDesignedMinimum(const QSize &size)
{
    if (m_designed == size)
        return;
    m_designed = size;
    fit();
}

void WindowFit::fitSoon()
{
    if (std::exchange(m_fitSoon, true))
        return;
    QMetaObject::invokeMethod(this, &WindowFit::fit, Qt::QueuedConnection);
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

std::optional<QRect> WindowFit::correction(const Desktop &desktop, const QRect &workArea, const QRect &frameGeometry)
{
    // The window manager's answer to a correction comes as moves and resizes, and may take
    // the window through other screens on its way (a window whose middle lies beyond every
    // screen belongs to whichever it overlaps): on the same desktop none of these is
    // answered again.
    if (m_lookedAt == desktop)
        return std::nullopt;
    m_lookedAt = desktop;
    QRegion areas;
    for (const QRect &area : desktop.workAreas)
        areas += area;
    const QRect placed = corrected(frameGeometry, workArea, areas);
    if (placed == frameGeometry)
        return std::nullopt;
    return placed;
}

void WindowFit::fit()
{
    m_fitSoon = false;
    QScreen *screen = m_window ? m_window->screen() : nullptr;
    if (screen != m_screen) {
        if (m_screen)
            disconnect(m_screen, nullptr, this, nullptr);
        m_screen = screen;
        if (screen) {
            connect(screen, &QScreen::availableGeometryChanged, this, &WindowFit::fitSoon);
            connect(screen, &QScreen::geometryChanged, this, &WindowFit::fitSoon);
        }
    }
    const QRect area = screen ? screen->availableGeometry() : QRect();
    const QMargins frame = m_window ? m_window->frameMargins() : QMargins();
    const QSize minimum = m_minimumHeld ? QSize(0, 0) : fittedMinimum(m_designed, area, frame);
    if (minimum != m_minimum) {
        m_minimum = minimum;
        emit minimumChanged();
    }
    if (!m_window || !m_window->isVisible() || !area.isValid())
        return;
    Desktop desktop{{}, frame};
    for (const QScreen *sibling : screen->virtualSiblings())
        desktop.workAreas << sibling->availableGeometry();
    const QRect frameGeometry = m_window->frameGeometry();
    const std::optional<QRect> placed = correction(desktop, area, frameGeometry);
    if (!placed)
        return;
    const bool larger = std::ranges::all_of(desktop.workAreas, [&](const QRect &workArea) {
        return frameGeometry.width() > workArea.width() || frameGeometry.height() > workArea.height();
    });
    windowLog().info("The window \"%s\" (%d x %d at %d, %d with its frame) %s: fitted into the work area of %s, "
                     "%d x %d at %d, %d",
                     qUtf8Printable(m_window->title()), frameGeometry.width(), frameGeometry.height(),
                     frameGeometry.x(), frameGeometry.y(),
                     larger ? "is larger than every screen" : "reaches beyond the screens",
                     qUtf8Printable(screen->name()), placed->width(), placed->height(), placed->x(), placed->y());
    m_window->setMinimumSize(m_minimum);
    m_window->resize(placed->size().shrunkBy(frame));
    m_window->setFramePosition(placed->topLeft());
}

} // namespace qv
