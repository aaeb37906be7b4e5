#include "sensor/sources/HandSource.h"

#include "sensor/sources/ChildProcess.h"
#include "sensor/sources/HandBodyBuilder.h"
#include "sensor/sources/HandLandmarks.h"
#include "sensor/sources/PageServer.h"
#include "sensor/sources/VideoPictures.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cmath>
#include <unistd.h>

namespace camera {

namespace {

    using std::chrono::nanoseconds;

    constexpr QLatin1String webcamWord("webcam");
    constexpr QLatin1String videoPrefix("video:");

    // How often the supervisor looks at the browser and reports.
    constexpr auto superviseInterval = std::chrono::milliseconds(250);
    // A browser whose page has not said that its model is loaded by then is
    // taken for stuck (the model loads in seconds, even on a busy machine).
    constexpr auto pageStartLimit = std::chrono::seconds(120);
    // The model's frame rate is counted over this many recent pictures.
    constexpr std::size_t rateWindow = 30;
    constexpr std::size_t latencyWindow = 1000;
    // Previews are drawn with the landmarks of their own picture: the page
    // sends a preview right after that picture's landmarks.
    constexpr std::size_t recentLandmarkFrames = 8;

    // The bones of the hand between the model's 21 landmarks.
    constexpr int handBones[][2] = { { 0, 1 }, { 1, 2 }, { 2, 3 }, { 3, 4 }, { 0, 5 }, { 5, 6 },
        { 6, 7 }, { 7, 8 }, { 5, 9 }, { 9, 10 }, { 10, 11 }, { 11, 12 }, { 9, 13 }, { 13, 14 },
        { 14, 15 }, { 15, 16 }, { 13, 17 }, { 0, 17 }, { 17, 18 }, { 18, 19 }, { 19, 20 } };

    nanoseconds steadyNow()
    {
        return std::chrono::duration_cast<nanoseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
    }

    double epochMicroseconds()
    {
        return double(std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::system_clock::now().time_since_epoch())
                          .count());
    }

    // The variable that points a webcam at a video file through the
    // browser's stand-in camera, for tests and benchmarks on machines
    // without a camera.
    const char *const testCameraFileVariable = "HANDMOTION_WEBCAM_TEST_FILE";

    bool readOptions(const QString &text, HandSourceSetting &out, QString &error)
    {
        for (const QString &pair : text.split(QLatin1Char('&'))) {
            const int equals = pair.indexOf(QLatin1Char('='));
            const QString name = pair.left(equals);
            const QString value = pair.mid(equals + 1);
            bool ok = false;
            if (name == QLatin1String("fov")) {
                out.fovDegrees = value.toDouble(&ok);
                if (!ok || !(out.fovDegrees >= 10.0 && out.fovDegrees <= 170.0)) {
                    error = QStringLiteral("fov=%1: the field of view is a number of degrees from "
                                           "10 to 170")
                                .arg(value);
                    return false;
                }
            } else if (name == QLatin1String("model")) {
                if (value != QLatin1String("full") && value != QLatin1String("lite")) {
                    error = QStringLiteral("model=%1: the model is full or lite").arg(value);
                    return false;
                }
                out.liteModel = value == QLatin1String("lite");
            } else if (name == QLatin1String("fps")) {
                out.mjpegFramesPerSecond = value.toDouble(&ok);
                if (!ok
                    || !(out.mjpegFramesPerSecond >= 1.0 && out.mjpegFramesPerSecond <= 1000.0)) {
                    error = QStringLiteral("fps=%1: the frame rate is a number from 1 to 1000")
                                .arg(value);
                    return false;
                }
            } else {
                error = QStringLiteral("unknown option \"%1\" (known: fov, model, fps)").arg(name);
                return false;
            }
        }
        return true;
    }

    // The options part of a setting: after its last '?', when what follows
    // reads as NAME=VALUE pairs; a '?' in a file's name is kept otherwise.
    int optionsStart(const QString &setting)
    {
        static const QRegularExpression options(QStringLiteral("^[a-z]+=[^&=]*(&[a-z]+=[^&=]*)*$"));
        const int question = setting.lastIndexOf(QLatin1Char('?'));
        if (question < 0 || !options.match(setting.mid(question + 1)).hasMatch())
            return -1;
        return question;
    }

    // The name the kernel gives a V4L2 device, which the browser shows as
    // the start of the camera's label; empty when it has none.
    QString deviceName(const QString &device)
    {
        QFile name(
            QStringLiteral("/sys/class/video4linux/%1/name").arg(QFileInfo(device).fileName()));
        if (!name.open(QIODevice::ReadOnly))
            return QString();
        return QString::fromUtf8(name.readAll()).trimmed();
    }

    bool anyVideoDevice()
    {
        return !QDir(QStringLiteral("/dev"))
                    .entryList({ QStringLiteral("video*") }, QDir::System)
                    .isEmpty();
    }

    // The 1920 x 1080 colour frame: the preview scaled to fit, the hands'
    // landmarks drawn on it (the operator's right hand green, the left
    // orange).
    std::shared_ptr<ColorImage> composeColorFrame(const QImage &picture, const LandmarkFrame *hands)
    {
        auto image = std::make_shared<ColorImage>();
        image->format = ColorImageFormat_Bgra;
        image->width = colorFrameWidth;
        image->height = colorFrameHeight;
        // Zeros are black; the picture is drawn straight into the frame's
        // bytes. RGB32 is 0xffRRGGBB in native order: B G R A bytes on this
        // little-endian machine's memory, the contract's BGRA.
        image->bytes.resize(std::size_t(colorFrameWidth) * colorFrameHeight * 4);
        QImage canvas(image->bytes.data(), colorFrameWidth, colorFrameHeight, colorFrameWidth * 4,
            QImage::Format_RGB32);
        {
            QPainter painter(&canvas);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.setRenderHint(QPainter::Antialiasing);
            const QSize fitted = picture.size().scaled(canvas.size(), Qt::KeepAspectRatio);
            const QRect target(QPoint((canvas.width() - fitted.width()) / 2,
                                   (canvas.height() - fitted.height()) / 2),
                fitted);
            painter.drawImage(target, picture);
            if (hands && hands->width > 0 && hands->height > 0) {
                const double sx = double(target.width()) / hands->width;
                const double sy = double(target.height()) / hands->height;
                for (const LandmarkHand &hand : hands->hands) {
                    // An unmirrored picture shows a right hand where a
                    // mirrored one shows a left: the model assumes mirrored.
                    const bool right = hand.labelledRight == hands->mirrored;
                    const QColor colour = right ? QColor(40, 220, 60) : QColor(255, 150, 30);
                    QPointF points[21];
                    for (int k = 0; k < 21; ++k)
                        points[k] = QPointF(target.left() + hand.image[std::size_t(k)][0] * sx,
                            target.top() + hand.image[std::size_t(k)][1] * sy);
                    painter.setPen(QPen(colour, 5));
                    for (const auto &bone : handBones)
                        painter.drawLine(points[bone[0]], points[bone[1]]);
                    painter.setPen(QPen(Qt::white, 2));
                    painter.setBrush(colour);
                    for (const QPointF &point : points)
                        painter.drawEllipse(point, 8, 8);
                }
            }
        }
        return image;
    }

} // namespace

bool isHandSourceSetting(const QString &setting)
{
    return setting == webcamWord || setting.startsWith(webcamWord + QLatin1Char(':'))
        || setting.startsWith(webcamWord + QLatin1Char('?')) || setting.startsWith(videoPrefix);
}

bool readHandSourceSetting(const QString &setting, HandSourceSetting &out, QString &error)
{
    out = HandSourceSetting();
    if (!isHandSourceSetting(setting)) {
        error = QStringLiteral("unknown camera source \"%1\"").arg(setting);
        return false;
    }
    const int options = optionsStart(setting);
    const QString head = options < 0 ? setting : setting.left(options);
    if (options >= 0 && !readOptions(setting.mid(options + 1), out, error)) {
        error = QStringLiteral("\"%1\": %2").arg(setting, error);
        return false;
    }
    if (head.startsWith(videoPrefix)) {
        out.kind = HandSourceSetting::Kind::Video;
        out.path = head.mid(videoPrefix.size());
        if (out.path.isEmpty()) {
            error = QStringLiteral("\"%1\": video:PATH needs the video file's path").arg(setting);
            return false;
        }
        return true;
    }
    out.kind = HandSourceSetting::Kind::Webcam;
    if (head.size() > webcamWord.size()) {
        out.device = head.mid(webcamWord.size() + 1);
        static const QRegularExpression device(QStringLiteral("^/dev/video[0-9]{1,3}$"));
        if (!device.match(out.device).hasMatch()) {
            error = QStringLiteral("\"%1\": a webcam is named by its device, /dev/videoN")
                        .arg(setting);
            return false;
        }
    }
    return true;
}

HandSource::HandSource(HandSourceSetting setting)
    : m_setting(std::move(setting))
    , m_name(m_setting.kind == HandSourceSetting::Kind::Video ? QStringLiteral("video")
                                                              : QStringLiteral("webcam"))
{
}

HandSource::~HandSource() { close(); }

void HandSource::say(const QString &text, bool problem)
{
    const QString line = m_name + QStringLiteral(": ") + text;
    if (problem)
        qWarning().noquote() << line;
    else
        qInfo().noquote() << line;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_status = line;
}

QString HandSource::statusText()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_status;
}

bool HandSource::open()
{
    close();
    const bool video = m_setting.kind == HandSourceSetting::Kind::Video;
    const bool testCamera = !video && !qEnvironmentVariableIsEmpty(testCameraFileVariable);
    if (!video && !testCamera) {
        if (!m_setting.device.isEmpty() && !QFileInfo::exists(m_setting.device)) {
            say(QStringLiteral("no camera at %1").arg(m_setting.device), true);
            return false;
        }
        if (m_setting.device.isEmpty() && !anyVideoDevice()) {
            say(QStringLiteral("no camera found (no /dev/video device)"), true);
            return false;
        }
    }
    m_cameraLabel
        = m_setting.device.isEmpty() || testCamera ? QString() : deviceName(m_setting.device);
    if (ChildProcess::findProgram("chromium").empty()) {
        say(QStringLiteral("the hand tracker runs in Chromium, which is not installed (install the "
                           "chromium package)"),
            true);
        return false;
    }
    HandPageFiles files;
    QString error;
    if (!HandPageFiles::locate(files, error)) {
        say(error, true);
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = m_ended = m_failed = m_fileEnded = false;
        m_frames.restart();
        m_firstPictureTime = -1;
        m_lastFrameTime = -1;
        m_unanswered.reset();
        m_nextAnswer = 0;
        m_handedOut = 0;
        m_recentLandmarks.clear();
        m_colorImage.reset();
        m_colorIndex = -1;
        m_status.clear();
        m_statistics = Statistics();
        m_analysedAt.clear();
        m_latencies.clear();
    }
    m_builder = std::make_unique<HandBodyBuilder>(m_setting.fovDegrees);
    PageServer::Handlers handlers;
    handlers.config = [this] { return pageConfig(); };
    if (video)
        handlers.nextPicture = [this](VideoPicture &picture) { return nextPicture(picture); };
    handlers.message = [this](PageMessage &&message) { receive(std::move(message)); };
    handlers.picture = [this](std::int64_t index, std::string &&jpeg) {
        receivePicture(index, std::move(jpeg));
    };
    m_server = std::make_unique<PageServer>(files, std::move(handlers), m_name.toStdString());
    std::promise<QString> started;
    std::future<QString> result = started.get_future();
    m_supervisor = std::thread([this, &started] { supervise(&started); });
    error = result.get();
    if (!error.isEmpty()) {
        m_supervisor.join();
        m_server.reset();
        m_pictures.reset();
        say(error, true);
        return false;
    }
    return true;
}

void HandSource::close()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    if (m_supervisor.joinable())
        m_supervisor.join();
    m_server.reset();
    m_pictures.reset();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_frames.dropAll();
}

std::string HandSource::pageConfig() const
{
    QJsonObject config;
    const bool video = m_setting.kind == HandSourceSetting::Kind::Video;
    config.insert(
        QStringLiteral("mode"), video ? QStringLiteral("file") : QStringLiteral("camera"));
    config.insert(QStringLiteral("model"),
        m_setting.liteModel ? QStringLiteral("lite") : QStringLiteral("full"));
    config.insert(QStringLiteral("camera"), m_cameraLabel);
    config.insert(QStringLiteral("width"), 640);
    config.insert(QStringLiteral("height"), 480);
    config.insert(QStringLiteral("preview"), true);
    return QJsonDocument(config).toJson(QJsonDocument::Compact).toStdString();
}

void HandSource::supervise(std::promise<QString> *started)
{
    const bool video = m_setting.kind == HandSourceSetting::Kind::Video;
    QString error;
    // ffmpeg and the browser are started here, on the thread that lives as
    // long as they should: the kernel ends them when it ends.
    if (video) {
        m_pictures = VideoPictures::open(m_setting.path, m_setting.mjpegFramesPerSecond, error);
        if (!m_pictures) {
            started->set_value(error);
            return;
        }
    }
    if (!m_server->start(error)) {
        started->set_value(error);
        return;
    }
    ChildProcess browser;
    std::unique_ptr<QTemporaryDir> profile;
    const auto launch = [&](QString &why) {
        browser.stop();
        profile = std::make_unique<QTemporaryDir>(
            QDir(QDir::tempPath()).filePath(QStringLiteral("handmotion-browser-XXXXXX")));
        if (!profile->isValid()) {
            why = QStringLiteral("cannot make a browser profile in %1").arg(QDir::tempPath());
            return false;
        }
        std::vector<std::string> arguments { "chromium", "--headless",
            "--user-data-dir=" + QFile::encodeName(profile->path()).toStdString(),
            // Nothing leaves the machine: no updates, no sync, no lookups.
            "--disable-background-networking", "--disable-component-update", "--disable-sync",
            "--disable-quic", "--no-first-run", "--no-default-browser-check",
            "--disable-extensions", "--mute-audio",
            // The page runs at full speed although nobody looks at it.
            "--disable-background-timer-throttling", "--disable-renderer-backgrounding",
            "--disable-backgrounding-occluded-windows",
            // The model needs a WebGL context to start, even for inference on
            // the processor: the software renderer gives one anywhere.
            "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
            "--autoplay-policy=no-user-gesture-required" };
        // Chromium's sandbox refuses to run as root.
        if (::geteuid() == 0)
            arguments.push_back("--no-sandbox");
        if (!video) {
            // The browser loads nothing but our page: the camera is granted
            // to it alone.
            arguments.push_back("--use-fake-ui-for-media-stream");
            const QString file = qEnvironmentVariable(testCameraFileVariable);
            if (!file.isEmpty()) {
                // The browser's stand-in camera takes no path with ".." in it.
                arguments.push_back("--use-fake-device-for-media-stream");
                arguments.push_back("--use-file-for-fake-video-capture="
                    + QFile::encodeName(QFileInfo(file).canonicalFilePath()).toStdString());
            }
        }
        arguments.push_back(m_server->pageAddress());
        const std::string log
            = QFile::encodeName(profile->filePath(QStringLiteral("browser.log"))).toStdString();
        if (!browser.start(arguments, ChildProcess::Output::Discard, why, log))
            return false;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pageReady = false;
        ++m_statistics.browserStarts;
        m_statistics.browserPid = int(browser.pid());
        return true;
    };
    if (!launch(error)) {
        m_server->stop();
        started->set_value(error);
        return;
    }
    started->set_value(QString());
    say(video ? QStringLiteral("analysing %1 with the %2 hand model")
                    .arg(m_setting.path,
                        m_setting.liteModel ? QStringLiteral("lite") : QStringLiteral("full"))
              : QStringLiteral("starting the camera and the %1 hand model")
                    .arg(m_setting.liteModel ? QStringLiteral("lite") : QStringLiteral("full")),
        false);
    int restarts = 0;
    auto startedAt = std::chrono::steady_clock::now();
    bool pageLoaded = false;
    for (;;) {
        bool stopping;
        bool done;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait_for(lock, superviseInterval);
            stopping = m_stopping;
            done = m_ended || m_failed;
            pageLoaded = m_pageReady;
        }
        const std::string report = m_server->takeReport(steadyNow());
        if (!report.empty())
            qDebug().noquote() << QString::fromStdString(report);
        if (stopping)
            break;
        if (done) {
            if (browser.isRunning()) {
                browser.stop();
                std::lock_guard<std::mutex> lock(m_mutex);
                m_statistics.browserPid = -1;
            }
            continue;
        }
        QString why;
        if (browser.hasExited())
            why = QStringLiteral("the browser %1").arg(describeExit(browser.exitStatus()));
        else if (!pageLoaded && std::chrono::steady_clock::now() - startedAt > pageStartLimit)
            why = QStringLiteral("the hand page did not start in the browser");
        if (why.isEmpty())
            continue;
        if (restarts >= maxBrowserRestarts) {
            browser.stop();
            say(QStringLiteral("%1; gave up after %2 restarts").arg(why).arg(restarts), true);
            std::lock_guard<std::mutex> lock(m_mutex);
            m_failed = true;
            m_statistics.browserPid = -1;
            continue;
        }
        ++restarts;
        say(QStringLiteral("%1; restarting it (%2 of %3)")
                .arg(why)
                .arg(restarts)
                .arg(maxBrowserRestarts),
            true);
        QString startError;
        if (!launch(startError)) {
            say(startError, true);
            std::lock_guard<std::mutex> lock(m_mutex);
            m_failed = true;
        }
        startedAt = std::chrono::steady_clock::now();
    }
    browser.stop();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_statistics.browserPid = -1;
    }
    // A request may wait on the conversion: end it before the server joins
    // its threads.
    if (m_pictures)
        m_pictures->interrupt();
    m_server->stop();
    m_pictures.reset();
}

bool HandSource::nextPicture(VideoPicture &picture)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(
        lock, [this] { return m_stopping || m_failed || m_frames.size() < videoQueueCapacity; });
    if (m_stopping || m_failed)
        return false;
    if (m_unanswered) {
        picture = *m_unanswered;
        return true;
    }
    if (m_fileEnded)
        return false;
    lock.unlock();
    // The page asks for one picture at a time: only this thread reads.
    QString error;
    const bool got = m_pictures->next(picture, error);
    if (!error.isEmpty())
        say(error + QStringLiteral("; the pictures before it are analysed"), true);
    lock.lock();
    if (!got) {
        m_fileEnded = true;
        m_statistics.fileEndedAfter = m_handedOut;
        return false;
    }
    ++m_handedOut;
    m_unanswered = std::make_unique<VideoPicture>(picture);
    return true;
}

void HandSource::receive(PageMessage &&message)
{
    switch (message.kind) {
    case PageMessage::Kind::Landmarks:
        landmarksArrived(message);
        return;
    case PageMessage::Kind::Ready:
        say(QStringLiteral("hand model loaded"), false);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_pageReady = true;
        }
        return;
    case PageMessage::Kind::End: {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_ended = true;
        }
        m_changed.notify_all();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_status = m_name + QStringLiteral(": all %1 pictures analysed").arg(m_nextAnswer);
        return;
    }
    case PageMessage::Kind::Error:
        say(message.text, true);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_failed = true;
        }
        m_changed.notify_all();
        return;
    }
}

void HandSource::landmarksArrived(const PageMessage &message)
{
    const bool video = m_setting.kind == HandSourceSetting::Kind::Video;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (video) {
            // An answer to a picture answered before (a restarted browser's
            // duplicate) or never handed out is dropped.
            if (message.index != m_nextAnswer || !m_unanswered)
                return;
        }
    }
    if (m_observer)
        m_observer(message);
    auto landmarks = std::make_shared<const LandmarkFrame>(message.frame);
    Queued queued;
    queued.timeMicroseconds = message.frame.timeMicroseconds;
    queued.frame.bodies[0] = m_builder->bodyFrom(message.frame);
    if (message.broken)
        say(QStringLiteral("picture %1 could not be decoded").arg(message.index), true);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (video) {
            m_unanswered.reset();
            ++m_nextAnswer;
        }
        // A file's frames count from its start, a camera's from its first
        // picture.
        if (m_firstPictureTime < 0)
            m_firstPictureTime = video ? 0 : queued.timeMicroseconds;
        m_lastFrameTime = std::max(
            m_lastFrameTime + 1, TIMESPAN(queued.timeMicroseconds - m_firstPictureTime) * 10);
        queued.frame.relativeTime = m_lastFrameTime;
        m_frames.push(std::move(queued), liveQueueCapacity);
        m_recentLandmarks[message.index] = std::move(landmarks);
        while (m_recentLandmarks.size() > recentLandmarkFrames)
            m_recentLandmarks.erase(m_recentLandmarks.begin());
        ++m_statistics.picturesAnalysed;
        if (!message.frame.hands.empty())
            ++m_statistics.picturesWithHands;
        m_analysedAt.push_back(double(steadyNow().count()) * 1e-9);
        while (m_analysedAt.size() > rateWindow)
            m_analysedAt.pop_front();
        if (m_analysedAt.size() >= 2) {
            m_statistics.modelFramesPerSecond = double(m_analysedAt.size() - 1)
                / std::max(1e-6, m_analysedAt.back() - m_analysedAt.front());
        }
        m_status = m_name
            + QStringLiteral(": hand model %1 frames/s")
                  .arg(m_statistics.modelFramesPerSecond, 0, 'f', 1);
    }
    bodyFrameArrived();
}

void HandSource::receivePicture(std::int64_t index, std::string &&jpeg)
{
    const QImage picture
        = QImage::fromData(reinterpret_cast<const uchar *>(jpeg.data()), int(jpeg.size()), "JPEG");
    if (picture.isNull())
        return;
    std::shared_ptr<const LandmarkFrame> landmarks;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto found = m_recentLandmarks.find(index);
        if (found != m_recentLandmarks.end())
            landmarks = found->second;
    }
    std::shared_ptr<ColorImage> image = composeColorFrame(picture, landmarks.get());
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_colorImage = std::move(image);
        ++m_colorIndex;
    }
    colorFrameArrived();
}

std::int64_t HandSource::latestBodyFrame()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_frames.nextIndex();
}

void HandSource::bodyFrame(std::int64_t index, BodyFrame &frame)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const Queued *waiting = m_frames.find(index);
        if (!waiting) {
            frame = BodyFrame();
            return;
        }
        frame = waiting->frame;
        if (m_setting.kind == HandSourceSetting::Kind::Webcam) {
            m_latencies.push_back(epochMicroseconds() - double(waiting->timeMicroseconds));
            while (m_latencies.size() > latencyWindow)
                m_latencies.pop_front();
        }
        m_frames.take();
    }
    // Room in the queue: a file's next picture may go out.
    m_changed.notify_all();
}

std::int64_t HandSource::latestColorFrame()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_colorIndex;
}

void HandSource::colorFrame(std::int64_t, ColorImage &image)
{
    std::shared_ptr<ColorImage> latest;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        latest = m_colorImage;
    }
    if (latest)
        image = *latest;
}

HandSource::Statistics HandSource::statistics()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Statistics copy = m_statistics;
    copy.finished = m_failed || (m_ended && m_nextAnswer >= m_handedOut);
    copy.takeLatencies.assign(m_latencies.begin(), m_latencies.end());
    return copy;
}

} // namespace camera
