#include "sensor/sources/OscBodyAssembler.h"

#include "sensor/sources/JointNames.h"

#include <cmath>
#include <limits>

namespace camera {

namespace {

    using std::chrono::nanoseconds;

    // Text from the network as it may appear in a log line: printable ASCII
    // only, cut short.
    std::string printable(std::string_view text)
    {
        constexpr std::size_t shown = 80;
        std::string out;
        for (std::size_t i = 0; i < text.size() && i < shown; ++i) {
            const char c = text[i];
            out += c >= 0x20 && c < 0x7f ? c : '?';
        }
        if (text.size() > shown)
            out += "...";
        return out;
    }

    enum class Part { Joint, LeftHand, RightHand };

    struct Target {
        UINT64 id = 0;
        Part part = Part::Joint;
        int joint = 0;
    };

    bool startsWith(std::string_view text, std::string_view prefix)
    {
        return text.substr(0, prefix.size()) == prefix;
    }

    // A tracking id: decimal digits, at most what 64 bits hold.
    bool readTrackingId(std::string_view digits, UINT64 &id)
    {
        if (digits.empty())
            return false;
        UINT64 value = 0;
        constexpr UINT64 largest = std::numeric_limits<UINT64>::max();
        for (const char c : digits) {
            if (c < '0' || c > '9')
                return false;
            const UINT64 digit = UINT64(c - '0');
            if (value > (largest - digit) / 10)
                return false;
            value = value * 10 + digit;
        }
        id = value;
        return true;
    }

    // Where a message goes in the layout; the kind of fault when it goes
    // nowhere.
    std::optional<OscIgnored> readAddress(std::string_view address, Target &target)
    {
        constexpr std::string_view bodies = "/bodies/";
        if (!startsWith(address, bodies))
            return OscIgnored::UnknownAddress;
        address.remove_prefix(bodies.size());
        const std::size_t slash = address.find('/');
        if (slash == std::string_view::npos || !readTrackingId(address.substr(0, slash), target.id))
            return OscIgnored::UnknownAddress;
        address.remove_prefix(slash + 1);
        constexpr std::string_view joints = "joints/";
        if (startsWith(address, joints)) {
            address.remove_prefix(joints.size());
            for (int j = 0; j < JointType_Count; ++j) {
                if (address == jointNames[j]) {
                    target.part = Part::Joint;
                    target.joint = j;
                    return std::nullopt;
                }
            }
            return OscIgnored::UnknownJoint;
        }
        if (address == "hands/Left") {
            target.part = Part::LeftHand;
            return std::nullopt;
        }
        if (address == "hands/Right") {
            target.part = Part::RightHand;
            return std::nullopt;
        }
        return OscIgnored::UnknownAddress;
    }

    std::optional<TrackingState> trackingStateNamed(std::string_view name)
    {
        if (name == "Tracked")
            return TrackingState_Tracked;
        if (name == "Inferred")
            return TrackingState_Inferred;
        if (name == "NotTracked")
            return TrackingState_NotTracked;
        return std::nullopt;
    }

    std::optional<HandState> handStateNamed(std::string_view name)
    {
        if (name == "Open")
            return HandState_Open;
        if (name == "Closed")
            return HandState_Closed;
        if (name == "Lasso")
            return HandState_Lasso;
        if (name == "NotTracked")
            return HandState_NotTracked;
        if (name == "Unknown")
            return HandState_Unknown;
        return std::nullopt;
    }

    std::string withTags(const OscMessage &message)
    {
        return printable(message.address) + " ," + printable(message.typeTags);
    }

} // namespace

IgnoredInputTally::IgnoredInputTally()
    : IgnoredTally("OSC",
        { "malformed packets", "packets over 64 KiB", "messages to an unknown address",
            "messages with an unknown joint name", "messages with wrong type tags",
            "messages with a value out of range", "messages of bodies beyond six",
            "body frames dropped because they were not taken in time" })
{
}

OscBodyAssembler::OscBodyAssembler(FrameHandler onFrame)
    : m_onFrame(std::move(onFrame))
{
    for (Track &track : m_tracks)
        resetTrack(track);
}

void OscBodyAssembler::resetTrack(Track &track)
{
    track = Track();
    for (int j = 0; j < JointType_Count; ++j) {
        Joint &joint = track.building.joints[std::size_t(j)];
        joint.JointType = JointType(j);
        joint.TrackingState = TrackingState_NotTracked;
    }
}

void OscBodyAssembler::packet(const char *data, std::size_t size, nanoseconds now)
{
    if (size > maxOscPacketSize) {
        m_tally.add(OscIgnored::OversizedPacket, std::to_string(size) + " bytes");
        return;
    }
    if (!m_parser.parse(data, size)) {
        m_tally.add(OscIgnored::MalformedPacket, m_parser.error());
        return;
    }
    for (std::size_t i = 0; i < m_parser.messageCount(); ++i)
        message(m_parser.message(i), now);
}

void OscBodyAssembler::message(const OscMessage &message, nanoseconds now)
{
    Target target;
    if (const std::optional<OscIgnored> fault = readAddress(message.address, target)) {
        m_tally.add(*fault, printable(message.address));
        return;
    }

    // Check everything before anything changes: a message is taken whole
    // or not at all.
    CameraSpacePoint position { 0.0f, 0.0f, 0.0f };
    TrackingState trackingState = TrackingState_Tracked;
    HandState handState = HandState_Unknown;
    const std::vector<OscArgument> &arguments = message.arguments;
    if (target.part == Part::Joint) {
        if (message.typeTags != "fffs" && message.typeTags != "fff") {
            m_tally.add(OscIgnored::WrongTypeTags, withTags(message));
            return;
        }
        const double x = arguments[0].number;
        const double y = arguments[1].number;
        const double z = arguments[2].number;
        if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) {
            m_tally.add(
                OscIgnored::BadValue, printable(message.address) + ": not a finite position");
            return;
        }
        position = CameraSpacePoint { float(x), float(y), float(z) };
        if (arguments.size() == 4) {
            const std::optional<TrackingState> state = trackingStateNamed(arguments[3].bytes);
            if (!state) {
                m_tally.add(OscIgnored::BadValue,
                    printable(message.address) + ": tracking state \""
                        + printable(arguments[3].bytes) + '"');
                return;
            }
            trackingState = *state;
        }
    } else {
        if (message.typeTags != "ss") {
            m_tally.add(OscIgnored::WrongTypeTags, withTags(message));
            return;
        }
        const std::optional<HandState> state = handStateNamed(arguments[0].bytes);
        const std::string_view confidence = arguments[1].bytes;
        if (!state || (confidence != "High" && confidence != "Low")) {
            m_tally.add(OscIgnored::BadValue,
                printable(message.address) + ": \"" + printable(arguments[0].bytes) + "\", \""
                    + printable(confidence) + '"');
            return;
        }
        handState = *state;
    }

    if (m_pendingSlots.any() && now - m_lastBodyMessage >= frameGap)
        emitPending();
    const int slot = slotFor(target.id, now);
    if (slot < 0) {
        m_tally.add(OscIgnored::NoFreeSlot, "tracking id " + std::to_string(target.id));
        return;
    }
    m_lastBodyMessage = now;
    Track &track = m_tracks[std::size_t(slot)];
    track.lastHeard = now;
    switch (target.part) {
    case Part::Joint:
        if (track.jointsSeen[std::size_t(target.joint)])
            completeBody(slot);
        track.building.joints[std::size_t(target.joint)].Position = position;
        track.building.joints[std::size_t(target.joint)].TrackingState = trackingState;
        track.jointsSeen.set(std::size_t(target.joint));
        break;
    case Part::LeftHand:
        if (track.leftSeen)
            completeBody(slot);
        track.building.handLeftState = handState;
        track.leftSeen = true;
        break;
    case Part::RightHand:
        track.building.handRightState = handState;
        completeBody(slot);
        break;
    }
}

int OscBodyAssembler::slotFor(UINT64 id, nanoseconds now)
{
    expire(now);
    int free = -1;
    for (int slot = 0; slot < BODY_COUNT; ++slot) {
        const Track &track = m_tracks[std::size_t(slot)];
        if (track.inUse && track.id == id)
            return slot;
        if (!track.inUse && free < 0)
            free = slot;
    }
    if (free >= 0) {
        Track &track = m_tracks[std::size_t(free)];
        track.inUse = true;
        track.id = id;
    }
    return free;
}

void OscBodyAssembler::completeBody(int slot)
{
    Track &track = m_tracks[std::size_t(slot)];
    // Hands alone make no body to show.
    if (track.jointsSeen.any()) {
        if (m_pendingSlots[std::size_t(slot)])
            emitPending();
        Body &body = m_pending.bodies[std::size_t(slot)];
        body = track.building;
        body.tracked = true;
        body.trackingId = track.id;
        for (int j = 0; j < JointType_Count; ++j) {
            if (!track.jointsSeen[std::size_t(j)])
                body.joints[std::size_t(j)].TrackingState = TrackingState_NotTracked;
        }
        m_pendingSlots.set(std::size_t(slot));
    }
    track.jointsSeen.reset();
    track.leftSeen = false;
    track.building.handLeftState = HandState_Unknown;
    track.building.handRightState = HandState_Unknown;
    emitPendingIfAllComplete();
}

void OscBodyAssembler::emitPendingIfAllComplete()
{
    if (m_pendingSlots.none())
        return;
    for (int slot = 0; slot < BODY_COUNT; ++slot) {
        if (m_tracks[std::size_t(slot)].inUse && !m_pendingSlots[std::size_t(slot)])
            return;
    }
    emitPending();
}

void OscBodyAssembler::emitPending()
{
    if (m_pendingSlots.none())
        return;
    const BodyFrame frame = m_pending;
    m_pending = BodyFrame();
    m_pendingSlots.reset();
    if (m_onFrame)
        m_onFrame(frame);
}

void OscBodyAssembler::expire(nanoseconds now)
{
    bool left = false;
    for (Track &track : m_tracks) {
        if (track.inUse && now - track.lastHeard >= bodyTimeout) {
            resetTrack(track);
            left = true;
        }
    }
    if (left)
        emitPendingIfAllComplete();
}

void OscBodyAssembler::advanceTo(nanoseconds now)
{
    if (m_pendingSlots.any() && now - m_lastBodyMessage >= frameGap)
        emitPending();
    expire(now);
}

std::optional<nanoseconds> OscBodyAssembler::nextDeadline() const
{
    std::optional<nanoseconds> next = m_tally.reportDue();
    const auto consider = [&next](nanoseconds time) {
        if (!next || time < *next)
            next = time;
    };
    if (m_pendingSlots.any())
        consider(m_lastBodyMessage + frameGap);
    for (const Track &track : m_tracks) {
        if (track.inUse)
            consider(track.lastHeard + bodyTimeout);
    }
    return next;
}

std::optional<UINT64> OscBodyAssembler::slotId(int slot) const
{
    if (slot < 0 || slot >= BODY_COUNT || !m_tracks[std::size_t(slot)].inUse)
        return std::nullopt;
    return m_tracks[std::size_t(slot)].id;
}

} // namespace camera
