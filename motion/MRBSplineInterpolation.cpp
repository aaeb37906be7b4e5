#include "motion/MRBSplineInterpolation.h"

#include "algebra/DenseMatrix.h"
#include "motion/MotionCurve.h"

#include <cmath>
#include <limits>

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

void MRBSplineInterpolation::invertBasisMatrix(int n, int p) const
{
    m_inverseCount = n;
    m_inverseDegree = p;
    m_hasMatrix = false;
    m_inverse.clear();
    m_residual = 0.0;
    m_amplification = 0.0;
    const std::vector<double> knots = uniformKnotVector(n, p);
    if (knots.empty())
        return;
    m_hasMatrix = true;
    const int last = n - 1;
    const std::vector<double> u = uniformParameters();

    // Row r holds the basis functions at u[r]: the curve at u[r] is row r
    // times the control poses, which must give key pose r. Its non-zero
    // elements are the p + 1 from column first[r] on.
    DenseMatrix a(n, n);
    a.setZero();
    std::vector<int> first(static_cast<size_t>(n), 0);
    for (int r = 0; r <= last; ++r) {
        const int span = findKnotSpan(last, p, static_cast<float>(u[r]), knots);
        const std::vector<float> basis = basisFunctions(span, u[r], p, knots);
        first[r] = span - p;
        for (size_t k = 0; k < basis.size(); ++k)
            a.data[r][first[r] + static_cast<int>(k)] = static_cast<double>(basis[k]);
    }
    bool ok = false;
    const DenseMatrix b = a.inverse(&ok);
    ++m_inversions;
    if (!ok) {
        m_residual = m_amplification = std::numeric_limits<double>::infinity();
        return;
    }
    for (int i = 0; i < n; ++i) {
        double residualRow = 0.0;
        for (int j = 0; j < n; ++j) {
            double product = 0.0;
            for (int k = first[i]; k <= first[i] + p; ++k)
                product += a.data[i][k] * b.data[k][j];
            residualRow += std::fabs(product - (i == j ? 1.0 : 0.0));
        }
        double inverseRow = 0.0;
        for (int j = 0; j < n; ++j)
            inverseRow += std::fabs(b.data[i][j]);
        m_residual = std::max(m_residual, residualRow);
        m_amplification = std::max(m_amplification, inverseRow);
    }
    if (!(m_residual <= maxInverseResidual && m_amplification <= maxAmplification))
        return;
    m_inverse.resize(static_cast<size_t>(n) * static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            m_inverse[static_cast<size_t>(i) * n + j] = b.data[i][j];
}

void MRBSplineInterpolation::update() const
{
    std::vector<DualQuaternion> poses = signAlignedPoses(keyPoses());
    const int n = static_cast<int>(poses.size());
    if (n != m_inverseCount || degree() != m_inverseDegree) {
        invertBasisMatrix(n, degree());
        m_controlValid = false;
    }
    if (m_controlValid && poses == m_controlOf)
        return;
    m_control.clear();
    if (!m_inverse.empty()) {
        m_control.reserve(poses.size());
        for (int r = 0; r < n; ++r) {
            const double *row = m_inverse.data() + static_cast<size_t>(r) * n;
            DualQuaternion sum = DualQuaternion::zero();
            for (int j = 0; j < n; ++j)
                sum = sum + row[j] * poses[j];
            m_control.push_back(sum);
        }
    }
    m_controlOf = std::move(poses);
    m_controlValid = true;
}

std::vector<DualQuaternion> MRBSplineInterpolation::interpolationControlPoints() const
{
    update();
    return m_control;
}

bool MRBSplineInterpolation::interpolationFailed() const
{
    update();
    return m_hasMatrix && m_inverse.empty();
}

double MRBSplineInterpolation::inverseResidual() const
{
    update();
    return m_residual;
}

double MRBSplineInterpolation::inverseAmplification() const
{
    update();
    return m_amplification;
}

// The control poses are blended as computed: aligning their signs would
// change the curve and lose the key poses it passes through.
std::vector<DualQuaternion> MRBSplineInterpolation::sampledPoses() const
{
    std::vector<DualQuaternion> samples;
    if (keyPoseCount() < 3)
        return samples;
    update();
    curveSamples(m_control, degree(), m_properties.density(), samples);
    return samples;
}

std::vector<ScenePoint> MRBSplineInterpolation::trajectoryPoints() const
{
    std::vector<ScenePoint> points;
    if (keyPoseCount() < 3)
        return points;
    update();
    curveTrajectory(m_control, degree(), points);
    return points;
}

const MotionDrawing &MRBSplineInterpolation::prepareDrawing()
{
    if (keyPoseCount() < 3) {
        m_drawing.clear();
        return m_drawing;
    }
    update();
    prepareCurve(m_control, degree());
    return m_drawing;
}

std::unique_ptr<MotionCurve> MRBSplineInterpolation::curve() const
{
    if (keyPoseCount() < 3)
        return nullptr;
    update();
    return splineCurve(m_control, degree());
}

std::string MRBSplineInterpolation::failure() const
{
    if (!interpolationFailed())
        return {};
    return std::to_string(keyPoseCount()) + " key positions at degree " + std::to_string(degree())
        + " cannot be interpolated reliably";
}
