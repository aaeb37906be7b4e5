#include "motion/MRBSplineInterpolation.h"

#include "algebra/DenseMatrix.h"

std::vector<double> MRBSplineInterpolation::uniformParameters() const
{
    const int n = keyPoseCount();
    std::vector<double> u;
    if (n < 1)
        return u;
    u.push_back(0.0);
    if (n == 1)
        return u;
    const double last = n - 1;
    for (double k = 1.0; k <= last - 1.0; k += 1.0)
        u.push_back(k / last);
    u.push_back(1.0);
    return u;
}

std::vector<DualQuaternion> MRBSplineInterpolation::interpolationControlPoints() const
{
    const std::vector<DualQuaternion> poses = signAlignedPoses(keyPoses());
    const int n = static_cast<int>(poses.size());
    const int p = degree();
    const std::vector<double> knots = uniformKnotVector(n, p);
    if (knots.empty())
        return {};
    const int last = n - 1;
    const std::vector<double> u = uniformParameters();

    // Row r holds the basis functions at u[r]: the curve at u[r] is row r
    // times the control poses, which must give key pose r.
    DenseMatrix a(n, n);
    a.setZero();
    for (int r = 0; r <= last; ++r) {
        const int span = findKnotSpan(last, p, static_cast<float>(u[r]), knots);
        const std::vector<float> basis = basisFunctions(span, u[r], p, knots);
        for (size_t k = 0; k < basis.size(); ++k)
            a.data[r][span - p + static_cast<int>(k)] = static_cast<double>(basis[k]);
    }
    bool ok = false;
    const DenseMatrix b = a.inverse(&ok);
    if (!ok)
        return {};

    std::vector<DualQuaternion> control;
    control.reserve(poses.size());
    for (int r = 0; r < n; ++r) {
        DualQuaternion sum = DualQuaternion::zero();
        for (int j = 0; j < n; ++j)
            sum = sum + b.data[r][j] * poses[j];
        control.push_back(sum);
    }
    return control;
}

// The control poses are blended as computed: aligning their signs would
// change the curve and lose the key poses it passes through.
std::vector<DualQuaternion> MRBSplineInterpolation::sampledPoses() const
{
    if (keyPoseCount() < 3)
        return {};
    return curveSamples(interpolationControlPoints(), degree(), m_ownProperties.density());
}

std::vector<ScenePoint> MRBSplineInterpolation::trajectoryPoints() const
{
    if (keyPoseCount() < 3)
        return {};
    return curveTrajectory(interpolationControlPoints(), degree());
}

void MRBSplineInterpolation::draw()
{
    if (keyPoseCount() < 3)
        return;
    drawCurve(interpolationControlPoints(), degree(), m_ownProperties);
}
