#include "sensor/PollingThreads.h"

#include "sensor/FrameFeeds.h"

namespace Kinect {

namespace {

    // The loop of both threads: sleep until a frame arrives or stop is set,
    // take what arrived, tell the GUI thread when it has something new.
    // Stop comes first in the wait, so it wins over a frame.
    template <class Notify> void takeFramesUntilStopped(HANDLE stop, FrameFeed *feed, Notify notify)
    {
        WAITABLE_HANDLE arrival = 0;
        if (!feed || FAILED(feed->subscribe(&arrival))) {
            WaitForSingleObject(stop, INFINITE);
            return;
        }
        feed->setServed(true);
        const HANDLE handles[2] = { stop, reinterpret_cast<HANDLE>(arrival) };
        while (WaitForMultipleObjects(2, handles, 0, INFINITE) == WAIT_OBJECT_0 + 1) {
            if (feed->take())
                notify();
        }
        feed->setServed(false);
        feed->unsubscribe(arrival);
    }

} // namespace

colorThread::colorThread(QObject *parent)
    : QThread(parent)
    , m_stop(CreateEvent(1, 0))
{
}

colorThread::~colorThread()
{
    stop();
    wait();
    CloseHandle(m_stop);
}

void colorThread::setFeed(std::shared_ptr<ColorFrameFeed> feed) { m_feed = std::move(feed); }

void colorThread::stop() { SetEvent(m_stop); }

void colorThread::run()
{
    takeFramesUntilStopped(m_stop, m_feed.get(), [this] { Q_EMIT updatedColorFrame(); });
}

skeletonThread::skeletonThread(QObject *parent)
    : QThread(parent)
    , m_stop(CreateEvent(1, 0))
{
}

skeletonThread::~skeletonThread()
{
    stop();
    wait();
    CloseHandle(m_stop);
}

void skeletonThread::setFeed(std::shared_ptr<BodyFrameFeed> feed) { m_feed = std::move(feed); }

void skeletonThread::stop() { SetEvent(m_stop); }

void skeletonThread::run()
{
    takeFramesUntilStopped(m_stop, m_feed.get(), [this] { Q_EMIT updatedSkeletonFrame(); });
}

} // namespace Kinect
