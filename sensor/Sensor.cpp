#include "sensor/Sensor.h"

#include "algebra/KeyPoseList.h"
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

#include <deque>

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

} // namespace

Sensor::Sensor(QLabel *colorLabel, QLabel *skeletonLabel)
    : colorLabel(colorLabel)
    , skeletonLabel(skeletonLabel)
    , keyPositionList(new KeyPoseList)
    , continuousList(new KeyPoseList)
    , captureRules(std::make_unique<CaptureRules>(*keyPositionList, *continuousList))
{
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
}

std::vector<DualQuaternion> Sensor::keyPositions() const { return keyPositionList->poses(); }

std::vector<DualQuaternion> Sensor::continuousPositions() const { return continuousList->poses(); }

int Sensor::keyPositionCount() const { return keyPositionList->size(); }

int Sensor::continuousPositionCount() const { return continuousList->size(); }

void Sensor::addKeyPosition(const DualQuaternion &pose) { keyPositionList->append(pose); }

void Sensor::clearKeyPositions() { keyPositionList->clear(); }

void Sensor::clearContinuousPositions() { continuousList->clear(); }

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
        keyPositionList->append(continuousList->at(i));
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
        drawSkeletonOverlay(points);
        if (!window)
            continue;
        const CaptureEffects effects = captureRules->step(choice, body.handLeftState, hand);
        if (effects.recordingChanged)
            window->startRecordingCheck->setChecked(choice.recording);
        if (effects.continuousCaptured) {
            if (!window->continuousMotionCheck->isChecked()) {
                window->continuousMotionCheck->setChecked(true);
                if (!window->framesCheck->isChecked())
                    window->framesCheck->setChecked(true);
            } else {
                Q_EMIT window->continuousMotionCheck->stateChanged(Qt::Checked);
            }
        }
        if (effects.keyPositionStored)
            checkOrAnnounce(window->keyPositionsCheck);
    }
}

QPoint Sensor::jointToViewPoint(const CameraSpacePoint &position, int w, int h) const
{
    DepthSpacePoint depthPoint { 0.0f, 0.0f };
    coordinateMapper->MapCameraPointToDepthSpace(position, &depthPoint);
    return viewPointFromDepthPoint(depthPoint, w, h);
}

void Sensor::drawSkeletonOverlay(const QPoint *points)
{
    if (!skeletonLabel)
        return;
    QPixmap overlay(overlayWidth, overlayHeight);
    overlay.fill(Qt::black);
    {
        QPainter painter(&overlay);
        painter.setPen(Qt::green);
        for (const auto &bone : bones)
            painter.drawLine(points[bone[0]], points[bone[1]]);
        for (int j = 0; j < JointType_Count; ++j)
            painter.drawEllipse(points[j], 5, 5);
    }
    skeletonLabel->setPixmap(overlay);
}

} // namespace Kinect
