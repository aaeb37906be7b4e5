#pragma once

#include "sensor/sources/HandLandmarks.h"

#include <QString>

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace camera {

// One message of the hand page (sensor/sources/page/handpage.js), a JSON
// object whose "kind" says what it is:
// - "landmarks": what the model found in one picture: "i" (the picture's
//   number), "t_us" (its time, microseconds), "w", "h" (its size in
//   pixels), "mirrored", "ms" (how long the model took), "hands" (up to
//   two, each "label" "Left" or "Right", "score", "image" 21 [x, y] pixels,
//   "world" 21 [x, y, z] metres); "broken": true for a picture the browser
//   could not decode (then no hands and no size).
// - "ready" (the model is loaded), "end" (the file has no more pictures),
//   "error" (what went wrong), each with a "text".
struct PageMessage {
    enum class Kind { Landmarks, Ready, End, Error };
    Kind kind = Kind::Error;
    std::int64_t index = 0;
    double analysisMilliseconds = 0.0;
    bool broken = false;
    LandmarkFrame frame;
    QString text;
};

// The largest message the page sends (two hands take about 4 KiB).
constexpr std::size_t maxPageMessageBytes = 64 * 1024;
// The largest "text" kept, in characters; longer ones are cut.
constexpr int maxPageTextLength = 500;

// Reads one message of size bytes. False, with what is wrong in error (the
// field and why), for anything that is not a message of the layout above:
// bad JSON, a missing or mistyped field, a number that is not finite or out
// of its range, the wrong count of points. Never reads past size.
bool readPageMessage(const char *data, std::size_t size, PageMessage &message, std::string &error);

// Whether given is the token, compared in time independent of where they
// differ.
bool tokenMatches(const std::string &given, const std::string &token);

// What of the page's traffic was ignored.
enum class PageIgnored { WrongToken, MalformedMessage, OversizedMessage, UnknownRequest };
constexpr int pageIgnoredKinds = 4;

// Counts ignored requests and sums them up in one line at most once a
// second, with the last reason of each kind. Time comes with every call
// (monotonic); nothing here reads a clock. Not thread safe.
class PageInputTally {
public:
    static constexpr std::chrono::nanoseconds reportInterval = std::chrono::seconds(1);

    explicit PageInputTally(std::string prefix);
    void add(PageIgnored kind, std::string detail = std::string());
    // The line due at now (after which the counts start again), or empty
    // when none is due.
    std::string takeReport(std::chrono::nanoseconds now);
    // Everything counted of a kind since construction.
    std::uint64_t total(PageIgnored kind) const { return m_total[std::size_t(kind)]; }

private:
    std::string m_prefix;
    std::array<std::uint64_t, pageIgnoredKinds> m_pending {};
    std::array<std::uint64_t, pageIgnoredKinds> m_total {};
    std::array<std::string, pageIgnoredKinds> m_lastDetail;
    bool m_anyPending = false;
    bool m_reported = false;
    std::chrono::nanoseconds m_lastReport { 0 };
};

} // namespace camera
