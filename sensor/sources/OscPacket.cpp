#include "sensor/sources/OscPacket.h"

#include <cstring>

namespace camera {

namespace {

    constexpr char bundleTag[8] = { '#', 'b', 'u', 'n', 'd', 'l', 'e', '\0' };
    // "#bundle", its time tag.
    constexpr std::size_t bundleHeaderSize = 16;

    std::uint32_t bigEndian32(const char *p)
    {
        const auto *b = reinterpret_cast<const unsigned char *>(p);
        return std::uint32_t(b[0]) << 24 | std::uint32_t(b[1]) << 16 | std::uint32_t(b[2]) << 8
            | std::uint32_t(b[3]);
    }

    std::uint64_t bigEndian64(const char *p)
    {
        return std::uint64_t(bigEndian32(p)) << 32 | bigEndian32(p + 4);
    }

    std::size_t paddedToFour(std::size_t n) { return (n + 3) & ~std::size_t(3); }

    // Reads the string starting at data[pos] (terminated, padded with
    // anything to a multiple of four) into text and moves pos past its
    // padding; false when it has no terminator before end.
    bool readString(const char *data, std::size_t end, std::size_t &pos, std::string_view &text)
    {
        const void *nul = std::memchr(data + pos, '\0', end - pos);
        if (!nul)
            return false;
        const std::size_t length = std::size_t(static_cast<const char *>(nul) - (data + pos));
        text = std::string_view(data + pos, length);
        // Every element's size is a multiple of four, so the padding ends
        // within it.
        pos = paddedToFour(pos + length + 1);
        return pos <= end;
    }

} // namespace

bool OscPacketParser::fail(const char *error)
{
    m_error = error;
    m_count = 0;
    return false;
}

bool OscPacketParser::parse(const char *data, std::size_t size)
{
    m_count = 0;
    m_error = "";
    if (size == 0)
        return fail("an empty packet");
    if (size > maxOscPacketSize)
        return fail("a packet larger than 65536 bytes");
    if (size % 4 != 0)
        return fail("a packet whose size is not a multiple of 4");
    return parseElement(data, size, 0);
}

bool OscPacketParser::parseElement(const char *data, std::size_t size, int depth)
{
    if (data[0] == '/')
        return parseMessage(data, size);
    if (data[0] != '#')
        return fail("neither a message (an address starting with '/') nor a bundle");
    if (size < bundleHeaderSize || std::memcmp(data, bundleTag, sizeof bundleTag) != 0)
        return fail("a bundle without its \"#bundle\" header and time tag");
    if (depth + 1 > maxOscBundleDepth)
        return fail("bundles nested more than 8 deep");
    std::size_t pos = bundleHeaderSize;
    while (pos < size) {
        if (size - pos < 4)
            return fail("a bundle element cut short");
        const std::uint32_t elementSize = bigEndian32(data + pos);
        pos += 4;
        if (elementSize == 0 || elementSize % 4 != 0 || elementSize > size - pos)
            return fail("a bundle element whose size is 0, not a multiple of 4 or past the end");
        if (!parseElement(data + pos, elementSize, depth + 1))
            return false;
        pos += elementSize;
    }
    return true;
}

bool OscPacketParser::parseMessage(const char *data, std::size_t size)
{
    if (m_messages.size() == m_count)
        m_messages.emplace_back();
    OscMessage &message = m_messages[m_count];
    message.arguments.clear();
    message.typeTags = std::string_view();
    std::size_t pos = 0;
    if (!readString(data, size, pos, message.address))
        return fail("an address without its terminating zero");
    if (pos < size) {
        std::string_view tags;
        if (!readString(data, size, pos, tags))
            return fail("type tags without their terminating zero");
        if (tags.empty() || tags[0] != ',')
            return fail("type tags that do not start with ','");
        message.typeTags = tags.substr(1);
        if (message.typeTags.size() > maxOscArguments)
            return fail("a message with more than 64 arguments");
    }
    for (const char type : message.typeTags) {
        OscArgument argument;
        argument.type = type;
        const std::size_t left = size - pos;
        switch (type) {
        case 'i':
        case 'c':
        case 'r':
        case 'm':
            if (left < 4)
                return fail("an argument cut short");
            argument.integer = std::int32_t(bigEndian32(data + pos));
            pos += 4;
            break;
        case 'h':
        case 't':
            if (left < 8)
                return fail("an argument cut short");
            argument.integer = std::int64_t(bigEndian64(data + pos));
            pos += 8;
            break;
        case 'f': {
            if (left < 4)
                return fail("an argument cut short");
            const std::uint32_t bits = bigEndian32(data + pos);
            float value;
            std::memcpy(&value, &bits, sizeof value);
            argument.number = double(value);
            pos += 4;
            break;
        }
        case 'd': {
            if (left < 8)
                return fail("an argument cut short");
            const std::uint64_t bits = bigEndian64(data + pos);
            double value;
            std::memcpy(&value, &bits, sizeof value);
            argument.number = value;
            pos += 8;
            break;
        }
        case 's':
        case 'S':
            if (!readString(data, size, pos, argument.bytes))
                return fail("a string argument without its terminating zero");
            break;
        case 'b': {
            if (left < 4)
                return fail("an argument cut short");
            const std::uint32_t length = bigEndian32(data + pos);
            if (length > left - 4)
                return fail("a blob longer than what is left of the message");
            argument.bytes = std::string_view(data + pos + 4, length);
            pos = paddedToFour(pos + 4 + length);
            if (pos > size)
                return fail("a blob longer than what is left of the message");
            break;
        }
        case 'T':
        case 'F':
        case 'N':
        case 'I':
            break;
        default:
            return fail("an unknown type tag");
        }
        message.arguments.push_back(argument);
    }
    if (pos != size)
        return fail("bytes left over after the arguments");
    ++m_count;
    return true;
}

} // namespace camera
