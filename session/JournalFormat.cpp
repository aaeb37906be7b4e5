#include "session/JournalFormat.h"

#include <QFile>
#include <QLocale>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstring>

namespace journal {

namespace {

    constexpr std::array<std::uint32_t, 256> makeCrcTable()
    {
        std::array<std::uint32_t, 256> table {};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
        return table;
    }

    constexpr std::array<std::uint32_t, 256> crcTable = makeCrcTable();

    constexpr std::int64_t maxPayloadBytes = std::int64_t(maxPosesPerRecord) * poseBytes;

    QString number(std::int64_t n) { return QLocale(QLocale::English).toString(qlonglong(n)); }

    void appendU32(QByteArray &out, std::uint32_t v)
    {
        char bytes[4];
        qToLittleEndian(v, bytes);
        out.append(bytes, 4);
    }

    std::uint32_t readU32(const char *p) { return qFromLittleEndian<std::uint32_t>(p); }

    // One record: frame, payload written by fill into its payloadBytes, checksum.
    template <typename Fill>
    void appendRecord(
        QByteArray &out, RecordType type, JournalList list, std::size_t payloadBytes, Fill fill)
    {
        const int start = out.size();
        appendU32(out, std::uint32_t(payloadBytes));
        out.append(char(type));
        out.append(char(list));
        out.append('\0');
        out.append('\0');
        out.resize(start + 8 + int(payloadBytes));
        fill(out.data() + start + 8);
        appendU32(out, crc32(out.constData() + start, 8 + payloadBytes));
    }

    void writePoses(char *to, const DualQuaternion *poses, std::size_t count)
    {
        if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
            std::memcpy(to, poses, count * poseBytes);
        } else {
            for (std::size_t i = 0; i < count * 8; ++i) {
                std::uint64_t bits;
                std::memcpy(&bits, reinterpret_cast<const char *>(poses) + 8 * i, 8);
                qToLittleEndian(bits, to + 8 * i);
            }
        }
    }

    void readPoses(const char *from, std::size_t count, std::vector<DualQuaternion> &to)
    {
        if (count == 0)
            return;
        const std::size_t first = to.size();
        to.resize(first + count);
        char *target = reinterpret_cast<char *>(to.data() + first);
        if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
            std::memcpy(target, from, count * poseBytes);
        } else {
            for (std::size_t i = 0; i < count * 8; ++i) {
                const std::uint64_t bits = qFromLittleEndian<std::uint64_t>(from + 8 * i);
                std::memcpy(target + 8 * i, &bits, 8);
            }
        }
    }

    // The payload length a record of this type may have.
    bool lengthFits(RecordType type, std::uint32_t length)
    {
        switch (type) {
        case RecordType::Replace:
            return length % poseBytes == 0;
        case RecordType::Append:
            return length > 0 && length % poseBytes == 0;
        case RecordType::Clear:
        case RecordType::Closed:
            return length == 0;
        case RecordType::Remove:
            return length == 4;
        case RecordType::Move:
            return length == 8;
        }
        return false;
    }

    // A record frame read from data[at, size): its fields, and whether it
    // lies wholly inside the input and follows the rules that need no list.
    struct Frame {
        std::uint32_t length = 0;
        std::uint8_t type = 0;
        std::uint8_t list = 0;
        std::uint16_t reserved = 0;
    };

    Frame readFrame(const char *at)
    {
        Frame f;
        f.length = readU32(at);
        f.type = std::uint8_t(at[4]);
        f.list = std::uint8_t(at[5]);
        f.reserved = qFromLittleEndian<std::uint16_t>(at + 6);
        return f;
    }

    bool wellFormed(const Frame &f)
    {
        if (f.type < std::uint8_t(RecordType::Replace) || f.type > std::uint8_t(RecordType::Closed))
            return false;
        const RecordType type = RecordType(f.type);
        if (f.reserved != 0 || f.list > 1 || (type == RecordType::Closed && f.list != 0))
            return false;
        return f.length <= maxPayloadBytes && lengthFits(type, f.length);
    }

    bool checksumMatches(const char *at, std::uint32_t length)
    {
        return crc32(at, 8 + std::size_t(length)) == readU32(at + 8 + length);
    }

    // How many whole, well-formed records with a valid checksum lie in
    // data[from, size), found by trying every byte where one could start. The
    // checksums it computes are bounded, so that damage crafted to look like
    // long records at every byte cannot make the count take long.
    std::int64_t countWholeRecords(const char *data, std::int64_t from, std::int64_t size)
    {
        std::int64_t budget = std::int64_t(64) << 20;
        std::int64_t count = 0;
        std::int64_t at = from;
        while (size - at >= recordFrameBytes && budget > 0) {
            const Frame f = readFrame(data + at);
            if (wellFormed(f) && f.length <= size - at - recordFrameBytes) {
                budget -= 8 + std::int64_t(f.length);
                if (checksumMatches(data + at, f.length)) {
                    ++count;
                    at += recordFrameBytes + f.length;
                    continue;
                }
            }
            ++at;
        }
        return count;
    }

    // Applies one well-formed record whose checksum matched; returns the
    // reason when it breaks a rule of the lists, else an empty string.
    QString apply(JournalContents &c, const Frame &f, const char *payload)
    {
        const RecordType type = RecordType(f.type);
        std::vector<DualQuaternion> &list = f.list == 0 ? c.keyPositions : c.continuousPositions;
        const std::size_t poses = f.length / poseBytes;
        switch (type) {
        case RecordType::Replace:
            list.clear();
            readPoses(payload, poses, list);
            break;
        case RecordType::Append:
            if (std::int64_t(list.size() + poses) > maxPosesPerList)
                return QStringLiteral("would hold more than %1 poses in a list")
                    .arg(number(maxPosesPerList));
            readPoses(payload, poses, list);
            break;
        case RecordType::Clear:
            list.clear();
            break;
        case RecordType::Remove: {
            const std::uint32_t index = readU32(payload);
            if (index >= list.size())
                return QStringLiteral("removes pose %1 of a list of %2")
                    .arg(number(index), number(std::int64_t(list.size())));
            list.erase(list.begin() + std::ptrdiff_t(index));
            break;
        }
        case RecordType::Move: {
            const std::uint32_t from = readU32(payload), to = readU32(payload + 4);
            if (from >= list.size() || to >= list.size())
                return QStringLiteral("moves pose %1 to %2 in a list of %3")
                    .arg(number(from), number(to), number(std::int64_t(list.size())));
            const auto first = list.begin();
            if (from < to)
                std::rotate(first + from, first + from + 1, first + to + 1);
            else
                std::rotate(first + to, first + from, first + from + 1);
            break;
        }
        case RecordType::Closed:
            break;
        }
        c.closed = type == RecordType::Closed;
        return QString();
    }

} // namespace

std::uint32_t crc32(const void *data, std::size_t size, std::uint32_t crc)
{
    const auto *p = static_cast<const unsigned char *>(data);
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i)
        crc = crcTable[(crc ^ p[i]) & 0xFFu] ^ (crc >> 8);
    return ~crc;
}

void appendHeader(QByteArray &out)
{
    const int start = out.size();
    out.append(magic, sizeof magic);
    appendU32(out, formatVersion);
    appendU32(out, crc32(out.constData() + start, 12));
}

void appendPoses(
    QByteArray &out, JournalList list, bool replace, const DualQuaternion *poses, std::size_t count)
{
    if (replace && count == 0) {
        appendRecord(out, RecordType::Replace, list, 0, [](char *) {});
        return;
    }
    for (std::size_t done = 0; done < count;) {
        const std::size_t n = std::min<std::size_t>(count - done, maxPosesPerRecord);
        const RecordType type = replace && done == 0 ? RecordType::Replace : RecordType::Append;
        appendRecord(
            out, type, list, n * poseBytes, [&](char *to) { writePoses(to, poses + done, n); });
        done += n;
    }
}

void appendClear(QByteArray &out, JournalList list)
{
    appendRecord(out, RecordType::Clear, list, 0, [](char *) {});
}

void appendRemove(QByteArray &out, JournalList list, std::uint32_t index)
{
    appendRecord(out, RecordType::Remove, list, 4, [&](char *to) { qToLittleEndian(index, to); });
}

void appendMove(QByteArray &out, JournalList list, std::uint32_t from, std::uint32_t to)
{
    appendRecord(out, RecordType::Move, list, 8, [&](char *p) {
        qToLittleEndian(from, p);
        qToLittleEndian(to, p + 4);
    });
}

void appendClosed(QByteArray &out)
{
    appendRecord(out, RecordType::Closed, JournalList::KeyPositions, 0, [](char *) {});
}

QByteArray snapshotJournal(const std::vector<DualQuaternion> &keyPositions,
    const std::vector<DualQuaternion> &continuousPositions, bool closed)
{
    QByteArray out;
    out.reserve(headerBytes + 4 * recordFrameBytes
        + int(std::min<std::size_t>((keyPositions.size() + continuousPositions.size()) * poseBytes,
            std::size_t(maxJournalBytes))));
    appendHeader(out);
    appendPoses(out, JournalList::KeyPositions, true, keyPositions.data(), keyPositions.size());
    appendPoses(out, JournalList::ContinuousPositions, true, continuousPositions.data(),
        continuousPositions.size());
    if (closed)
        appendClosed(out);
    return out;
}

JournalContents readJournal(const char *data, std::int64_t size)
{
    JournalContents c;
    c.fileBytes = size;
    c.lostBytes = size;
    if (size < headerBytes) {
        c.state = JournalContents::State::NotAJournal;
        c.problem = size == 0
            ? QStringLiteral("the file is empty")
            : QStringLiteral("the file is only %1 bytes long, shorter than a journal header")
                  .arg(number(size));
        return c;
    }
    if (std::memcmp(data, magic, sizeof magic) != 0 || crc32(data, 12) != readU32(data + 12)) {
        c.state = JournalContents::State::NotAJournal;
        c.problem = QStringLiteral("the file does not start with a journal header");
        return c;
    }
    const std::uint32_t version = readU32(data + 8);
    if (version != formatVersion) {
        c.state = JournalContents::State::UnsupportedVersion;
        c.problem = QStringLiteral("the journal is of version %1, which this program cannot read")
                        .arg(version);
        return c;
    }

    c.state = JournalContents::State::Read;
    std::int64_t at = headerBytes;
    QString problem;
    while (at < size) {
        const QString record = QStringLiteral("the record at byte %1").arg(number(at));
        const QString cut = QStringLiteral("the journal ends inside ") + record;
        if (size - at < recordFrameBytes) {
            problem = cut;
            break;
        }
        const Frame f = readFrame(data + at);
        if (f.length > maxPayloadBytes) {
            problem = record
                + QStringLiteral(" claims %1 bytes, more than a record holds")
                      .arg(number(f.length));
            break;
        }
        if (f.length > size - at - recordFrameBytes) {
            problem = cut;
            break;
        }
        if (!checksumMatches(data + at, f.length)) {
            problem = record + QStringLiteral(" fails its checksum");
            break;
        }
        if (!wellFormed(f)) {
            problem = record
                + QStringLiteral(" is not one this program writes (type %1, list %2, %3 bytes)")
                      .arg(f.type)
                      .arg(f.list)
                      .arg(number(f.length));
            break;
        }
        const QString broken = apply(c, f, data + at + 8);
        if (!broken.isEmpty()) {
            problem = record + QLatin1Char(' ') + broken;
            break;
        }
        ++c.records;
        at += recordFrameBytes + f.length;
    }
    c.wholeBytes = at;
    c.lostBytes = size - at;
    if (c.lostBytes > 0) {
        c.closed = false;
        c.problem = problem;
        c.lostRecords = countWholeRecords(data, at + 1, size);
    }
    return c;
}

JournalContents readJournalFile(const QString &path)
{
    JournalContents c;
    QFile file(path);
    if (!file.exists())
        return c;
    if (!file.open(QIODevice::ReadOnly)) {
        c.state = JournalContents::State::Unreadable;
        c.problem = file.errorString();
        c.fileBytes = c.lostBytes = file.size();
        return c;
    }
    const std::int64_t size = file.size();
    const QByteArray bytes = file.read(std::min(size, maxJournalBytes));
    if (file.error() != QFileDevice::NoError) {
        c.state = JournalContents::State::Unreadable;
        c.problem = file.errorString();
        c.fileBytes = c.lostBytes = size;
        return c;
    }
    c = readJournal(bytes.constData(), bytes.size());
    if (size > bytes.size()) {
        // A file that grew past the cap, or changed while it was read.
        c.fileBytes = size;
        c.lostBytes = size - c.wholeBytes;
        c.closed = false;
        if (c.problem.isEmpty())
            c.problem = QStringLiteral("the journal is longer than the %1 bytes this program reads")
                            .arg(number(bytes.size()));
    }
    return c;
}

} // namespace journal
