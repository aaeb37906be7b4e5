#include "motion/MotionExport.h"

#include "algebra/Matrix4.h"
#include "motion/Motion.h"
#include "motion/MotionCurve.h"

#include <cmath>

bool exportPoses(
    const std::vector<DualQuaternion> &poses, std::vector<ExportPose> *out, size_t *badIndex)
{
    out->clear();
    out->reserve(poses.size());
    for (size_t i = 0; i < poses.size(); ++i) {
        const Matrix4 m = poses[i].toMatrix();
        const Quaternion real = poses[i].realPart();
        const double norm = std::sqrt(real.squaredNorm());
        ExportPose pose;
        pose.position[0] = m(0, 3);
        pose.position[1] = m(1, 3);
        pose.position[2] = m(2, 3);
        pose.orientation
            = Quaternion(real.x() / norm, real.y() / norm, real.z() / norm, real.w() / norm);
        const bool finite = std::isfinite(pose.position[0]) && std::isfinite(pose.position[1])
            && std::isfinite(pose.position[2]) && norm > 0.0 && std::isfinite(norm);
        if (!finite) {
            out->clear();
            if (badIndex)
                *badIndex = i;
            return false;
        }
        // q and -q are the same rotation; a reader that interpolates
        // neighbours needs them on the same side.
        const bool flip = out->empty()
            ? pose.orientation.w() < 0.0
            : Quaternion::dot(pose.orientation, out->back().orientation) < 0.0;
        if (flip)
            pose.orientation = -1.0 * pose.orientation;
        out->push_back(pose);
    }
    return true;
}

namespace {

std::string kindDescription(const MotionExportRequest &request, size_t keyCount, size_t poseCount)
{
    std::string text = std::string("handmotion ") + motionKindTitle(request.kind);
    if (motionKindInfo(request.kind).hasDegree)
        text += " of degree " + std::to_string(request.degree);
    text += " from " + std::to_string(keyCount) + " key positions: " + std::to_string(poseCount)
        + " waypoints";
    text += request.constantSpeed ? ", resampled to constant speed along the path"
                                  : ", density " + std::to_string(request.density);
    return text + ".";
}

} // namespace

bool motionExportText(const MotionExportRequest &request,
    const std::vector<DualQuaternion> &keyPoses, std::string *text, std::string *error,
    size_t *poseCount)
{
    const auto fail = [error](const std::string &why) {
        *error = why;
        return false;
    };
    const int n = static_cast<int>(keyPoses.size());
    const MotionKindInfo &kind = motionKindInfo(request.kind);
    const std::string title = kind.title;
    if (!kind.exported)
        return fail("the " + title + " is not exported");
    if (request.density < 0 || request.density > 100)
        return fail("density " + std::to_string(request.density) + " is out of range 0 to 100");
    const int needed = kind.minimumKeyPoses;
    if (n < needed)
        return fail("the " + title + " needs at least " + std::to_string(needed)
            + " key positions; there " + (n == 1 ? "is " : "are ") + std::to_string(n));
    if (kind.hasDegree && (request.degree < 1 || request.degree > n - 1))
        return fail("degree " + std::to_string(request.degree) + " is out of range 1 to "
            + std::to_string(n - 1) + " for " + std::to_string(n) + " key positions");
    if (!std::isfinite(request.durationSeconds))
        return fail("the duration is not a finite number");
    const double duration = request.durationSeconds > 0.0 ? request.durationSeconds : n - 1.0;

    // The motion object the view draws, set up as the view sets it.
    const std::unique_ptr<Motion> motion = createMotion(request.kind);
    motion->setKeyPoses(keyPoses);
    motion->properties().setDensity(request.density);
    motion->setDegree(request.degree);
    std::vector<DualQuaternion> poses = motion->sampledPoses();
    if (poses.empty()) {
        const std::string failure = motion->failure();
        if (!failure.empty())
            return fail("the " + title + " cannot be computed: " + failure);
        return fail("the " + title + " has no poses");
    }
    if (request.constantSpeed) {
        const std::unique_ptr<MotionCurve> curve = motion->curve();
        double length = 0.0;
        if (curve)
            poses = constantSpeedPoses(*curve, static_cast<int>(poses.size()), &length);
        if (!curve || poses.empty())
            return fail("the " + title + " passes through a pose that is not finite");
    }
    std::vector<ExportPose> exported;
    size_t bad = 0;
    if (!exportPoses(poses, &exported, &bad))
        return fail("pose " + std::to_string(bad) + " of the " + title
            + " is not finite (a blend of opposite key poses)");

    MotionExportSettings settings;
    settings.durationSeconds = duration;
    settings.hasCameraInBase = request.hasCameraInBase;
    settings.cameraInBase = request.cameraInBase;
    settings.description.push_back(kindDescription(request, keyPoses.size(), exported.size()));
    *text = motionExportFormatInfo(request.format).write(exported, settings);
    if (poseCount)
        *poseCount = exported.size();
    return true;
}
