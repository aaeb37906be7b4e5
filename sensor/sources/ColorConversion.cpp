#include "sensor/sources/ColorConversion.h"

namespace camera {

namespace {

    // The BT.601 video-range matrix in fixed point with 8 fractional bits,
    // one table a term, the rounding half-step folded into the luma term, and
    // a table that clamps the result to a byte: a pixel then costs a few
    // lookups and additions, and the result is exact to within one step.
    struct Yuy2Tables {
        int luma[256];
        int redV[256];
        int greenU[256];
        int greenV[256];
        int blueU[256];
        // Indexed by value + clampOffset, for every value the sums can take
        // (-278 to 535).
        BYTE clamp[1024];
        static constexpr int clampOffset = 384;

        Yuy2Tables()
        {
            for (int i = 0; i < 256; ++i) {
                luma[i] = 298 * (i - 16) + 128;
                redV[i] = 409 * (i - 128);
                greenU[i] = -100 * (i - 128);
                greenV[i] = -208 * (i - 128);
                blueU[i] = 516 * (i - 128);
            }
            for (int i = 0; i < 1024; ++i) {
                const int value = i - clampOffset;
                clamp[i] = static_cast<BYTE>(value < 0 ? 0 : value > 255 ? 255 : value);
            }
        }
    };

    const Yuy2Tables &tables()
    {
        static const Yuy2Tables instance;
        return instance;
    }

    // The byte order is a template argument so that the loop has constant
    // offsets.
    template <int redIndex, int blueIndex>
    void convertPairs(const BYTE *__restrict in, long pairs, BYTE *__restrict out)
    {
        const Yuy2Tables &t = tables();
        const BYTE *clamp = t.clamp + Yuy2Tables::clampOffset;
        for (long i = 0; i < pairs; ++i, in += 4, out += 8) {
            const int red = t.redV[in[3]];
            const int green = t.greenU[in[1]] + t.greenV[in[3]];
            const int blue = t.blueU[in[1]];
            const int y0 = t.luma[in[0]];
            const int y1 = t.luma[in[2]];
            out[redIndex] = clamp[(y0 + red) >> 8];
            out[1] = clamp[(y0 + green) >> 8];
            out[blueIndex] = clamp[(y0 + blue) >> 8];
            out[3] = 255;
            out[4 + redIndex] = clamp[(y1 + red) >> 8];
            out[5] = clamp[(y1 + green) >> 8];
            out[4 + blueIndex] = clamp[(y1 + blue) >> 8];
            out[7] = 255;
        }
    }

} // namespace

void convertYuy2Pixels(const BYTE *yuy2Row, const int *columns, int count, BYTE *out)
{
    const Yuy2Tables &t = tables();
    const BYTE *clamp = t.clamp + Yuy2Tables::clampOffset;
    for (int i = 0; i < count; ++i, out += 4) {
        const int column = columns[i];
        // Both pixels of a pair share its U (byte 1) and V (byte 3).
        const BYTE *pair = yuy2Row + 4 * (column >> 1);
        const int y = t.luma[pair[2 * (column & 1)]];
        out[0] = clamp[(y + t.blueU[pair[1]]) >> 8];
        out[1] = clamp[(y + t.greenU[pair[1]] + t.greenV[pair[3]]) >> 8];
        out[2] = clamp[(y + t.redV[pair[3]]) >> 8];
        out[3] = 255;
    }
}

void convertYuy2(const BYTE *yuy2, int width, int height, BYTE *out, bool rgbaOrder)
{
    const long pairs = static_cast<long>(width / 2) * height;
    if (rgbaOrder)
        convertPairs<0, 2>(yuy2, pairs, out);
    else
        convertPairs<2, 0>(yuy2, pairs, out);
}

} // namespace camera
