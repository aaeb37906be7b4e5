#include "sensor/sources/RecordingReader.h"

#include "sensor/sources/JointNames.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QList>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace camera {

namespace {

    QString jointName(int joint)
    {
        return QStringLiteral("joint %1 (%2)").arg(joint).arg(QLatin1String(jointNames[joint]));
    }

    // A field as it appears in a message: quoted, and cut short when long.
    QString quoted(const QByteArray &field)
    {
        constexpr int shown = 40;
        const QString text = QString::fromUtf8(field.left(shown));
        return QStringLiteral("\"%1%2\"")
            .arg(text, field.size() > shown ? QStringLiteral("...") : QString());
    }

    // Hands out the non-blank lines of a device one by one, without line
    // ends, counting every line read. Never holds more than one line of at
    // most maxRecordingLineLength characters.
    class LineReader {
    public:
        enum Result { Line, End, TooLong };

        explicit LineReader(QIODevice &device)
            : m_device(device)
        {
        }

        Result next(QByteArray &line)
        {
            for (;;) {
                if (m_device.atEnd())
                    return End;
                // readLine(n) reads at most n - 1 bytes: room for the longest
                // line and its CR LF.
                line = m_device.readLine(maxRecordingLineLength + 3);
                ++m_lineNumber;
                if (line.isEmpty() && m_device.atEnd())
                    return End;
                if (!line.endsWith('\n') && !m_device.atEnd())
                    return TooLong;
                while (line.endsWith('\n') || line.endsWith('\r'))
                    line.chop(1);
                if (line.size() > maxRecordingLineLength)
                    return TooLong;
                if (!line.trimmed().isEmpty())
                    return Line;
            }
        }

        // The line last returned; after End, the last line of the input.
        int lineNumber() const { return m_lineNumber; }

    private:
        QIODevice &m_device;
        int m_lineNumber = 0;
    };

    // Collects the frames read so far and the first fault.
    class RecordingBuilder {
    public:
        explicit RecordingBuilder(const QString &name)
            : m_name(name)
        {
            recording.readable = true;
        }

        void fault(int line, const QString &what)
        {
            // One multi-argument arg(), so that a "%1" in the file name is
            // kept as written.
            recording.error = QStringLiteral("%1:%2: %3").arg(m_name, QString::number(line), what);
        }

        // The bodies sit in the frame's slots 0, 1, ... unless bodySlots says
        // where.
        void addFrame(std::int64_t dueNanoseconds, const std::vector<Body> &bodies,
            const std::vector<int> &bodySlots = {})
        {
            Recording::Frame frame;
            frame.dueNanoseconds = dueNanoseconds;
            frame.firstBody = static_cast<int>(recording.bodies.size());
            frame.bodyCount = static_cast<int>(bodies.size());
            recording.frames.push_back(frame);
            recording.bodies.insert(recording.bodies.end(), bodies.begin(), bodies.end());
            for (std::size_t b = 0; b < bodies.size(); ++b)
                recording.bodySlots.push_back(
                    b < bodySlots.size() ? bodySlots[b] : static_cast<int>(b));
        }

        Recording recording;

    private:
        QString m_name;
    };

    const QString tooLongLine
        = QStringLiteral("expected a line of at most %1 characters, found a longer one")
              .arg(maxRecordingLineLength);

    // The float nearest to the decimal number, so that every float written
    // with nine significant digits reads back exactly (through a double, the
    // largest floats would overflow).
    bool parseNumber(const QByteArray &field, float &value)
    {
        QByteArray text = field.trimmed();
        if (text.startsWith('+'))
            text.remove(0, 1);
        const char *end = text.constData() + text.size();
        const std::from_chars_result result = std::from_chars(text.constData(), end, value);
        return !text.isEmpty() && result.ec == std::errc() && result.ptr == end;
    }

    bool parseFinite(const QByteArray &field, float &value)
    {
        return parseNumber(field, value) && std::isfinite(value);
    }

    bool parseInteger(const QByteArray &field, int minimum, int maximum, int &value)
    {
        bool ok = false;
        value = field.trimmed().toInt(&ok);
        return ok && value >= minimum && value <= maximum;
    }

    QString expectedFinite(int fieldNumber, const QString &what, const QByteArray &found)
    {
        return QStringLiteral("field %1 (%2): expected a finite number, found %3")
            .arg(fieldNumber)
            .arg(what, quoted(found));
    }

    QString expectedTrackingState(int fieldNumber, const QString &what, const QByteArray &found)
    {
        return QStringLiteral("field %1 (%2): expected a tracking state 0, 1 or 2, found %3")
            .arg(fieldNumber)
            .arg(what, quoted(found));
    }

    Joint makeJoint(int type, float x, float y, float z, int trackingState)
    {
        Joint joint;
        joint.JointType = static_cast<JointType>(type);
        joint.Position = CameraSpacePoint { x, y, z };
        joint.TrackingState = static_cast<TrackingState>(trackingState);
        return joint;
    }

} // namespace

Recording readCsvRecording(QIODevice &device, const QString &name)
{
    constexpr int jointFieldCount = 1 + 4 * JointType_Count;
    // handmotion's own recordings add the hand states, the body's slot and
    // its tracking id.
    constexpr int extendedFieldCount = jointFieldCount + 4;
    // Timestamps count 100 ns; later ones must stay within range once turned
    // into nanoseconds.
    constexpr std::int64_t maxTimestampSpan = std::numeric_limits<std::int64_t>::max() / 100;

    RecordingBuilder builder(name);
    LineReader lines(device);
    std::int64_t firstTimestamp = -1;
    std::int64_t frameTimestamp = -1;
    // The bodies of the frame being read: the lines with its timestamp.
    std::vector<Body> bodies;
    std::vector<int> bodySlots;
    bool emptyFrame = false;
    bool dropFrame = false;
    const auto finishFrame = [&] {
        if (frameTimestamp >= 0)
            builder.addFrame((frameTimestamp - firstTimestamp) * 100, bodies, bodySlots);
        bodies.clear();
        bodySlots.clear();
        emptyFrame = false;
    };
    QByteArray line;
    for (;;) {
        const LineReader::Result result = lines.next(line);
        if (result == LineReader::End)
            break;
        const int lineNumber = lines.lineNumber();
        if (result == LineReader::TooLong) {
            builder.fault(lineNumber, tooLongLine);
            break;
        }
        QList<QByteArray> fields = line.split(',');
        // Every line ends in a comma.
        if (fields.size() > 1 && fields.last().trimmed().isEmpty())
            fields.removeLast();
        if (fields.size() != jointFieldCount && fields.size() != extendedFieldCount) {
            builder.fault(lineNumber,
                QStringLiteral("expected %1 comma-separated fields (a timestamp, then X, Y, Z "
                               "and tracking state of each of 25 joints), or %2 (then the left "
                               "and right hand states, the body slot and its tracking id), "
                               "found %3")
                    .arg(jointFieldCount)
                    .arg(extendedFieldCount)
                    .arg(fields.size()));
            break;
        }
        const bool extended = fields.size() == extendedFieldCount;

        bool ok = false;
        const std::int64_t timestamp = fields[0].trimmed().toLongLong(&ok);
        if (!ok || timestamp < 0) {
            builder.fault(lineNumber,
                QStringLiteral("field 1: expected a timestamp (a non-negative integer), found %1")
                    .arg(quoted(fields[0])));
            break;
        }
        // Lines with the same timestamp are the bodies of one frame.
        const bool sameFrame = timestamp == frameTimestamp;
        if (frameTimestamp >= 0 && timestamp < frameTimestamp) {
            builder.fault(lineNumber,
                QStringLiteral("field 1: expected a timestamp of %1 or later, found %2")
                    .arg(frameTimestamp)
                    .arg(timestamp));
            break;
        }
        if (firstTimestamp < 0)
            firstTimestamp = timestamp;
        if (timestamp - firstTimestamp > maxTimestampSpan) {
            builder.fault(lineNumber,
                QStringLiteral("field 1: expected a timestamp at most %1 after the first, found %2")
                    .arg(maxTimestampSpan)
                    .arg(timestamp));
            break;
        }
        const auto framesRead = static_cast<std::int64_t>(builder.recording.frames.size())
            + (frameTimestamp >= 0 ? 1 : 0);
        if (!sameFrame && framesRead >= maxRecordingFrames) {
            builder.fault(lineNumber,
                QStringLiteral("expected the end of the file: a recording holds at most %1 frames")
                    .arg(maxRecordingFrames));
            break;
        }

        Body body;
        body.tracked = true;
        QString fault;
        for (int j = 0; j < JointType_Count && fault.isEmpty(); ++j) {
            const int first = 1 + 4 * j;
            int state = 0;
            if (!parseInteger(fields[first + 3], 0, 2, state)) {
                fault = expectedTrackingState(first + 4,
                    QStringLiteral("tracking state of %1").arg(jointName(j)), fields[first + 3]);
            }
            // A joint that is not tracked may have no position ("nan").
            float position[3];
            for (int k = 0; k < 3 && fault.isEmpty(); ++k) {
                if (!parseNumber(fields[first + k], position[k])
                    || (state != TrackingState_NotTracked && !std::isfinite(position[k]))) {
                    fault = expectedFinite(first + k + 1,
                        QStringLiteral("%1 of %2")
                            .arg(QChar::fromLatin1("XYZ"[k]))
                            .arg(jointName(j)),
                        fields[first + k]);
                }
            }
            if (fault.isEmpty())
                body.joints[j] = makeJoint(j, position[0], position[1], position[2], state);
        }
        int slot = sameFrame ? static_cast<int>(bodies.size()) : 0;
        body.trackingId = UINT64(slot + 1);
        if (fault.isEmpty() && extended) {
            int left = 0;
            int right = 0;
            if (!parseInteger(fields[jointFieldCount], 0, HandState_Lasso, left)
                || !parseInteger(fields[jointFieldCount + 1], 0, HandState_Lasso, right)) {
                const int bad = parseInteger(fields[jointFieldCount], 0, HandState_Lasso, left)
                    ? jointFieldCount + 1
                    : jointFieldCount;
                fault = QStringLiteral("field %1 (%2 hand state): expected 0 to 4, found %3")
                            .arg(bad + 1)
                            .arg(QLatin1String(bad == jointFieldCount ? "left" : "right"),
                                quoted(fields[bad]));
            } else if (!parseInteger(fields[jointFieldCount + 2], -1, BODY_COUNT - 1, slot)) {
                fault = QStringLiteral(
                    "field %1 (body slot): expected -1 (no body) or 0 to %2, found %3")
                            .arg(jointFieldCount + 3)
                            .arg(BODY_COUNT - 1)
                            .arg(quoted(fields[jointFieldCount + 2]));
            } else {
                body.handLeftState = static_cast<HandState>(left);
                body.handRightState = static_cast<HandState>(right);
                body.trackingId = fields[jointFieldCount + 3].trimmed().toULongLong(&ok);
                if (!ok)
                    fault = QStringLiteral(
                        "field %1 (tracking id): expected a non-negative integer, found %2")
                                .arg(jointFieldCount + 4)
                                .arg(quoted(fields[jointFieldCount + 3]));
            }
        }
        // A frame in which no body was tracked is one line of slot -1.
        if (fault.isEmpty() && sameFrame && (emptyFrame || slot < 0))
            fault = QStringLiteral("field 1: a frame without bodies has one line; expected a "
                                   "timestamp later than %1")
                        .arg(timestamp);
        else if (fault.isEmpty() && sameFrame && bodies.size() >= std::size_t(BODY_COUNT))
            fault = QStringLiteral("field 1: a frame holds at most %1 bodies; expected a "
                                   "timestamp later than %2")
                        .arg(BODY_COUNT)
                        .arg(timestamp);
        else if (fault.isEmpty() && sameFrame
            && std::find(bodySlots.begin(), bodySlots.end(), slot) != bodySlots.end())
            fault = QStringLiteral("field %1 (body slot): slot %2 holds a body of this frame "
                                   "already")
                        .arg(jointFieldCount + 3)
                        .arg(slot);
        if (!fault.isEmpty()) {
            builder.fault(lineNumber, fault);
            // A frame is kept whole or not at all.
            dropFrame = sameFrame;
            break;
        }
        if (!sameFrame) {
            finishFrame();
            frameTimestamp = timestamp;
        }
        if (slot < 0) {
            emptyFrame = true;
        } else {
            bodies.push_back(body);
            bodySlots.push_back(slot);
        }
    }
    if (!dropFrame)
        finishFrame();
    return std::move(builder.recording);
}

Recording readSkeletonRecording(QIODevice &device, const QString &name)
{
    constexpr int bodyFieldCount = 10;
    constexpr int jointFieldCount = 12;
    RecordingBuilder builder(name);
    LineReader lines(device);

    // Reads the next line into fields. On a fault it records what was
    // expected and returns false.
    QByteArray line;
    QList<QByteArray> fields;
    QString context;
    auto nextFields = [&](int expectedCount, const QString &expected) {
        const LineReader::Result result = lines.next(line);
        if (result == LineReader::End) {
            builder.fault(lines.lineNumber() + 1,
                QStringLiteral("the file ends%1: expected %2").arg(context, expected));
            return false;
        }
        if (result == LineReader::TooLong) {
            builder.fault(lines.lineNumber(), tooLongLine);
            return false;
        }
        fields = line.simplified().split(' ');
        if (fields.size() != expectedCount) {
            builder.fault(lines.lineNumber(),
                QStringLiteral("%1expected %2: %3 field%4, found %5")
                    .arg(context.isEmpty() ? QString() : context.mid(1) + QStringLiteral(": "),
                        expected)
                    .arg(expectedCount)
                    .arg(expectedCount == 1 ? "" : "s")
                    .arg(fields.size()));
            return false;
        }
        return true;
    };
    auto faultHere = [&](const QString &what) {
        builder.fault(lines.lineNumber(),
            (context.isEmpty() ? QString() : context.mid(1) + QStringLiteral(": ")) + what);
    };

    const QString frameCountText
        = QStringLiteral("the frame count (an integer from 0 to %1)").arg(maxRecordingFrames);
    if (!nextFields(1, frameCountText))
        return std::move(builder.recording);
    int frameCount = 0;
    if (!parseInteger(fields[0], 0, static_cast<int>(maxRecordingFrames), frameCount)) {
        faultHere(QStringLiteral("expected %1, found %2").arg(frameCountText, quoted(fields[0])));
        return std::move(builder.recording);
    }

    std::vector<Body> bodies;
    bodies.reserve(BODY_COUNT);
    for (int f = 0; f < frameCount; ++f) {
        context = QStringLiteral(" in frame %1 of %2").arg(f + 1).arg(frameCount);
        const QString bodyCountText
            = QStringLiteral("the body count (an integer from 0 to %1)").arg(BODY_COUNT);
        if (!nextFields(1, bodyCountText))
            return std::move(builder.recording);
        int bodyCount = 0;
        if (!parseInteger(fields[0], 0, BODY_COUNT, bodyCount)) {
            faultHere(
                QStringLiteral("expected %1, found %2").arg(bodyCountText, quoted(fields[0])));
            return std::move(builder.recording);
        }
        bodies.assign(static_cast<std::size_t>(bodyCount), Body());
        for (int b = 0; b < bodyCount; ++b) {
            context = QStringLiteral(" in frame %1 of %2, body %3")
                          .arg(f + 1)
                          .arg(frameCount)
                          .arg(b + 1);
            Body &body = bodies[static_cast<std::size_t>(b)];
            body.tracked = true;
            if (!nextFields(bodyFieldCount,
                    QStringLiteral("the body's line (tracking id, clipped edges, left-hand "
                                   "confidence, left-hand state, right-hand confidence, "
                                   "right-hand state, restricted, lean x, lean y, tracking "
                                   "state)")))
                return std::move(builder.recording);
            bool ok = false;
            body.trackingId = fields[0].toULongLong(&ok);
            if (!ok) {
                faultHere(QStringLiteral("field 1 (tracking id): expected an unsigned 64-bit "
                                         "integer, found %1")
                              .arg(quoted(fields[0])));
                return std::move(builder.recording);
            }
            static const struct {
                int field;
                const char *name;
                int minimum;
                int maximum;
            } integerFields[] = { { 2, "clipped edges", 0, std::numeric_limits<int>::max() },
                { 3, "left-hand confidence", 0, 1 }, { 4, "left-hand state", 0, 4 },
                { 5, "right-hand confidence", 0, 1 }, { 6, "right-hand state", 0, 4 },
                { 7, "restricted", 0, 1 }, { 10, "tracking state", 0, 2 } };
            int values[11] = {};
            for (const auto &integer : integerFields) {
                const QByteArray &field = fields[integer.field - 1];
                if (!parseInteger(field, integer.minimum, integer.maximum, values[integer.field])) {
                    faultHere(QStringLiteral("field %1 (%2): expected an integer from %3 to %4, "
                                             "found %5")
                                  .arg(integer.field)
                                  .arg(QLatin1String(integer.name))
                                  .arg(integer.minimum)
                                  .arg(integer.maximum)
                                  .arg(quoted(field)));
                    return std::move(builder.recording);
                }
            }
            for (int field = 8; field <= 9; ++field) {
                float lean = 0.0f;
                if (!parseFinite(fields[field - 1], lean)) {
                    faultHere(expectedFinite(field,
                        field == 8 ? QStringLiteral("lean x") : QStringLiteral("lean y"),
                        fields[field - 1]));
                    return std::move(builder.recording);
                }
            }
            body.handLeftState = static_cast<HandState>(values[4]);
            body.handRightState = static_cast<HandState>(values[6]);

            const QString jointCountText
                = QStringLiteral("the joint count %1").arg(JointType_Count);
            if (!nextFields(1, jointCountText))
                return std::move(builder.recording);
            int jointCount = 0;
            if (!parseInteger(fields[0], JointType_Count, JointType_Count, jointCount)) {
                faultHere(
                    QStringLiteral("expected %1, found %2").arg(jointCountText, quoted(fields[0])));
                return std::move(builder.recording);
            }
            for (int j = 0; j < JointType_Count; ++j) {
                context = QStringLiteral(" in frame %1 of %2, body %3, %4")
                              .arg(f + 1)
                              .arg(frameCount)
                              .arg(b + 1)
                              .arg(jointName(j));
                if (!nextFields(jointFieldCount,
                        QStringLiteral("the joint's line (x, y, z, depth x, depth y, colour x, "
                                       "colour y, orientation w, x, y, z, tracking state)")))
                    return std::move(builder.recording);
                float numbers[11];
                static const char *const numberNames[11]
                    = { "x", "y", "z", "depth x", "depth y", "colour x", "colour y",
                          "orientation w", "orientation x", "orientation y", "orientation z" };
                for (int k = 0; k < 11; ++k) {
                    // The position must be usable; the other values are only
                    // checked to be numbers, as nothing here uses them.
                    const bool ok = k < 3 ? parseFinite(fields[k], numbers[k])
                                          : parseNumber(fields[k], numbers[k]);
                    if (!ok) {
                        faultHere(QStringLiteral("field %1 (%2): expected a %3, found %4")
                                      .arg(k + 1)
                                      .arg(QLatin1String(numberNames[k]),
                                          k < 3 ? QStringLiteral("finite number in metres")
                                                : QStringLiteral("number"),
                                          quoted(fields[k])));
                        return std::move(builder.recording);
                    }
                }
                int state = 0;
                if (!parseInteger(fields[11], 0, 2, state)) {
                    faultHere(QStringLiteral("field 12 (tracking state): expected a tracking "
                                             "state 0, 1 or 2, found %1")
                                  .arg(quoted(fields[11])));
                    return std::move(builder.recording);
                }
                body.joints[j] = makeJoint(j, numbers[0], numbers[1], numbers[2], state);
            }
        }
        // 30 frames a second: frame f falls due at f / 30 s.
        builder.addFrame(static_cast<std::int64_t>(f) * 100000000 / 3, bodies);
    }
    context.clear();
    if (lines.next(line) != LineReader::End) {
        builder.fault(lines.lineNumber(),
            QStringLiteral("expected the end of the file after %1 frames, found more")
                .arg(frameCount));
    }
    return std::move(builder.recording);
}

Recording readRecording(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Recording recording;
        recording.error
            = QStringLiteral("%1: cannot open the recording: %2").arg(path, file.errorString());
        return recording;
    }
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("csv"))
        return readCsvRecording(file, path);
    if (suffix == QLatin1String("skeleton"))
        return readSkeletonRecording(file, path);
    Recording recording;
    recording.error
        = QStringLiteral("%1: expected a recording ending in .csv or .skeleton").arg(path);
    return recording;
}

} // namespace camera
