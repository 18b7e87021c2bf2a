#pragma once

#include "platform/FaceLandmarks.h"

#include <QRect>
#include <QRectF>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace qv {

// Face landmarks from dlib: its HOG frontal face detector finds the faces, the 68-point
// shape predictor places the landmarks (eyes 36-41 and 42-47), and OpenCV's solvePnP
// fits a generic head to six of them for yaw and pitch. Points are handed over in the
// request's frame (the upright image transposed), normalised to the face box.
//
// With face-box reuse on, a frame is first searched only around the last face found,
// scaled down so that the face is about 100 pixels wide; the whole frame is searched
// when that finds nothing, mostly reduced to a smaller width while no face is being followed.
// Of several faces the one that continues the last face is taken (else the largest, the
// more certain on a tie), and only that face gets landmarks and a head pose; the
// landmarks are placed on the face brought up to a working width, so that a small face's
// eyes are measured in fractions of a camera pixel, and averaged over two slight shifts of
// the face box, whose place on the search's coarse grid would otherwise show in them.
class DlibFaceLandmarks final : public FaceLandmarks {
public:
    // The shape predictor Debian's libdlib-data installs.
    static QString defaultModelPath();

    explicit DlibFaceLandmarks(QString modelPath = defaultModelPath());
    ~DlibFaceLandmarks() override;

    bool load(QString *error, const std::function<bool()> &abandoned = {}) override;
    void release() override;
    bool isLoaded() const override;
    bool runsOnWorker() const override { return true; }
    FaceDetectionResult detect(const QImage &frame) override;

    // The width a lost face is searched at (every kFullSearchEvery-th search, the first
    // included, goes over the full frame), and the face width landmarks are placed at
    // (0: the frame's own size).
    static constexpr int kLostSearchWidth = 480;
    static constexpr int kFullSearchEvery = 4;
    static constexpr int kLandmarkFaceWidth = 280;
    // The landmarks are averaged over the face box shifted by this share of its width up
    // and left, and down and right.
    static constexpr double kLandmarkBoxShift = 0.03;

    QString modelPath() const { return m_modelPath; }
    void setReusesFaceBox(bool reuses) { m_reuseFaceBox = reuses; }
    void setLostSearchWidth(int width) { m_lostSearchWidth = width; }
    void setLandmarkFaceWidth(int width) { m_landmarkFaceWidth = width; }
    // Forgets the last face box (the next frame is searched whole).
    void forgetFaceBox()
    {
        m_lastBox.reset();
        m_lostSearches = 0;
    }

private:
    struct Model;
    struct Found {
        QRectF box; // upright frame pixels
        double confidence;
    };
    // The faces in a region of the frame, searched at the given scale (at most 1).
    std::vector<Found> search(const QImage &gray, const QRect &region, double scale);

    QString m_modelPath;
    std::unique_ptr<Model> m_model;
    bool m_reuseFaceBox = true;
    int m_lostSearchWidth = kLostSearchWidth;
    int m_landmarkFaceWidth = kLandmarkFaceWidth;
    std::optional<QRectF> m_lastBox; // in upright frame pixels
    int m_lostSearches = 0;          // whole-frame searches without a face since one was followed
};

} // namespace qv
