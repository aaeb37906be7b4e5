#include "motion/MotionKind.h"

#include "motion/MBezierMotion.h"
#include "motion/MContinuousMotion.h"
#include "motion/MRBSplineInterpolation.h"
#include "motion/MRBSplineMotion.h"
#include "motion/MScrewMotion.h"
#include "motion/MotionCurve.h"

namespace {

template <typename M> std::unique_ptr<Motion> create() { return std::make_unique<M>(); }

const float screwTrajectory[3] = { 0.57f, 0.57f, 1.0f };
const float bezierTrajectory[3] = { 1.0f, 0.0f, 0.0f };
const float approximationTrajectory[3] = { 0.5f, 0.5f, 0.5f };
const float interpolationTrajectory[3] = { 0.7f, 0.5f, 0.2f };

} // namespace

const std::vector<MotionKindInfo> &motionKinds()
{
    using K = MotionKind;
    using S = MotionSource;
    static const std::vector<MotionKindInfo> kinds = {
        { K::Screw, "screw", "screw motion", "Screw", S::KeyPositions, true, false, 2,
            { 0.0f, 1.0f, 0.0f }, screwTrajectory, create<MScrewMotion> },
        { K::Bezier, "bezier", "Bezier motion", "Bezier", S::KeyPositions, true, false, 2,
            { 0.0f, 0.0f, 1.0f }, bezierTrajectory, create<MBezierMotion> },
        { K::Approximation, "approximation", "B-spline approximation", "B-Spline Approximation",
            S::KeyPositions, true, true, 3, { 1.0f, 1.0f, 0.0f }, approximationTrajectory,
            create<MRBSplineMotion> },
        { K::Interpolation, "interpolation", "B-spline interpolation", "B-Spline Interpolation",
            S::KeyPositions, true, true, 3, { 0.0f, 0.5f, 0.0f }, interpolationTrajectory,
            create<MRBSplineInterpolation> },
        { K::Continuous, "continuous", "continuous motion", "Continuous motion",
            S::ContinuousPositions, false, false, 1, { 0.0f, 1.0f, 1.0f }, nullptr,
            create<MContinuousMotion> },
    };
    return kinds;
}

const MotionKindInfo &motionKindInfo(MotionKind kind)
{
    return motionKinds()[static_cast<size_t>(kind)];
}

const char *motionKindName(MotionKind kind) { return motionKindInfo(kind).name; }

const char *motionKindTitle(MotionKind kind) { return motionKindInfo(kind).title; }

bool motionKindFromName(const std::string &name, MotionKind *kind)
{
    for (const MotionKindInfo &info : motionKinds())
        if (info.exported && name == info.name) {
            *kind = info.kind;
            return true;
        }
    return false;
}

std::unique_ptr<Motion> createMotion(MotionKind kind) { return motionKindInfo(kind).create(); }

namespace {

std::unique_ptr<Motion> configured(
    MotionKind kind, const std::vector<DualQuaternion> &keyPoses, int density, int degree)
{
    std::unique_ptr<Motion> motion = createMotion(kind);
    motion->setKeyPoses(keyPoses);
    motion->properties().setDensity(density);
    motion->setDegree(degree);
    return motion;
}

} // namespace

std::vector<DualQuaternion> drawnMotionPoses(
    MotionKind kind, const std::vector<DualQuaternion> &keyPoses, int density, int degree)
{
    return configured(kind, keyPoses, density, degree)->sampledPoses();
}

std::unique_ptr<MotionCurve> motionCurve(
    MotionKind kind, const std::vector<DualQuaternion> &keyPoses, int degree)
{
    return configured(kind, keyPoses, 100, degree)->curve();
}
