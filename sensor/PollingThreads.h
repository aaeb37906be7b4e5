#pragma once

#include "sensor/KinectSdk.h"

#include <QThread>

#include <memory>

namespace Kinect {

class FrameFeed;
class BodyFrameFeed;
class ColorFrameFeed;

// Takes the colour frames of the sensor's colour feed as they arrive: it
// sleeps on the reader's frame-arrival event and on its own stop event,
// converts and scales each new frame on this thread, and emits
// updatedColorFrame() when a picture waits for the GUI thread that it has
// not been told of. Without a feed (no camera) it sleeps until stop().
class colorThread : public QThread {
    Q_OBJECT
public:
    explicit colorThread(QObject *parent = nullptr);
    // Stops the loop and waits for it.
    ~colorThread() override;

    // The feed to take frames for; set before start().
    void setFeed(std::shared_ptr<ColorFrameFeed> feed);
    // Ends the loop at once, or as soon as the frame in hand is taken: also
    // before run() has begun (it then returns straight away) and from any
    // thread. A stopped thread stays stopped.
    void stop();

Q_SIGNALS:
    void updatedColorFrame();

protected:
    void run() override;

private:
    HANDLE m_stop;
    std::shared_ptr<FrameFeed> m_feed;
};

// Takes every body frame of the sensor's body feed as it arrives, like
// colorThread, and emits updatedSkeletonFrame() when frames wait for the GUI
// thread that it has not been told of.
class skeletonThread : public QThread {
    Q_OBJECT
public:
    explicit skeletonThread(QObject *parent = nullptr);
    ~skeletonThread() override;

    void setFeed(std::shared_ptr<BodyFrameFeed> feed);
    void stop();

Q_SIGNALS:
    void updatedSkeletonFrame();

protected:
    void run() override;

private:
    HANDLE m_stop;
    std::shared_ptr<FrameFeed> m_feed;
};

} // namespace Kinect
