#pragma once

#include "sensor/KinectSdk.h"

#include <QImage>
#include <QObject>
#include <QSize>

#include <vector>

class QLabel;

namespace Kinect {

// Scales camera colour frames to a picture of a given size by
// nearest-neighbour sampling, exactly as QImage::scaled(size,
// Qt::IgnoreAspectRatio, Qt::FastTransformation) picks its pixels, and
// converts only the pixels it picks: a YUY2 frame costs the conversion of
// the scaled picture, not of the whole frame. Not shared between threads.
class ColorFrameScaler {
public:
    // The picture of a width x height frame, rows top down, in format
    // ColorImageFormat_Bgra (4 bytes a pixel: blue, green, red, ignored) or
    // ColorImageFormat_Yuy2 (2 bytes a pixel, width even), scaled to size, in
    // QImage::Format_RGB32. A null image for an empty size or another format.
    QImage scaled(const BYTE *pixels, ColorImageFormat format, int width, int height, QSize size);

private:
    void sampleFor(int width, int height, QSize size);

    QSize m_frameSize;
    QSize m_size;
    // The frame's column and row that each pixel of the picture shows.
    std::vector<int> m_columns;
    std::vector<int> m_rows;
};

// Shows camera colour pictures in a label. The label is not owned.
class colorDisplay : public QObject {
public:
    colorDisplay(QLabel *label, int width, int height, QObject *parent);

    // Shows one frame of width x height pixels of 4 bytes (blue, green, red,
    // ignored), rows top down, scaled to the label's frame without keeping
    // the aspect ratio; the pixels are read, not kept.
    void showFrame(const unsigned char *pixels);
    // Shows a picture already scaled to the label's frame.
    void showImage(QImage image);

private:
    QLabel *label;
    int width;
    int height;
    ColorFrameScaler scaler;
};

} // namespace Kinect
