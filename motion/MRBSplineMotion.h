#pragma once

#include "motion/Motion.h"

// The knot span of t: the index i with knots[i] <= t < knots[i + 1], found by
// bisection between degree and last + 1 (last = index of the last control
// point); last itself when t is at or past knots[last + 1], degree when t is
// before knots[degree]. t is widened to double for every comparison. -1 when
// the arguments do not describe a knot vector (degree < 0, last < degree, or
// fewer than last + 2 knots). For knots that decrease somewhere the result is
// some index from degree to last.
int findKnotSpan(int last, int degree, float t, const std::vector<double> &knots);

// The degree + 1 basis functions that do not vanish at t in the given span,
// in single precision; element k belongs to control point span - degree + k.
// Empty when the span and degree reach outside the knots.
std::vector<float> basisFunctions(int span, double t, int degree, const std::vector<double> &knots);

// A clamped uniform B-spline of degree `degree` in dual-quaternion space with
// the key poses (signs aligned) as control poses: it starts at the first key
// pose, ends at the last and approximates the others; drawn as a rational
// rigid-body motion. Degree 1 is drawn as the screw motion through the key
// poses; degree 0, a degree above n - 1 or fewer than three key poses draw
// nothing.
class MRBSplineMotion : public Motion {
public:
    int degree() const override { return m_degree; }
    void setDegree(int degree) override { m_degree = degree; }

    // n + degree + 1 knots: degree + 1 zeros, (j - degree) / (n - degree) for
    // the interior (single precision, stored as double), degree + 1 ones.
    // Empty unless 0 <= degree <= n - 1.
    std::vector<double> uniformKnotVector() const;
    static std::vector<double> uniformKnotVector(int n, int degree);

    // The curve point at t of the given control poses, with basisFunctions
    // over findKnotSpan; the zero pose when the arguments do not fit.
    static DualQuaternion curvePoint(const std::vector<DualQuaternion> &controlPoses, int degree,
        const std::vector<double> &knots, double t);

    // The poses draw() draws, in drawing order, and the trajectory points
    // (200 samples and the last key pose's; the screw motion's for degree 1).
    std::vector<DualQuaternion> sampledPoses() const override;
    std::vector<ScenePoint> trajectoryPoints() const override;
    const MotionDrawing &prepareDrawing() override;
    // The curve at s = t; the screw motion's segments for degree 1.
    std::unique_ptr<MotionCurve> curve() const override;

protected:
    // The same for given control poses taken as they are, with the sampling
    // density given, into the given vector (cleared first); used by the
    // interpolation for its computed control poses.
    static void curveSamples(const std::vector<DualQuaternion> &controlPoses, int degree,
        int density, std::vector<DualQuaternion> &samples);
    static void curveTrajectory(const std::vector<DualQuaternion> &controlPoses, int degree,
        std::vector<ScenePoint> &points);
    static std::unique_ptr<MotionCurve> splineCurve(
        std::vector<DualQuaternion> controlPoses, int degree);
    // Fills the drawing from given control poses.
    void prepareCurve(const std::vector<DualQuaternion> &controlPoses, int degree);

private:
    int m_degree = 3;
};
