#include "platform/desktop/DlibFaceLandmarks.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

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
#include <streambuf>
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
    // dlib's data package puts the model in the shared data folders; an installed program
    // looks beside itself first ("<prefix>/share"), then in the XDG data folders.
    const QString name = QStringLiteral("dlib/shape_predictor_68_face_landmarks.dat");
    const QString besideProgram = QCoreApplication::applicationDirPath() + QStringLiteral("/../share/") + name;
    if (!QCoreApplication::applicationDirPath().isEmpty() && QFileInfo::exists(besideProgram))
        return QFileInfo(besideProgram).absoluteFilePath();
    const QString found = QStandardPaths::locate(QStandardPaths::GenericDataLocation, name);
    return found.isEmpty() ? QStringLiteral("/usr/share/") + name : found;
}

DlibFaceLandmarks::DlibFaceLandmarks(QString modelPath) : m_modelPath(std::move(modelPath)) {}

DlibFaceLandmarks::~DlibFaceLandmarks() = default;

bool DlibFaceLandmarks::isLoaded() const
{
    return m_model != nullptr;
}

namespace {
// The model file read in blocks, asking before each whether the load was abandoned; an
// abandoned load throws out of the deserialisation.
class AbandonableFileBuffer final : public std::streambuf {
public:
    struct Abandoned {};
    AbandonableFileBuffer(std::ifstream &file, const std::function<bool()> &abandoned)
        : m_file(file), m_abandoned(abandoned)
    {
    }

protected:
    int_type underflow() override
    {
        if (m_abandoned && m_abandoned())
            throw Abandoned{};
        m_file.read(m_buffer, sizeof m_buffer);
        const std::streamsize n = m_file.gcount();
        if (n <= 0)
            return traits_type::eof();
        setg(m_buffer, m_buffer, m_buffer + n);
        return traits_type::to_int_type(m_buffer[0]);
    }

private:
    std::ifstream &m_file;
    const std::function<bool()> &m_abandoned;
    char m_buffer[1 << 16];
};
} // namespace

bool DlibFaceLandmarks::load(QString *error, const std::function<bool()> &abandoned)
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
        std::ifstream file(QFile::encodeName(m_modelPath).toStdString(), std::ios::binary);
        if (!file)
            return fail(QStringLiteral("%1: the file cannot be opened").arg(m_modelPath));
        AbandonableFileBuffer buffer(file, abandoned);
        std::istream in(&buffer);
        in.exceptions(std::ios::badbit); // the abandonment comes through the stream
        dlib::deserialize(model->predictor, in);
        if (model->predictor.num_parts() != 68)
            return fail(QStringLiteral("%1: not a 68-point shape predictor").arg(m_modelPath));
        model->detector = dlib::get_frontal_face_detector();
    } catch (const AbandonableFileBuffer::Abandoned &) {
        return fail(QStringLiteral("%1: the load was abandoned").arg(m_modelPath));
    } catch (const std::exception &e) {
        return fail(QStringLiteral("%1: the file is damaged (%2)").arg(m_modelPath, QString::fromLocal8Bit(e.what())));
    }
    m_model = std::move(model);
    forgetFaceBox();
    return true;
}

void DlibFaceLandmarks::release()
{
    if (!m_model)
        return;
    m_model.reset();
    forgetFaceBox();
#if defined(__GLIBC__)
    // The model's hundred megabytes go back to the system, not only to the allocator.
    malloc_trim(0);
#endif
}

namespace {
// A face found by the search, in upright frame pixels, with the detector's confidence.
struct Candidate {
    QRectF box;
    double confidence = 0;
};

double overlap(const QRectF &a, const QRectF &b)
{
    const QRectF common = a.intersected(b);
    const double shared = common.width() * common.height();
    const double total = a.width() * a.height() + b.width() * b.height() - shared;
    return total > 0 ? shared / total : 0.0;
}

// The face the detector goes on with: the one that overlaps the last face most; without
// a last face (or with none overlapping it) the one the detector is most certain of (a
// face-like pattern on clothing can come out as large as the face), the larger on a tie.
const Candidate &chooseFace(const std::vector<Candidate> &faces, const std::optional<QRectF> &last)
{
    const Candidate *best = &faces.front();
    double bestOverlap = last ? overlap(best->box, *last) : 0.0;
    for (const Candidate &face : faces) {
        const double o = last ? overlap(face.box, *last) : 0.0;
        bool better;
        if (o != bestOverlap)
            better = o > bestOverlap;
        else if (face.confidence != best->confidence)
            better = face.confidence > best->confidence;
        else
            better = face.box.width() * face.box.height() > best->box.width() * best->box.height();
        if (better) {
            best = &face;
            bestOverlap = o;
        }
    }
    return *best;
}
} // namespace

std::vector<DlibFaceLandmarks::Found> DlibFaceLandmarks::search(const QImage &gray, const QRect &region, double scale)
{
    QImage crop = region == gray.rect() ? gray : gray.copy(region);
    if (scale < 1.0)
        crop = crop.scaled(std::max(1, int(std::lround(crop.width() * scale))),
                           std::max(1, int(std::lround(crop.height() * scale))), Qt::IgnoreAspectRatio,
                           Qt::SmoothTransformation);
    const double sx = double(region.width()) / crop.width();
    const double sy = double(region.height()) / crop.height();
    const GrayView view{&crop};
    std::vector<dlib::rect_detection> detections;
    m_model->detector(view, detections);
    std::vector<Found> faces;
    for (const dlib::rect_detection &d : detections) {
        const dlib::rectangle &r = d.rect;
        faces.push_back({QRectF(region.x() + r.left() * sx, region.y() + r.top() * sy, r.width() * sx,
                                r.height() * sy),
                         d.detection_confidence});
    }
    return faces;
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

    // The search: around the last face when allowed; else (or when that finds nothing)
    // the whole frame, reduced while the face is lost.
    std::vector<Found> faces;
    if (m_reuseFaceBox && m_lastBox) {
        const QRectF last = *m_lastBox;
        const QPointF centre = last.center();
        const double side = std::max(last.width(), last.height()) * kReuseRegion;
        const QRect region = QRectF(centre.x() - side / 2, centre.y() - side / 2, side, side).toAlignedRect()
                                 .intersected(gray.rect());
        if (!region.isEmpty())
            faces = search(gray, region, std::min(1.0, kReuseFaceWidth / std::max(1.0, last.width())));
    }
    if (faces.empty()) {
        // A lost face is searched on a reduced frame, which misses faces narrower than
        // the detector's window there; every few searches go over the full frame for them.
        const bool reduced = !m_lastBox && m_lostSearchWidth > 0 && m_lostSearches % kFullSearchEvery != 0;
        faces = search(gray, gray.rect(), reduced ? std::min(1.0, double(m_lostSearchWidth) / gray.width()) : 1.0);
    }
    if (faces.empty()) {
        if (!m_lastBox)
            ++m_lostSearches;
        m_lastBox.reset();
        return result;
    }
    m_lostSearches = 0;
    std::vector<Candidate> candidates;
    for (const Found &f : faces)
        candidates.push_back({f.box, f.confidence});
    const QRectF box = chooseFace(candidates, m_lastBox).box;
    m_lastBox = box;

    // The landmarks, on the face brought to the working size: the predictor places whole
    // pixels, which on a small face are a large part of an eye's opening.
    const double scale = m_landmarkFaceWidth > 0 ? std::max(1.0, m_landmarkFaceWidth / std::max(1.0, box.width()))
                                                 : 1.0;
    const QRect area = box.adjusted(-box.width() * 0.25, -box.height() * 0.25, box.width() * 0.25,
                                    box.height() * 0.25)
                           .toAlignedRect()
                           .intersected(gray.rect());
    QImage work = gray.copy(area);
    if (scale > 1.0)
        work = work.scaled(int(std::lround(area.width() * scale)), int(std::lround(area.height() * scale)),
                           Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const double wx = double(work.width()) / area.width();
    const double wy = double(work.height()) / area.height();
    const GrayView workView{&work};
    // The predictor starts from the box, and where the search's coarse grid put the box
    // shows in the landmarks: they are averaged over the box shifted slightly up and left
    // and down and right.
    const double shift = box.width() * kLandmarkBoxShift;
    const QPointF shifts[] = {{-shift, -shift}, {shift, shift}};
    std::vector<QPointF> sums(68);
    for (const QPointF &d : shifts) {
        const QRectF b = box.translated(d);
        const dlib::rectangle workBox(std::lround((b.left() - area.x()) * wx), std::lround((b.top() - area.y()) * wy),
                                      std::lround((b.right() - area.x()) * wx) - 1,
                                      std::lround((b.bottom() - area.y()) * wy) - 1);
        const dlib::full_object_detection shape = m_model->predictor(workView, workBox);
        for (unsigned long i = 0; i < shape.num_parts() && i < sums.size(); ++i)
            sums[i] += QPointF(shape.part(i).x(), shape.part(i).y());
    }
    const double passes = double(std::size(shifts));
    // A landmark in upright frame pixels (the centre of the working pixel it names).
    auto at = [&](int index) {
        const QPointF p = sums[std::size_t(index)] / passes;
        return QPointF(area.x() + (p.x() + 0.5) / wx - 0.5, area.y() + (p.y() + 0.5) / wy - 0.5);
    };

    const double W = gray.width();
    const double H = gray.height();
    FaceObservation face;
    const double left = box.left(), top = box.top();
    const double bw = std::max(1.0, box.width()), bh = std::max(1.0, box.height());
    // The request's frame is the transpose of the upright one: x' = y, y' = x.
    face.boundingBox = QRectF(top / H, left / W, bh / H, bw / W);
    auto eye = [&](int first) {
        QList<QPointF> points;
        for (int i = first; i < first + 6; ++i) {
            const QPointF p = at(i);
            points << QPointF((p.y() - top) / bh, (p.x() - left) / bw);
        }
        return points;
    };
    // 42-47 is the person's left eye, 36-41 their right.
    face.leftEye = eye(42);
    face.rightEye = eye(36);

    std::vector<cv::Point2d> image;
    for (int index : kHeadLandmarks) {
        const QPointF p = at(index);
        image.emplace_back(p.x(), p.y());
    }
    const cv::Matx33d camera(W, 0, W / 2, 0, W, H / 2, 0, 0, 1);
    cv::Mat rotation, translation;
    try {
        if (cv::solvePnP(headModel(), image, camera, cv::noArray(), rotation, translation, false,
                         cv::SOLVEPNP_ITERATIVE)) {
            cv::Matx33d R;
            cv::Rodrigues(rotation, R);
            // Relative to the line of sight: a face off the optical axis that looks at
            // the camera is turned towards it.
            const cv::Matx33d turn = lineOfSight(cv::Vec3d(translation)).t() * R;
            face.yaw = std::atan2(-turn(2, 0), std::sqrt(turn(2, 1) * turn(2, 1) + turn(2, 2) * turn(2, 2)));
            face.pitch = std::atan2(turn(2, 1), turn(2, 2));
        }
    } catch (const cv::Exception &) {
        // No pose: the face is taken as frontal, as a detector without pose reports it.
    }
    result.observations << face;
    return result;
}

} // namespace qv
