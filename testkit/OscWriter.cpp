#include "testkit/OscWriter.h"

#include "sensor/sources/JointNames.h"

#include <cstring>

namespace camera {

namespace {

    void appendBigEndian32(std::string &out, std::uint32_t value)
    {
        for (int shift = 24; shift >= 0; shift -= 8)
            out += char((value >> shift) & 0xff);
    }

    void appendBigEndian64(std::string &out, std::uint64_t value)
    {
        appendBigEndian32(out, std::uint32_t(value >> 32));
        appendBigEndian32(out, std::uint32_t(value));
    }

    void padToFour(std::string &out)
    {
        while (out.size() % 4 != 0)
            out += '\0';
    }

    // A string, its terminator and its padding.
    void appendString(std::string &out, std::string_view text)
    {
        out.append(text.data(), text.size());
        out += '\0';
        padToFour(out);
    }

} // namespace

OscArgument oscInt(std::int32_t value)
{
    OscArgument argument;
    argument.type = 'i';
    argument.integer = value;
    return argument;
}

OscArgument oscFloat(float value)
{
    OscArgument argument;
    argument.type = 'f';
    argument.number = double(value);
    return argument;
}

OscArgument oscDouble(double value)
{
    OscArgument argument;
    argument.type = 'd';
    argument.number = value;
    return argument;
}

OscArgument oscString(std::string_view text)
{
    OscArgument argument;
    argument.type = 's';
    argument.bytes = text;
    return argument;
}

OscArgument oscBlob(std::string_view bytes)
{
    OscArgument argument;
    argument.type = 'b';
    argument.bytes = bytes;
    return argument;
}

std::string oscMessage(std::string_view address, const std::vector<OscArgument> &arguments)
{
    std::string out;
    appendString(out, address);
    std::string tags = ",";
    for (const OscArgument &argument : arguments)
        tags += argument.type;
    appendString(out, tags);
    for (const OscArgument &argument : arguments) {
        switch (argument.type) {
        case 'i':
        case 'c':
        case 'r':
        case 'm':
            appendBigEndian32(out, std::uint32_t(argument.integer));
            break;
        case 'h':
        case 't':
            appendBigEndian64(out, std::uint64_t(argument.integer));
            break;
        case 'f': {
            const float value = float(argument.number);
            std::uint32_t bits;
            std::memcpy(&bits, &value, sizeof bits);
            appendBigEndian32(out, bits);
            break;
        }
        case 'd': {
            std::uint64_t bits;
            std::memcpy(&bits, &argument.number, sizeof bits);
            appendBigEndian64(out, bits);
            break;
        }
        case 's':
        case 'S':
            appendString(out, argument.bytes);
            break;
        case 'b':
            appendBigEndian32(out, std::uint32_t(argument.bytes.size()));
            out.append(argument.bytes.data(), argument.bytes.size());
            padToFour(out);
            break;
        default:
            break;
        }
    }
    return out;
}

std::string oscBundle(const std::vector<std::string> &elements, std::uint64_t timeTag)
{
    std::string out("#bundle", 8);
    appendBigEndian64(out, timeTag);
    for (const std::string &element : elements) {
        appendBigEndian32(out, std::uint32_t(element.size()));
        out += element;
    }
    return out;
}

std::vector<std::string> oscBodyMessages(const Body &body, bool withStates)
{
    static const char *const trackingStates[] = { "NotTracked", "Inferred", "Tracked" };
    static const char *const handStates[] = { "Unknown", "NotTracked", "Open", "Closed", "Lasso" };
    const auto handState
        = [](HandState state) { return handStates[state >= 0 && state <= 4 ? state : 0]; };
    const std::string address = "/bodies/" + std::to_string(body.trackingId);
    std::vector<std::string> messages;
    messages.reserve(JointType_Count + 2);
    for (int j = 0; j < JointType_Count; ++j) {
        const Joint &joint = body.joints[std::size_t(j)];
        std::vector<OscArgument> arguments = { oscFloat(joint.Position.X),
            oscFloat(joint.Position.Y), oscFloat(joint.Position.Z) };
        if (withStates) {
            const int state
                = joint.TrackingState >= 0 && joint.TrackingState <= 2 ? joint.TrackingState : 0;
            arguments.push_back(oscString(trackingStates[state]));
        }
        messages.push_back(oscMessage(address + "/joints/" + jointNames[j], arguments));
    }
    messages.push_back(oscMessage(
        address + "/hands/Left", { oscString(handState(body.handLeftState)), oscString("High") }));
    messages.push_back(oscMessage(address + "/hands/Right",
        { oscString(handState(body.handRightState)), oscString("High") }));
    return messages;
}

} // namespace camera
