#include "sensor/ColorDisplay.h"

#include "sensor/sources/ColorConversion.h"

#include <QLabel>
#include <QPixmap>

#include <cstring>

namespace Kinect {

namespace {

    // Which source index each of the scaled pixels along one axis shows,
    // taken from Qt's own nearest-neighbour scaling of an image whose pixels
    // hold their index: so the picture matches QImage::scaled to the pixel,
    // whatever rounding the Qt in use applies. Scaling is separable, so one
    // row (or column) tells the whole axis.
    std::vector<int> sampledIndices(int from, int to, bool horizontal)
    {
        QImage indices(horizontal ? from : 1, horizontal ? 1 : from, QImage::Format_RGB32);
        for (int i = 0; i < from; ++i)
            indices.setPixel(horizontal ? i : 0, horizontal ? 0 : i, 0xff000000u | uint(i));
        const QImage scaled = indices.scaled(horizontal ? to : 1, horizontal ? 1 : to,
            Qt::IgnoreAspectRatio, Qt::FastTransformation);
        std::vector<int> result(std::size_t(to > 0 ? to : 0));
        for (int i = 0; i < to; ++i) {
            const int index
                = int(scaled.pixel(horizontal ? i : 0, horizontal ? 0 : i) & 0x00ffffffu);
            result[std::size_t(i)] = index < from ? index : from - 1;
        }
        return result;
    }

} // namespace

void ColorFrameScaler::sampleFor(int width, int height, QSize size)
{
    if (m_frameSize == QSize(width, height) && m_size == size)
        return;
    m_frameSize = QSize(width, height);
    m_size = size;
    m_columns = sampledIndices(width, size.width(), true);
    m_rows = sampledIndices(height, size.height(), false);
}

QImage ColorFrameScaler::scaled(
    const BYTE *pixels, ColorImageFormat format, int width, int height, QSize size)
{
    if (!pixels || size.isEmpty() || width <= 0 || height <= 0)
        return QImage();
    if (format != ColorImageFormat_Bgra && !(format == ColorImageFormat_Yuy2 && width % 2 == 0))
        return QImage();
    sampleFor(width, height, size);
    QImage picture(size, QImage::Format_RGB32);
    if (picture.isNull())
        return picture;
    const int count = size.width();
    for (int y = 0; y < size.height(); ++y) {
        BYTE *out = picture.scanLine(y);
        const std::size_t row = std::size_t(m_rows[std::size_t(y)]);
        if (format == ColorImageFormat_Yuy2) {
            camera::convertYuy2Pixels(
                pixels + row * std::size_t(width) * 2, m_columns.data(), count, out);
        } else {
            const BYTE *in = pixels + row * std::size_t(width) * 4;
            auto *out32 = reinterpret_cast<quint32 *>(out);
            for (int x = 0; x < count; ++x) {
                quint32 pixel;
                std::memcpy(&pixel, in + 4 * m_columns[std::size_t(x)], 4);
                // Format_RGB32 keeps 0xff in the byte the camera leaves
                // unused.
                out32[x] = pixel | 0xff000000u;
            }
        }
    }
    return picture;
}

colorDisplay::colorDisplay(QLabel *label, int width, int height, QObject *parent)
    : QObject(parent)
    , label(label)
    , width(width)
    , height(height)
{
}

void colorDisplay::showFrame(const unsigned char *pixels)
{
    if (!label)
        return;
    showImage(scaler.scaled(pixels, ColorImageFormat_Bgra, width, height, label->frameSize()));
}

void colorDisplay::showImage(QImage image)
{
    if (!label || image.isNull())
        return;
    label->setPixmap(QPixmap::fromImage(std::move(image)));
}

} // namespace Kinect
