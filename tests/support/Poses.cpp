#include "tests/support/Poses.h"

#include "algebra/Pose.h"

#include <QtMath>

#include <algorithm>
#include <cmath>
#include <limits>

DualQuaternion makePose(double angleDegrees, const QVector3D &axis, const QVector3D &t)
{
    const QVector3D n = axis.normalized();
    const double half = qDegreesToRadians(angleDegrees) / 2.0;
    const double s = std::sin(half);
    const double q[4] = { n.x() * s, n.y() * s, n.z() * s, std::cos(half) };
    const double translation[4] = { t.x(), t.y(), t.z(), 0.0 };
    return DualQuaternion::fromRotationTranslation(q, translation);
}

DualQuaternion capturedPose(double angleDegrees, const QVector3D &axis, const QVector3D &t)
{
    Matrix4 m = makePose(angleDegrees, axis, QVector3D()).toMatrix();
    m(0, 3) = t.x();
    m(1, 3) = t.y();
    m(2, 3) = t.z();
    return poseFromMatrix(m, PoseModeSpatial);
}

double rotationAngleDegrees(const Matrix4 &m)
{
    const double c = std::clamp((m(0, 0) + m(1, 1) + m(2, 2) - 1.0) / 2.0, -1.0, 1.0);
    return qRadiansToDegrees(std::acos(c));
}

double maxDifference(const Matrix4 &a, const Matrix4 &b)
{
    double d = 0.0;
    for (int i = 0; i < 16; ++i) {
        const double difference = std::abs(a.data()[i] - b.data()[i]);
        // A NaN anywhere is as far off as it gets.
        if (std::isnan(difference))
            return std::numeric_limits<double>::infinity();
        d = std::max(d, difference);
    }
    return d;
}
