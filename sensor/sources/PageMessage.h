#pragma once

#include "sensor/sources/IgnoredTally.h"
#include "sensor/sources/HandLandmarks.h"

#include <QString>

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

// The page's ignored requests, summed up in one line at most once a second
// that starts with prefix (the source's name).
class PageInputTally : public IgnoredTally<PageIgnored> {
public:
    explicit PageInputTally(std::string prefix);
};

} // namespace camera
