// libFuzzer target: the session journal reader on arbitrary bytes, once as
// they come and once with every checksum made right, so that the fuzzer
// reaches the replay of records and not only the checksum test.
#include "fuzz/FuzzCheck.h"
#include "session/JournalFormat.h"

#include <QtEndian>

#include <cstddef>
#include <cstdint>
#include <cstring>

using journal::JournalContents;

namespace {

bool sameBits(const std::vector<DualQuaternion> &a, const std::vector<DualQuaternion> &b)
{
    return a.size() == b.size()
        && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(DualQuaternion)) == 0);
}

// The input with the header's and each framed record's checksum rewritten.
QByteArray withChecksumsFixed(QByteArray bytes)
{
    if (bytes.size() < journal::headerBytes)
        return bytes;
    char *p = bytes.data();
    qToLittleEndian(journal::crc32(p, 12), p + 12);
    std::int64_t at = journal::headerBytes;
    while (bytes.size() - at >= journal::recordFrameBytes) {
        const std::uint32_t length = qFromLittleEndian<std::uint32_t>(p + at);
        if (length > bytes.size() - at - journal::recordFrameBytes)
            break;
        qToLittleEndian(journal::crc32(p + at, 8 + std::size_t(length)), p + at + 8 + length);
        at += journal::recordFrameBytes + length;
    }
    return bytes;
}

void check(const QByteArray &input)
{
    const JournalContents c = journal::readJournal(input.constData(), input.size());
    const QString where = QStringLiteral("%1 of %2 bytes whole: %3")
                              .arg(c.wholeBytes)
                              .arg(input.size())
                              .arg(c.problem);
    FUZZ_CHECK(c.fileBytes == input.size() && c.wholeBytes + c.lostBytes == c.fileBytes, where);
    FUZZ_CHECK(
        c.lostRecords >= 0 && c.lostRecords <= c.lostBytes / journal::recordFrameBytes, where);
    FUZZ_CHECK(!c.closed || c.lostBytes == 0, where);
    FUZZ_CHECK(c.problem.isEmpty() == (c.lostBytes == 0 && c.state == JournalContents::State::Read),
        where);
    const std::int64_t maxPoses = input.size() / journal::poseBytes;
    FUZZ_CHECK(std::int64_t(c.keyPositions.size()) <= maxPoses
            && std::int64_t(c.continuousPositions.size()) <= maxPoses,
        where);
    if (c.state != JournalContents::State::Read) {
        FUZZ_CHECK(c.poseCount() == 0 && c.wholeBytes == 0, where);
        return;
    }
    FUZZ_CHECK(c.wholeBytes >= journal::headerBytes, where);

    // What was kept reads the same on its own, whole (and closed when its
    // last record is Closed, whatever damage followed).
    const JournalContents kept = journal::readJournal(input.constData(), c.wholeBytes);
    FUZZ_CHECK(kept.problem.isEmpty() && kept.records == c.records && (kept.closed || !c.closed)
            && sameBits(kept.keyPositions, c.keyPositions)
            && sameBits(kept.continuousPositions, c.continuousPositions),
        where);
    // And a snapshot of it gives the same lists back, bit for bit.
    const QByteArray snapshot = journal::snapshotJournal(c.keyPositions, c.continuousPositions);
    const JournalContents again = journal::readJournal(snapshot.constData(), snapshot.size());
    FUZZ_CHECK(again.problem.isEmpty() && !again.closed
            && sameBits(again.keyPositions, c.keyPositions)
            && sameBits(again.continuousPositions, c.continuousPositions),
        where);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), static_cast<int>(size));
    check(input);
    check(withChecksumsFixed(input));
    return 0;
}
