#pragma once

#include <QImage>
#include <QObject>

#include <functional>
#include <memory>

namespace qv {

class CaptureSession;
class FrameAnalysisWorker;
struct FaceDetectionResult;

// The blink detector's camera: asks for permission (one question at a time), opens the
// default camera, loads the face model on the analysis worker, and hands frames to it.
// Every start is a run of its own: answers and results of a run that has ended are dropped.
class BlinkCapture : public QObject {
    Q_OBJECT
public:
    explicit BlinkCapture(QObject *parent = nullptr);
    ~BlinkCapture() override;

    // Asks for the camera and opens it, unless a question is already open. `wanted` is
    // asked again when the answer comes: the switch may have been turned off meanwhile.
    void start(std::function<bool()> wanted);
    // Closes the camera and releases the face model; returns at once.
    void stop();
    bool isOpen() const { return bool(m_session); }
    bool isStarting() const { return m_starting; }

    // Called with each camera frame, on the camera's thread.
    std::function<void(const QImage &)> onFrame;
    // Finds the face landmarks of a frame on the worker; done runs on this thread, and
    // only while the run that asked is still open.
    void analyse(const QImage &frame, std::function<void(const FaceDetectionResult &)> done);

signals:
    // The camera is running: a new run begins.
    void opened();
    // Why the camera could not be opened, or stopped, or the face model failed to load.
    void failed(const QString &reason);

private:
    void open();

    std::unique_ptr<CaptureSession> m_session;
    std::unique_ptr<FrameAnalysisWorker> m_worker;
    bool m_starting = false;
    quint64 m_run = 0;
};

} // namespace qv
