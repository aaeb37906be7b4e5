#pragma once

#include "sensor/sources/ChildProcess.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace camera {

// One picture of a video file as the hand page receives it: a JPEG as the
// file held it, or raw pixels (4 bytes a pixel, R G B A, rows top down).
struct VideoPicture {
    enum class Format { Jpeg, Rgba };
    Format format = Format::Jpeg;
    std::int64_t index = 0;
    std::int64_t timeMicroseconds = 0;
    int width = 0; // Rgba only
    int height = 0;
    std::string bytes;
};

// The largest picture read from a file: a 4K picture's pixels with room to
// spare; a "picture" larger than this means a broken file.
constexpr std::size_t maxVideoPictureBytes = 64u << 20;

// Where a JPEG that starts at data[0] ends. Complete: length is its size up
// to and with its end marker. Incomplete: more bytes are needed. Broken: it
// is not a JPEG (what is wrong in error). Never reads past size.
enum class JpegScan { Complete, Incomplete, Broken };
JpegScan scanJpeg(
    const unsigned char *data, std::size_t size, std::size_t &length, std::string &error);

// The pictures of a video file, in order, each once. Raw MJPEG streams (a
// JPEG after another) and YUV4MPEG2 are read directly; anything else is
// converted by ffmpeg, run as a child process, into YUV4MPEG2 (scaled down to
// at most maxConvertedWidth pixels across). Times come from the frame rate:
// the YUV4MPEG2 header's, or framesPerSecond for MJPEG, which has none.
class VideoPictures {
public:
    static constexpr int maxConvertedWidth = 1280;
    static constexpr double defaultMjpegFramesPerSecond = 30.0;

    ~VideoPictures();

    // Opens path. Null, with why in error, when the file cannot be read or
    // converted. Starts ffmpeg for files that need it: call it from a thread
    // that lives as long as the pictures are read (see ChildProcess).
    static std::unique_ptr<VideoPictures> open(
        const QString &path, double mjpegFramesPerSecond, QString &error);
    // Whether path is read without ffmpeg.
    static bool isReadDirectly(const QString &path);

    // The next picture; false at the end of the file, with error empty, or
    // at a fault (error says what and at which picture; the pictures before
    // it were good).
    bool next(VideoPicture &picture, QString &error);
    double framesPerSecond() const { return m_framesPerSecond; }
    // Ends the conversion, if any, so that a next() blocked on it returns.
    // For the thread that opened the pictures, while another may be in
    // next().
    void interrupt() { m_converter.kill(); }

private:
    VideoPictures() = default;
    // Makes m_buffer hold at least count unread bytes; false at the end of
    // input (or a read error, in m_readError).
    bool fill(std::size_t count);
    bool nextJpeg(VideoPicture &picture, QString &error);
    bool nextY4m(VideoPicture &picture, QString &error);
    bool readY4mHeader(QString &error);
    // Says where reading failed; for ffmpeg, what it said.
    QString failure(const QString &what) const;

    enum class Kind { Mjpeg, Y4m };
    Kind m_kind = Kind::Mjpeg;
    QString m_path;
    int m_fd = -1;
    bool m_ownsFd = false;
    ChildProcess m_converter;
    std::string m_converterErrors;
    std::vector<unsigned char> m_buffer;
    std::size_t m_start = 0;
    bool m_ended = false;
    QString m_readError;
    double m_framesPerSecond = defaultMjpegFramesPerSecond;
    std::int64_t m_next = 0;
    // YUV4MPEG2: picture size and the chroma planes' subsampling.
    int m_width = 0;
    int m_height = 0;
    int m_chromaShiftX = 1;
    int m_chromaShiftY = 1;
    bool m_monochrome = false;
};

} // namespace camera
