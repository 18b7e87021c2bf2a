#pragma once

#include "runtime/Scheduler.h"

#include <QObject>

#include <functional>
#include <optional>

namespace qv {

// Hands a slider's values on to the model it drives. Outside a drag every value is
// applied at once. While dragging, a value is applied at once when nothing was applied
// within the last frame, else it waits for the end of that frame, where only the latest
// waiting value is applied: at most one apply per display frame, and the last value of
// a drag is always applied (at the latest when the drag ends or the coalescer goes).
class FrameCoalescer : public QObject {
    Q_OBJECT
public:
    explicit FrameCoalescer(std::function<void(double)> apply, QObject *parent = nullptr);
    ~FrameCoalescer() override;

    void submit(double value);
    void setDragging(bool dragging);
    bool isDragging() const { return m_dragging; }
    bool hasPending() const { return m_pending.has_value(); }

    // The length of one display frame, from the primary screen's refresh rate (16 ms
    // at 60 Hz; 60 Hz when the screen does not tell).
    static qint64 frameIntervalMs();

private:
    void startFrame();
    void flush();

    std::function<void(double)> m_apply;
    std::optional<double> m_pending;
    TaskHandle m_frame;
    bool m_dragging = false;
};

} // namespace qv
