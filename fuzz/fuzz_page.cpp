// libFuzzer target: the hand page's message reader, and the JPEG scanner that
// splits MJPEG files, on arbitrary bytes. A message the reader accepts holds
// only what its layout allows; the scanner never claims more bytes than it
// was given and never finishes a picture that does not start like one.
#include "fuzz/FuzzCheck.h"
#include "sensor/sources/PageMessage.h"
#include "sensor/sources/VideoPictures.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace {

void checkMessage(const camera::PageMessage &message)
{
    using Kind = camera::PageMessage::Kind;
    FUZZ_CHECK(message.kind == Kind::Landmarks || message.kind == Kind::Ready
            || message.kind == Kind::End || message.kind == Kind::Error,
        QString::number(int(message.kind)));
    FUZZ_CHECK(
        message.text.size() <= camera::maxPageTextLength, QString::number(message.text.size()));
    if (message.kind != Kind::Landmarks)
        return;
    const camera::LandmarkFrame &frame = message.frame;
    FUZZ_CHECK(message.index >= 0, QString::number(message.index));
    FUZZ_CHECK(std::isfinite(message.analysisMilliseconds) && message.analysisMilliseconds >= 0,
        QString::number(message.analysisMilliseconds));
    FUZZ_CHECK(
        frame.width >= 0 && frame.height >= 0 && frame.width <= 16384 && frame.height <= 16384,
        QString::number(frame.width) + QLatin1Char('x') + QString::number(frame.height));
    FUZZ_CHECK(frame.hands.size() <= 2, QString::number(frame.hands.size()));
    FUZZ_CHECK(frame.hands.empty() || (frame.width > 0 && frame.height > 0), QString());
    for (const camera::LandmarkHand &hand : frame.hands) {
        FUZZ_CHECK(hand.score >= 0.0 && hand.score <= 1.0, QString::number(hand.score));
        for (const auto &point : hand.image)
            FUZZ_CHECK(std::isfinite(point[0]) && std::isfinite(point[1]), QString());
        for (const auto &point : hand.world)
            FUZZ_CHECK(std::isfinite(point[0]) && std::isfinite(point[1]) && std::isfinite(point[2])
                    && std::abs(point[0]) <= 10.0 && std::abs(point[1]) <= 10.0
                    && std::abs(point[2]) <= 10.0,
                QString());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    camera::PageMessage message;
    std::string error;
    if (camera::readPageMessage(reinterpret_cast<const char *>(data), size, message, error))
        checkMessage(message);
    else
        FUZZ_CHECK(!error.empty(), QString());

    std::size_t length = 0;
    std::string why;
    const camera::JpegScan scan = camera::scanJpeg(data, size, length, why);
    if (scan == camera::JpegScan::Complete) {
        FUZZ_CHECK(length >= 4 && length <= size, QString::number(length));
        FUZZ_CHECK(data[0] == 0xff && data[1] == 0xd8 && data[length - 2] == 0xff
                && data[length - 1] == 0xd9,
            QString::number(length));
    } else if (scan == camera::JpegScan::Broken) {
        FUZZ_CHECK(!why.empty(), QString());
    }
    return 0;
}
