#pragma once

#include "algebra/DualQuaternion.h"
#include "sensor/CaptureRules.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <vector>

class QLabel;
class QPoint;
class QString;
class QUndoCommand;
class QUndoStack;
class KeyPoseList;
class KeyPoseListListener;

struct IKinectSensor;
struct IColorFrameReader;
struct ICoordinateMapper;
struct IBodyFrameReader;
struct CameraSpacePoint;

namespace camera {
struct Body;
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
//
// Every change of the lists goes through the sensor. With an undo stack
// attached, each edit below and each key position that capture stores is one
// step on it, whose undo and redo give back the lists bit for bit; the
// poses of continuous capture are not steps of their own (30 a second), only
// their reset is.
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
    // "Select position": appends one pose to the key positions.
    void addKeyPosition(const DualQuaternion &pose);
    // "Reset key position capture", "Reset continuous capture": empty one
    // list (an empty list makes no step).
    void clearKeyPositions();
    void clearContinuousPositions();
    // Removes key position index, or moves it to index to (the ones between
    // shift by one). False, changing nothing, for an index outside the list
    // or a move onto itself.
    bool removeKeyPosition(int index);
    bool moveKeyPosition(int from, int to);
    // Replaces all key positions by poses, as one step named text ("Select
    // shown positions", "Import key positions"); no step when they are the
    // same bit for bit.
    void replaceKeyPositions(std::vector<DualQuaternion> poses, const QString &text);

    // The lists a session starts with (a restored journal): not a step.
    void restorePositions(
        std::vector<DualQuaternion> keyPositions, std::vector<DualQuaternion> continuousPositions);
    // Checks "Key positions" and "Continuous motion" for the lists that hold
    // poses, or announces them again, as capture does when it stores one.
    void showPositions();

    // The listeners every change of the two lists is told to from now on
    // (the session journal's), or null. Not owned.
    void setListListeners(KeyPoseListListener *keyPositions, KeyPoseListListener *continuous);
    // The stack the edits become steps on, or null for none. Not owned; the
    // sensor empties it when it goes, since its steps act on the lists.
    void setUndoStack(QUndoStack *stack);
    QUndoStack *undoStack() const;

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

Q_SIGNALS:
    // The key positions changed: an edit, a key position captured, an undo
    // or redo. Emitted at once after each change, so several may come in a
    // row; continuous capture never emits it.
    void keyPositionsChanged();
    // An undo or redo changed a list; the 3D view repaints. The edits
    // themselves repaint as their callers do.
    void editReplayed();

private:
    class KeyPositionTap;

    // Pushes the step (which makes the change) on the undo stack, or makes
    // the change at once without one.
    void perform(QUndoCommand *command);
    void startUp();
    void processBodies(const camera::BodyFrame &frame);
    QPoint jointToViewPoint(const CameraSpacePoint &position, int w, int h) const;
    void drawSkeletonOverlay(const QPoint *points, const camera::Body &body);
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
    KeyPoseList *keyPositionList = nullptr;
    KeyPoseList *continuousList = nullptr;
    std::unique_ptr<KeyPositionTap> keyPositionTap;
    std::unique_ptr<CaptureRules> captureRules;
    QPointer<QUndoStack> m_undoStack;
    std::shared_ptr<BodyFrameFeed> m_bodyFeed;
    std::shared_ptr<ColorFrameFeed> m_colorFeed;
    QString m_cameraStatus;
};

} // namespace Kinect
