// libFuzzer target: the OSC packet reader and the body-frame assembler on
// arbitrary datagrams. The input is read as one datagram, and again as
// several: the pieces between separators (osc.dict's "\xff\xfe\xfd\xfc"),
// each arriving some milliseconds after the one before.
#include "fuzz/BodyCheck.h"
#include "fuzz/FuzzCheck.h"
#include "sensor/sources/OscBodyAssembler.h"
#include "testkit/OscWriter.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <string_view>

namespace {

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// A message the reader accepted reads back the same once written again.
void checkRoundTrip(const camera::OscMessage &message)
{
    std::vector<camera::OscArgument> arguments = message.arguments;
    const std::string written = camera::oscMessage(message.address, arguments);
    camera::OscPacketParser again;
    FUZZ_CHECK(again.parse(written.data(), written.size()), QString::fromLatin1(again.error()));
    FUZZ_CHECK(again.messageCount() == 1, QString::number(again.messageCount()));
    const camera::OscMessage &copy = again.message(0);
    FUZZ_CHECK(copy.address == message.address && copy.typeTags == message.typeTags, QString());
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const camera::OscArgument &a = copy.arguments[i];
        const camera::OscArgument &b = message.arguments[i];
        FUZZ_CHECK(a.type == b.type && a.integer == b.integer && sameBits(a.number, b.number)
                && a.bytes == b.bytes,
            QString::number(i));
    }
}

// Every frame: tracked bodies with distinct ids, joints in order, finite
// positions, states within their enums; each id in one slot while heard.
void checkFrame(const camera::BodyFrame &frame)
{
    std::map<UINT64, int> slots;
    for (int slot = 0; slot < BODY_COUNT; ++slot) {
        const camera::Body &body = frame.bodies[std::size_t(slot)];
        if (!body.tracked)
            continue;
        FUZZ_CHECK(slots.emplace(body.trackingId, slot).second, QString::number(body.trackingId));
        fuzz::checkBody(body);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const char *bytes = reinterpret_cast<const char *>(data);

    camera::OscPacketParser parser;
    if (parser.parse(bytes, size)) {
        // Each message takes at least 4 bytes (an address; type tags may be
        // left out).
        FUZZ_CHECK(parser.messageCount() <= size / 4, QString::number(parser.messageCount()));
        for (std::size_t i = 0; i < parser.messageCount(); ++i)
            checkRoundTrip(parser.message(i));
    } else {
        FUZZ_CHECK(parser.messageCount() == 0 && std::strlen(parser.error()) > 0, QString());
    }

    std::size_t framesOut = 0;
    camera::OscBodyAssembler assembler([&](const camera::BodyFrame &frame) {
        ++framesOut;
        checkFrame(frame);
    });
    std::chrono::nanoseconds now { 0 };
    assembler.packet(bytes, size, now);
    const std::string_view input(bytes, size);
    const std::string_view separator("\xff\xfe\xfd\xfc", 4);
    for (std::size_t start = 0; start <= size;) {
        const std::size_t end = std::min(input.find(separator, start), size);
        const std::string_view piece = input.substr(start, end - start);
        // Pieces arrive 0 to 600 ms apart, so that bodies also time out.
        now += std::chrono::milliseconds(piece.size() % 7 * 100);
        assembler.packet(piece.data(), piece.size(), now);
        start = end + separator.size();
    }
    // A second of silence: every body has left its slot.
    now += std::chrono::seconds(1);
    assembler.advanceTo(now);
    for (int slot = 0; slot < BODY_COUNT; ++slot)
        FUZZ_CHECK(!assembler.slotId(slot), QString::number(slot));
    // A frame needs a joint message, which takes more than 40 bytes; the
    // input was read twice.
    FUZZ_CHECK(framesOut <= 2 * (size / 40) + 1, QString::number(framesOut));
    return 0;
}
