#pragma once

#include "platform/FaceLandmarks.h"
#include "runtime/Scheduler.h"

#include <QImage>
#include <QObject>

namespace qv {

class SimCamera;
class SimFaceLandmarks;

// Someone in front of the simulated camera, for running the application without one
// (the machine description's "camera": {"script": "blinking"}): while a capture session
// runs, a frame every 72 ms (about 14 a second), and a face that looks at the screen, its eye ratio drifting
// a little round 3.0 and blinking (ratio 4.5 for 0.3 s) on an uneven rhythm of about 17
// blinks a minute.
class SimCameraScript : public QObject {
public:
    SimCameraScript(SimCamera &camera, SimFaceLandmarks &landmarks);

    static constexpr qint64 kFrameIntervalMs = 72;
    // The eye ratio at a moment of the script (seconds from its start).
    static double ratioAt(double seconds);

private:
    void tick();

    SimCamera &m_camera;
    QImage m_frame;
    qint64 m_startMs = 0;
    TaskHandle m_timer;
};

} // namespace qv
