#pragma once

#include "sensor/sources/IgnoredTally.h"
#include "sensor/sources/OscPacket.h"
#include "sensor/sources/Source.h"

#include <array>
#include <bitset>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace camera {

// What a body stream ignores, by kind.
enum class OscIgnored {
    MalformedPacket,
    OversizedPacket,
    UnknownAddress,
    UnknownJoint,
    WrongTypeTags,
    BadValue,
    NoFreeSlot,
    DroppedFrame,
};

// What a body stream ignored, summed up in one line ("OSC: ...") at most
// once a second.
class IgnoredInputTally : public IgnoredTally<OscIgnored> {
public:
    IgnoredInputTally();
};

// Turns the messages of a body stream into body frames. The layout, one
// message per joint and no frame marker:
//   /bodies/{trackingId}/joints/{JointName}  ",fffs": x, y, z (metres), state
//                                            ",fff":  x, y, z (state Tracked)
//   /bodies/{trackingId}/hands/Left|Right    ",ss":   hand state, confidence
// per camera frame, for each tracked body in turn: its joints, Left, Right.
//
// A body's frame is complete when its Right hand arrives, or when a joint or
// hand repeats (the repeat starts the next frame). Each body keeps one of
// BODY_COUNT slots, by tracking id, until it has been silent for
// bodyTimeout. Completed bodies gather in one pending frame, handed out as
// soon as every body in a slot has completed, when a body completes twice,
// or after frameGap without any body message. So every completed body frame
// is handed out exactly once, and in order. A joint missing from a frame
// keeps its last position with TrackingState_NotTracked.
//
// Input that does not fit the layout is ignored and counted in tally().
// Time comes with every call (nanoseconds, monotonic); nothing here reads a
// clock, so tests step it.
class OscBodyAssembler {
public:
    using FrameHandler = std::function<void(const BodyFrame &frame)>;

    static constexpr std::chrono::nanoseconds bodyTimeout = std::chrono::milliseconds(500);
    static constexpr std::chrono::nanoseconds frameGap = std::chrono::milliseconds(10);

    explicit OscBodyAssembler(FrameHandler onFrame);

    // One datagram as received: parsed whole, then each message in order.
    void packet(const char *data, std::size_t size, std::chrono::nanoseconds now);
    void message(const OscMessage &message, std::chrono::nanoseconds now);
    // Lets time pass without input: the pending frame goes out after
    // frameGap of silence, and silent bodies leave their slots.
    void advanceTo(std::chrono::nanoseconds now);
    // The next time advanceTo has something to do (the tally's next line
    // included); nothing while nothing waits.
    std::optional<std::chrono::nanoseconds> nextDeadline() const;

    IgnoredInputTally &tally() { return m_tally; }
    const IgnoredInputTally &tally() const { return m_tally; }
    // The tracking id in a slot, or nothing for a free slot.
    std::optional<UINT64> slotId(int slot) const;

private:
    struct Track {
        bool inUse = false;
        UINT64 id = 0;
        std::chrono::nanoseconds lastHeard { 0 };
        // The frame being received; joint positions stay from frame to
        // frame, so that a joint missing from one keeps its last place.
        Body building;
        std::bitset<JointType_Count> jointsSeen;
        bool leftSeen = false;
    };

    static void resetTrack(Track &track);
    int slotFor(UINT64 id, std::chrono::nanoseconds now);
    void completeBody(int slot);
    void emitPendingIfAllComplete();
    void emitPending();
    void expire(std::chrono::nanoseconds now);

    FrameHandler m_onFrame;
    OscPacketParser m_parser;
    IgnoredInputTally m_tally;
    std::array<Track, BODY_COUNT> m_tracks;
    BodyFrame m_pending;
    std::bitset<BODY_COUNT> m_pendingSlots;
    std::chrono::nanoseconds m_lastBodyMessage { 0 };
};

} // namespace camera
