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

// Runs a face-landmarks detector for the blink detector on a thread of its own, which
// lives as long as the worker: load() loads the model there and unload() releases it
// there, so neither ever waits on the caller's thread. Jobs run one at a time in the
// order given: a load still running when unload() is called is abandoned at its next
// chance (or finishes), and the model is released after it; frames still waiting are
// dropped. Each result comes back to the receiver's (main) thread in order. A detector
// that does not ask for a worker runs on the calling thread and its results come back on
// a later turn of the main loop.
class FrameAnalysisWorker {
public:
    // At most this many frames wait behind the one being analysed; more are dropped, as
    // the camera drops late frames.
    static constexpr int kMaxWaitingFrames = 1;

    FrameAnalysisWorker(FaceLandmarks &detector, QObject *receiver);
    // Waits for the job in hand (a load is abandoned first), then releases the model.
    ~FrameAnalysisWorker();

    FaceLandmarks &detector() const { return m_detector; }

    // Loads the model; done gets an empty text or the failure, on the receiver's thread.
    // An abandoned load reports nothing.
    void load(std::function<void(const QString &error)> done);
    // Abandons the load and the frames given so far and releases the model; returns at once.
    void unload();
    // Analyses an upright frame; false when it was dropped because the worker is behind.
    bool analyse(const QImage &frame, std::function<void(const FaceDetectionResult &)> done);

private:
    struct Shared;
    void runOnWorker(std::function<void()> job);
    // Runs fn on a later turn of the main loop (the detector without a worker).
    void deliver(std::function<void()> fn);

    FaceLandmarks &m_detector;
    QPointer<QObject> m_receiver;
    QThread *m_thread = nullptr;
    QObject *m_context = nullptr; // lives on m_thread
    std::shared_ptr<Shared> m_shared;
};

} // namespace qv
