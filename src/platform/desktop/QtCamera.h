#pragma once

#include "platform/Camera.h"

namespace qv {

// The computer's camera through Qt Multimedia. Linux asks no permission, so access is
// granted; the front camera is preferred, else the default video input. A session
// captures at the format closest to 640 by 480 and hands each frame, converted to BGRA
// on its own capture thread, to the output; while a frame is being converted the next
// ones are dropped.
class QtCamera final : public Camera {
public:
    CameraAuthorization authorizationStatus() override { return CameraAuthorization::authorized; }
    void requestAccess(std::function<void(bool granted)> completion) override;
    std::optional<CameraDevice> defaultDevice() override;
    std::unique_ptr<CaptureSession> makeSession() override;
};

} // namespace qv
