#include "wellness/BlinkCapture.h"

#include "platform/Camera.h"
#include "platform/FaceLandmarks.h"
#include "platform/Platform.h"
#include "runtime/Scheduler.h"
#include "wellness/FrameAnalysisWorker.h"

#include <QPointer>

namespace qv {

BlinkCapture::BlinkCapture(QObject *parent) : QObject(parent) {}

BlinkCapture::~BlinkCapture()
{
    if (m_session)
        m_session->stopRunning();
}

void BlinkCapture::start(std::function<bool()> wanted)
{
    if (m_session || m_starting)
        return;
    Camera *camera = platform().camera;
    m_starting = true;
    auto answered = [this, wanted](bool granted) {
        m_starting = false;
        if (!wanted() || m_session)
            return;
        if (!granted) {
            emit failed(QStringLiteral("Camera permission denied"));
            return;
        }
        open();
    };
    const CameraAuthorization status = camera ? camera->authorizationStatus() : CameraAuthorization::authorized;
    if (status == CameraAuthorization::notDetermined) {
        QPointer<BlinkCapture> self(this);
        camera->requestAccess([self, answered](bool granted) {
            if (self)
                answered(granted);
        });
        return;
    }
    const bool granted = status == CameraAuthorization::authorized;
    scheduler().post(this, [answered, granted] { answered(granted); });
}

void BlinkCapture::open()
{
    Camera *camera = platform().camera;
    const std::optional<CameraDevice> device = camera ? camera->defaultDevice() : std::nullopt;
    if (!device) {
        emit failed(QStringLiteral("No camera available"));
        return;
    }
    std::unique_ptr<CaptureSession> session = camera->makeSession();
    QString inputError;
    if (!session->addInput(*device, &inputError)) {
        emit failed(QStringLiteral("Could not create camera input: %1").arg(inputError));
        return;
    }
    // Frames come on the capture thread; the session is stopped before this goes.
    session->addOutput([this](const QImage &frame) {
        if (onFrame)
            onFrame(frame);
    });
    const quint64 run = ++m_run;
    session->setFailureHandler([this, run](const QString &reason) {
        if (run == m_run && m_session)
            emit failed(QStringLiteral("Camera stopped: %1").arg(reason));
    });
    session->startRunning();
    m_session = std::move(session);
    emit opened();
    if (run != m_run || !m_session)
        return;

    // The face model is loaded now and released at the stop, both on the worker.
    FaceLandmarks *landmarks = platform().faceLandmarks;
    if (!landmarks) {
        emit failed(QStringLiteral("Could not load the face model: No face-landmarks detector is available"));
        return;
    }
    if (!m_worker || &m_worker->detector() != landmarks)
        m_worker = std::make_unique<FrameAnalysisWorker>(*landmarks, this);
    m_worker->load([this, run](const QString &error) {
        if (!error.isEmpty() && run == m_run && m_session)
            emit failed(QStringLiteral("Could not load the face model: %1").arg(error));
    });
}

void BlinkCapture::stop()
{
    if (m_session) {
        m_session->stopRunning();
        m_session.reset();
    }
    // Returns at once: a load still running is abandoned or finishes on the worker.
    if (m_worker)
        m_worker->unload();
}

void BlinkCapture::analyse(const QImage &frame, std::function<void(const FaceDetectionResult &)> done)
{
    if (!m_worker || !m_session)
        return;
    const quint64 run = m_run;
    m_worker->analyse(frame, [this, run, done = std::move(done)](const FaceDetectionResult &result) {
        // Results of a run that has ended change nothing.
        if (run == m_run && m_session)
            done(result);
    });
}

} // namespace qv
