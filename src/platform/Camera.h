#pragma once

#include <QImage>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace qv {

// The user's answer about camera use.
enum class CameraAuthorization { notDetermined, restricted, denied, authorized };

// A capture device as the lookup finds it.
struct CameraDevice {
    QString uniqueId;
    QString localizedName;
};

// Receives each captured frame on the capture thread: 32-bit BGRA pixels (QImage's
// RGB32 / ARGB32 in memory), or a null image when a sample carried no pixels. Frames live
// in memory only and are never stored.
using FrameHandler = std::function<void(const QImage &frame)>;

// One capture session: one camera input and one frame output. Late frames are dropped,
// never queued.
class CaptureSession {
public:
    virtual ~CaptureSession() = default;

    // Creates the device input and adds it when the session accepts it. False, with the
    // reason in error, when the input cannot be created; a refused input is no failure
    // (the session then runs without frames).
    virtual bool addInput(const CameraDevice &device, QString *error) = 0;
    // Adds the frame output (BGRA, about 640 by 480); false when the session refuses it.
    virtual bool addOutput(FrameHandler handler) = 0;
    // Starts capturing on the capture thread; returns at once.
    virtual void startRunning() = 0;
    // Stops capturing; no frame reaches the handler after it returns.
    virtual void stopRunning() = 0;
    // Called on the main thread when the running camera fails or disappears.
    virtual void setFailureHandler(std::function<void(const QString &reason)> handler) = 0;
};

// The camera: authorisation, device lookup and capture sessions.
class Camera {
public:
    virtual ~Camera() = default;

    virtual CameraAuthorization authorizationStatus() = 0;
    // Asks the user for access; completion runs on the main thread with the answer (later,
    // or never when the system does not answer).
    virtual void requestAccess(std::function<void(bool granted)> completion) = 0;
    // The front wide-angle camera, else the default video device, else nothing.
    virtual std::optional<CameraDevice> defaultDevice() = 0;
    virtual std::unique_ptr<CaptureSession> makeSession() = 0;
};

} // namespace qv
