#include "wellness/FrameAnalysisWorker.h"

#include "runtime/Scheduler.h"

#include <QThread>

namespace qv {

FrameAnalysisWorker::FrameAnalysisWorker(FaceLandmarks &detector, QObject *receiver)
    : m_detector(detector), m_receiver(receiver)
{
    if (!detector.runsOnWorker())
        return;
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("com.tebrix.Quellvista.blink"));
    m_context = new QObject;
    m_context->moveToThread(m_thread);
    QObject::connect(m_thread, &QThread::finished, m_context, &QObject::deleteLater);
    m_thread->start(QThread::LowPriority);
}

FrameAnalysisWorker::~FrameAnalysisWorker()
{
    if (!m_thread) {
        m_detector.release();
        return;
    }
    // The model goes with the worker, after the frame in hand.
    FaceLandmarks *detector = &m_detector;
    runOnWorker([detector] { detector->release(); });
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
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
    runOnWorker([detector, receiver, done = std::move(done)] {
        QString error;
        if (!detector->load(&error) && error.isEmpty())
            error = QStringLiteral("The face model could not be loaded");
        if (receiver)
            QMetaObject::invokeMethod(receiver.data(), [done, error] { done(error); }, Qt::QueuedConnection);
    });
}

bool FrameAnalysisWorker::analyse(const QImage &frame, std::function<void(const FaceDetectionResult &)> done)
{
    if (!m_thread) {
        auto result = std::make_shared<FaceDetectionResult>(m_detector.detect(frame));
        deliver([done = std::move(done), result] { done(*result); });
        return true;
    }
    if (m_inFlight->load() > kMaxWaitingFrames)
        return false;
    ++*m_inFlight;
    FaceLandmarks *detector = &m_detector;
    QPointer<QObject> receiver = m_receiver;
    auto inFlight = m_inFlight;
    runOnWorker([detector, receiver, inFlight, frame, done = std::move(done)] {
        FaceDetectionResult result = detector->detect(frame);
        --*inFlight;
        if (receiver)
            QMetaObject::invokeMethod(
                receiver.data(), [done, result = std::move(result)] { done(result); }, Qt::QueuedConnection);
    });
    return true;
}

} // namespace qv
