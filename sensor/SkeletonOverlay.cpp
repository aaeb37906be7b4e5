#include "sensor/SkeletonOverlay.h"

#include "sensor/sources/Source.h"

#include <QLabel>
#include <QPainter>
#include <QPixmap>

#include <cmath>

namespace Kinect {

namespace {

    // The picture's fixed size: two pixels less than the scroll area that
    // holds the skeleton label.
    constexpr int overlayWidth = 938;
    constexpr int overlayHeight = 438;

    // The stick figure's bones, in drawing order.
    constexpr JointType bones[24][2] = {
        { JointType_FootLeft, JointType_AnkleLeft },
        { JointType_AnkleLeft, JointType_KneeLeft },
        { JointType_KneeLeft, JointType_HipLeft },
        { JointType_HipLeft, JointType_SpineBase },
        { JointType_SpineBase, JointType_HipRight },
        { JointType_HipRight, JointType_KneeRight },
        { JointType_KneeRight, JointType_AnkleRight },
        { JointType_AnkleRight, JointType_FootRight },
        { JointType_SpineBase, JointType_SpineMid },
        { JointType_SpineMid, JointType_SpineShoulder },
        { JointType_SpineShoulder, JointType_Neck },
        { JointType_Neck, JointType_Head },
        { JointType_SpineShoulder, JointType_ShoulderLeft },
        { JointType_ShoulderLeft, JointType_ElbowLeft },
        { JointType_ElbowLeft, JointType_WristLeft },
        { JointType_WristLeft, JointType_HandLeft },
        { JointType_HandLeft, JointType_ThumbLeft },
        { JointType_HandLeft, JointType_HandTipLeft },
        { JointType_SpineShoulder, JointType_ShoulderRight },
        { JointType_ShoulderRight, JointType_ElbowRight },
        { JointType_ElbowRight, JointType_WristRight },
        { JointType_WristRight, JointType_HandRight },
        { JointType_HandRight, JointType_HandTipRight },
        { JointType_HandRight, JointType_ThumbRight },
    };

    // Truncation toward zero, defined for every float: NaN and values
    // beyond the limit (infinities included) land outside any view.
    int viewCoordinate(float value)
    {
        const float limit = float(viewPointLimit);
        if (std::isnan(value))
            return -viewPointLimit;
        if (value >= limit)
            return viewPointLimit;
        if (value <= -limit)
            return -viewPointLimit;
        return int(value);
    }

} // namespace

QPoint viewPointFromDepthPoint(const DepthSpacePoint &depthPoint, int w, int h)
{
    return QPoint(viewCoordinate(depthPoint.X * float(w) / 512.0f),
        viewCoordinate(depthPoint.Y * float(h) / 424.0f));
}

SkeletonOverlay::SkeletonOverlay(QLabel *label, ICoordinateMapper *mapper)
    : m_label(label)
    , m_mapper(mapper)
{
}

void SkeletonOverlay::show(const camera::Body &body)
{
    if (!m_label || !m_mapper)
        return;
    const int w = m_label->width();
    const int h = m_label->height();
    QPoint points[JointType_Count];
    for (int j = 0; j < JointType_Count; ++j) {
        DepthSpacePoint depthPoint { 0.0f, 0.0f };
        m_mapper->MapCameraPointToDepthSpace(body.joints[std::size_t(j)].Position, &depthPoint);
        points[j] = viewPointFromDepthPoint(depthPoint, w, h);
    }
    // A joint the camera has no position for (a hand-landmark camera sees
    // hands only) is left out, with its bones.
    bool known[JointType_Count];
    for (int j = 0; j < JointType_Count; ++j) {
        const CameraSpacePoint &p = body.joints[std::size_t(j)].Position;
        known[j] = std::isfinite(p.X) && std::isfinite(p.Y) && std::isfinite(p.Z);
    }
    QPixmap overlay(overlayWidth, overlayHeight);
    overlay.fill(Qt::black);
    {
        QPainter painter(&overlay);
        painter.setPen(Qt::green);
        for (const auto &bone : bones) {
            if (known[bone[0]] && known[bone[1]])
                painter.drawLine(points[bone[0]], points[bone[1]]);
        }
        for (int j = 0; j < JointType_Count; ++j) {
            if (known[j])
                painter.drawEllipse(points[j], 5, 5);
        }
    }
    m_label->setPixmap(overlay);
}

} // namespace Kinect
