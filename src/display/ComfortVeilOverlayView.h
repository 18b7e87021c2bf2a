#pragma once

#include "display/ComfortVeilState.h"

#include <QObject>
#include <QRectF>

namespace qv {

// The content of one comfort-veil panel: the state it paints over its whole area.
// The controller assigns a new state only when it differs and then marks the view as
// needing display.
class ComfortVeilOverlayView : public QObject {
    Q_OBJECT
public:
    explicit ComfortVeilOverlayView(const QRectF &frame, QObject *parent = nullptr)
        : QObject(parent), m_frame(frame)
    {
    }

    static constexpr int kAutoresizingMask = 18; // width and height sizable

    QRectF frame() const { return m_frame; }
    const ComfortVeilState &state() const { return m_state; }
    void setState(const ComfortVeilState &state) { m_state = state; }

    void setNeedsDisplay()
    {
        ++m_displayRequests;
        emit needsDisplay();
    }
    // How often the view was marked as needing display.
    int displayRequestCount() const { return m_displayRequests; }

signals:
    void needsDisplay();

private:
    QRectF m_frame;
    ComfortVeilState m_state;
    int m_displayRequests = 0;
};

} // namespace qv
