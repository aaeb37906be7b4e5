#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// Reading OSC 1.0 packets (messages and bundles) as they arrive in UDP
// datagrams. Pure and bounded: no allocation beyond what the parser keeps for
// reuse, no read outside the given bytes, bundles nested at most
// maxOscBundleDepth deep.
namespace camera {

// The largest packet accepted: a UDP datagram never carries more.
constexpr std::size_t maxOscPacketSize = 65536;
// A bundle inside a bundle is depth 2; a packet nesting deeper is refused.
constexpr int maxOscBundleDepth = 8;
// Arguments of one message beyond this many refuse the packet; every message
// handmotion reads has at most four.
constexpr std::size_t maxOscArguments = 64;

// One argument of a message. The type tag says which field holds the value:
// 'i', 'c', 'r', 'm' (32 bits) and 'h', 't' (64 bits) in integer, 'f' and
// 'd' in number (a float widened exactly), 's' and 'S' in bytes (without the
// terminator), 'b' in bytes (the blob); 'T', 'F', 'N', 'I' carry nothing.
struct OscArgument {
    char type = 0;
    std::int64_t integer = 0;
    double number = 0.0;
    std::string_view bytes;
};

// One message. The views point into the packet it was read from and live as
// long as those bytes do.
struct OscMessage {
    std::string_view address;
    // The type tags without the leading ','; empty for a message without
    // arguments or without a type tag string.
    std::string_view typeTags;
    std::vector<OscArgument> arguments;
};

// Reads packets one at a time; keeps its storage between packets, so that
// a steady stream allocates nothing.
class OscPacketParser {
public:
    // Reads one packet. True when the whole packet is well formed: then the
    // messages are its messages in order, those of bundles unpacked in
    // place (time tags are not kept: every message counts as arriving now).
    // False otherwise: there are no messages and error() says what was
    // wrong; a packet is taken whole or not at all.
    bool parse(const char *data, std::size_t size);

    std::size_t messageCount() const { return m_count; }
    const OscMessage &message(std::size_t index) const { return m_messages[index]; }
    // What was wrong with the last packet refused, in a few words.
    const char *error() const { return m_error; }

private:
    bool parseElement(const char *data, std::size_t size, int depth);
    bool parseMessage(const char *data, std::size_t size);
    bool fail(const char *error);

    std::vector<OscMessage> m_messages;
    std::size_t m_count = 0;
    const char *m_error = "";
};

} // namespace camera
