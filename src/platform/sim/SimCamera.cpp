#include "platform/sim/SimCamera.h"

#include "runtime/Scheduler.h"

namespace qv {

class SimCaptureSession final : public CaptureSession {
public:
    explicit SimCaptureSession(SimCamera &camera) : m_camera(&camera) { camera.m_sessions << this; }
    ~SimCaptureSession() override
    {
        if (m_camera)
            m_camera->m_sessions.removeAll(this);
    }

    bool addInput(const CameraDevice &, QString *error) override
    {
        if (!m_camera->m_inputError.isEmpty()) {
            if (error)
                *error = m_camera->m_inputError;
            return false;
        }
        m_hasInput = !m_camera->m_refusesInput;
        return true;
    }
    bool addOutput(FrameHandler handler) override
    {
        if (m_camera->m_refusesOutput)
            return false;
        m_handler = std::move(handler);
        return true;
    }
    void startRunning() override { m_running = true; }
    void stopRunning() override { m_running = false; }
    void setFailureHandler(std::function<void(const QString &)> handler) override { m_failure = std::move(handler); }

    bool deliver(const QImage &frame)
    {
        if (!m_running || !m_hasInput || !m_handler)
            return false;
        m_handler(frame);
        return true;
    }
    void fail(const QString &reason)
    {
        if (!m_running)
            return;
        m_running = false;
        if (m_failure)
            m_failure(reason);
    }
    bool running() const { return m_running; }
    void detach() { m_camera = nullptr; }

private:
    SimCamera *m_camera;
    bool m_hasInput = false;
    bool m_running = false;
    FrameHandler m_handler;
    std::function<void(const QString &)> m_failure;
};

SimCamera::SimCamera() : m_device(CameraDevice{QStringLiteral("sim-front-camera"), QStringLiteral("FaceTime HD Camera")}) {}

SimCamera::~SimCamera()
{
    for (SimCaptureSession *session : std::as_const(m_sessions))
        session->detach();
}

void SimCamera::requestAccess(std::function<void(bool)> completion)
{
    ++m_requests;
    if (m_holdRequests) {
        m_waiting << std::move(completion);
        return;
    }
    const bool answer = m_answer;
    scheduler().post(nullptr, [completion = std::move(completion), answer] { completion(answer); });
}

void SimCamera::answerAccessRequests(bool granted)
{
    m_status = granted ? CameraAuthorization::authorized : CameraAuthorization::denied;
    const auto waiting = std::exchange(m_waiting, {});
    for (const auto &completion : waiting)
        completion(granted);
}

std::unique_ptr<CaptureSession> SimCamera::makeSession()
{
    ++m_made;
    return std::make_unique<SimCaptureSession>(*this);
}

int SimCamera::deliverFrame(const QImage &frame)
{
    int taken = 0;
    const auto sessions = m_sessions;
    for (SimCaptureSession *session : sessions)
        taken += session->deliver(frame) ? 1 : 0;
    return taken;
}

void SimCamera::unplug(const QString &reason)
{
    const auto sessions = m_sessions;
    for (SimCaptureSession *session : sessions)
        session->fail(reason);
}

int SimCamera::runningSessions() const
{
    int running = 0;
    for (const SimCaptureSession *session : m_sessions)
        running += session->running() ? 1 : 0;
    return running;
}

QImage SimCamera::blankFrame()
{
    QImage frame(640, 480, QImage::Format_RGB32);
    frame.fill(Qt::gray);
    return frame;
}

} // namespace qv
