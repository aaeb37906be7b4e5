#include "sensor/sources/OscSource.h"

#include "sensor/sources/OscBodyAssembler.h"

#include <QDebug>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>

#include <algorithm>
#include <chrono>
#include <future>
#include <vector>

namespace camera {

namespace {

    using std::chrono::nanoseconds;

    nanoseconds now()
    {
        return std::chrono::duration_cast<nanoseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
    }

    QString endpointText(const QHostAddress &address, quint16 port)
    {
        const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
            ? QLatin1Char('[') + address.toString() + QLatin1Char(']')
            : address.toString();
        return host + QLatin1Char(':') + QString::number(port);
    }

    // Datagrams read in one go before the receiver looks at its timers again.
    constexpr int datagramsPerBatch = 256;
    // The socket's receive buffer: room for several seconds of six bodies,
    // should the receiver be kept from running for a while.
    constexpr int receiveBufferBytes = 4 << 20;

    struct BindResult {
        bool bound = false;
        quint16 port = 0;
        QString error;
    };

} // namespace

// Receives datagrams on a thread of its own, with its own event loop, and
// feeds them to an assembler whose frames go to the source's queue.
class OscReceiver : public QThread {
public:
    OscReceiver(OscSource &source, OscEndpoint endpoint)
        : m_source(source)
        , m_endpoint(std::move(endpoint))
        , m_assembler([this](const BodyFrame &frame) {
            if (!m_source.push(frame))
                m_assembler.tally().add(OscIgnored::DroppedFrame);
        })
        , m_buffer(maxOscPacketSize)
    {
        setObjectName(QStringLiteral("OSC receiver"));
    }

    ~OscReceiver() override { stop(); }

    // Starts the thread and waits until the socket is bound (or not).
    BindResult startListening()
    {
        std::future<BindResult> bound = m_bound.get_future();
        start();
        BindResult result = bound.get();
        if (!result.bound)
            wait();
        return result;
    }

    void stop()
    {
        quit();
        wait();
    }

protected:
    void run() override
    {
        QUdpSocket socket;
        BindResult result;
        // Exclusively: a second program on the same port fails to start
        // rather than silently receive nothing.
        result.bound
            = socket.bind(m_endpoint.address, m_endpoint.port, QAbstractSocket::DontShareAddress);
        if (!result.bound) {
            result.error = socket.errorString();
            m_bound.set_value(result);
            return;
        }
        result.port = socket.localPort();
        socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, receiveBufferBytes);
        QTimer timer;
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&socket, &QUdpSocket::readyRead, &socket,
            [this, &socket, &timer] { readDatagrams(socket, timer); });
        QObject::connect(&timer, &QTimer::timeout, &timer, [this, &timer] {
            const nanoseconds time = now();
            m_assembler.advanceTo(time);
            afterInput(timer, time);
        });
        m_bound.set_value(result);
        exec();
    }

private:
    void readDatagrams(QUdpSocket &socket, QTimer &timer)
    {
        const nanoseconds time = now();
        for (int n = 0; n < datagramsPerBatch && socket.hasPendingDatagrams(); ++n) {
            const qint64 size = socket.pendingDatagramSize();
            if (size < 0)
                break;
            if (std::size_t(size) > m_buffer.size()) {
                socket.readDatagram(m_buffer.data(), qint64(m_buffer.size()));
                m_assembler.tally().add(
                    OscIgnored::OversizedPacket, std::to_string(size) + " bytes");
                continue;
            }
            const qint64 read = socket.readDatagram(m_buffer.data(), qint64(m_buffer.size()));
            if (read >= 0)
                m_assembler.packet(m_buffer.data(), std::size_t(read), time);
        }
        // The socket tells again while datagrams wait, after the timers
        // have had their turn.
        afterInput(timer, time);
    }

    // Reports what was ignored when a line is due, and sets the timer for
    // the next thing the assembler waits for.
    void afterInput(QTimer &timer, nanoseconds time)
    {
        const std::string line = m_assembler.tally().takeReport(time);
        if (!line.empty())
            qDebug().noquote() << QString::fromStdString(line);
        const std::optional<nanoseconds> next = m_assembler.nextDeadline();
        if (!next) {
            timer.stop();
            return;
        }
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - time);
        timer.start(int(std::max<std::int64_t>(0, wait.count())));
    }

    OscSource &m_source;
    OscEndpoint m_endpoint;
    OscBodyAssembler m_assembler;
    std::vector<char> m_buffer;
    std::promise<BindResult> m_bound;
};

bool readOscSetting(const QString &setting, OscEndpoint &endpoint, QString &error)
{
    endpoint = OscEndpoint();
    const QLatin1String prefix("osc");
    if (!setting.startsWith(prefix)) {
        error = QStringLiteral("not an OSC setting");
        return false;
    }
    QString rest = setting.mid(prefix.size());
    if (rest.isEmpty())
        return true;
    const QString usage = QStringLiteral("expected osc, osc:PORT or osc:ADDRESS:PORT");
    if (!rest.startsWith(QLatin1Char(':'))) {
        error = QStringLiteral("unknown camera source \"%1\"").arg(setting);
        return false;
    }
    rest.remove(0, 1);
    const int colon = rest.lastIndexOf(QLatin1Char(':'));
    const QString portText = colon < 0 ? rest : rest.mid(colon + 1);
    bool numeric = !portText.isEmpty();
    for (const QChar c : portText)
        numeric = numeric && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    const uint port = numeric && portText.size() <= 5 ? portText.toUInt() : 65536u;
    if (port > 65535u) {
        error = QStringLiteral("\"%1\": the port must be a number from 0 to 65535 (%2)")
                    .arg(setting, usage);
        return false;
    }
    endpoint.port = quint16(port);
    if (colon >= 0) {
        QString host = rest.left(colon);
        if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
            host = host.mid(1, host.size() - 2);
        const QHostAddress address(host);
        if (host.isEmpty() || address.isNull()) {
            error = QStringLiteral("\"%1\": \"%2\" is not an IPv4 or IPv6 address (%3)")
                        .arg(setting, host, usage);
            return false;
        }
        endpoint.address = address;
    }
    return true;
}

OscSource::OscSource(OscEndpoint endpoint)
    : m_endpoint(std::move(endpoint))
{
}

OscSource::~OscSource() { close(); }

bool OscSource::open()
{
    close();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_frames.restart();
        m_openedAt = now();
        m_lastFrameTime = -1;
    }
    auto receiver = std::make_unique<OscReceiver>(*this, m_endpoint);
    const BindResult result = receiver->startListening();
    if (!result.bound) {
        qWarning().noquote() << QStringLiteral("OSC: cannot listen on UDP %1: %2")
                                    .arg(endpointText(m_endpoint.address, m_endpoint.port),
                                        result.error);
        return false;
    }
    m_receiver = std::move(receiver);
    m_listeningPort = result.port;
    if (!m_announced) {
        m_announced = true;
        qInfo().noquote() << QStringLiteral("OSC: listening for body frames on UDP %1")
                                 .arg(endpointText(m_endpoint.address, m_listeningPort));
    }
    return true;
}

void OscSource::close()
{
    if (m_receiver) {
        m_receiver->stop();
        m_receiver.reset();
    }
    m_listeningPort = 0;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_frames.dropAll();
}

bool OscSource::push(const BodyFrame &frame)
{
    bool kept = true;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        // A frame is taken when its last message arrives.
        m_lastFrameTime = std::max(m_lastFrameTime + 1, (now() - m_openedAt).count() / 100);
        BodyFrame timed = frame;
        timed.relativeTime = m_lastFrameTime;
        kept = m_frames.push(std::move(timed), queueCapacity);
    }
    frameArrived();
    return kept;
}

void OscSource::frameArrived() { bodyFrameArrived(); }

std::int64_t OscSource::latestBodyFrame()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_frames.nextIndex();
}

void OscSource::bodyFrame(std::int64_t index, BodyFrame &frame)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const BodyFrame *waiting = m_frames.find(index);
    frame = waiting ? *waiting : BodyFrame();
    if (waiting)
        m_frames.take();
}

const char *OscSource::missingColorStreamCaption() const
{
    return "No colour stream from the OSC source";
}

std::size_t OscSource::waitingFrames()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_frames.size();
}

} // namespace camera
