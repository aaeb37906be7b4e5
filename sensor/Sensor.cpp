#include "sensor/Sensor.h"

#include "algebra/KeyPoseList.h"
#include "algebra/KeyPoseListListener.h"
#include "algebra/Pose.h"
#include "app/mainDialog.h"
#include "sensor/ColorDisplay.h"
#include "sensor/FrameFeeds.h"
#include "sensor/KinectSdk.h"

#include <QCheckBox>
#include <QDebug>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QSlider>
#include <QStatusBar>
#include <QTimer>
#include <QUndoCommand>
#include <QUndoStack>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <utility>

namespace Kinect {

namespace {

    // The skeleton overlay's fixed size: two pixels less than the scroll
    // area that holds the skeleton label.
    constexpr int overlayWidth = 938;
    constexpr int overlayHeight = 438;

    // The stick figure's bones, in drawing order.
    constexpr JointType bones[24][2] = {
        { JointType_FootLeft, JointType_AnkleLeft },
        { JointType_AnkleLeft, JointType_KneeLeft },
        { JointType_KneeLeft, JointType_HipLeft },
        { JointType_HipLeft, JointType_SpineBase },
        { JointType_SpineBase, JointType_HipRight },
        { JointType_HipRight, JointType_KneeRight },
        { JointType_KneeRight, JointType_AnkleRight },
        { JointType_AnkleRight, JointType_FootRight },
        { JointType_SpineBase, JointType_SpineMid },
        { JointType_SpineMid, JointType_SpineShoulder },
        { JointType_SpineShoulder, JointType_Neck },
        { JointType_Neck, JointType_Head },
        { JointType_SpineShoulder, JointType_ShoulderLeft },
        { JointType_ShoulderLeft, JointType_ElbowLeft },
        { JointType_ElbowLeft, JointType_WristLeft },
        { JointType_WristLeft, JointType_HandLeft },
        { JointType_HandLeft, JointType_ThumbLeft },
        { JointType_HandLeft, JointType_HandTipLeft },
        { JointType_SpineShoulder, JointType_ShoulderRight },
        { JointType_ShoulderRight, JointType_ElbowRight },
        { JointType_ElbowRight, JointType_WristRight },
        { JointType_WristRight, JointType_HandRight },
        { JointType_HandRight, JointType_HandTipRight },
        { JointType_HandRight, JointType_ThumbRight },
    };

    template <class Interface> void releaseInterface(Interface *&object)
    {
        if (object) {
            object->Release();
            object = nullptr;
        }
    }

    CaptureChoice checkedChoice(const mainDialog &window)
    {
        CaptureChoice choice;
        choice.recording = window.startRecordingCheck->isChecked();
        choice.continuous = window.continuousCaptureCheck->isChecked();
        choice.keyPositions = window.keyPositionCaptureCheck->isChecked();
        if (window.spatialCaptureCheck->isChecked())
            choice.mode = PoseModeSpatial;
        else if (window.planarCaptureCheck->isChecked())
            choice.mode = PoseModePlanar;
        return choice;
    }

    // Checks box, or re-announces it as checked so that the 3D view redraws.
    void checkOrAnnounce(QCheckBox *box)
    {
        if (!box->isChecked())
            box->setChecked(true);
        else
            Q_EMIT box->stateChanged(Qt::Checked);
    }

    // What capture does after a continuous pose: the first one switches the
    // continuous motion on, with its frames; later ones redraw it.
    void showContinuousMotion(mainDialog &window)
    {
        if (!window.continuousMotionCheck->isChecked()) {
            window.continuousMotionCheck->setChecked(true);
            if (!window.framesCheck->isChecked())
                window.framesCheck->setChecked(true);
        } else {
            Q_EMIT window.continuousMotionCheck->stateChanged(Qt::Checked);
        }
    }

    bool sameBits(const std::vector<DualQuaternion> &a, const std::vector<DualQuaternion> &b)
    {
        return a.size() == b.size()
            && (a.empty()
                || std::memcmp(a.data(), b.data(), a.size() * sizeof(DualQuaternion)) == 0);
    }

    // An empty vector becomes clear(), so that the list's listeners see a
    // reset as one.
    void setList(KeyPoseList &list, std::vector<DualQuaternion> poses)
    {
        if (poses.empty())
            list.clear();
        else
            list.setPoses(std::move(poses));
    }

    // One undoable change of a pose list. The first redo() is the change
    // itself (made by push(), or already made by capture); a list that an
    // undo or a later redo fills from empty is shown as capture shows it.
    // Undo runs only on the state the change left, and redo on the state
    // before it: the stack keeps that order, and every other change of a
    // key list is a step too. The continuous list also grows by capture
    // between steps; its one step, the reset, allows for that.
    class ListChange : public QUndoCommand {
    public:
        ListChange(Sensor &sensor, const QString &text, KeyPoseList &list, bool continuous,
            bool done = false)
            : QUndoCommand(text)
            , m_list(list)
            , m_sensor(sensor)
            , m_continuous(continuous)
            , m_done(done)
        {
        }

        void redo() final
        {
            const bool first = std::exchange(m_first, false);
            if (first && m_done)
                return;
            const bool wasEmpty = m_list.size() == 0;
            apply();
            if (!first)
                replayed(wasEmpty);
        }
        void undo() final
        {
            const bool wasEmpty = m_list.size() == 0;
            revert();
            replayed(wasEmpty);
        }

    protected:
        virtual void apply() = 0;
        virtual void revert() = 0;
        KeyPoseList &m_list;

    private:
        void replayed(bool wasEmpty)
        {
            Q_EMIT m_sensor.editReplayed();
            mainDialog *window = mainDialogInstance;
            if (!window || !wasEmpty || m_list.size() == 0)
                return;
            if (m_continuous)
                showContinuousMotion(*window);
            else
                checkOrAnnounce(window->keyPositionsCheck);
        }

        Sensor &m_sensor;
        bool m_continuous;
        bool m_done;
        bool m_first = true;
    };

    class AppendPose : public ListChange {
    public:
        AppendPose(Sensor &sensor, const QString &text, KeyPoseList &list,
            const DualQuaternion &pose, bool done)
            : ListChange(sensor, text, list, false, done)
            , m_pose(pose)
        {
        }

    private:
        void apply() override { m_list.append(m_pose); }
        void revert() override { m_list.removeAt(m_list.size() - 1); }
        DualQuaternion m_pose;
    };

    class RemovePose : public ListChange {
    public:
        RemovePose(Sensor &sensor, const QString &text, KeyPoseList &list, int index)
            : ListChange(sensor, text, list, false)
            , m_index(index)
            , m_pose(list.at(index))
        {
        }

    private:
        void apply() override { m_list.removeAt(m_index); }
        void revert() override
        {
            m_list.append(m_pose);
            const int last = m_list.size() - 1;
            if (m_index != last)
                m_list.move(last, m_index);
        }
        int m_index;
        DualQuaternion m_pose;
    };

    class MovePose : public ListChange {
    public:
        MovePose(Sensor &sensor, const QString &text, KeyPoseList &list, int from, int to)
            : ListChange(sensor, text, list, false)
            , m_from(from)
            , m_to(to)
        {
        }

    private:
        void apply() override { m_list.move(m_from, m_to); }
        void revert() override { m_list.move(m_to, m_from); }
        int m_from;
        int m_to;
    };

    // Holds both lists: the key positions are a few dozen poses.
    class ReplacePoses : public ListChange {
    public:
        ReplacePoses(Sensor &sensor, const QString &text, KeyPoseList &list,
            std::vector<DualQuaternion> after)
            : ListChange(sensor, text, list, false)
            , m_before(list.poses())
            , m_after(std::move(after))
        {
        }

    private:
        void apply() override { setList(m_list, m_after); }
        void revert() override { setList(m_list, m_before); }
        std::vector<DualQuaternion> m_before;
        std::vector<DualQuaternion> m_after;
    };

    // The reset of the continuous poses holds the one copy of the poses it
    // removed. Capture may append after it: an undo puts the removed poses
    // back in front of those, and a redo removes them from the front again,
    // so no captured pose is lost either way.
    class ResetContinuous : public ListChange {
    public:
        ResetContinuous(Sensor &sensor, const QString &text, KeyPoseList &list)
            : ListChange(sensor, text, list, true)
            , m_removed(list.poses())
        {
        }

    private:
        void apply() override
        {
            std::vector<DualQuaternion> poses = m_list.poses();
            poses.erase(poses.begin(),
                poses.begin() + std::ptrdiff_t(std::min(poses.size(), m_removed.size())));
            setList(m_list, std::move(poses));
        }
        void revert() override
        {
            std::vector<DualQuaternion> poses = m_removed;
            const std::vector<DualQuaternion> since = m_list.poses();
            poses.insert(poses.end(), since.begin(), since.end());
            setList(m_list, std::move(poses));
        }
        std::vector<DualQuaternion> m_removed;
    };

} // namespace

// The key positions' one listener: hands every change on to the listener
// set with setListListeners() and tells whoever follows the key positions.
class Sensor::KeyPositionTap : public KeyPoseListListener {
public:
    explicit KeyPositionTap(Sensor &sensor)
        : m_sensor(sensor)
    {
    }
    KeyPoseListListener *next = nullptr;

    void poseAppended(const KeyPoseList &list, const DualQuaternion &pose) override
    {
        if (next)
            next->poseAppended(list, pose);
        changed();
    }
    void posesReplaced(const KeyPoseList &list, const std::vector<DualQuaternion> &poses) override
    {
        if (next)
            next->posesReplaced(list, poses);
        changed();
    }
    void posesCleared(const KeyPoseList &list) override
    {
        if (next)
            next->posesCleared(list);
        changed();
    }
    void poseRemoved(const KeyPoseList &list, int index) override
    {
        if (next)
            next->poseRemoved(list, index);
        changed();
    }
    void poseMoved(const KeyPoseList &list, int from, int to) override
    {
        if (next)
            next->poseMoved(list, from, to);
        changed();
    }

private:
    void changed() { Q_EMIT m_sensor.keyPositionsChanged(); }
    Sensor &m_sensor;
};

Sensor::Sensor(QLabel *colorLabel, QLabel *skeletonLabel)
    : colorLabel(colorLabel)
    , skeletonLabel(skeletonLabel)
    , keyPositionList(new KeyPoseList)
    , continuousList(new KeyPoseList)
    , keyPositionTap(std::make_unique<KeyPositionTap>(*this))
    , captureRules(std::make_unique<CaptureRules>(*keyPositionList, *continuousList))
{
    keyPositionList->setListener(keyPositionTap.get());
    startUp();
    if (bodyFrameReader)
        m_bodyFeed = std::make_shared<BodyFrameFeed>(bodyFrameReader);
    if (colorFrameReader && colorPresenter) {
        m_colorFeed = std::make_shared<ColorFrameFeed>(colorFrameReader);
        if (colorLabel)
            m_colorFeed->setPictureSize(colorLabel->frameSize());
    }
}

Sensor::~Sensor()
{
    // A polling thread still running keeps its feed, and through it its
    // reader, alive: nothing here can pull the camera from under it.
    m_bodyFeed.reset();
    m_colorFeed.reset();
    releaseInterface(colorFrameReader);
    releaseInterface(bodyFrameReader);
    releaseInterface(coordinateMapper);
    if (kinectSensor) {
        kinectSensor->Close();
        releaseInterface(kinectSensor);
    }
    // The stack's steps act on the lists that go now.
    if (m_undoStack)
        m_undoStack->clear();
    captureRules.reset();
    delete keyPositionList;
    keyPositionList = nullptr;
    delete continuousList;
    continuousList = nullptr;
}

void Sensor::startUp()
{
    if (FAILED(GetDefaultKinectSensor(&kinectSensor)))
        return;
    HRESULT hr = E_FAIL;
    if (kinectSensor) {
        IColorFrameSource *colorFrameSource = nullptr;
        IBodyFrameSource *bodyFrameSource = nullptr;
        hr = kinectSensor->Open();
        if (SUCCEEDED(hr))
            hr = kinectSensor->get_CoordinateMapper(&coordinateMapper);
        if (SUCCEEDED(hr))
            hr = kinectSensor->get_ColorFrameSource(&colorFrameSource);
        if (SUCCEEDED(hr))
            hr = kinectSensor->get_BodyFrameSource(&bodyFrameSource);
        if (SUCCEEDED(hr))
            hr = colorFrameSource->OpenReader(&colorFrameReader);
        if (SUCCEEDED(hr))
            hr = bodyFrameSource->OpenReader(&bodyFrameReader);
        BOOLEAN byTime = 0;
        if (SUCCEEDED(hr) && SUCCEEDED(bodyFrameSource->get_CountsStillnessByTime(&byTime)))
            captureRules->setCountByTime(byTime != 0);
        const char *caption = nullptr;
        if (SUCCEEDED(hr) && FAILED(colorFrameSource->get_MissingStreamCaption(&caption)))
            caption = nullptr;
        // A camera without colour says so where the pictures would be.
        if (caption && colorLabel) {
            colorLabel->setAlignment(Qt::AlignCenter);
            colorLabel->setText(QString::fromUtf8(caption));
        }
        // The readers keep what they need of their frame sources.
        releaseInterface(colorFrameSource);
        releaseInterface(bodyFrameSource);
        colorPresenter = new colorDisplay(colorLabel, colorFrameWidth, colorFrameHeight, this);
    }
    if (!kinectSensor || FAILED(hr))
        qDebug() << "Sensor not working";
    // A camera's own word (its model's frame rate, a problem) goes to the
    // status bar when it changes.
    if (kinectSensor) {
        auto *statusPoll = new QTimer(this);
        connect(statusPoll, &QTimer::timeout, this, &Sensor::showCameraStatus);
        statusPoll->start(500);
    }
}

void Sensor::showCameraStatus()
{
    char text[512];
    if (!kinectSensor || FAILED(kinectSensor->GetStatusText(sizeof text, text)))
        return;
    const QString status = QString::fromUtf8(text);
    if (status.isEmpty() || status == m_cameraStatus)
        return;
    m_cameraStatus = status;
    if (mainDialogInstance)
        mainDialogInstance->statusBar()->showMessage(status);
}

std::vector<DualQuaternion> Sensor::keyPositions() const { return keyPositionList->poses(); }

std::vector<DualQuaternion> Sensor::continuousPositions() const { return continuousList->poses(); }

int Sensor::keyPositionCount() const { return keyPositionList->size(); }

int Sensor::continuousPositionCount() const { return continuousList->size(); }

void Sensor::perform(QUndoCommand *command)
{
    if (m_undoStack) {
        m_undoStack->push(command);
    } else {
        command->redo();
        delete command;
    }
}

void Sensor::addKeyPosition(const DualQuaternion &pose)
{
    perform(new AppendPose(*this, tr("Select position"), *keyPositionList, pose, false));
}

void Sensor::clearKeyPositions()
{
    if (keyPositionList->size() > 0)
        perform(new ReplacePoses(*this, tr("Reset key position capture"), *keyPositionList, {}));
}

void Sensor::clearContinuousPositions()
{
    if (continuousList->size() > 0)
        perform(new ResetContinuous(*this, tr("Reset continuous capture"), *continuousList));
}

bool Sensor::removeKeyPosition(int index)
{
    if (index < 0 || index >= keyPositionList->size())
        return false;
    perform(new RemovePose(*this, tr("Delete key position"), *keyPositionList, index));
    return true;
}

bool Sensor::moveKeyPosition(int from, int to)
{
    const int size = keyPositionList->size();
    if (from < 0 || from >= size || to < 0 || to >= size || from == to)
        return false;
    perform(
        new MovePose(*this, to < from ? tr("Move key position up") : tr("Move key position down"),
            *keyPositionList, from, to));
    return true;
}

void Sensor::replaceKeyPositions(std::vector<DualQuaternion> poses, const QString &text)
{
    if (!sameBits(poses, keyPositionList->poses()))
        perform(new ReplacePoses(*this, text, *keyPositionList, std::move(poses)));
}

void Sensor::restorePositions(
    std::vector<DualQuaternion> keyPositions, std::vector<DualQuaternion> continuousPositions)
{
    keyPositionList->setPoses(std::move(keyPositions));
    continuousList->setPoses(std::move(continuousPositions));
}

void Sensor::showPositions()
{
    mainDialog *window = mainDialogInstance;
    if (!window)
        return;
    if (keyPositionList->size() > 0)
        checkOrAnnounce(window->keyPositionsCheck);
    if (continuousList->size() > 0)
        showContinuousMotion(*window);
}

void Sensor::setListListeners(KeyPoseListListener *keyPositions, KeyPoseListListener *continuous)
{
    keyPositionTap->next = keyPositions;
    continuousList->setListener(continuous);
}

void Sensor::setUndoStack(QUndoStack *stack) { m_undoStack = stack; }

QUndoStack *Sensor::undoStack() const { return m_undoStack; }

void Sensor::updateColorFrame()
{
    if (!m_colorFeed)
        return;
    // Pictures are scaled to the label's size as the GUI thread last saw it.
    // One made before a resize is scaled again here: rare, and the next one
    // fits.
    const QSize size = colorLabel ? colorLabel->frameSize() : QSize();
    m_colorFeed->setPictureSize(size);
    if (!m_colorFeed->isServed())
        m_colorFeed->take();
    QImage picture;
    if (size.isEmpty() || !m_colorFeed->collect(picture))
        return;
    if (picture.size() != size)
        picture = picture.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    colorPresenter->showImage(std::move(picture));
}

void Sensor::updateSkeletonFrame()
{
    if (!m_bodyFeed)
        return;
    if (!m_bodyFeed->isServed())
        m_bodyFeed->take();
    std::deque<camera::BodyFrame> frames;
    const std::size_t dropped = m_bodyFeed->collect(frames);
    if (dropped > 0)
        reportDroppedFrames(dropped);
    for (const camera::BodyFrame &frame : frames)
        processBodies(frame);
}

void Sensor::reportDroppedFrames(std::size_t dropped)
{
    const QString message
        = QStringLiteral("Capture fell behind: the oldest %1 body frames were dropped")
              .arg(dropped);
    qWarning().noquote() << message;
    if (mainDialogInstance)
        mainDialogInstance->statusBar()->showMessage(message);
}

void Sensor::StoreKeyPosition(bool)
{
    if (!mainDialogInstance)
        return;
    const int i = mainDialogInstance->positionSlider->value();
    if (i >= 0 && i < continuousList->size())
        addKeyPosition(continuousList->at(i));
}

void Sensor::processBodies(const camera::BodyFrame &frame)
{
    if (!coordinateMapper)
        return;
    const int w = skeletonLabel ? skeletonLabel->width() : overlayWidth;
    const int h = skeletonLabel ? skeletonLabel->height() : overlayHeight;
    mainDialog *window = mainDialogInstance;
    CaptureChoice choice;
    if (window)
        choice = checkedChoice(*window);
    for (const camera::Body &body : frame.bodies) {
        if (!body.tracked)
            continue;
        QPoint points[JointType_Count];
        HandJoints hand;
        for (int j = 0; j < JointType_Count; ++j) {
            const Joint &joint = body.joints[std::size_t(j)];
            const CameraSpacePoint &p = joint.Position;
            points[j] = jointToViewPoint(p, w, h);
            if (joint.JointType == JointType_HandRight)
                hand.centre = QVector3D(p.X, p.Y, p.Z);
            else if (joint.JointType == JointType_HandTipRight)
                hand.tip = QVector3D(p.X, p.Y, p.Z);
            else if (joint.JointType == JointType_ThumbRight)
                hand.thumb = QVector3D(p.X, p.Y, p.Z);
        }
        drawSkeletonOverlay(points, body);
        if (!window)
            continue;
        const int keyPositionsBefore = keyPositionList->size();
        const CaptureEffects effects = captureRules->step(
            choice, body.handLeftState, hand, CaptureRules::Time(frame.relativeTime / 10));
        if (effects.recordingChanged)
            window->startRecordingCheck->setChecked(choice.recording);
        if (effects.continuousCaptured)
            showContinuousMotion(*window);
        if (effects.keyPositionStored) {
            // Capture appended it already: the step only records it.
            if (m_undoStack && keyPositionList->size() > keyPositionsBefore)
                m_undoStack->push(new AppendPose(*this, tr("Capture key position"),
                    *keyPositionList, keyPositionList->at(keyPositionList->size() - 1), true));
            checkOrAnnounce(window->keyPositionsCheck);
        }
    }
}

QPoint Sensor::jointToViewPoint(const CameraSpacePoint &position, int w, int h) const
{
    DepthSpacePoint depthPoint { 0.0f, 0.0f };
    coordinateMapper->MapCameraPointToDepthSpace(position, &depthPoint);
    return viewPointFromDepthPoint(depthPoint, w, h);
}

void Sensor::drawSkeletonOverlay(const QPoint *points, const camera::Body &body)
{
    if (!skeletonLabel)
        return;
    // A joint the camera has no position for (a hand-landmark camera sees
    // hands only) is left out, with its bones.
    bool known[JointType_Count];
    for (int j = 0; j < JointType_Count; ++j) {
        const CameraSpacePoint &p = body.joints[std::size_t(j)].Position;
        known[j] = std::isfinite(p.X) && std::isfinite(p.Y) && std::isfinite(p.Z);
    }
    QPixmap overlay(overlayWidth, overlayHeight);
    overlay.fill(Qt::black);
    {
        QPainter painter(&overlay);
        painter.setPen(Qt::green);
        for (const auto &bone : bones) {
            if (known[bone[0]] && known[bone[1]])
                painter.drawLine(points[bone[0]], points[bone[1]]);
        }
        for (int j = 0; j < JointType_Count; ++j) {
            if (known[j])
                painter.drawEllipse(points[j], 5, 5);
        }
    }
    skeletonLabel->setPixmap(overlay);
}

} // namespace Kinect
