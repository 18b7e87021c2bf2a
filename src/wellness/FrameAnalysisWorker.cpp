#include "wellness/FrameAnalysisWorker.h"

#include "runtime/Scheduler.h"

#include <QThread>

namespace qv {

// What the caller's thread and the worker's jobs share.
struct FrameAnalysisWorker::Shared {
    // Counts unload() calls: a job given before the latest one is out of date.
    std::atomic<quint64> generation{0};
    std::atomic<int> inFlight{0};
};

FrameAnalysisWorker::FrameAnalysisWorker(FaceLandmarks &detector, QObject *receiver)
    : m_detector(detector), m_receiver(receiver), m_shared(std::make_shared<Shared>())
{
    if (!detector.runsOnWorker())
        return;
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("com.tebrix.Quellvista.blink"));
    m_context = new QObject;
    m_context->moveToThread(m_thread);
    m_thread->start(QThread::LowPriority);
}

FrameAnalysisWorker::~FrameAnalysisWorker()
{
    if (m_thread) {
        unload();
        // The job in hand ends (an abandoned load soon), the release runs, then the thread.
        m_thread->quit();
        m_thread->wait();
        delete m_context;
        delete m_thread;
    } else {
        m_detector.release();
    }
}

void FrameAnalysisWorker::runOnWorker(std::function<void()> job)
{
    QMetaObject::invokeMethod(m_context, std::move(job), Qt::QueuedConnection);
}

void FrameAnalysisWorker::deliver(std::function<void()> fn)
{
    if (m_receiver)
        scheduler().post(m_receiver.data(), std::move(fn));
}

void FrameAnalysisWorker::load(std::function<void(const QString &)> done)
{
    if (!m_thread) {
        QString error;
        m_detector.load(&error);
        done(error);
        return;
    }
    FaceLandmarks *detector = &m_detector;
    QPointer<QObject> receiver = m_receiver;
    auto shared = m_shared;
    const quint64 generation = shared->generation.load();
    runOnWorker([detector, receiver, shared, generation, done = std::move(done)] {
        auto abandoned = [shared, generation] { return shared->generation.load() != generation; };
        if (abandoned())
            return;
        QString error;
        if (!detector->load(&error, abandoned)) {
            if (abandoned())
                return;
            if (error.isEmpty())
                error = QStringLiteral("The face model could not be loaded");
        }
        if (receiver)
            QMetaObject::invokeMethod(receiver.data(), [done, error] { done(error); }, Qt::QueuedConnection);
    });
}

void FrameAnalysisWorker::unload()
{
    if (!m_thread) {
        m_detector.release();
        return;
    }
    ++m_shared->generation;
    FaceLandmarks *detector = &m_detector;
    runOnWorker([detector] { detector->release(); });
}

bool FrameAnalysisWorker::analyse(const QImage &frame, std::function<void(const FaceDetectionResult &)> done)
{
    if (!m_thread) {
        auto result = std::make_shared<FaceDetectionResult>(m_detector.detect(frame));
        deliver([done = std::move(done), result] { done(*result); });
        return true;
    }
    if (m_shared->inFlight.load() > kMaxWaitingFrames)
        return false;
    ++m_shared->inFlight;
    FaceLandmarks *detector = &m_detector;
    QPointer<QObject> receiver = m_receiver;
    auto shared = m_shared;
    const quint64 generation = shared->generation.load();
    runOnWorker([detector, receiver, shared, generation, frame, done = std::move(done)] {
        if (shared->generation.load() != generation) {
            --shared->inFlight;
            return;
        }
        FaceDetectionResult result = detector->detect(frame);
        --shared->inFlight;
        if (receiver)
            QMetaObject::invokeMethod(
                receiver.data(), [done, result = std::move(result)] { done(result); }, Qt::QueuedConnection);
    });
    return true;
}

} // namespace qv
