#pragma once

#include "algebra/DualQuaternion.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class QLabel;
class QString;
class PoseSession;

struct IKinectSensor;
struct IColorFrameReader;
struct ICoordinateMapper;
struct IBodyFrameReader;

namespace camera {
struct BodyFrame;
}

namespace Kinect {

class BodyCapture;
class BodyFrameRecorder;
class CaptureHost;
class colorDisplay;
class BodyFrameFeed;
class ColorFrameFeed;
class SkeletonOverlay;

// The program's one connection to the camera: it opens the camera, hands its
// frames to the polling threads through two feeds, shows the newest colour
// picture and the skeleton, and captures hand poses into a pose session.
// Lives on the GUI thread; the slots process there every body frame taken,
// in order, so the session and the widgets are touched by the GUI thread
// alone.
class Sensor : public QObject {
    Q_OBJECT
public:
    // Captures into session (not owned; it must outlive the sensor), or
    // into a session of the sensor's own when null.
    Sensor(QLabel *colorLabel, QLabel *skeletonLabel, PoseSession *session = nullptr);
    ~Sensor() override;

    PoseSession &session() const { return *m_session; }
    // Where capture reads its choices and reports, or null (at first) for
    // no capture. Not owned.
    void setCaptureHost(CaptureHost *host);

    // Forwards to the session, for callers that reach its lists through the
    // sensor.
    std::vector<DualQuaternion> keyPositions() const;
    std::vector<DualQuaternion> continuousPositions() const;
    int keyPositionCount() const;
    int continuousPositionCount() const;
    void addKeyPosition(const DualQuaternion &pose);
    void clearKeyPositions();
    void replaceKeyPositions(std::vector<DualQuaternion> poses, const QString &text);

    // Every body frame taken from now on is also appended to fileName, in
    // the .csv layout that replay reads, until stopRecordingFrames(). False,
    // with what is wrong in *error, when the file cannot be written; a write
    // that fails later ends the recording and emits frameRecordingStopped.
    // Capture goes on either way.
    bool startRecordingFrames(const QString &fileName, QString *error);
    // Ends the recording; the number of frames it holds.
    std::int64_t stopRecordingFrames();
    bool isRecordingFrames() const;

    // The feeds the polling threads take frames for; null without a camera.
    std::shared_ptr<BodyFrameFeed> bodyFeed() const { return m_bodyFeed; }
    std::shared_ptr<ColorFrameFeed> colorFeed() const { return m_colorFeed; }

public Q_SLOTS:
    // Each slot collects what its thread took. While no thread serves the
    // feed (before the threads start, after mainDialog::stopPolling(), or a
    // sensor without a window), the slot first takes the newest frame
    // itself, as a poll.
    void updateColorFrame();
    void updateSkeletonFrame();
    // "Select position" of the capture host's selected continuous pose.
    void StoreKeyPosition(bool);

Q_SIGNALS:
    // A recording of body frames ended because its file could not be written
    // (message says why and how many frames it keeps).
    void frameRecordingStopped(const QString &message);

private:
    void startUp();
    void processBodies(const camera::BodyFrame &frame);
    // Shows what the camera has to say, when it changed.
    void showCameraStatus();
    void reportDroppedFrames(std::size_t dropped);

    IKinectSensor *kinectSensor = nullptr;
    IColorFrameReader *colorFrameReader = nullptr;
    ICoordinateMapper *coordinateMapper = nullptr;
    IBodyFrameReader *bodyFrameReader = nullptr;
    colorDisplay *colorPresenter = nullptr;
    QLabel *colorLabel = nullptr;
    QLabel *skeletonLabel = nullptr;
    std::unique_ptr<PoseSession> m_ownSession;
    PoseSession *m_session;
    std::unique_ptr<BodyCapture> m_capture;
    std::unique_ptr<BodyFrameRecorder> m_recorder;
    std::unique_ptr<SkeletonOverlay> m_overlay;
    std::shared_ptr<BodyFrameFeed> m_bodyFeed;
    std::shared_ptr<ColorFrameFeed> m_colorFeed;
    QString m_cameraStatus;
};

} // namespace Kinect
