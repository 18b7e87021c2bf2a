#pragma once

#include <QObject>

class QWindow;

namespace qv {

// Whether a window of ours is out of sight beyond what its exposure says: wholly under
// other windows where a compositing manager keeps it exposed, or on a blanked screen.
class WindowSight : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~WindowSight() override = default;

    // Starts following the window (once is enough); returns whether it is out of sight now.
    virtual bool isOutOfSight(QWindow *window) = 0;

signals:
    // The window went out of sight or came into view again.
    void outOfSightChanged(QWindow *window);
};

} // namespace qv
