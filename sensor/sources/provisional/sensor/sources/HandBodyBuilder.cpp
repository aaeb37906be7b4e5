#include "sensor/sources/HandBodyBuilder.h"

#include <cmath>
#include <limits>

namespace camera {

namespace {

    constexpr double pi = 3.14159265358979323846;

    double distance3(const std::array<double, 3> &a, const std::array<double, 3> &b)
    {
        return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1])
            + (a[2] - b[2]) * (a[2] - b[2]));
    }

} // namespace

HandBodyBuilder::HandBodyBuilder(double horizontalFovDegrees)
    : m_fovDegrees(horizontalFovDegrees)
{
}

void HandBodyBuilder::reset() { m_leftClosed = false; }

Body HandBodyBuilder::bodyFrom(const LandmarkFrame &frame)
{
    Body body;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (int j = 0; j < JointType_Count; ++j) {
        body.joints[std::size_t(j)].JointType = JointType(j);
        body.joints[std::size_t(j)].Position = { nan, nan, nan };
        body.joints[std::size_t(j)].TrackingState = TrackingState_NotTracked;
    }
    if (frame.hands.empty() || frame.width <= 0)
        return body;
    body.tracked = true;
    body.trackingId = 1;
    const double f = frame.width / 2.0 / std::tan(m_fovDegrees * pi / 360.0);
    const double cx = frame.width / 2.0, cy = frame.height / 2.0;
    for (const LandmarkHand &hand : frame.hands) {
        // An unmirrored camera: the model calls the right hand "Left".
        const bool right = hand.labelledRight == frame.mirrored;
        // Least squares for the translation t: f (W + t)_x = (u - cx) (W + t)_z, etc.
        double ata[3][3] = {};
        double atb[3] = {};
        for (int k = 0; k < 21; ++k) {
            const double u = hand.image[std::size_t(k)][0] - cx;
            const double v = hand.image[std::size_t(k)][1] - cy;
            const auto &w = hand.world[std::size_t(k)];
            const double rows[2][4]
                = { { f, 0, -u, u * w[2] - f * w[0] }, { 0, f, -v, v * w[2] - f * w[1] } };
            for (const auto &r : rows)
                for (int i = 0; i < 3; ++i) {
                    for (int j = 0; j < 3; ++j)
                        ata[i][j] += r[i] * r[j];
                    atb[i] += r[i] * r[3];
                }
        }
        const double det = ata[0][0] * (ata[1][1] * ata[2][2] - ata[1][2] * ata[2][1])
            - ata[0][1] * (ata[1][0] * ata[2][2] - ata[1][2] * ata[2][0])
            + ata[0][2] * (ata[1][0] * ata[2][1] - ata[1][1] * ata[2][0]);
        if (std::abs(det) < 1e-12)
            continue;
        double t[3];
        for (int c = 0; c < 3; ++c) {
            double m[3][3];
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j)
                    m[i][j] = j == c ? atb[i] : ata[i][j];
            t[c] = (m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1])
                       - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0])
                       + m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]))
                / det;
        }
        // Camera axes (x right, y down, z forward) to the tracker's (X left, Y up, Z away).
        auto point = [&](int k) {
            const auto &w = hand.world[std::size_t(k)];
            return CameraSpacePoint { float(-(w[0] + t[0])), float(-(w[1] + t[1])),
                float(w[2] + t[2]) };
        };
        auto put = [&](JointType type, CameraSpacePoint p) {
            body.joints[std::size_t(type)].Position = p;
            body.joints[std::size_t(type)].TrackingState = TrackingState_Tracked;
        };
        auto middle = [](CameraSpacePoint a, CameraSpacePoint b) {
            return CameraSpacePoint { (a.X + b.X) / 2, (a.Y + b.Y) / 2, (a.Z + b.Z) / 2 };
        };
        if (right) {
            put(JointType_WristRight, point(0));
            put(JointType_HandRight, middle(point(0), point(9)));
            put(JointType_HandTipRight, point(12));
            put(JointType_ThumbRight, point(4));
            body.handRightState = HandState_Open;
        } else {
            put(JointType_WristLeft, point(0));
            put(JointType_HandLeft, middle(point(0), point(9)));
            put(JointType_HandTipLeft, point(12));
            put(JointType_ThumbLeft, point(4));
            const auto &w = hand.world;
            double tips = 0;
            for (int k : { 8, 12, 16, 20 })
                tips += distance3(w[std::size_t(k)], w[0]);
            const double ratio = tips / 4 / std::max(1e-9, distance3(w[9], w[0]));
            if (ratio < 1.1)
                m_leftClosed = true;
            else if (ratio > 1.4)
                m_leftClosed = false;
            body.handLeftState = m_leftClosed ? HandState_Closed : HandState_Open;
        }
    }
    return body;
}

}
