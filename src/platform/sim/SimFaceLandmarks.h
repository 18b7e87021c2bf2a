#pragma once

#include "platform/FaceLandmarks.h"

#include <functional>

namespace qv {

// The simulated face-landmarks detector: every frame gets the scripted result (no face
// unless changed). It runs on the calling thread; tests may make its model fail to load.
class SimFaceLandmarks final : public FaceLandmarks {
public:
    bool load(QString *error, const std::function<bool()> &abandoned = {}) override;
    void release() override { m_loaded = false; }
    bool isLoaded() const override { return m_loaded; }
    bool runsOnWorker() const override { return false; }
    FaceDetectionResult detect(const QImage &frame) override;

    // The result of every following frame.
    void setResult(FaceDetectionResult result);
    // Or a result computed from each frame.
    void setResultFunction(std::function<FaceDetectionResult(const QImage &)> fn) { m_fn = std::move(fn); }
    // Loading fails with this message; empty clears.
    void setLoadError(const QString &message) { m_loadError = message; }

    int detectCount() const { return m_detects; }

    // A frontal face whose two eyes both have the given ratio (extent along y over extent
    // along x in the request's frame: the eye's length over its opening), with the given
    // head pose.
    static FaceObservation face(double ratio, std::optional<double> yaw = 0.0,
                                std::optional<double> pitch = 0.0);
    // Six eye points with the given ratio.
    static QList<QPointF> eyePoints(double ratio);
    static FaceDetectionResult faces(QList<FaceObservation> observations);
    static FaceDetectionResult noFace() { return {}; }
    static FaceDetectionResult failure(const QString &error);

private:
    bool m_loaded = false;
    int m_detects = 0;
    QString m_loadError;
    FaceDetectionResult m_result;
    std::function<FaceDetectionResult(const QImage &)> m_fn;
};

} // namespace qv
