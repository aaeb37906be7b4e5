#include "sensor/sources/RecordingWriter.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace camera {

namespace {

    // Collects one line; every field ends in a comma, as the layout has it.
    class LineBuilder {
    public:
        explicit LineBuilder(QByteArray &out)
            : m_out(out)
        {
        }

        void field(float value)
        {
            // A joint the camera could not place (not tracked) may have no
            // position at all.
            if (!std::isfinite(value)) {
                m_out.append("nan,");
                return;
            }
            // Nine significant digits tell every float apart.
            const auto result = std::to_chars(
                m_buffer, m_buffer + sizeof m_buffer, value, std::chars_format::general, 9);
            end(result.ptr);
        }
        void field(std::int64_t value)
        {
            end(std::to_chars(m_buffer, m_buffer + sizeof m_buffer, value).ptr);
        }
        void field(std::uint64_t value)
        {
            end(std::to_chars(m_buffer, m_buffer + sizeof m_buffer, value).ptr);
        }

    private:
        void end(char *last)
        {
            m_out.append(m_buffer, int(last - m_buffer));
            m_out.append(',');
        }
        QByteArray &m_out;
        char m_buffer[32];
    };

    void appendLine(QByteArray &out, TIMESPAN timestamp, const Body *body, int slot)
    {
        LineBuilder line(out);
        line.field(std::int64_t(timestamp));
        for (int j = 0; j < JointType_Count; ++j) {
            if (body) {
                const Joint &joint = body->joints[std::size_t(j)];
                line.field(joint.Position.X);
                line.field(joint.Position.Y);
                line.field(joint.Position.Z);
                line.field(std::int64_t(joint.TrackingState));
            } else {
                out.append("0,0,0,0,");
            }
        }
        line.field(std::int64_t(body ? body->handLeftState : HandState_Unknown));
        line.field(std::int64_t(body ? body->handRightState : HandState_Unknown));
        line.field(std::int64_t(slot));
        line.field(std::uint64_t(body ? body->trackingId : 0));
        out.append('\n');
    }

} // namespace

void appendCsvRecordingLines(QByteArray &out, const BodyFrame &frame, TIMESPAN timestamp)
{
    bool any = false;
    for (int slot = 0; slot < BODY_COUNT; ++slot) {
        const Body &body = frame.bodies[std::size_t(slot)];
        if (!body.tracked)
            continue;
        appendLine(out, timestamp, &body, slot);
        any = true;
    }
    if (!any)
        appendLine(out, timestamp, nullptr, -1);
}

} // namespace camera
