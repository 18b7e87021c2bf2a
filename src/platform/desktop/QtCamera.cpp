#include "platform/desktop/QtCamera.h"

#include "runtime/Logging.h"
#include "runtime/Scheduler.h"

#include <QCamera>
#include <QCameraDevice>
#include <QMediaCaptureSession>
#include <QMediaDevices>
#include <QMutex>
#include <QThread>
#include <QVideoFrame>
#include <QVideoSink>

#include <atomic>
#include <cstdlib>

namespace qv {

namespace {
constexpr QSize kCaptureSize(640, 480);

std::optional<QCameraDevice> findDevice(const QString &id)
{
    for (const QCameraDevice &device : QMediaDevices::videoInputs())
        if (QString::fromUtf8(device.id()) == id)
            return device;
    return std::nullopt;
}

// The format nearest 640 by 480.
std::optional<QCameraFormat> captureFormat(const QCameraDevice &device)
{
    std::optional<QCameraFormat> best;
    int bestDistance = 0;
    for (const QCameraFormat &format : device.videoFormats()) {
        const QSize size = format.resolution();
        const int distance = std::abs(size.width() - kCaptureSize.width()) + std::abs(size.height() - kCaptureSize.height());
        if (!best || distance < bestDistance) {
            best = format;
            bestDistance = distance;
        }
    }
    return best;
}

class QtCaptureSession final : public QObject, public CaptureSession {
public:
    QtCaptureSession()
    {
        m_thread.setObjectName(QStringLiteral("com.tebrix.Quellvista.camera"));
        m_context.moveToThread(&m_thread);
    }

    ~QtCaptureSession() override
    {
        stopRunning();
        m_sink.reset();
        m_thread.quit();
        m_thread.wait();
    }

    bool addInput(const CameraDevice &device, QString *error) override
    {
        const std::optional<QCameraDevice> found = findDevice(device.uniqueId);
        if (!found) {
            if (error)
                *error = QStringLiteral("The camera %1 is no longer connected").arg(device.localizedName);
            return false;
        }
        m_device = *found;
        m_camera = std::make_unique<QCamera>(*found);
        if (m_camera->error() != QCamera::NoError) {
            if (error)
                *error = m_camera->errorString();
            m_camera.reset();
            return false;
        }
        if (const auto format = captureFormat(*found))
            m_camera->setCameraFormat(*format);
        m_capture.setCamera(m_camera.get());
        connect(m_camera.get(), &QCamera::errorOccurred, this,
                [this](QCamera::Error, const QString &text) { fail(text); });
        connect(&m_devices, &QMediaDevices::videoInputsChanged, this, [this] {
            if (!findDevice(QString::fromUtf8(m_device.id())))
                fail(QStringLiteral("The camera was disconnected"));
        });
        return true;
    }

    bool addOutput(FrameHandler handler) override
    {
        m_handler = std::move(handler);
        m_sink = std::make_unique<QVideoSink>();
        m_capture.setVideoSink(m_sink.get());
        // The sink may signal on the camera's streaming thread: the frame is only passed on.
        connect(m_sink.get(), &QVideoSink::videoFrameChanged, this,
                [this](const QVideoFrame &frame) { frameCaptured(frame); }, Qt::DirectConnection);
        return true;
    }

    void startRunning() override
    {
        {
            QMutexLocker lock(&m_mutex);
            m_running = true;
        }
        if (!m_thread.isRunning())
            m_thread.start(QThread::LowPriority);
        if (m_camera)
            m_camera->start();
    }

    void stopRunning() override
    {
        {
            QMutexLocker lock(&m_mutex);
            m_running = false;
        }
        if (m_camera)
            m_camera->stop();
    }

    void setFailureHandler(std::function<void(const QString &)> handler) override { m_failure = std::move(handler); }

private:
    void fail(const QString &reason)
    {
        bool wasRunning;
        {
            QMutexLocker lock(&m_mutex);
            wasRunning = m_running;
            m_running = false;
        }
        if (wasRunning && m_failure)
            m_failure(reason);
    }

    void frameCaptured(const QVideoFrame &frame)
    {
        if (m_busy.exchange(true))
            return; // late: the previous frame is still being converted
        QMetaObject::invokeMethod(&m_context, [this, frame] {
            QImage image = frame.toImage();
            if (!image.isNull() && image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32)
                image = image.convertToFormat(QImage::Format_RGB32);
            if (image.isNull() && !m_unreadableLogged) {
                m_unreadableLogged = true;
                m_logger.error("Camera frames of %dx%d in pixel format %d cannot be read; they are skipped",
                               frame.width(), frame.height(), int(frame.pixelFormat()));
            }
            {
                QMutexLocker lock(&m_mutex);
                if (m_running && m_handler)
                    m_handler(image);
            }
            m_busy = false;
        }, Qt::QueuedConnection);
    }

    QMediaDevices m_devices;
    QMediaCaptureSession m_capture;
    QCameraDevice m_device;
    std::unique_ptr<QCamera> m_camera;
    std::unique_ptr<QVideoSink> m_sink;
    QThread m_thread;
    QObject m_context; // lives on m_thread
    QMutex m_mutex;
    bool m_running = false;
    FrameHandler m_handler;
    std::function<void(const QString &)> m_failure;
    std::atomic<bool> m_busy{false};
    bool m_unreadableLogged = false; // capture thread only
    Logger m_logger{"Camera"};
};
} // namespace

void QtCamera::requestAccess(std::function<void(bool)> completion)
{
    scheduler().post(nullptr, [completion = std::move(completion)] { completion(true); });
}

std::optional<CameraDevice> QtCamera::defaultDevice()
{
    const QList<QCameraDevice> inputs = QMediaDevices::videoInputs();
    if (inputs.isEmpty())
        return std::nullopt;
    QCameraDevice chosen = QMediaDevices::defaultVideoInput();
    for (const QCameraDevice &device : inputs)
        if (device.position() == QCameraDevice::FrontFace) {
            chosen = device;
            break;
        }
    if (chosen.isNull())
        chosen = inputs.first();
    return CameraDevice{QString::fromUtf8(chosen.id()), chosen.description()};
}

std::unique_ptr<CaptureSession> QtCamera::makeSession()
{
    return std::make_unique<QtCaptureSession>();
}

} // namespace qv
