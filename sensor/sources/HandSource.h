#pragma once

#include "sensor/sources/FrameQueue.h"
#include "sensor/sources/Source.h"

#include <QString>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace camera {

class HandBodyBuilder;
class PageServer;
struct LandmarkFrame;
struct PageMessage;
struct VideoPicture;
class VideoPictures;

// What a camera setting "webcam[:DEVICE][?OPTIONS]" or "video:PATH[?OPTIONS]"
// asks for. OPTIONS are NAME=VALUE pairs joined by '&': fov (the camera's
// horizontal field of view in degrees, 10 to 170, 60 unless told), model
// (full or lite) and fps (the frame rate of an MJPEG file, which has none of
// its own; 30 unless told).
struct HandSourceSetting {
    enum class Kind { Webcam, Video };
    Kind kind = Kind::Webcam;
    QString device; // webcam: /dev/videoN, or empty for the first camera
    QString path; // video: the file
    double fovDegrees = 60.0;
    bool liteModel = false;
    double mjpegFramesPerSecond = 30.0;
};

// Whether setting starts like a hand source's ("webcam", "webcam:...",
// "webcam?...", "video:...").
bool isHandSourceSetting(const QString &setting);
// Reads a hand source's setting; false, with what is wrong in error.
bool readHandSourceSetting(const QString &setting, HandSourceSetting &out, QString &error);

// Hands seen by a camera, or in a video file, as body frames: a headless
// Chromium, a child process of this source, runs the hand page
// (sensor/sources/page) served by a PageServer on the loopback interface;
// the page's landmarks become bodies through a HandBodyBuilder. The page
// also sends a small picture at most 15 times a second, which becomes the
// colour stream with the landmarks drawn on it.
//
// A webcam gives the newest picture the model keeps up with. A video file
// gives every picture once, in order: the page asks for the next picture
// when it has answered the last one, and waits while more than
// videoQueueCapacity body frames are not taken yet, so none is lost however
// slow either side is. Body frames are handed out oldest first, one an
// acquire, like the OSC source's. After the file's last picture the source
// delivers no new frames.
//
// Threads: a supervisor thread of the source starts the browser (and, for
// files that need it, ffmpeg), restarts a browser that ends unexpectedly (at
// most maxBrowserRestarts times), and reports what happens on standard error
// and in statusText(). The page server's threads feed the queues. close()
// ends the browser with all its processes; the kernel ends them too should
// this program die.
class HandSource : public Source {
public:
    static constexpr std::size_t videoQueueCapacity = 64;
    static constexpr std::size_t liveQueueCapacity = 1024;
    static constexpr int maxBrowserRestarts = 3;

    explicit HandSource(HandSourceSetting setting);
    ~HandSource() override;

    // Checks what can be checked at once (the browser and the page's files
    // are there, the camera device or the file exists and can be read),
    // then starts the browser. False, with why on standard error, when any
    // of that fails; what fails later (the camera busy, the model not
    // loading) goes to standard error and statusText().
    bool open() override;
    void close() override;

    std::int64_t latestBodyFrame() override;
    void bodyFrame(std::int64_t index, BodyFrame &frame) override;
    std::int64_t latestColorFrame() override;
    void colorFrame(std::int64_t index, ColorImage &image) override;

    // Frames come as fast as the model goes, or at the file's rate.
    bool countsStillnessByTime() const override { return true; }
    // What the status bar shows: the model's frame rate, or the last
    // problem. Any thread.
    QString statusText() override;

    // For tests and benchmarks. Any thread.
    struct Statistics {
        std::int64_t picturesAnalysed = 0;
        std::int64_t picturesWithHands = 0;
        // The file's pictures handed out; -1 until its end is reached.
        std::int64_t fileEndedAfter = -1;
        // True once the source will deliver no more frames: the file ended
        // (and its frames are all in the queue) or a fault stopped it.
        bool finished = false;
        int browserStarts = 0;
        double modelFramesPerSecond = 0.0;
        // Microseconds from a webcam picture's capture to its body frame
        // being taken, for the most recent frames taken.
        std::vector<double> takeLatencies;
        // The main browser process while one runs, else -1.
        int browserPid = -1;
    };
    Statistics statistics();
    // Called with every picture's landmarks as the page sent them (on a
    // server thread, before the body frame is queued), for tools that keep
    // them; set before open().
    using LandmarkObserver = std::function<void(const PageMessage &)>;
    void setLandmarkObserver(LandmarkObserver observer) { m_observer = std::move(observer); }

private:
    struct Queued {
        BodyFrame frame;
        // The picture's time: a file's, or a camera's capture time in
        // microseconds since the epoch.
        std::int64_t timeMicroseconds = 0;
    };

    void supervise(std::promise<QString> *started);
    void say(const QString &text, bool problem);
    std::string pageConfig() const;
    bool nextPicture(VideoPicture &picture);
    void receive(PageMessage &&message);
    void receivePicture(std::int64_t index, std::string &&jpeg);
    void landmarksArrived(const PageMessage &message);

    const HandSourceSetting m_setting;
    QString m_cameraLabel;
    QString m_name;

    std::thread m_supervisor;
    std::unique_ptr<PageServer> m_server;
    std::unique_ptr<VideoPictures> m_pictures;
    std::unique_ptr<HandBodyBuilder> m_builder;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_stopping = false;
    bool m_ended = false; // the page said the file has no more pictures
    bool m_failed = false; // a fault the browser cannot recover from
    bool m_pageReady = false; // the page said its model is loaded
    FrameQueue<Queued> m_frames;
    // The first picture's time, from which the frames' times count, and the
    // last frame's time (100 ns units), which every later frame exceeds.
    std::int64_t m_firstPictureTime = -1;
    TIMESPAN m_lastFrameTime = -1;
    // Video: the picture handed out and not answered yet, handed out again
    // to a restarted browser; the index of the next picture to answer.
    std::unique_ptr<VideoPicture> m_unanswered;
    std::int64_t m_nextAnswer = 0;
    bool m_fileEnded = false;
    std::int64_t m_handedOut = 0;
    // The landmarks of the latest pictures, by index, for drawing previews.
    std::map<std::int64_t, std::shared_ptr<const LandmarkFrame>> m_recentLandmarks;
    std::shared_ptr<ColorImage> m_colorImage;
    std::int64_t m_colorIndex = -1;
    QString m_status;
    Statistics m_statistics;
    std::deque<double> m_analysedAt; // seconds, steady clock, of recent answers
    std::deque<double> m_latencies;
    LandmarkObserver m_observer;
};

} // namespace camera
