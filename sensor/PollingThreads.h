#pragma once

#include <QThread>

#include <atomic>

namespace Kinect {

// Emits updatedColorFrame() every 150 µs until stop(). It touches nothing but
// its own run flag; the connected slot runs queued on the GUI thread.
class colorThread : public QThread {
    Q_OBJECT
public:
    explicit colorThread(QObject *parent = nullptr);
    // Clears the run flag; the loop ends after its current sleep.
    void stop();

Q_SIGNALS:
    void updatedColorFrame();

protected:
    void run() override;

private:
    std::atomic<bool> running { false };
    // Set by stop() and never cleared: a stop() that comes before run() has
    // begun must still end the loop.
    std::atomic<bool> stopRequested { false };
};

// Emits updatedSkeletonFrame() every 150 µs until stop(), like colorThread.
class skeletonThread : public QThread {
    Q_OBJECT
public:
    explicit skeletonThread(QObject *parent = nullptr);
    void stop();

Q_SIGNALS:
    void updatedSkeletonFrame();

protected:
    void run() override;

private:
    std::atomic<bool> running { false };
    std::atomic<bool> stopRequested { false };
};

} // namespace Kinect
