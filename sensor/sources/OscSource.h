#pragma once

#include "sensor/sources/FrameQueue.h"
#include "sensor/sources/Source.h"

#include <QHostAddress>
#include <QString>

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>

namespace camera {

class OscReceiver;

// Where an OSC source listens.
struct OscEndpoint {
    QHostAddress address = QHostAddress(QHostAddress::LocalHost);
    quint16 port = 12345;
};

// Reads a camera setting "osc", "osc:PORT" or "osc:ADDRESS:PORT" (ADDRESS an
// IPv4 or IPv6 address, IPv6 in brackets or not; PORT 0 to 65535, 0 letting
// the system choose). False, with what is wrong in error, for anything else.
bool readOscSetting(const QString &setting, OscEndpoint &endpoint, QString &error);

// Live body frames received over UDP as OSC messages in the layout of
// OscBodyAssembler, from a sender on this machine or, when it listens on
// another address than loopback, on the network. No colour stream.
//
// A receiver thread of its own reads the datagrams and assembles the body
// frames, whatever the GUI thread is doing; they wait in a queue of
// queueCapacity frames (overflow drops the oldest and is reported) and are
// handed out oldest first, one an acquire: latestBodyFrame() names the
// oldest waiting frame, and each arrival wakes the readers, so that every
// frame is taken, in order. What was ignored is reported on the debug
// stream at most once a second.
class OscSource : public Source {
public:
    // A little over half a minute at 30 Hz.
    static constexpr std::size_t queueCapacity = 1024;

    explicit OscSource(OscEndpoint endpoint = OscEndpoint());
    ~OscSource() override;

    // Binds the socket and starts the receiver; says once, on standard
    // error, where it listens. False (and why, on standard error) when the
    // address cannot be bound.
    bool open() override;
    // Stops the receiver and closes the socket; waiting frames are dropped.
    void close() override;

    std::int64_t latestBodyFrame() override;
    void bodyFrame(std::int64_t index, BodyFrame &frame) override;
    const char *missingColorStreamCaption() const override;

    // The port it listens on while open (the one chosen for port 0), else 0.
    quint16 listeningPort() const { return m_listeningPort; }
    // Body frames received and not yet taken.
    std::size_t waitingFrames();

private:
    friend class OscReceiver;
    // Called on the receiver thread for each assembled frame; false when
    // the queue was full and its oldest frame had to go.
    bool push(const BodyFrame &frame);
    // The one place that tells the camera a body frame arrived.
    void frameArrived();

    OscEndpoint m_endpoint;
    std::unique_ptr<OscReceiver> m_receiver;
    quint16 m_listeningPort = 0;
    bool m_announced = false;

    std::mutex m_mutex;
    // Frames count from 0 at each open().
    FrameQueue<BodyFrame> m_frames;
    // The steady clock at open(), and the time of the last frame since then
    // in units of 100 ns.
    std::chrono::nanoseconds m_openedAt {};
    TIMESPAN m_lastFrameTime = -1;
};

} // namespace camera
