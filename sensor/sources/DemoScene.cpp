#include "sensor/sources/DemoScene.h"

#include "sensor/sources/ColorConversion.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPolygonF>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace camera {

namespace {

    constexpr double focalLength = 1060.0;
    // The room: the camera 0.9 m above the floor, the back wall 3.4 m away.
    constexpr double floorY = -0.9;
    constexpr double wallZ = 3.4;

    QPointF project(double x, double y, double z)
    {
        return QPointF(DemoScene::width / 2.0 + focalLength * x / z,
            DemoScene::height / 2.0 - focalLength * y / z);
    }

    QPolygonF wallQuad(double x0, double y0, double x1, double y1, double z)
    {
        return QPolygonF(
            { project(x0, y0, z), project(x1, y0, z), project(x1, y1, z), project(x0, y1, z) });
    }

    void paintRoom(QPainter &painter)
    {
        const int w = DemoScene::width;
        const int h = DemoScene::height;
        const double floorLine = project(0.0, floorY, wallZ).y();

        QLinearGradient wall(0.0, 0.0, 0.0, floorLine);
        wall.setColorAt(0.0, QColor(226, 221, 210));
        wall.setColorAt(1.0, QColor(196, 190, 178));
        painter.fillRect(QRectF(0.0, 0.0, w, floorLine), wall);

        QLinearGradient floor(0.0, floorLine, 0.0, h);
        floor.setColorAt(0.0, QColor(150, 112, 78));
        floor.setColorAt(1.0, QColor(118, 82, 52));
        painter.fillRect(QRectF(0.0, floorLine, w, h - floorLine), floor);

        // Floor boards running toward the wall, and a few joints across them.
        painter.setPen(QPen(QColor(96, 66, 42), 2.0));
        for (int board = -30; board <= 30; ++board) {
            const double x = 0.18 * board;
            painter.drawLine(project(x, floorY, wallZ), project(x, floorY, 1.2));
        }
        painter.setPen(QPen(QColor(104, 72, 46), 1.0));
        for (double z = 1.6; z < wallZ; z += 0.45)
            painter.drawLine(project(-8.0, floorY, z), project(8.0, floorY, z));

        // Skirting board.
        painter.fillRect(
            QRectF(QPointF(0.0, project(0.0, floorY + 0.1, wallZ).y()), QPointF(w, floorLine)),
            QColor(238, 236, 230));

        // A window on the left: sky, a hill, a frame with a cross bar.
        const QPolygonF window = wallQuad(-2.0, 0.0, -0.9, 1.3, wallZ);
        const QRectF windowRect = window.boundingRect();
        QLinearGradient sky(0.0, windowRect.top(), 0.0, windowRect.bottom());
        sky.setColorAt(0.0, QColor(120, 170, 230));
        sky.setColorAt(1.0, QColor(200, 225, 245));
        painter.fillRect(windowRect, sky);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(110, 160, 90));
        painter.setClipRect(windowRect);
        painter.drawEllipse(QRectF(windowRect.left() - 80.0, windowRect.bottom() - 90.0,
            windowRect.width() + 40.0, 200.0));
        painter.setBrush(Qt::NoBrush);
        painter.setClipping(false);
        painter.setPen(QPen(QColor(245, 245, 240), 12.0));
        painter.drawRect(windowRect);
        painter.drawLine(QPointF(windowRect.center().x(), windowRect.top()),
            QPointF(windowRect.center().x(), windowRect.bottom()));
        painter.drawLine(QPointF(windowRect.left(), windowRect.center().y()),
            QPointF(windowRect.right(), windowRect.center().y()));

        // A picture on the right: mountains under a pale sky, in a dark frame.
        const QRectF picture = wallQuad(0.9, 0.2, 1.7, 0.8, wallZ).boundingRect();
        painter.fillRect(picture, QColor(236, 226, 196));
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(92, 120, 150));
        painter.drawPolygon(QPolygonF({ picture.bottomLeft(),
            QPointF(
                picture.left() + 0.35 * picture.width(), picture.top() + 0.3 * picture.height()),
            QPointF(picture.left() + 0.6 * picture.width(), picture.bottom()) }));
        painter.setBrush(QColor(70, 96, 126));
        painter.drawPolygon(
            QPolygonF({ QPointF(picture.left() + 0.4 * picture.width(), picture.bottom()),
                QPointF(picture.left() + 0.7 * picture.width(),
                    picture.top() + 0.45 * picture.height()),
                picture.bottomRight() }));
        painter.setBrush(QColor(232, 150, 60));
        painter.drawEllipse(QPointF(picture.left() + 0.78 * picture.width(),
                                picture.top() + 0.25 * picture.height()),
            14.0, 14.0);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(QColor(60, 44, 36), 8.0));
        painter.drawRect(picture);

        // A cabinet against the wall on the right, with a plant on it.
        const double x0 = 1.6, x1 = 2.4, top = -0.2, front = 3.0;
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(170, 150, 128));
        painter.drawPolygon(QPolygonF({ project(x0, top, front), project(x1, top, front),
            project(x1, top, wallZ), project(x0, top, wallZ) }));
        painter.setBrush(QColor(140, 118, 96));
        painter.drawPolygon(wallQuad(x0, floorY, x1, top, front));
        painter.setPen(QPen(QColor(110, 90, 70), 3.0));
        const QPointF middleTop = project((x0 + x1) / 2.0, top - 0.05, front);
        const QPointF middleBottom = project((x0 + x1) / 2.0, floorY + 0.05, front);
        painter.drawLine(middleTop, middleBottom);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(180, 90, 60));
        const QPointF pot = project(2.0, top + 0.1, 3.2);
        painter.drawRect(QRectF(pot.x() - 30.0, pot.y() - 10.0, 60.0, 45.0));
        painter.setBrush(QColor(70, 130, 70));
        for (int leaf = 0; leaf < 5; ++leaf) {
            painter.drawEllipse(
                QPointF(pot.x() - 40.0 + 20.0 * leaf, pot.y() - 40.0 - 12.0 * (leaf % 2)), 26.0,
                40.0);
        }

        // The operator's shadow on the floor.
        const QPointF feet = project(0.0, floorY, 2.0);
        QRadialGradient shadow(feet, 200.0);
        shadow.setColorAt(0.0, QColor(0, 0, 0, 110));
        shadow.setColorAt(1.0, QColor(0, 0, 0, 0));
        painter.setBrush(shadow);
        painter.drawEllipse(feet, 200.0, 50.0);
    }

    // The room as YUY2: each pair of pixels keeps its two lumas and the mean
    // of their chroma.
    std::vector<BYTE> renderBackground()
    {
        QImage room(DemoScene::width, DemoScene::height, QImage::Format_RGB32);
        {
            QPainter painter(&room);
            painter.setRenderHint(QPainter::Antialiasing);
            paintRoom(painter);
        }
        std::vector<BYTE> yuy2(std::size_t(DemoScene::width) * DemoScene::height * 2);
        for (int y = 0; y < DemoScene::height; ++y) {
            const auto *line = reinterpret_cast<const QRgb *>(room.constScanLine(y));
            BYTE *out = yuy2.data() + std::size_t(y) * DemoScene::width * 2;
            for (int x = 0; x < DemoScene::width; x += 2, out += 4) {
                const QRgb a = line[x];
                const QRgb b = line[x + 1];
                const Yuv first = yuvFromRgb(qRed(a), qGreen(a), qBlue(a));
                const Yuv second = yuvFromRgb(qRed(b), qGreen(b), qBlue(b));
                out[0] = first.y;
                out[1] = BYTE((first.u + second.u + 1) / 2);
                out[2] = second.y;
                out[3] = BYTE((first.v + second.v + 1) / 2);
            }
        }
        return yuy2;
    }

    // Fills the capsule of radius r (pixels) around the segment a-b in a
    // YUY2 picture, shaded like a lit cylinder: full brightness on its axis,
    // darker toward its rim. A pair of pixels takes the chroma when either
    // pixel is inside.
    void fillCapsule(BYTE *picture, QPointF a, QPointF b, double r, Yuv colour)
    {
        const int w = DemoScene::width;
        const int h = DemoScene::height;
        // Clamped in double first: a body part far outside the picture must
        // not overflow the conversion to int.
        auto clamp
            = [](double v, int high) { return int(std::min(std::max(v, -1.0), double(high))); };
        const int left = std::max(0, clamp(std::floor(std::min(a.x(), b.x()) - r), w) & ~1);
        const int right = std::min(w - 1, clamp(std::ceil(std::max(a.x(), b.x()) + r), w));
        const int top = std::max(0, clamp(std::floor(std::min(a.y(), b.y()) - r), h));
        const int bottom = std::min(h - 1, clamp(std::ceil(std::max(a.y(), b.y()) + r), h));
        if (!(r > 0.0) || left > right || top > bottom)
            return;
        const float ax = float(a.x()), ay = float(a.y());
        const float dx = float(b.x() - a.x()), dy = float(b.y() - a.y());
        const float lengthSquared = dx * dx + dy * dy;
        const float inverseLength = lengthSquared > 0.0f ? 1.0f / lengthSquared : 0.0f;
        const float r2 = float(r * r);
        const float inverseR2 = 1.0f / r2;
        const int lumaRange = colour.y - 16;
        for (int y = top; y <= bottom; ++y) {
            BYTE *row = picture + std::size_t(y) * w * 2;
            const float py = float(y) + 0.5f - ay;
            for (int x = left; x <= right; x += 2) {
                bool inside = false;
                for (int k = 0; k < 2; ++k) {
                    const float px = float(x + k) + 0.5f - ax;
                    const float t
                        = std::min(std::max((px * dx + py * dy) * inverseLength, 0.0f), 1.0f);
                    const float ex = px - t * dx;
                    const float ey = py - t * dy;
                    const float d2 = ex * ex + ey * ey;
                    if (d2 <= r2) {
                        const float shade = 1.0f - 0.45f * d2 * inverseR2;
                        row[2 * (x + k)] = BYTE(16 + int(float(lumaRange) * shade));
                        inside = true;
                    }
                }
                if (inside) {
                    row[2 * x + 1] = colour.u;
                    row[2 * x + 3] = colour.v;
                }
            }
        }
    }

    struct Limb {
        JointType from;
        JointType to;
        float radius; // metres
        int colour;
    };

    enum Colour { Skin, Shirt, Trousers, Shoes, Hair };

    const Yuv &colourOf(int colour)
    {
        static const Yuv colours[] = { yuvFromRgb(226, 176, 142), yuvFromRgb(52, 104, 170),
            yuvFromRgb(62, 64, 76), yuvFromRgb(40, 34, 34), yuvFromRgb(74, 50, 34) };
        return colours[colour];
    }

    // Back to front: legs, hips, trunk, neck and head. The arms follow,
    // the farther arm first.
    const Limb trunk[] = {
        { JointType_HipLeft, JointType_KneeLeft, 0.075f, Trousers },
        { JointType_KneeLeft, JointType_AnkleLeft, 0.06f, Trousers },
        { JointType_AnkleLeft, JointType_FootLeft, 0.045f, Shoes },
        { JointType_HipRight, JointType_KneeRight, 0.075f, Trousers },
        { JointType_KneeRight, JointType_AnkleRight, 0.06f, Trousers },
        { JointType_AnkleRight, JointType_FootRight, 0.045f, Shoes },
        { JointType_SpineBase, JointType_SpineMid, 0.14f, Shirt },
        { JointType_SpineMid, JointType_SpineShoulder, 0.13f, Shirt },
        { JointType_ShoulderLeft, JointType_ShoulderRight, 0.07f, Shirt },
        { JointType_HipLeft, JointType_HipRight, 0.1f, Trousers },
        { JointType_SpineShoulder, JointType_Neck, 0.045f, Skin },
    };
    const Limb leftArm[] = {
        { JointType_ShoulderLeft, JointType_ElbowLeft, 0.055f, Shirt },
        { JointType_ElbowLeft, JointType_WristLeft, 0.042f, Skin },
        { JointType_WristLeft, JointType_HandLeft, 0.038f, Skin },
        { JointType_HandLeft, JointType_HandTipLeft, 0.036f, Skin },
        { JointType_HandLeft, JointType_ThumbLeft, 0.018f, Skin },
    };
    const Limb rightArm[] = {
        { JointType_ShoulderRight, JointType_ElbowRight, 0.055f, Shirt },
        { JointType_ElbowRight, JointType_WristRight, 0.042f, Skin },
        { JointType_WristRight, JointType_HandRight, 0.038f, Skin },
        { JointType_HandRight, JointType_HandTipRight, 0.032f, Skin },
        { JointType_HandRight, JointType_ThumbRight, 0.016f, Skin },
    };

    bool usable(const CameraSpacePoint &p)
    {
        return std::isfinite(p.X) && std::isfinite(p.Y) && std::isfinite(p.Z) && p.Z > 0.1f;
    }

    void drawLimb(BYTE *picture, const Body &body, const Limb &limb)
    {
        const CameraSpacePoint &a = body.joints[std::size_t(limb.from)].Position;
        const CameraSpacePoint &b = body.joints[std::size_t(limb.to)].Position;
        if (!usable(a) || !usable(b))
            return;
        const double radius = focalLength * limb.radius / (0.5 * (a.Z + b.Z));
        fillCapsule(picture, DemoScene::colorPoint(a), DemoScene::colorPoint(b), radius,
            colourOf(limb.colour));
    }

    void drawHead(BYTE *picture, const Body &body)
    {
        const CameraSpacePoint &head = body.joints[JointType_Head].Position;
        if (!usable(head))
            return;
        const QPointF centre = DemoScene::colorPoint(head);
        const double metre = focalLength / head.Z;
        fillCapsule(picture, centre - QPointF(0.0, 0.03 * metre),
            centre - QPointF(0.0, 0.03 * metre), 0.105 * metre, colourOf(Hair));
        fillCapsule(picture, centre + QPointF(0.0, 0.015 * metre),
            centre + QPointF(0.0, 0.015 * metre), 0.092 * metre, colourOf(Skin));
    }

    float meanDepth(const Body &body, const Limb (&arm)[5])
    {
        float sum = 0.0f;
        for (const Limb &limb : arm)
            sum += body.joints[std::size_t(limb.to)].Position.Z;
        return sum;
    }

} // namespace

DemoScene::DemoScene()
    : m_background(renderBackground())
{
}

QPointF DemoScene::colorPoint(const CameraSpacePoint &p) { return project(p.X, p.Y, p.Z); }

void DemoScene::render(const Body &body, ColorImage &image) const
{
    image.format = ColorImageFormat_Yuy2;
    image.width = width;
    image.height = height;
    image.bytes.resize(m_background.size());
    std::memcpy(image.bytes.data(), m_background.data(), m_background.size());
    if (!body.tracked)
        return;
    BYTE *picture = image.bytes.data();
    for (const Limb &limb : trunk)
        drawLimb(picture, body, limb);
    drawHead(picture, body);
    const bool leftFarther = !(meanDepth(body, leftArm) < meanDepth(body, rightArm));
    for (const auto *arm :
        { leftFarther ? &leftArm : &rightArm, leftFarther ? &rightArm : &leftArm }) {
        for (const Limb &limb : *arm)
            drawLimb(picture, body, limb);
    }
}

} // namespace camera
