#pragma once

#include "motion/MRBSplineMotion.h"

// A B-spline motion through every key pose: control poses are solved for so
// that the clamped uniform B-spline of the inherited degree takes the value
// of key pose k (signs aligned) at k / (n - 1); that curve is then drawn as
// MRBSplineMotion draws its own. The solve is one shared coefficient matrix
// for all eight components.
//
// The control poses are kept between calls and computed again only when the
// key poses or the degree have changed; the inverse of the basis matrix is
// kept too and computed again only when the number of key poses or the
// degree has changed.
class MRBSplineInterpolation : public MRBSplineMotion {
public:
    // The inverse of the basis matrix A is not trusted when it misses its
    // own definition, ||A A^-1 - I||inf > maxInverseResidual, or when it
    // amplifies, ||A^-1||inf > maxAmplification: a key pose moved by a
    // millimetre could then move a control pose by ten metres, and the
    // motion between the key poses would show the capture's jitter rather
    // than the poses. At degree 3 that is from 49 key poses on; at degree 2
    // never below hundreds.
    static constexpr double maxInverseResidual = 1e-6;
    static constexpr double maxAmplification = 1e4;

    // 0, 1 / (n - 1), ..., (n - 2) / (n - 1), 1: n values (one for n = 1).
    std::vector<double> uniformParameters() const;
    // The n control poses; empty when the degree is outside 0 .. n - 1 or
    // the basis matrix is singular or its inverse not trusted.
    std::vector<DualQuaternion> interpolationControlPoints() const;

    // True when the key poses cannot be interpolated reliably at this degree:
    // the basis matrix is singular or its inverse is not trusted (above).
    // False when the degree is outside 0 .. n - 1 or there are no key poses.
    bool interpolationFailed() const;
    // ||A A^-1 - I||inf and ||A^-1||inf of the current basis matrix; infinite
    // when it is singular, 0 when there is none.
    double inverseResidual() const;
    double inverseAmplification() const;
    // How many times this motion has inverted a basis matrix.
    int inversions() const { return m_inversions; }

    // The poses draw() draws and the trajectory points, as MRBSplineMotion's
    // for the control poses; nothing for fewer than three key poses.
    std::vector<DualQuaternion> sampledPoses() const override;
    std::vector<ScenePoint> trajectoryPoints() const override;
    const MotionDrawing &prepareDrawing() override;
    // The curve of the control poses; null while they cannot be computed.
    std::unique_ptr<MotionCurve> curve() const override;
    // "N key positions at degree D cannot be interpolated reliably" while
    // interpolationFailed().
    std::string failure() const override;

private:
    // Brings the cached inverse and control poses up to date.
    void update() const;
    void invertBasisMatrix(int n, int degree) const;

    // The basis matrix's inverse for m_inverseCount key poses (-1: none yet)
    // at m_inverseDegree; row-major n x n, empty when there is no matrix
    // (m_hasMatrix false) or its inverse is not trusted.
    mutable int m_inverseCount = -1;
    mutable int m_inverseDegree = 0;
    mutable bool m_hasMatrix = false;
    mutable std::vector<double> m_inverse;
    mutable double m_residual = 0.0;
    mutable double m_amplification = 0.0;
    mutable int m_inversions = 0;
    // For the aligned key poses in m_controlOf at m_inverseDegree.
    mutable bool m_controlValid = false;
    mutable std::vector<DualQuaternion> m_controlOf;
    mutable std::vector<DualQuaternion> m_control;
};
