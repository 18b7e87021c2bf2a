#include "platform/sim/SimCameraScript.h"

#include "platform/sim/SimCamera.h"
#include "platform/sim/SimFaceLandmarks.h"

#include <cmath>

namespace qv {

namespace {
// Seconds between blinks, repeated.
constexpr double kGaps[] = {2.6, 3.4, 4.1, 2.9, 5.2, 3.3};
constexpr double kClosure = 0.3;
} // namespace

SimCameraScript::SimCameraScript(SimCamera &camera, SimFaceLandmarks &landmarks)
    : m_camera(camera), m_frame(SimCamera::blankFrame())
{
    m_startMs = scheduler().monotonicMs();
    landmarks.setResultFunction([this](const QImage &) {
        const double seconds = double(scheduler().monotonicMs() - m_startMs) / 1000.0;
        return SimFaceLandmarks::faces({SimFaceLandmarks::face(ratioAt(seconds))});
    });
    m_timer = scheduler().every(kFrameIntervalMs, this, [this] { tick(); });
}

double SimCameraScript::ratioAt(double seconds)
{
    double period = 0;
    for (double gap : kGaps)
        period += gap;
    double t = std::fmod(std::max(seconds, 0.0), period);
    for (double gap : kGaps) {
        if (t < gap)
            return t >= gap - kClosure ? 4.5 : 3.0 + 0.05 * std::sin(seconds * 2.1);
        t -= gap;
    }
    return 3.0;
}

void SimCameraScript::tick()
{
    if (m_camera.runningSessions() > 0)
        m_camera.deliverFrame(m_frame);
}

} // namespace qv
