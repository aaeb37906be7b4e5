#pragma once

#include "algebra/DualQuaternion.h"
#include "sensor/CaptureRules.h"

#include <QObject>

#include <memory>
#include <vector>

class QLabel;
class QPoint;
class KeyPoseList;

struct IKinectSensor;
struct IColorFrameReader;
struct ICoordinateMapper;
struct IBodyFrameReader;
struct CameraSpacePoint;

namespace camera {
struct BodyFrame;
}

namespace Kinect {

class colorDisplay;
class BodyFrameFeed;
class ColorFrameFeed;

// The program's one connection to the camera, and the owner of the two pose
// lists that capture fills: the key positions and the continuously captured
// positions. Lives on the GUI thread. The polling threads take the frames
// from the camera through the two feeds and tell the slots, which process
// on the GUI thread every body frame taken, in order, and show the newest
// colour picture: the lists and the widgets are touched by the GUI thread
// alone.
class Sensor : public QObject {
    Q_OBJECT
public:
    Sensor(QLabel *colorLabel, QLabel *skeletonLabel);
    ~Sensor() override;

    std::vector<DualQuaternion> keyPositions() const;
    std::vector<DualQuaternion> continuousPositions() const;
    // The sizes of the two lists, without copying them.
    int keyPositionCount() const;
    int continuousPositionCount() const;
    void addKeyPosition(const DualQuaternion &pose);
    void clearKeyPositions();
    void clearContinuousPositions();

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
    void StoreKeyPosition(bool);

private:
    void startUp();
    void processBodies(const camera::BodyFrame &frame);
    QPoint jointToViewPoint(const CameraSpacePoint &position, int w, int h) const;
    void drawSkeletonOverlay(const QPoint *points);
    void reportDroppedFrames(std::size_t dropped);

    IKinectSensor *kinectSensor = nullptr;
    IColorFrameReader *colorFrameReader = nullptr;
    ICoordinateMapper *coordinateMapper = nullptr;
    IBodyFrameReader *bodyFrameReader = nullptr;
    colorDisplay *colorPresenter = nullptr;
    QLabel *colorLabel = nullptr;
    QLabel *skeletonLabel = nullptr;
    KeyPoseList *keyPositionList = nullptr;
    KeyPoseList *continuousList = nullptr;
    std::unique_ptr<CaptureRules> captureRules;
    std::shared_ptr<BodyFrameFeed> m_bodyFeed;
    std::shared_ptr<ColorFrameFeed> m_colorFeed;
};

} // namespace Kinect
