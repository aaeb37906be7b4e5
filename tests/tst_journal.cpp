#include "algebra/KeyPoseList.h"
#include "session/AtomicFile.h"
#include "session/JournalFormat.h"
#include "session/PoseSession.h"
#include "session/SessionJournal.h"
#include "session/SessionRestore.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <csignal>
#include <cstring>
#include <limits>
#include <vector>

#include <sys/resource.h>

using namespace journal;
using Poses = std::vector<DualQuaternion>;

namespace {

DualQuaternion pose(double a, double b = 0.0)
{
    const double real[4] = { a, -a, 0.5, 1 };
    const double dual[4] = { b, 0, -b, 0.25 };
    return DualQuaternion(real, dual);
}

// Doubles that survive only a bitwise store: a NaN with a payload, a
// negative zero, a subnormal, the infinities and the extremes.
DualQuaternion oddPose()
{
    const double nan = std::nan("0x5eed");
    const double real[4] = { nan, -0.0, std::numeric_limits<double>::denorm_min(),
        std::numeric_limits<double>::infinity() };
    const double dual[4] = { -std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::max(), std::numeric_limits<double>::lowest(), 1e-300 };
    return DualQuaternion(real, dual);
}

bool sameBits(const Poses &a, const Poses &b)
{
    return a.size() == b.size()
        && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(DualQuaternion)) == 0);
}

Poses range(int first, int count)
{
    Poses poses;
    for (int i = 0; i < count; ++i)
        poses.push_back(pose(first + i, i));
    return poses;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(bytes) == bytes.size();
}

// A journal of every record type: its bytes, where each record ends, and
// the lists after each of them (the header's entry: both empty).
struct Reference {
    QByteArray bytes;
    std::vector<int> ends;
    std::vector<Poses> keys, continuous;

    void record()
    {
        ends.push_back(bytes.size());
        const JournalContents c = readJournal(bytes.constData(), bytes.size());
        keys.push_back(c.keyPositions);
        continuous.push_back(c.continuousPositions);
    }
    // The last state whose record lies wholly inside the first n bytes.
    size_t stateWithin(int n) const
    {
        size_t s = 0;
        while (s + 1 < ends.size() && ends[s + 1] <= n)
            ++s;
        return s;
    }
};

Reference referenceJournal()
{
    Reference r;
    appendHeader(r.bytes);
    r.record();
    const Poses keys { pose(1, 2), oddPose(), pose(3) };
    appendPoses(r.bytes, JournalList::KeyPositions, true, keys.data(), keys.size());
    r.record();
    appendPoses(r.bytes, JournalList::ContinuousPositions, true, nullptr, 0);
    r.record();
    const Poses more = range(10, 3);
    appendPoses(r.bytes, JournalList::ContinuousPositions, false, more.data(), more.size());
    r.record();
    appendRemove(r.bytes, JournalList::KeyPositions, 0);
    r.record();
    appendMove(r.bytes, JournalList::ContinuousPositions, 2, 0);
    r.record();
    appendClear(r.bytes, JournalList::KeyPositions);
    r.record();
    appendPoses(r.bytes, JournalList::KeyPositions, false, keys.data(), 1);
    r.record();
    appendClosed(r.bytes);
    r.record();
    return r;
}

// The lists of a session, attached to a started journal as the window will
// attach the sensor's.
struct Session {
    explicit Session(SessionJournal &journal)
    {
        keys.setListener(journal.listener(JournalList::KeyPositions));
        continuous.setListener(journal.listener(JournalList::ContinuousPositions));
    }
    ~Session()
    {
        keys.setListener(nullptr);
        continuous.setListener(nullptr);
    }
    KeyPoseList keys, continuous;
};

} // namespace

class TestJournal : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void recordsAreChecked();
    void roundTripBitForBit();
    void damagedJournals_data();
    void damagedJournals();
    void everyCutAndFlipKeepsWhatIsWhole();
    void questionText_data();
    void questionText();
    void startUp_data();
    void startUp();
    void compactionKeepsListsAndShrinks();
    void oneProgramPerDirectory();
    void writtenWhileTheGuiThreadIsBusy();
    void fullDiskIsSurvived();
    void replaceFileAtomically_data();
    void replaceFileAtomically();
    void defaultDirectory_data();
    void defaultDirectory();
};

void TestJournal::recordsAreChecked()
{
    // The format as another program writes it (Python's struct and
    // zlib.crc32): a closed snapshot of one key position.
    const QByteArray written = QByteArray::fromHex(
        "484d4a4f55524e4c010000003bb4b4614000000001000000000000000000e03f0000000000000000000000"
        "0000000000000000000000d03f0000000000000000000000000000f0bf000000000000f03f000000000000"
        "00001afb451f00000000010100003bd25cdc0000000006000000b5804940");
    const double real[4] = { 0.5, 0, 0, 1 }, dual[4] = { 0, 0.25, -1, 0 };
    QCOMPARE(snapshotJournal({ DualQuaternion(real, dual) }, {}, true), written);
    const Reference r = referenceJournal();
    QCOMPARE(r.bytes.left(8), QByteArray("HMJOURNL"));
    const JournalContents c = readJournal(r.bytes.constData(), r.bytes.size());
    QCOMPARE(c.state, JournalContents::State::Read);
    QVERIFY(c.closed);
    QCOMPARE(c.records, qint64(r.ends.size() - 1));
    QCOMPARE(c.wholeBytes, qint64(r.bytes.size()));
    QCOMPARE(c.lostBytes, qint64(0));
    QVERIFY(c.problem.isEmpty());
    // Replayed by hand: remove the first key, move the last continuous pose
    // first, clear the keys and append the first again.
    QVERIFY(sameBits(c.keyPositions, Poses { pose(1, 2) }));
    QVERIFY(sameBits(c.continuousPositions, Poses { pose(12, 2), pose(10, 0), pose(11, 1) }));
}

// Every kind of change reaches the file, and the file gives back the lists
// bit for bit, before and after a clean close.
void TestJournal::roundTripBitForBit()
{
    QTemporaryDir dir;
    SessionJournal journal(dir.path());
    QVERIFY(journal.lock());
    QVERIFY(journal.start({ pose(7) }, {}));
    Session s(journal);
    // A list that holds more than the journal was started with is written
    // whole at its first change.
    s.continuous.setListener(nullptr);
    s.continuous.setPoses(range(500, 3));
    s.continuous.setListener(journal.listener(JournalList::ContinuousPositions));
    s.keys.append(pose(7));
    s.keys.append(oddPose());
    s.keys.appendFromPoints(QVector3D(0, 0, 0), QVector3D(0, 1, 0), QVector3D(1, 0, 0), 0);
    for (int i = 0; i < 40; ++i)
        s.continuous.append(pose(i, -i));
    QVERIFY(journal.flush());
    QVERIFY(sameBits(readJournalFile(journal.path()).continuousPositions, s.continuous.poses()));
    s.keys.move(0, 2);
    s.keys.removeAt(1);
    s.continuous.setPoses(range(0, maxPosesPerRecord + 10));
    QVERIFY(journal.flush());
    s.continuous.removeAt(5);
    s.continuous.move(maxPosesPerRecord, 3);
    s.continuous.append(oddPose());
    s.keys.clear();
    s.keys.append(oddPose());
    QVERIFY(journal.flush());

    JournalContents c = readJournalFile(journal.path());
    QVERIFY2(c.problem.isEmpty(), qPrintable(c.problem));
    QVERIFY(!c.closed);
    QVERIFY(sameBits(c.keyPositions, s.keys.poses()));
    QVERIFY(sameBits(c.continuousPositions, s.continuous.poses()));
    QVERIFY(sameBits(journal.poses(JournalList::ContinuousPositions), s.continuous.poses()));

    QVERIFY(journal.close());
    s.keys.append(pose(99)); // after the close: not journaled
    c = readJournalFile(journal.path());
    QVERIFY(c.closed);
    QCOMPARE(int(c.keyPositions.size()), 1);
    QVERIFY(sameBits(c.continuousPositions, s.continuous.poses()));
}

void TestJournal::damagedJournals_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("keys");
    QTest::addColumn<int>("continuous");
    QTest::addColumn<int>("lostRecords");
    QTest::addColumn<QString>("problem");

    const Reference r = referenceJournal();
    const int read = int(JournalContents::State::Read);
    const int other = int(JournalContents::State::NotAJournal);
    QByteArray wrongMagic = r.bytes;
    wrongMagic[0] = 'X';
    QByteArray version2 = r.bytes.left(8);
    version2.append("\x02\0\0\0", 4);
    const quint32 sum = qToLittleEndian(crc32(version2.constData(), 12));
    version2.append(reinterpret_cast<const char *>(&sum), 4);
    // A record that claims 4 GiB after the first three.
    QByteArray huge = r.bytes.left(r.ends[3]);
    huge.append("\xF0\xFF\xFF\xFF\x02\x01\0\0", 8);
    huge.append(QByteArray(100, '\0'));
    // A pose bit flipped in the continuous append: its checksum fails; the
    // five whole records after it are still found and counted as lost.
    QByteArray flipped = r.bytes;
    flipped[r.ends[3] - 20] = char(flipped[r.ends[3] - 20] ^ 0x10);
    // Records with a valid checksum that this program never writes.
    QByteArray unknownType = r.bytes.left(r.ends[2]);
    unknownType.append("\0\0\0\0\x09\0\0\0", 8);
    quint32 unknownSum = qToLittleEndian(crc32(unknownType.constData() + r.ends[2], 8));
    unknownType.append(reinterpret_cast<const char *>(&unknownSum), 4);
    QByteArray removeOutside = r.bytes.left(r.ends[3]);
    appendRemove(removeOutside, JournalList::ContinuousPositions, 3);

    QTest::newRow("empty") << QByteArray() << other << 0 << 0 << 0 << "the file is empty";
    QTest::newRow("header cut") << r.bytes.left(10) << other << 0 << 0 << 0 << "only 10 bytes long";
    QTest::newRow("wrong magic") << wrongMagic << other << 0 << 0 << 0 << "journal header";
    QTest::newRow("version 2") << version2 << int(JournalContents::State::UnsupportedVersion) << 0
                               << 0 << 0 << "version 2";
    QTest::newRow("huge length") << huge << read << 3 << 3 << 0 << "claims 4,294,967,280 bytes";
    QTest::newRow("bit flip") << flipped << read << 3 << 0 << 5 << "fails its checksum";
    QTest::newRow("unknown type") << unknownType << read << 3 << 0 << 0 << "type 9, list 0";
    QTest::newRow("remove outside the list")
        << removeOutside << read << 3 << 3 << 0 << "removes pose 3 of a list of 3";
}

void TestJournal::damagedJournals()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, state);
    QFETCH(int, keys);
    QFETCH(int, continuous);
    QFETCH(int, lostRecords);
    QFETCH(QString, problem);
    const JournalContents c = readJournal(bytes.constData(), bytes.size());
    QCOMPARE(int(c.state), state);
    QCOMPARE(int(c.keyPositions.size()), keys);
    QCOMPARE(int(c.continuousPositions.size()), continuous);
    QVERIFY(!c.closed);
    QCOMPARE(c.fileBytes, qint64(bytes.size()));
    QCOMPARE(c.wholeBytes + c.lostBytes, c.fileBytes);
    QCOMPARE(c.lostRecords, qint64(lostRecords));
    QVERIFY2(c.problem.contains(problem), qPrintable(c.problem));
    // A damaged journal still offers what is whole.
    QCOMPARE(offersRestore(c), state == int(JournalContents::State::Read) && keys + continuous > 0);
}

// Whatever byte a journal is cut at and whatever bit of a record flips, the
// reader keeps exactly the records before the damage and reports the rest.
void TestJournal::everyCutAndFlipKeepsWhatIsWhole()
{
    const Reference r = referenceJournal();
    for (int n = headerBytes; n <= r.bytes.size(); ++n) {
        const JournalContents c = readJournal(r.bytes.constData(), n);
        const size_t s = r.stateWithin(n);
        QVERIFY2(c.wholeBytes == r.ends[s] && c.lostBytes == n - r.ends[s],
            qPrintable(QString::number(n)));
        QVERIFY(sameBits(c.keyPositions, r.keys[s])
            && sameBits(c.continuousPositions, r.continuous[s]));
        QCOMPARE(c.closed, n == r.bytes.size());
        QCOMPARE(c.problem.isEmpty(), c.lostBytes == 0);
    }
    for (int bit = headerBytes * 8; bit < r.bytes.size() * 8; ++bit) {
        QByteArray bytes = r.bytes;
        bytes[bit / 8] = char(bytes[bit / 8] ^ (1 << (bit % 8)));
        const JournalContents c = readJournal(bytes.constData(), bytes.size());
        const size_t s = r.stateWithin(bit / 8);
        QVERIFY2(c.wholeBytes == r.ends[s], qPrintable(QString::number(bit)));
        QVERIFY(sameBits(c.keyPositions, r.keys[s])
            && sameBits(c.continuousPositions, r.continuous[s]));
        QVERIFY(!c.closed && !c.problem.isEmpty());
    }
}

void TestJournal::questionText_data()
{
    QTest::addColumn<qint64>("keys");
    QTest::addColumn<qint64>("continuous");
    QTest::addColumn<QString>("text");
    QTest::newRow("both") << qint64(12) << qint64(3408)
                          << "Restore 12 key positions and 3,408 continuous poses from the last "
                             "session?";
    QTest::newRow("singular") << qint64(1) << qint64(1)
                              << "Restore 1 key position and 1 continuous pose from the last "
                                 "session?";
    QTest::newRow("no keys") << qint64(0) << qint64(100000)
                             << "Restore 100,000 continuous poses from the last session?";
    QTest::newRow("no continuous")
        << qint64(1234567) << qint64(0) << "Restore 1,234,567 key positions from the last session?";
}

void TestJournal::questionText()
{
    QFETCH(qint64, keys);
    QFETCH(qint64, continuous);
    QFETCH(QString, text);
    QCOMPARE(restoreQuestionText(keys, continuous), text);
}

void TestJournal::startUp_data()
{
    QTest::addColumn<QString>("previous");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("restored");
    QTest::addColumn<bool>("keptAside");
    QTest::addColumn<QString>("message");
    QTest::newRow("none") << "none" << true << false << false << false << "";
    QTest::newRow("crashed, yes") << "crashed" << true << true << true << false << "";
    QTest::newRow("crashed, no") << "crashed" << false << true << false << true << "";
    QTest::newRow("crashed without poses") << "empty" << true << false << false << false << "";
    QTest::newRow("closed") << "closed" << true << false << false << true << "";
    QTest::newRow("damaged, yes") << "damaged" << true << true << true << true
                                  << "Only part of the last session";
    QTest::newRow("not a journal") << "garbage" << true << false << false << true
                                   << "could not be read: the file does not start";
}

void TestJournal::startUp()
{
    QFETCH(QString, previous);
    QFETCH(bool, answer);
    QFETCH(bool, asked);
    QFETCH(bool, restored);
    QFETCH(bool, keptAside);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const Poses keys = range(0, 12), continuous = range(100, 3408);
    QByteArray bytes = snapshotJournal(keys, continuous, previous == "closed");
    if (previous == "empty")
        bytes = snapshotJournal({}, {});
    if (previous == "damaged") {
        appendClear(bytes, JournalList::KeyPositions);
        bytes.chop(1);
    }
    if (previous == "garbage")
        bytes = "not a journal at all";
    const QString path = dir.filePath("session.journal");
    if (previous != "none")
        QVERIFY(writeFile(path, bytes));

    QStringList questions;
    SessionJournal journal(dir.path());
    PoseSession session;
    const SessionStart start
        = startSession(session, journal, [&](const QString &q, const QString &) {
              questions << q;
              return answer;
          });
    QCOMPARE(questions.size(), asked ? 1 : 0);
    if (asked)
        QCOMPARE(questions[0], restoreQuestionText(12, 3408));
    QVERIFY(start.journaling);
    QCOMPARE(start.restored, restored);
    QVERIFY(sameBits(start.keyPositions, restored ? keys : Poses()));
    QVERIFY(sameBits(start.continuousPositions, restored ? continuous : Poses()));
    QVERIFY(sameBits(session.keyPositions(), start.keyPositions));
    QVERIFY(sameBits(session.continuousPositions(), start.continuousPositions));
    QVERIFY2(message.isEmpty() ? start.message.isEmpty() : start.message.contains(message),
        qPrintable(start.message));
    QCOMPARE(readAll(journal.keptAsidePath()), keptAside ? bytes : QByteArray());
    // The new journal holds what the session starts with, and every change
    // of it from then on.
    session.addKeyPosition(pose(42));
    session.appendContinuousPosition(pose(43));
    QVERIFY(journal.flush());
    const JournalContents now = readJournalFile(path);
    QVERIFY(now.problem.isEmpty() && !now.closed);
    QVERIFY(sameBits(now.keyPositions, session.keyPositions()));
    QVERIFY(sameBits(now.continuousPositions, session.continuousPositions()));
    QCOMPARE(now.keyPositions.size(), start.keyPositions.size() + 1);
}

// An hour-like history of captures and resets restores to the lists alone,
// and the journal shrinks to their snapshot.
void TestJournal::compactionKeepsListsAndShrinks()
{
    QTemporaryDir dir;
    QByteArray crashed;
    Poses keys, continuous;
    {
        SessionJournal journal(dir.path());
        QVERIFY(journal.lock());
        QVERIFY(journal.start({}, {}));
        Session s(journal);
        for (int round = 0; round < 5; ++round) {
            for (int i = 0; i < 900; ++i) {
                s.continuous.append(pose(round, i));
                if (i % 150 == 0)
                    s.keys.append(pose(i, round));
                if (i % 30 == 29)
                    journal.writePending();
            }
            if (round < 4)
                s.continuous.clear();
        }
        s.keys.removeAt(3);
        QVERIFY(journal.flush());
        keys = s.keys.poses();
        continuous = s.continuous.poses();
        crashed = readAll(journal.path());
    }
    // What a killed program leaves: the journal as last flushed, not closed.
    QVERIFY(writeFile(dir.filePath("session.journal"), crashed));

    SessionJournal journal(dir.path());
    const SessionStart start
        = startSession(journal, [](const QString &, const QString &) { return true; });
    QVERIFY(start.restored && start.journaling);
    QVERIFY(sameBits(start.keyPositions, keys) && sameBits(start.continuousPositions, continuous));
    const QByteArray compacted = readAll(journal.path());
    QCOMPARE(compacted, snapshotJournal(keys, continuous));
    QVERIFY2(compacted.size() * 3 < crashed.size(),
        qPrintable(QString("%1 -> %2").arg(crashed.size()).arg(compacted.size())));
    // Nothing left beside the journal, nothing kept aside.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
        (QStringList { "session.journal", "session.lock" }));
}

void TestJournal::oneProgramPerDirectory()
{
    QTemporaryDir dir;
    SessionJournal first(dir.filePath("state/handmotion"));
    QVERIFY(startSession(first, nullptr).journaling);
    QCOMPARE(QFileInfo(first.directory()).permissions() & 0x0077, QFile::Permissions());

    SessionJournal second(first.directory());
    bool asked = false;
    const SessionStart start = startSession(second, [&](const QString &, const QString &) {
        asked = true;
        return true;
    });
    QVERIFY(!start.journaling && !asked && !second.isActive());
    QVERIFY2(start.message.contains("another running handmotion"), qPrintable(start.message));
    KeyPoseList list;
    list.setListener(second.listener(JournalList::KeyPositions));
    list.append(pose(1)); // ignored, not a crash
    QVERIFY(!second.flush());

    SessionJournal nowhere("/proc/handmotion-journal");
    QVERIFY(!startSession(nowhere, nullptr).message.isEmpty());
}

// The writer thread writes a change on its own, while the GUI thread runs no
// events at all (a long paint): polled here without an event loop.
void TestJournal::writtenWhileTheGuiThreadIsBusy()
{
    QTemporaryDir dir;
    SessionJournal journal(dir.path());
    QVERIFY(journal.lock() && journal.start({}, {}));
    Session s(journal);
    s.continuous.append(pose(1));
    QElapsedTimer waited;
    waited.start();
    while (readJournalFile(journal.path()).continuousPositions.empty() && waited.elapsed() < 10000)
        QThread::msleep(20);
    QCOMPARE(int(readJournalFile(journal.path()).continuousPositions.size()), 1);
}

// A disk that fills up: the write fails, the journal says so once, and once
// there is room again it is rewritten whole from its copy.
void TestJournal::fullDiskIsSurvived()
{
    QTemporaryDir dir;
    SessionJournal journal(dir.path());
    QVERIFY(journal.lock() && journal.start(range(0, 2), {}));
    QSignalSpy failed(&journal, &SessionJournal::writeFailed);
    QSignalSpy resumed(&journal, &SessionJournal::writeResumed);
    Session s(journal);
    s.keys.setPoses(range(0, 2));

    rlimit old {};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &old) == 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit full = old;
    full.rlim_cur = rlim_t(QFileInfo(journal.path()).size() + 1000);
    QVERIFY(setrlimit(RLIMIT_FSIZE, &full) == 0);
    for (int i = 0; i < 100; ++i)
        s.continuous.append(pose(i));
    const bool flushedFull = journal.flush();
    s.keys.removeAt(0);
    journal.writePending();
    QVERIFY(setrlimit(RLIMIT_FSIZE, &old) == 0);
    std::signal(SIGXFSZ, previousHandler);

    QVERIFY(!flushedFull);
    QCOMPARE(failed.count(), 1);
    QVERIFY2(failed[0][0].toString().contains("cannot"), qPrintable(failed[0][0].toString()));
    // What is on disk is still a journal of the lists as they were.
    const JournalContents before = readJournalFile(journal.path());
    QVERIFY(sameBits(before.keyPositions, range(0, 2)));

    QVERIFY(journal.flush());
    QCOMPARE(resumed.count(), 1);
    const JournalContents after = readJournalFile(journal.path());
    QVERIFY(after.problem.isEmpty());
    QVERIFY(sameBits(after.keyPositions, s.keys.poses()));
    QVERIFY(sameBits(after.continuousPositions, s.continuous.poses()));
}

// The one way files are replaced: whole or not at all, nothing left beside
// the target, its permissions and a link to it kept.
void TestJournal::replaceFileAtomically_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("replaced");
    QTest::newRow("a new file") << "new" << true;
    QTest::newRow("a file of its owner alone") << "owner only" << true;
    QTest::newRow("through a link") << "link" << true;
    QTest::newRow("larger than the disk allows") << "full" << false;
    QTest::newRow("in a missing directory") << "missing directory" << false;
}

void TestJournal::replaceFileAtomically()
{
    QFETCH(QString, target);
    QFETCH(bool, replaced);
    QTemporaryDir dir;
    const QString file = dir.filePath("file");
    const QByteArray before("old content\n"), now(4096, 'n');
    if (target != "new" && target != "missing directory")
        QVERIFY(writeFile(file, before));
    QString path = file;
    if (target == "owner only")
        QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner));
    if (target == "link") {
        path = dir.filePath("link");
        QVERIFY(QFile::link(file, path));
    }
    if (target == "missing directory")
        path = dir.filePath("missing/file");
    const QFile::Permissions permissions = QFileInfo(file).permissions();

    rlimit limit {};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &limit) == 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    if (target == "full") {
        rlimit full = limit;
        full.rlim_cur = 1000;
        QVERIFY(setrlimit(RLIMIT_FSIZE, &full) == 0);
    }
    QString error;
    const bool ok = ::replaceFileAtomically(path, now, &error);
    QVERIFY(setrlimit(RLIMIT_FSIZE, &limit) == 0);
    std::signal(SIGXFSZ, previousHandler);

    QCOMPARE(ok, replaced);
    QVERIFY2(replaced == error.isEmpty(), qPrintable(error));
    if (target != "missing directory")
        QCOMPARE(readAll(file), replaced ? now : before);
    if (target != "new" && target != "missing directory")
        QCOMPARE(QFileInfo(file).permissions(), permissions);
    if (target == "link")
        QVERIFY(QFileInfo(path).isSymLink());
    QStringList left { "file" };
    if (target == "link")
        left << "link";
    if (target == "missing directory")
        left.clear();
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System), left);
}

void TestJournal::defaultDirectory_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("directory");
    const QString home = QDir::homePath() + "/.local/state/handmotion";
    QTest::newRow("absolute") << QByteArray("/var/tmp/st/") << "/var/tmp/st/handmotion";
    QTest::newRow("relative is ignored") << QByteArray("state") << home;
    QTest::newRow("empty") << QByteArray("") << home;
}

void TestJournal::defaultDirectory()
{
    QFETCH(QByteArray, value);
    QFETCH(QString, directory);
    const QByteArray old = qgetenv("XDG_STATE_HOME");
    const bool had = qEnvironmentVariableIsSet("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", value);
    const QString got = SessionJournal::defaultDirectory();
    if (had)
        qputenv("XDG_STATE_HOME", old);
    else
        qunsetenv("XDG_STATE_HOME");
    QCOMPARE(got, directory);
}

QTEST_GUILESS_MAIN(TestJournal)
#include "tst_journal.moc"
