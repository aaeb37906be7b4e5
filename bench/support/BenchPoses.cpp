#include "bench/support/BenchPoses.h"

#include "algebra/Pose.h"
#include "sensor/sources/DemoOperator.h"

#include <cmath>

namespace bench {

std::vector<DualQuaternion> sweptKeyPoses(int n)
{
    std::vector<DualQuaternion> poses;
    const double pi = std::acos(-1.0);
    const QVector3D axis(0.3f, 1.0f, 0.2f);
    for (int k = 0; k < n; ++k) {
        const double s = n > 1 ? double(k) / double(n - 1) : 0.0;
        const QVector3D centre(float(0.1 + 0.4 * s), float(0.2 + 0.15 * std::sin(2.0 * pi * s)),
            float(1.8 + 0.2 * std::cos(2.0 * pi * s)));
        const float angle = float(150.0 * s);
        const QVector3D tip = centre + rotateVector(QVector3D(0.0f, 0.09f, 0.0f), angle, axis);
        const QVector3D thumb = centre + rotateVector(QVector3D(0.05f, 0.03f, 0.0f), angle, axis);
        poses.push_back(
            poseFromMatrix(frameFromPoints(centre, tip, thumb, PoseModeSpatial), PoseModeSpatial));
    }
    return poses;
}

camera::BodyFrame demoBodyFrame(std::int64_t index)
{
    camera::BodyFrame frame;
    frame.bodies[0] = camera::DemoOperator::body(index);
    return frame;
}

} // namespace bench
