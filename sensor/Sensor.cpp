#include "sensor/Sensor.h"

#include "sensor/BodyCapture.h"
#include "sensor/BodyFrameRecorder.h"
#include "sensor/CaptureHost.h"
#include "sensor/ColorDisplay.h"
#include "sensor/FrameFeeds.h"
#include "sensor/KinectSdk.h"
#include "sensor/SkeletonOverlay.h"
#include "sensor/sources/Source.h"
#include "session/PoseSession.h"

#include <QDebug>
#include <QLabel>
#include <QTimer>

#include <deque>
#include <utility>

namespace Kinect {

Sensor::Sensor(QLabel *colorLabel, QLabel *skeletonLabel, PoseSession *session)
    : colorLabel(colorLabel)
    , skeletonLabel(skeletonLabel)
    , m_ownSession(session ? nullptr : std::make_unique<PoseSession>())
    , m_session(session ? session : m_ownSession.get())
    , m_capture(std::make_unique<BodyCapture>(*m_session))
    , m_recorder(std::make_unique<BodyFrameRecorder>())
{
    startUp();
    m_overlay = std::make_unique<SkeletonOverlay>(skeletonLabel, coordinateMapper);
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
            m_capture->setCountByTime(byTime != 0);
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
    // A camera's own word (its model's frame rate, a problem) is shown when
    // it changes.
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
    if (CaptureHost *host = m_capture->host())
        host->showCameraStatus(status);
}

void Sensor::setCaptureHost(CaptureHost *host) { m_capture->setHost(host); }

bool Sensor::startRecordingFrames(const QString &fileName, QString *error)
{
    return m_recorder->open(fileName, error);
}

std::int64_t Sensor::stopRecordingFrames()
{
    m_recorder->close();
    return m_recorder->framesWritten();
}

bool Sensor::isRecordingFrames() const { return m_recorder->isOpen(); }

std::vector<DualQuaternion> Sensor::keyPositions() const { return m_session->keyPositions(); }

std::vector<DualQuaternion> Sensor::continuousPositions() const
{
    return m_session->continuousPositions();
}

int Sensor::keyPositionCount() const { return m_session->keyPositionCount(); }

int Sensor::continuousPositionCount() const { return m_session->continuousPositionCount(); }

void Sensor::addKeyPosition(const DualQuaternion &pose) { m_session->addKeyPosition(pose); }

void Sensor::clearKeyPositions() { m_session->clearKeyPositions(); }

void Sensor::replaceKeyPositions(std::vector<DualQuaternion> poses, const QString &text)
{
    m_session->replaceKeyPositions(std::move(poses), text);
}

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
    for (const camera::BodyFrame &frame : frames) {
        QString error;
        if (m_recorder->isOpen() && !m_recorder->append(frame, &error)) {
            qWarning().noquote() << error;
            Q_EMIT frameRecordingStopped(error);
        }
        processBodies(frame);
    }
}

void Sensor::reportDroppedFrames(std::size_t dropped)
{
    const QString message
        = QStringLiteral("Capture fell behind: the oldest %1 body frames were dropped")
              .arg(dropped);
    qWarning().noquote() << message;
    if (CaptureHost *host = m_capture->host())
        host->showCaptureProblem(message);
}

void Sensor::StoreKeyPosition(bool) { m_capture->storeSelectedPosition(); }

void Sensor::processBodies(const camera::BodyFrame &frame)
{
    if (!coordinateMapper)
        return;
    // The skeleton view shows the frame's last tracked body.
    const camera::Body *shown = nullptr;
    for (const camera::Body &body : frame.bodies)
        if (body.tracked)
            shown = &body;
    if (shown)
        m_overlay->show(*shown);
    m_capture->processFrame(frame);
}

} // namespace Kinect
