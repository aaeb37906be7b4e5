#include "sensor/Sensor.h"

#include "algebra/KeyPoseList.h"
#include "algebra/Pose.h"
#include "app/mainDialog.h"
#include "sensor/ColorDisplay.h"
#include "sensor/KinectSdk.h"

#include <QCheckBox>
#include <QDebug>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QSlider>

#include <cmath>

namespace Kinect {

int stillFrameCount = 0;
int gestureLatch = 0;

namespace {

    constexpr UINT colorBufferSize = colorFrameWidth * colorFrameHeight * 4;

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

    // The stillness test: the image points of a held hand stay within this
    // distance of those of the last moving frame, and this many still frames
    // in a row make a key position.
    constexpr double stillDistance = 0.2;
    constexpr int stillFramesPerKeyPosition = 100;
    // Half the length of the translation quaternions that turn a hand pose
    // into its two image points.
    constexpr double imagePointLength = 20.0;

    template <class Interface> void releaseInterface(Interface *&object)
    {
        if (object) {
            object->Release();
            object = nullptr;
        }
    }

    // The capture mode the check boxes select: spatial before planar; -1 for
    // neither.
    int checkedPoseMode(const mainDialog &window)
    {
        if (window.spatialCaptureCheck->isChecked())
            return PoseModeSpatial;
        if (window.planarCaptureCheck->isChecked())
            return PoseModePlanar;
        return -1;
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
{
    startUp();
    colorBuffer = new unsigned char[colorBufferSize];
}

Sensor::~Sensor()
{
    delete[] colorBuffer;
    colorBuffer = nullptr;
    releaseInterface(colorFrameReader);
    releaseInterface(bodyFrameReader);
    releaseInterface(coordinateMapper);
    if (kinectSensor) {
        kinectSensor->Close();
        releaseInterface(kinectSensor);
    }
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
    if (!colorFrameReader)
        return;
    IColorFrame *frame = nullptr;
    if (FAILED(colorFrameReader->AcquireLatestFrame(&frame)) || !frame)
        return;
    ColorImageFormat format = ColorImageFormat_None;
    HRESULT hr = frame->get_RawColorImageFormat(&format);
    const unsigned char *pixels = nullptr;
    if (SUCCEEDED(hr)) {
        if (format == ColorImageFormat_Bgra) {
            UINT size = 0;
            BYTE *buffer = nullptr;
            hr = frame->AccessRawUnderlyingBuffer(&size, &buffer);
            // A frame smaller than a full picture would be read past its end.
            if (SUCCEEDED(hr) && size < colorBufferSize)
                hr = E_FAIL;
            pixels = buffer;
        } else if (colorBuffer) {
            hr = frame->CopyConvertedFrameDataToArray(
                colorBufferSize, colorBuffer, ColorImageFormat_Bgra);
            pixels = colorBuffer;
        } else {
            hr = E_FAIL;
        }
    }
    if (SUCCEEDED(hr) && colorPresenter)
        colorPresenter->showFrame(pixels);
    frame->Release();
}

void Sensor::updateSkeletonFrame()
{
    if (!bodyFrameReader)
        return;
    IBodyFrame *frame = nullptr;
    if (FAILED(bodyFrameReader->AcquireLatestFrame(&frame)) || !frame)
        return;
    IBody *bodies[BODY_COUNT] = {};
    if (SUCCEEDED(frame->GetAndRefreshBodyData(BODY_COUNT, bodies)))
        processBodies(bodies);
    for (IBody *&body : bodies)
        releaseInterface(body);
    frame->Release();
}

void Sensor::StoreKeyPosition(bool)
{
    if (!mainDialogInstance)
        return;
    const int i = mainDialogInstance->positionSlider->value();
    if (i >= 0 && i < continuousList->size())
        keyPositionList->append(continuousList->at(i));
}

void Sensor::processBodies(IBody **bodies)
{
    if (!coordinateMapper)
        return;
    const int w = skeletonLabel ? skeletonLabel->width() : overlayWidth;
    const int h = skeletonLabel ? skeletonLabel->height() : overlayHeight;
    for (int i = 0; i < BODY_COUNT; ++i) {
        IBody *body = bodies[i];
        if (!body)
            continue;
        BOOLEAN tracked = 0;
        if (FAILED(body->get_IsTracked(&tracked)) || !tracked)
            continue;
        HandState handLeftState = HandState_Unknown;
        if (FAILED(body->get_HandLeftState(&handLeftState)))
            handLeftState = HandState_Unknown;
        Joint joints[JointType_Count];
        if (FAILED(body->GetJoints(JointType_Count, joints)))
            continue;
        QPoint points[JointType_Count];
        for (int j = 0; j < JointType_Count; ++j) {
            const CameraSpacePoint &p = joints[j].Position;
            points[j] = jointToViewPoint(p, w, h);
            if (joints[j].JointType == JointType_HandRight)
                handCentre = QVector3D(p.X, p.Y, p.Z);
            else if (joints[j].JointType == JointType_HandTipRight)
                handTip = QVector3D(p.X, p.Y, p.Z);
            else if (joints[j].JointType == JointType_ThumbRight)
                thumbTip = QVector3D(p.X, p.Y, p.Z);
        }
        drawSkeletonOverlay(points);
        gestureStep(handLeftState);
        if (mainDialogInstance && mainDialogInstance->startRecordingCheck->isChecked())
            captureStep();
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

void Sensor::gestureStep(int handLeftState)
{
    if (!mainDialogInstance)
        return;
    QCheckBox *recording = mainDialogInstance->startRecordingCheck;
    if (!recording->isChecked()) {
        if (handLeftState == HandState_Closed && gestureLatch == 0) {
            gestureLatch = 1;
            recording->setChecked(true);
        }
    } else if (handLeftState == HandState_Open && gestureLatch == 1) {
        gestureLatch = 0;
        recording->setChecked(false);
    }
}

void Sensor::captureStep()
{
    if (mainDialogInstance->continuousCaptureCheck->isChecked())
        captureContinuous();
    else if (mainDialogInstance->keyPositionCaptureCheck->isChecked())
        captureKeyPosition();
}

void Sensor::captureContinuous()
{
    mainDialog &window = *mainDialogInstance;
    const int mode = checkedPoseMode(window);
    if (mode >= 0)
        continuousList->appendFromPoints(handCentre, handTip, thumbTip, mode);
    if (!window.continuousMotionCheck->isChecked()) {
        window.continuousMotionCheck->setChecked(true);
        if (!window.framesCheck->isChecked())
            window.framesCheck->setChecked(true);
    } else {
        Q_EMIT window.continuousMotionCheck->stateChanged(Qt::Checked);
    }
}

void Sensor::captureKeyPosition()
{
    mainDialog &window = *mainDialogInstance;
    const int mode = checkedPoseMode(window);
    Matrix4 frame;
    if (mode >= 0)
        frame = frameFromPoints(handCentre, handTip, thumbTip, mode);
    const Quaternion q = rotationMatrixToQuaternion(frame);
    const Quaternion plus = poseQuaternionPlus(q, handCentre, imagePointLength);
    const Quaternion minus = poseQuaternionMinus(q, handCentre, imagePointLength);

    double squared = 0.0;
    for (int k = 0; k < 4; ++k) {
        const double dPlus = referencePoints[0][k] - plus.data()[k];
        const double dMinus = referencePoints[1][k] - minus.data()[k];
        squared += dPlus * dPlus + dMinus * dMinus;
    }
    const double d = std::sqrt(squared);

    if (d < stillDistance) {
        if (++stillFrameCount >= stillFramesPerKeyPosition) {
            if (mode >= 0)
                keyPositionList->appendFromMatrix(frame, mode);
            stillFrameCount = 0;
            checkOrAnnounce(window.keyPositionsCheck);
        }
    } else {
        // Moving, or not a number: this frame becomes the reference.
        stillFrameCount = 0;
        for (int k = 0; k < 4; ++k) {
            referencePoints[0][k] = plus.data()[k];
            referencePoints[1][k] = minus.data()[k];
        }
    }
}

} // namespace Kinect
