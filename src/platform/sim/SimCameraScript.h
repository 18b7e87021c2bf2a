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
// runs, a frame every 33 ms (a camera at 30 frames a second), and a face that looks at the
// screen, its eye ratio drifting a little round 3.0 and blinking (ratio 4.5 for 0.3 s) on
// an uneven rhythm of about 17 blinks a minute.
//
// The detector analyses at most one frame per 0.07 s, so it takes about every third frame
// (10 a second) and sees each closure three times, enough to confirm it even when a busy
// main loop delivers frames late. A frame every 72 ms would sit just above that limit: one
// late frame gets the next one dropped, and a closure can then be seen by two frames less
// than the 0.08 s a closure must last apart, and go uncounted.
class SimCameraScript : public QObject {
public:
    SimCameraScript(SimCamera &camera, SimFaceLandmarks &landmarks);

    static constexpr qint64 kFrameIntervalMs = 33;
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
