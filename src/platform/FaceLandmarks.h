#pragma once

#include <QImage>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <functional>
#include <optional>

namespace qv {

// One face found in a frame. Points are in the request's frame: the image turned a
// quarter turn and mirrored (the left-mirrored orientation, a transpose of the upright
// image), normalised to the face box (0...1). In that frame an eye's extent along y is
// its length and its extent along x its opening.
struct FaceObservation {
    bool isFace = true;     // false: an observation of another kind
    bool hasLandmarks = true;
    QRectF boundingBox;     // normalised to the frame, request's orientation
    std::optional<QList<QPointF>> leftEye;  // six points (upright points 36-41)
    std::optional<QList<QPointF>> rightEye; // six points (upright points 42-47)
    std::optional<double> yaw;   // radians
    std::optional<double> pitch; // radians
};

// The outcome of one request: an error, or the faces found (possibly none).
struct FaceDetectionResult {
    std::optional<QString> error;
    QList<FaceObservation> observations;
};

// Finds faces and their landmarks in frames. The model is loaded by load() and released
// by release(); all three may run on a worker thread (one call at a time).
class FaceLandmarks {
public:
    virtual ~FaceLandmarks() = default;

    // Loads the model; false with a message naming the file when it cannot be loaded.
    // A load that `abandoned` (when given) answers true to stops early and loads nothing.
    virtual bool load(QString *error, const std::function<bool()> &abandoned = {}) = 0;
    virtual void release() = 0;
    virtual bool isLoaded() const = 0;
    // Whether detect() should run off the main thread (a real detector takes milliseconds).
    virtual bool runsOnWorker() const = 0;

    // Finds the faces of an upright frame; a frame of zero size or of a pixel format it
    // cannot read gives an error.
    virtual FaceDetectionResult detect(const QImage &frame) = 0;
};

} // namespace qv
