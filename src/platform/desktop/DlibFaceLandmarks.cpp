#include "platform/desktop/DlibFaceLandmarks.h"

#include <QFile>
#include <QFileInfo>

#include <dlib/image_processing.h>
#include <dlib/image_processing/frontal_face_detector.h>
#include <dlib/serialize.h>

#include <opencv2/calib3d.hpp>
#include <opencv2/core.hpp>

#include <cmath>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <fstream>
#include <vector>

namespace qv {

namespace {
// The face is searched at about this width when the last box is reused: dlib's detector
// finds faces from about 80 pixels up.
constexpr double kReuseFaceWidth = 100.0;
// The region around the last box that is searched, as a multiple of its size.
constexpr double kReuseRegion = 2.0;

// A grayscale view of a QImage that dlib's generic image functions read in place (found
// by argument-dependent lookup).
struct GrayView {
    const QImage *image;
};
long num_rows(const GrayView &v) { return v.image->height(); }
long num_columns(const GrayView &v) { return v.image->width(); }
const void *image_data(const GrayView &v) { return v.image->constBits(); }
long width_step(const GrayView &v) { return v.image->bytesPerLine(); }

// A generic head, x right, y down, z away from the camera (arbitrary units), at fourteen
// of the 68 landmarks: brow ends, eye corners, nostril wings, mouth corners, lower lip
// and chin.
const std::vector<cv::Point3d> &headModel()
{
    static const std::vector<cv::Point3d> model{
        {-6.825897, -6.760612, -4.402142}, {-1.330353, -7.122144, -6.903745}, {1.330353, -7.122144, -6.903745},
        {6.825897, -6.760612, -4.402142},  {-5.311432, -5.485328, -3.987654}, {-1.789930, -5.393625, -4.413414},
        {1.789930, -5.393625, -4.413414},  {5.311432, -5.485328, -3.987654},  {-2.005628, -1.409845, -6.165652},
        {2.005628, -1.409845, -6.165652},  {-2.774015, 2.080775, -5.048531},  {2.774015, 2.080775, -5.048531},
        {0.000000, 3.116408, -6.097667},   {0.000000, 7.415691, -4.070434},
    };
    return model;
}
// The rotation that turns the optical axis (z) onto the direction d.
cv::Matx33d lineOfSight(cv::Vec3d d)
{
    const double length = cv::norm(d);
    if (!(length > 0))
        return cv::Matx33d::eye();
    d /= length;
    const cv::Vec3d z(0, 0, 1);
    const cv::Vec3d axis = z.cross(d);
    const double s = cv::norm(axis);
    const double c = z.dot(d);
    if (s < 1e-12)
        return cv::Matx33d::eye();
    cv::Matx33d rotation;
    cv::Rodrigues(axis * (std::atan2(s, c) / s), rotation);
    return rotation;
}

constexpr int kHeadLandmarks[] = {17, 21, 22, 26, 36, 39, 42, 45, 31, 35, 48, 54, 57, 8};
} // namespace
} // namespace qv

// dlib's generic image interface for the grayscale view.
namespace dlib {
template <>
struct image_traits<qv::GrayView> {
    typedef unsigned char pixel_type;
};
} // namespace dlib

namespace qv {

struct DlibFaceLandmarks::Model {
    dlib::frontal_face_detector detector;
    dlib::shape_predictor predictor;
};

QString DlibFaceLandmarks::defaultModelPath()
{
    return QStringLiteral("/usr/share/dlib/shape_predictor_68_face_landmarks.dat");
}

DlibFaceLandmarks::DlibFaceLandmarks(QString modelPath) : m_modelPath(std::move(modelPath)) {}

DlibFaceLandmarks::~DlibFaceLandmarks() = default;

bool DlibFaceLandmarks::isLoaded() const
{
    return m_model != nullptr;
}

bool DlibFaceLandmarks::load(QString *error)
{
    if (m_model)
        return true;
    auto fail = [&](const QString &message) {
        if (error)
            *error = message;
        return false;
    };
    const QFileInfo info(m_modelPath);
    if (!info.exists())
        return fail(QStringLiteral("%1: the file does not exist").arg(m_modelPath));
    if (!info.isFile() || !info.isReadable())
        return fail(QStringLiteral("%1: the file cannot be read").arg(m_modelPath));
    auto model = std::make_unique<Model>();
    try {
        std::ifstream in(QFile::encodeName(m_modelPath).toStdString(), std::ios::binary);
        if (!in)
            return fail(QStringLiteral("%1: the file cannot be opened").arg(m_modelPath));
        dlib::deserialize(model->predictor, in);
        if (model->predictor.num_parts() != 68)
            return fail(QStringLiteral("%1: not a 68-point shape predictor").arg(m_modelPath));
        model->detector = dlib::get_frontal_face_detector();
    } catch (const std::exception &e) {
        return fail(QStringLiteral("%1: the file is damaged (%2)").arg(m_modelPath, QString::fromLocal8Bit(e.what())));
    }
    m_model = std::move(model);
    m_lastBox.reset();
    return true;
}

void DlibFaceLandmarks::release()
{
    if (!m_model)
        return;
    m_model.reset();
    m_lastBox.reset();
#if defined(__GLIBC__)
    // The model's hundred megabytes go back to the system, not only to the allocator.
    malloc_trim(0);
#endif
}

FaceDetectionResult DlibFaceLandmarks::detect(const QImage &frame)
{
    FaceDetectionResult result;
    if (!m_model) {
        result.error = QStringLiteral("The face model is not loaded");
        return result;
    }
    if (frame.isNull() || frame.width() <= 0 || frame.height() <= 0) {
        result.error = QStringLiteral("The frame is empty");
        return result;
    }
    if (frame.format() == QImage::Format_Invalid || frame.format() == QImage::Format_Mono
        || frame.format() == QImage::Format_MonoLSB) {
        result.error = QStringLiteral("The frame's pixel format cannot be read");
        return result;
    }
    const QImage gray = frame.format() == QImage::Format_Grayscale8 ? frame
                                                                     : frame.convertToFormat(QImage::Format_Grayscale8);
    const GrayView whole{&gray};

    // The search: around the last face when allowed, else (or when that fails) everywhere.
    std::vector<dlib::rectangle> faces;
    if (m_reuseFaceBox && m_lastBox) {
        const QRect last = *m_lastBox;
        const QPointF centre = QRectF(last).center();
        const double side = std::max(last.width(), last.height()) * kReuseRegion;
        const QRect region = QRectF(centre.x() - side / 2, centre.y() - side / 2, side, side).toAlignedRect()
                                 .intersected(gray.rect());
        const double scale = std::min(1.0, kReuseFaceWidth / std::max(1, last.width()));
        QImage crop = gray.copy(region);
        if (scale < 1.0)
            crop = crop.scaled(std::max(1, int(crop.width() * scale)), std::max(1, int(crop.height() * scale)),
                               Qt::IgnoreAspectRatio, Qt::FastTransformation);
        const double sx = double(region.width()) / crop.width();
        const double sy = double(region.height()) / crop.height();
        const GrayView view{&crop};
        for (const dlib::rectangle &r : m_model->detector(view)) {
            faces.emplace_back(long(region.x() + r.left() * sx), long(region.y() + r.top() * sy),
                               long(region.x() + r.right() * sx), long(region.y() + r.bottom() * sy));
        }
    }
    if (faces.empty())
        faces = m_model->detector(whole);
    if (faces.empty()) {
        m_lastBox.reset();
        return result;
    }
    // The largest face first, as the frontmost.
    std::stable_sort(faces.begin(), faces.end(),
                     [](const dlib::rectangle &a, const dlib::rectangle &b) { return a.area() > b.area(); });
    const dlib::rectangle &best = faces.front();
    m_lastBox = QRect(int(best.left()), int(best.top()), int(best.width()), int(best.height()));

    const double W = gray.width();
    const double H = gray.height();
    for (const dlib::rectangle &box : faces) {
        const dlib::full_object_detection shape = m_model->predictor(whole, box);
        FaceObservation face;
        const double left = box.left(), top = box.top();
        const double bw = std::max<double>(1, box.width()), bh = std::max<double>(1, box.height());
        // The request's frame is the transpose of the upright one: x' = y, y' = x.
        face.boundingBox = QRectF(top / H, left / W, bh / H, bw / W);
        auto eye = [&](int first) {
            QList<QPointF> points;
            for (int i = first; i < first + 6; ++i) {
                const dlib::point p = shape.part(i);
                points << QPointF((p.y() - top) / bh, (p.x() - left) / bw);
            }
            return points;
        };
        // 42-47 is the person's left eye, 36-41 their right.
        face.leftEye = eye(42);
        face.rightEye = eye(36);

        std::vector<cv::Point2d> image;
        for (int index : kHeadLandmarks)
            image.emplace_back(double(shape.part(index).x()), double(shape.part(index).y()));
        const cv::Matx33d camera(W, 0, W / 2, 0, W, H / 2, 0, 0, 1);
        cv::Mat rotation, translation;
        try {
            if (cv::solvePnP(headModel(), image, camera, cv::noArray(), rotation, translation, false,
                             cv::SOLVEPNP_ITERATIVE)) {
                cv::Matx33d R;
                cv::Rodrigues(rotation, R);
                // Relative to the line of sight: a face off the optical axis that looks
                // at the camera is turned towards it.
                const cv::Matx33d turn = lineOfSight(cv::Vec3d(translation)).t() * R;
                face.yaw = std::atan2(-turn(2, 0), std::sqrt(turn(2, 1) * turn(2, 1) + turn(2, 2) * turn(2, 2)));
                face.pitch = std::atan2(turn(2, 1), turn(2, 2));
            }
        } catch (const cv::Exception &) {
            // No pose: the face is taken as frontal, as a detector without pose reports it.
        }
        result.observations << face;
    }
    return result;
}

} // namespace qv
