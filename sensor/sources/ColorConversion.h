#pragma once

#include "sensor/KinectSdk.h"

namespace camera {

// YUY2 (Y0 U Y1 V for each pair of pixels, ITU-R BT.601 video range) to 4
// bytes a pixel, alpha 255: B, G, R, A, or R, G, B, A when rgbaOrder. width
// must be even; rows top down, no padding.
void convertYuy2(const BYTE *yuy2, int width, int height, BYTE *out, bool rgbaOrder);

// The same conversion, to B, G, R, 255, for chosen pixels of one row:
// out[4 i .. 4 i + 3] is the pixel at column columns[i] of the row, for i <
// count. Every column must lie in the row. Converting only the pixels a
// scaled picture samples costs a fraction of converting the whole frame.
void convertYuy2Pixels(const BYTE *yuy2Row, const int *columns, int count, BYTE *out);

// One colour in BT.601 video range, as YUY2 stores it.
struct Yuv {
    BYTE y;
    BYTE u;
    BYTE v;
};

// The YUY2 value of an 8-bit RGB colour; the inverse of convertYuy2 up to
// rounding.
inline Yuv yuvFromRgb(int r, int g, int b)
{
    return Yuv { static_cast<BYTE>(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16),
        static_cast<BYTE>(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128),
        static_cast<BYTE>(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128) };
}

} // namespace camera
