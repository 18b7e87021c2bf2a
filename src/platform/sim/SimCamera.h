#pragma once

#include "platform/Camera.h"

#include <QList>

namespace qv {

class SimCaptureSession;

// The simulated camera. Tests choose the authorisation and the user's answer, remove the
// device, make inputs fail or sessions refuse them, deliver frames and unplug the camera.
// Unless changed: authorised, one front camera, sessions accept everything.
class SimCamera final : public Camera {
public:
    SimCamera();
    ~SimCamera() override;

    CameraAuthorization authorizationStatus() override { return m_status; }
    void requestAccess(std::function<void(bool granted)> completion) override;
    std::optional<CameraDevice> defaultDevice() override { return m_device; }
    std::unique_ptr<CaptureSession> makeSession() override;

    void setAuthorizationStatus(CameraAuthorization status) { m_status = status; }
    // Access requests wait for answerAccessRequests() (true) or are answered on the next
    // turn of the main loop with the chosen answer (false, the default).
    void setHoldsAccessRequests(bool holds) { m_holdRequests = holds; }
    void setAccessAnswer(bool granted) { m_answer = granted; }
    // Answers every waiting request; the status becomes authorised or denied.
    void answerAccessRequests(bool granted);
    int accessRequestCount() const { return m_requests; }

    void setDevice(std::optional<CameraDevice> device) { m_device = std::move(device); }
    // Creating an input fails with this reason; empty clears.
    void setInputError(const QString &reason) { m_inputError = reason; }
    void setRefusesInput(bool refuses) { m_refusesInput = refuses; }
    void setRefusesOutput(bool refuses) { m_refusesOutput = refuses; }

    // Hands a frame to every running session's output (on the calling thread). Returns
    // how many sessions took it.
    int deliverFrame(const QImage &frame);
    // The running camera disappears: every running session stops and reports reason.
    void unplug(const QString &reason);

    int sessionsMade() const { return m_made; }
    int runningSessions() const;

    // A 640 x 480 BGRA frame (its pixels do not matter to the simulated landmarks).
    static QImage blankFrame();

private:
    friend class SimCaptureSession;

    CameraAuthorization m_status = CameraAuthorization::authorized;
    bool m_holdRequests = false;
    bool m_answer = true;
    int m_requests = 0;
    QList<std::function<void(bool)>> m_waiting;
    std::optional<CameraDevice> m_device;
    QString m_inputError;
    bool m_refusesInput = false;
    bool m_refusesOutput = false;
    int m_made = 0;
    QList<SimCaptureSession *> m_sessions;
};

} // namespace qv
