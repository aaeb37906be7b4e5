#pragma once

#include "algebra/DualQuaternion.h"

#include <QObject>
#include <QVector3D>

#include <vector>

class QLabel;
class QPoint;
class KeyPoseList;

struct IKinectSensor;
struct IColorFrameReader;
struct ICoordinateMapper;
struct IBodyFrameReader;
struct IBody;
struct CameraSpacePoint;

namespace Kinect {

class colorDisplay;

// Capture state shared by the whole process, kept across recordings, mode
// changes and list resets: the number of consecutive still body frames, and
// 1 while a recording that the left-hand gesture started is running.
extern int stillFrameCount;
extern int gestureLatch;

// The program's one connection to the camera, and the owner of the two pose
// lists that capture fills: the key positions and the continuously captured
// positions. Lives on the GUI thread; its slots are reached through queued
// connections from the polling threads, so camera calls, the lists and the
// widgets are touched by the GUI thread alone.
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

public Q_SLOTS:
    void updateColorFrame();
    void updateSkeletonFrame();
    void StoreKeyPosition(bool);

private:
    void startUp();
    void processBodies(IBody **bodies);
    QPoint jointToViewPoint(const CameraSpacePoint &position, int w, int h) const;
    void drawSkeletonOverlay(const QPoint *points);
    void gestureStep(int handLeftState);
    void captureStep();
    void captureContinuous();
    void captureKeyPosition();

    IKinectSensor *kinectSensor = nullptr;
    IColorFrameReader *colorFrameReader = nullptr;
    ICoordinateMapper *coordinateMapper = nullptr;
    IBodyFrameReader *bodyFrameReader = nullptr;
    unsigned char *colorBuffer = nullptr;
    colorDisplay *colorPresenter = nullptr;
    QLabel *colorLabel = nullptr;
    QLabel *skeletonLabel = nullptr;
    // G+ and G- (x, y, z, w) of the last body frame that counted as moving.
    double referencePoints[2][4] = {};
    QVector3D handCentre;
    QVector3D handTip;
    QVector3D thumbTip;
    KeyPoseList *keyPositionList = nullptr;
    KeyPoseList *continuousList = nullptr;
};

} // namespace Kinect
