#pragma once

#include "algebra/DualQuaternion.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <vector>

// The session journal file: what the two pose lists went through, as an
// append-only sequence of self-checking records.
//
//   file    = header record*
//   header  = magic "HMJOURNL" (8 bytes), version u32 (= 1),
//             CRC-32 u32 of the 12 bytes before it               16 bytes
//   record  = length u32, type u8, list u8, reserved u16 (= 0),
//             payload (length bytes),
//             CRC-32 u32 of the 8 header bytes and the payload   12 + length bytes
//
// Integers are little-endian. CRC-32 is the common one (reflected polynomial
// 0xEDB88320, start and final xor 0xFFFFFFFF: "123456789" gives 0xCBF43926).
// list is 0 for the key positions, 1 for the continuous positions. A pose is
// the eight doubles of a DualQuaternion in their storage order (x.real,
// x.dual, y.real, y.dual, z.real, z.dual, w.real, w.dual), each the
// little-endian bytes of its IEEE 754 bits: stored and read back bit for bit,
// NaN payloads and signed zeros included.
//
//   type  name     payload                       effect on the list
//   1     Replace  n poses, 0 <= n <= 65,536      holds exactly these poses
//   2     Append   n poses, 1 <= n <= 65,536      the poses are added at the end
//   3     Clear    empty                         holds nothing
//   4     Remove   index u32                     pose index is removed
//   5     Move     from u32, to u32              pose from is moved to index to
//   6     Closed   empty (list 0)                the session ended cleanly
//
// A journal is replayed from empty lists, record by record. Writers begin it
// with one Replace for each list (longer lists continue in Appends), so its
// first records are a snapshot; a clean exit ends it with Closed. A reader
// stops at the first record that is incomplete, fails its checksum, breaks a
// rule above (unknown type or list, wrong payload length, an index outside
// its list) or would grow a list past maxPosesPerList, and keeps what came
// before; it never reads more than maxJournalBytes.
namespace journal {

enum class JournalList : std::uint8_t { KeyPositions = 0, ContinuousPositions = 1 };
enum class RecordType : std::uint8_t {
    Replace = 1,
    Append = 2,
    Clear = 3,
    Remove = 4,
    Move = 5,
    Closed = 6,
};

constexpr char magic[8] = { 'H', 'M', 'J', 'O', 'U', 'R', 'N', 'L' };
constexpr std::uint32_t formatVersion = 1;
constexpr int headerBytes = 16;
// The length, type, list and reserved fields before a payload, and the
// checksum after it.
constexpr int recordFrameBytes = 12;
constexpr int poseBytes = 64;
constexpr int maxPosesPerRecord = 65536;
// About 39 hours of continuous capture at 30 Hz; 256 MiB of poses.
constexpr std::int64_t maxPosesPerList = std::int64_t(1) << 22;
constexpr std::int64_t maxJournalBytes = std::int64_t(1) << 30;

// CRC-32 of size bytes, continuing from crc (0 to start).
std::uint32_t crc32(const void *data, std::size_t size, std::uint32_t crc = 0);

// Writers: each appends whole records (or the header) to out.
void appendHeader(QByteArray &out);
// A Replace (replace true) or Append of the poses; more than
// maxPosesPerRecord become several records, the first a Replace or Append
// and the rest Appends. Appending no poses writes nothing.
void appendPoses(QByteArray &out, JournalList list, bool replace, const DualQuaternion *poses,
    std::size_t count);
void appendClear(QByteArray &out, JournalList list);
void appendRemove(QByteArray &out, JournalList list, std::uint32_t index);
void appendMove(QByteArray &out, JournalList list, std::uint32_t from, std::uint32_t to);
void appendClosed(QByteArray &out);
// A whole journal holding these lists: header and both snapshots, and the
// Closed mark when asked.
QByteArray snapshotJournal(const std::vector<DualQuaternion> &keyPositions,
    const std::vector<DualQuaternion> &continuousPositions, bool closed = false);

// What a journal holds, as far as it could be read.
struct JournalContents {
    enum class State {
        Missing, // no file
        Unreadable, // a file that could not be opened or read
        NotAJournal, // shorter than a header, or not starting with the magic
        UnsupportedVersion, // a journal of another version
        Read, // a journal whose records were replayed up to problem
    };
    State state = State::Missing;
    std::vector<DualQuaternion> keyPositions;
    std::vector<DualQuaternion> continuousPositions;
    // The last record read is Closed and nothing follows it.
    bool closed = false;
    std::int64_t fileBytes = 0;
    // The header and every whole record replayed: what was restored.
    std::int64_t wholeBytes = 0;
    std::int64_t records = 0;
    // From the first record that could not be replayed to the end.
    std::int64_t lostBytes = 0;
    // Whole, checksum-valid records found in the lost bytes: at least this
    // many records were lost (the damage may have hidden more).
    std::int64_t lostRecords = 0;
    // What stopped the reader and where, as a clause ("the record at byte
    // 1,234 fails its checksum"); empty when every byte was read.
    QString problem;

    std::int64_t poseCount() const
    {
        return std::int64_t(keyPositions.size()) + std::int64_t(continuousPositions.size());
    }
};

// Replays a journal held in memory. Never reads outside data[0, size).
JournalContents readJournal(const char *data, std::int64_t size);
// Replays the journal file at path (State::Missing when there is none).
JournalContents readJournalFile(const QString &path);

} // namespace journal
