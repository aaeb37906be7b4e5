#include "sensor/PollingThreads.h"

namespace Kinect {

// The sleep only keeps the worker from spinning: a poll that finds no new
// frame does nothing, so the real pace is the camera's own frame rate.
static constexpr unsigned long pollIntervalMicroseconds = 150;

colorThread::colorThread(QObject *parent)
    : QThread(parent)
{
}

void colorThread::stop()
{
    stopRequested = true;
    running = false;
}

void colorThread::run()
{
    running = true;
    while (running && !stopRequested) {
        Q_EMIT updatedColorFrame();
        QThread::usleep(pollIntervalMicroseconds);
    }
}

skeletonThread::skeletonThread(QObject *parent)
    : QThread(parent)
{
}

void skeletonThread::stop()
{
    stopRequested = true;
    running = false;
}

void skeletonThread::run()
{
    running = true;
    while (running && !stopRequested) {
        Q_EMIT updatedSkeletonFrame();
        QThread::usleep(pollIntervalMicroseconds);
    }
}

} // namespace Kinect
