#include "platform/sim/SimFaceLandmarks.h"

namespace qv {

bool SimFaceLandmarks::load(QString *error, const std::function<bool()> &)
{
    if (!m_loadError.isEmpty()) {
        if (error)
            *error = m_loadError;
        m_loaded = false;
        return false;
    }
    m_loaded = true;
    return true;
}

FaceDetectionResult SimFaceLandmarks::detect(const QImage &frame)
{
    ++m_detects;
    if (frame.isNull())
        return failure(QStringLiteral("The frame has no pixels"));
    return m_fn ? m_fn(frame) : m_result;
}

void SimFaceLandmarks::setResult(FaceDetectionResult result)
{
    m_fn = nullptr;
    m_result = std::move(result);
}

QList<QPointF> SimFaceLandmarks::eyePoints(double ratio)
{
    // The ratio is the y extent over the x extent: in the request's frame the eye's
    // length runs along y and its opening along x.
    const double width = 0.06;          // x extent (the opening in upright terms)
    const double height = width * ratio; // y extent (the length in upright terms)
    const double x0 = 0.3;
    const double y0 = 0.2;
    return {
        {x0 + width / 2, y0},          {x0, y0 + height / 3},         {x0, y0 + 2 * height / 3},
        {x0 + width / 2, y0 + height}, {x0 + width, y0 + 2 * height / 3}, {x0 + width, y0 + height / 3},
    };
}

FaceObservation SimFaceLandmarks::face(double ratio, std::optional<double> yaw, std::optional<double> pitch)
{
    FaceObservation face;
    face.boundingBox = QRectF(0.3, 0.3, 0.4, 0.4);
    face.leftEye = eyePoints(ratio);
    face.rightEye = eyePoints(ratio);
    face.yaw = yaw;
    face.pitch = pitch;
    return face;
}

FaceDetectionResult SimFaceLandmarks::faces(QList<FaceObservation> observations)
{
    FaceDetectionResult result;
    result.observations = std::move(observations);
    return result;
}

FaceDetectionResult SimFaceLandmarks::failure(const QString &error)
{
    FaceDetectionResult result;
    result.error = error;
    return result;
}

} // namespace qv
