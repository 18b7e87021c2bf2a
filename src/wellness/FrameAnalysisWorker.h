#pragma once

#include "platform/FaceLandmarks.h"

#include <QImage>
#include <QObject>
#include <QPointer>

#include <atomic>
#include <functional>
#include <memory>

class QThread;

namespace qv {

// Runs a face-landmarks detector for the blink detector: the model is loaded when the
// worker is made to load and released when the worker goes; frames are analysed one at a
// time, in the order given, and each result comes back to the receiver's (main) thread in
// that order. A detector that does not ask for a worker runs on the calling thread and
// its results come back on a later turn of the main loop.
class FrameAnalysisWorker {
public:
    // At most this many frames wait behind the one being analysed; more are dropped, as
    // the camera drops late frames.
    static constexpr int kMaxWaitingFrames = 1;

    FrameAnalysisWorker(FaceLandmarks &detector, QObject *receiver);
    ~FrameAnalysisWorker();

    // Loads the model; done gets an empty text or the failure, on the receiver's thread.
    void load(std::function<void(const QString &error)> done);
    // Analyses an upright frame; false when it was dropped because the worker is behind.
    bool analyse(const QImage &frame, std::function<void(const FaceDetectionResult &)> done);

    bool onWorkerThread() const { return m_thread != nullptr; }

private:
    void runOnWorker(std::function<void()> job);
    // Runs fn on a later turn of the main loop (the detector without a worker).
    void deliver(std::function<void()> fn);

    FaceLandmarks &m_detector;
    QPointer<QObject> m_receiver;
    QThread *m_thread = nullptr;
    QObject *m_context = nullptr; // lives on m_thread
    std::shared_ptr<std::atomic<int>> m_inFlight = std::make_shared<std::atomic<int>>(0);
};

} // namespace qv
