#include "sensor/sources/VideoPictures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace camera {

namespace {

    // Bytes asked of the file or the pipe in one read.
    constexpr std::size_t readChunk = 1 << 20;
    // A YUV4MPEG2 header line (the stream's or a frame's) is never longer.
    constexpr std::size_t maxY4mHeaderBytes = 4096;
    constexpr int maxY4mSide = 16384;

    bool isMarkerWithoutLength(unsigned char marker)
    {
        return marker == 0x01 || (marker >= 0xd0 && marker <= 0xd7);
    }

    unsigned char clampByte(int value)
    {
        return static_cast<unsigned char>(std::min(255, std::max(0, value)));
    }

    bool readRatio(const std::string &text, double &value)
    {
        const std::size_t colon = text.find(':');
        if (colon == std::string::npos)
            return false;
        char *end = nullptr;
        errno = 0;
        const long long num = std::strtoll(text.c_str(), &end, 10);
        if (end != text.c_str() + colon || errno != 0)
            return false;
        const long long den = std::strtoll(text.c_str() + colon + 1, &end, 10);
        if (*end != '\0' || errno != 0 || num <= 0 || den <= 0)
            return false;
        value = double(num) / double(den);
        return std::isfinite(value) && value > 0.0 && value <= 1000.0;
    }

} // namespace

JpegScan scanJpeg(
    const unsigned char *data, std::size_t size, std::size_t &length, std::string &error)
{
    if (size < 2)
        return JpegScan::Incomplete;
    if (data[0] != 0xff || data[1] != 0xd8) {
        error = "not a JPEG picture (no start marker)";
        return JpegScan::Broken;
    }
    std::size_t p = 2;
    for (;;) {
        if (p > maxVideoPictureBytes) {
            error = "a picture larger than " + std::to_string(maxVideoPictureBytes >> 20) + " MiB";
            return JpegScan::Broken;
        }
        if (p + 2 > size)
            return JpegScan::Incomplete;
        if (data[p] != 0xff) {
            error = "a JPEG segment does not start with a marker";
            return JpegScan::Broken;
        }
        const unsigned char marker = data[p + 1];
        if (marker == 0xff) {
            ++p; // fill byte
            continue;
        }
        if (marker == 0xd9) {
            length = p + 2;
            return JpegScan::Complete;
        }
        if (marker == 0xd8) {
            error = "a JPEG picture starts inside another";
            return JpegScan::Broken;
        }
        if (isMarkerWithoutLength(marker)) {
            p += 2;
            continue;
        }
        if (p + 4 > size)
            return JpegScan::Incomplete;
        const std::size_t segment = (std::size_t(data[p + 2]) << 8) | data[p + 3];
        if (segment < 2) {
            error = "a JPEG segment with a length below 2";
            return JpegScan::Broken;
        }
        p += 2 + segment;
        if (marker != 0xda)
            continue;
        // The compressed data after a start of scan runs to the next marker
        // that is neither a stuffed 0xff 0x00 nor a restart marker.
        for (;;) {
            if (p > maxVideoPictureBytes)
                break;
            if (p + 2 > size)
                return JpegScan::Incomplete;
            if (data[p] != 0xff) {
                ++p;
                continue;
            }
            const unsigned char next = data[p + 1];
            if (next == 0x00 || (next >= 0xd0 && next <= 0xd7)) {
                p += 2;
                continue;
            }
            if (next == 0xff) {
                ++p;
                continue;
            }
            break;
        }
    }
}

VideoPictures::~VideoPictures()
{
    if (m_ownsFd && m_fd >= 0)
        ::close(m_fd);
    m_converter.stop();
    if (!m_converterErrors.empty())
        QFile::remove(QString::fromStdString(m_converterErrors));
}

bool VideoPictures::isReadDirectly(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("mjpeg") || suffix == QLatin1String("mjpg")
        || suffix == QLatin1String("y4m");
}

std::unique_ptr<VideoPictures> VideoPictures::open(
    const QString &path, double mjpegFramesPerSecond, QString &error)
{
    std::unique_ptr<VideoPictures> pictures(new VideoPictures);
    pictures->m_path = path;
    const QFileInfo info(path);
    if (!info.exists()) {
        error = QStringLiteral("%1: no such file").arg(path);
        return nullptr;
    }
    if (!info.isFile() || !info.isReadable()) {
        error = QStringLiteral("%1: not a readable file").arg(path);
        return nullptr;
    }
    const QString suffix = info.suffix().toLower();
    if (isReadDirectly(path)) {
        const QByteArray local = QFile::encodeName(path);
        pictures->m_fd = ::open(local.constData(), O_RDONLY | O_CLOEXEC);
        if (pictures->m_fd < 0) {
            error
                = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
            return nullptr;
        }
        pictures->m_ownsFd = true;
        if (suffix == QLatin1String("y4m")) {
            pictures->m_kind = Kind::Y4m;
            if (!pictures->readY4mHeader(error))
                return nullptr;
        } else {
            pictures->m_framesPerSecond = mjpegFramesPerSecond;
        }
        return pictures;
    }
    pictures->m_kind = Kind::Y4m;
    pictures->m_converterErrors
        = QDir(QDir::tempPath())
              .filePath(QStringLiteral("handmotion-ffmpeg-%1.log")
                            .arg(QUuid::createUuid().toString(QUuid::Id128)))
              .toStdString();
    const std::vector<std::string> arguments { "ffmpeg", "-nostdin", "-hide_banner", "-loglevel",
        "error", "-i", QFile::encodeName(path).toStdString(), "-map", "0:v:0", "-an", "-sn", "-vf",
        "scale='min(" + std::to_string(maxConvertedWidth) + ",iw)':-2", "-pix_fmt", "yuv420p", "-f",
        "yuv4mpegpipe", "pipe:1" };
    QString startError;
    if (!pictures->m_converter.start(
            arguments, ChildProcess::Output::Pipe, startError, pictures->m_converterErrors)) {
        error = QStringLiteral("%1: cannot convert the video (%2; the ffmpeg package converts "
                               "videos other than .mjpeg and .y4m)")
                    .arg(path, startError);
        return nullptr;
    }
    pictures->m_fd = pictures->m_converter.outputDescriptor();
    if (!pictures->readY4mHeader(error))
        return nullptr;
    return pictures;
}

QString VideoPictures::failure(const QString &what) const
{
    QString text = QStringLiteral("%1: %2").arg(m_path, what);
    if (!m_converterErrors.empty()) {
        QFile log(QString::fromStdString(m_converterErrors));
        if (log.open(QIODevice::ReadOnly)) {
            const QString said = QString::fromLocal8Bit(log.read(2000)).trimmed();
            if (!said.isEmpty())
                text += QStringLiteral(" (ffmpeg: %1)").arg(said.section(QLatin1Char('\n'), 0, 2));
        }
    }
    return text;
}

bool VideoPictures::fill(std::size_t count)
{
    if (m_start > 0 && m_start >= m_buffer.size() / 2) {
        m_buffer.erase(m_buffer.begin(), m_buffer.begin() + std::ptrdiff_t(m_start));
        m_start = 0;
    }
    while (m_buffer.size() - m_start < count) {
        if (m_ended)
            return false;
        const std::size_t old = m_buffer.size();
        m_buffer.resize(old + readChunk);
        ssize_t got;
        do
            got = ::read(m_fd, m_buffer.data() + old, readChunk);
        while (got < 0 && errno == EINTR);
        m_buffer.resize(old + std::size_t(std::max<ssize_t>(got, 0)));
        if (got < 0)
            m_readError = QString::fromLocal8Bit(std::strerror(errno));
        if (got <= 0)
            m_ended = true;
    }
    return true;
}

bool VideoPictures::next(VideoPicture &picture, QString &error)
{
    error.clear();
    const bool got = m_kind == Kind::Mjpeg ? nextJpeg(picture, error) : nextY4m(picture, error);
    if (!got && error.isEmpty() && !m_readError.isEmpty())
        error = failure(
            QStringLiteral("read failed after %1 pictures: %2").arg(m_next).arg(m_readError));
    if (!got && error.isEmpty() && m_converter.isRunning()) {
        const int status = m_converter.waitForExit();
        if (status != 0)
            error = failure(QStringLiteral("the conversion stopped after %1 pictures: ffmpeg %2")
                                .arg(m_next)
                                .arg(describeExit(status)));
    }
    if (!got)
        return false;
    picture.index = m_next;
    picture.timeMicroseconds = std::llround(double(m_next) * 1e6 / m_framesPerSecond);
    ++m_next;
    return true;
}

bool VideoPictures::nextJpeg(VideoPicture &picture, QString &error)
{
    // Bytes between pictures (padding some writers leave) are skipped.
    for (;;) {
        if (!fill(2))
            return false;
        if (m_buffer[m_start] == 0xff && m_buffer[m_start + 1] == 0xd8)
            break;
        ++m_start;
    }
    std::size_t wanted = std::min<std::size_t>(readChunk, m_buffer.size() - m_start);
    for (;;) {
        std::size_t length = 0;
        std::string scanError;
        const JpegScan scan
            = scanJpeg(m_buffer.data() + m_start, m_buffer.size() - m_start, length, scanError);
        if (scan == JpegScan::Complete) {
            picture.format = VideoPicture::Format::Jpeg;
            picture.width = picture.height = 0;
            picture.bytes.assign(reinterpret_cast<const char *>(m_buffer.data() + m_start), length);
            m_start += length;
            return true;
        }
        if (scan == JpegScan::Broken) {
            error = failure(QStringLiteral("picture %1 is broken: %2")
                                .arg(m_next)
                                .arg(QString::fromStdString(scanError)));
            return false;
        }
        wanted = m_buffer.size() - m_start + 1;
        if (!fill(wanted)) {
            if (m_readError.isEmpty())
                error = failure(QStringLiteral("picture %1 is cut short").arg(m_next));
            return false;
        }
    }
}

bool VideoPictures::readY4mHeader(QString &error)
{
    const std::string magic = "YUV4MPEG2";
    std::string line;
    for (std::size_t k = 0;; ++k) {
        if (k >= maxY4mHeaderBytes || !fill(k + 1)) {
            error = failure(m_readError.isEmpty()
                    ? QStringLiteral("not a YUV4MPEG2 video (no header)")
                    : m_readError);
            return false;
        }
        const char c = char(m_buffer[m_start + k]);
        if (c == '\n') {
            m_start += k + 1;
            break;
        }
        line += c;
    }
    if (line.compare(0, magic.size(), magic) != 0) {
        error = failure(QStringLiteral("not a YUV4MPEG2 video"));
        return false;
    }
    std::string colourSpace = "420jpeg";
    std::size_t p = magic.size();
    while (p < line.size()) {
        while (p < line.size() && line[p] == ' ')
            ++p;
        const std::size_t end = std::min(line.find(' ', p), line.size());
        const std::string token = line.substr(p, end - p);
        p = end;
        if (token.empty())
            continue;
        const std::string value = token.substr(1);
        char *stop = nullptr;
        switch (token[0]) {
        case 'W':
        case 'H': {
            const long side = std::strtol(value.c_str(), &stop, 10);
            if (value.empty() || *stop != '\0' || side <= 0 || side > maxY4mSide) {
                error = failure(QStringLiteral("the header's picture size is invalid"));
                return false;
            }
            (token[0] == 'W' ? m_width : m_height) = int(side);
            break;
        }
        case 'F':
            if (!readRatio(value, m_framesPerSecond)) {
                error = failure(QStringLiteral("the header's frame rate is invalid"));
                return false;
            }
            break;
        case 'C':
            colourSpace = value;
            break;
        default:
            break;
        }
    }
    if (m_width == 0 || m_height == 0) {
        error = failure(QStringLiteral("the header gives no picture size"));
        return false;
    }
    if (colourSpace == "420" || colourSpace == "420jpeg" || colourSpace == "420mpeg2"
        || colourSpace == "420paldv") {
        m_chromaShiftX = m_chromaShiftY = 1;
    } else if (colourSpace == "422") {
        m_chromaShiftX = 1;
        m_chromaShiftY = 0;
    } else if (colourSpace == "444") {
        m_chromaShiftX = m_chromaShiftY = 0;
    } else if (colourSpace == "mono") {
        m_monochrome = true;
    } else {
        error = failure(QStringLiteral("colour space C%1 is not supported (8-bit 420, 422, 444 "
                                       "or mono are)")
                            .arg(QString::fromStdString(colourSpace)));
        return false;
    }
    if (std::size_t(m_width) * std::size_t(m_height) * 4 > maxVideoPictureBytes) {
        error = failure(
            QStringLiteral("pictures of %1 x %2 are too large").arg(m_width).arg(m_height));
        return false;
    }
    return true;
}

bool VideoPictures::nextY4m(VideoPicture &picture, QString &error)
{
    if (!fill(1))
        return false;
    std::size_t k = 0;
    for (;; ++k) {
        if (k >= maxY4mHeaderBytes || !fill(k + 1)) {
            error = failure(QStringLiteral("picture %1 is cut short").arg(m_next));
            return false;
        }
        if (m_buffer[m_start + k] == '\n')
            break;
    }
    static const char frameWord[] = "FRAME";
    if (k < 5 || std::memcmp(m_buffer.data() + m_start, frameWord, 5) != 0) {
        error = failure(QStringLiteral("picture %1 does not start with FRAME").arg(m_next));
        return false;
    }
    m_start += k + 1;
    const std::size_t w = std::size_t(m_width);
    const std::size_t h = std::size_t(m_height);
    const std::size_t cw
        = m_monochrome ? 0 : (w + (std::size_t(1) << m_chromaShiftX) - 1) >> m_chromaShiftX;
    const std::size_t ch
        = m_monochrome ? 0 : (h + (std::size_t(1) << m_chromaShiftY) - 1) >> m_chromaShiftY;
    const std::size_t size = w * h + 2 * cw * ch;
    if (!fill(size)) {
        error = failure(QStringLiteral("picture %1 is cut short").arg(m_next));
        return false;
    }
    const unsigned char *y = m_buffer.data() + m_start;
    const unsigned char *u = y + w * h;
    const unsigned char *v = u + cw * ch;
    picture.format = VideoPicture::Format::Rgba;
    picture.width = m_width;
    picture.height = m_height;
    picture.bytes.resize(w * h * 4);
    unsigned char *out = reinterpret_cast<unsigned char *>(&picture.bytes[0]);
    // BT.601 with the limited range of video, in 16.16 fixed point.
    for (std::size_t row = 0; row < h; ++row) {
        for (std::size_t col = 0; col < w; ++col) {
            const int luma = (int(y[row * w + col]) - 16) * 76309;
            int r = luma, g = luma, b = luma;
            if (!m_monochrome) {
                const std::size_t c = (row >> m_chromaShiftY) * cw + (col >> m_chromaShiftX);
                const int cb = int(u[c]) - 128;
                const int cr = int(v[c]) - 128;
                r += 104597 * cr;
                g -= 25675 * cb + 53279 * cr;
                b += 132201 * cb;
            }
            unsigned char *pixel = out + (row * w + col) * 4;
            pixel[0] = clampByte((r + 32768) >> 16);
            pixel[1] = clampByte((g + 32768) >> 16);
            pixel[2] = clampByte((b + 32768) >> 16);
            pixel[3] = 255;
        }
    }
    m_start += size;
    return true;
}

} // namespace camera
