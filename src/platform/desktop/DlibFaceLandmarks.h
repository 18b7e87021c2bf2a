#pragma once

#include "platform/FaceLandmarks.h"

#include <QRect>
#include <QString>

#include <memory>
#include <optional>

namespace qv {

// Face landmarks from dlib: its HOG frontal face detector finds the faces, the 68-point
// shape predictor places the landmarks (eyes 36-41 and 42-47), and OpenCV's solvePnP
// fits a generic head to six of them for yaw and pitch. Points are handed over in the
// request's frame (the upright image transposed), normalised to the face box.
//
// With face-box reuse on, a frame is first searched only around the last face found,
// scaled down so that the face is about 100 pixels wide; the whole frame is searched
// when that finds nothing.
class DlibFaceLandmarks final : public FaceLandmarks {
public:
    // The shape predictor Debian's libdlib-data installs.
    static QString defaultModelPath();

    explicit DlibFaceLandmarks(QString modelPath = defaultModelPath());
    ~DlibFaceLandmarks() override;

    bool load(QString *error) override;
    void release() override;
    bool isLoaded() const override;
    bool runsOnWorker() const override { return true; }
    FaceDetectionResult detect(const QImage &frame) override;

    QString modelPath() const { return m_modelPath; }
    void setReusesFaceBox(bool reuses) { m_reuseFaceBox = reuses; }
    // Forgets the last face box (the next frame is searched whole).
    void forgetFaceBox() { m_lastBox.reset(); }

private:
    struct Model;

    QString m_modelPath;
    std::unique_ptr<Model> m_model;
    bool m_reuseFaceBox = true;
    std::optional<QRect> m_lastBox; // in upright frame pixels
};

} // namespace qv
