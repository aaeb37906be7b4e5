#include "sensor/ColorDisplay.h"

#include <QImage>
#include <QLabel>
#include <QPixmap>

#include <cmath>

namespace Kinect {

colorDisplay::colorDisplay(QLabel *label, int width, int height, QObject *parent)
    : QObject(parent)
    , label(label)
    , width(width)
    , height(height)
{
}

void colorDisplay::showFrame(const unsigned char *pixels)
{
    if (!label || !pixels)
        return;
    const QSize size = label->frameSize();
    if (size.isEmpty())
        return;
    // Wraps the camera's pixels without a copy; the only copies are the
    // scaled image and its pixmap.
    const QImage frame(pixels, width, height, QImage::Format_RGB32);
    label->setPixmap(
        QPixmap::fromImage(frame.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation)));
}

namespace {

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

} // namespace Kinect
