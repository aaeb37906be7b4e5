// Inputs that once made a reader of outside input misbehave (most found by
// the fuzz targets in fuzz/), each with the exact outcome it must give now.
#include "app/JournalFormat.h"
#include "sensor/sources/RecordingReader.h"
#include "sensor/sources/ReplaySource.h"
#include "tests/support/OutputCapture.h"
#include "view/EndEffector.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

// A .csv line of the given timestamp with every coordinate 0.5 and every
// joint tracked; field 2 (X of joint 0) replaced when asked.
QByteArray csvLine(qint64 timestamp, const QByteArray &firstX = "0.5")
{
    QByteArray line = QByteArray::number(timestamp) + ',' + firstX + ",0.5,0.5,2,";
    for (int j = 1; j < JointType_Count; ++j)
        line += "0.5,0.5,0.5,2,";
    return line + '\n';
}

} // namespace

class TestReaderRegressions : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void geometryMessages_data();
    void geometryMessages();
    void recordingMessages_data();
    void recordingMessages();
    void replayWarningQuotesTheFileAsWritten();
    void journalListReplacedByNothing();

private:
    QString write(const QString &name, const QByteArray &content);

    QTemporaryDir m_dir;
};

QString TestReaderRegressions::write(const QString &name, const QByteArray &content)
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(content) != content.size())
        return QString();
    return path;
}

// The message of a geometry file is built from the path and a quoted token;
// a "%N" in either was once taken for a placeholder and replaced.
void TestReaderRegressions::geometryMessages_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("faceCount");
    // What follows "PATH:" on standard error.
    QTest::addColumn<QString>("message");

    // fuzz_geometry: the first input it found, a header number "%3".
    QTest::newRow("%3 as a header number")
        << QStringLiteral("geometry.dat") << QByteArray("h 1.5e-3 -2.25 %3\r\ns 1\r\n") << 0
        << QStringLiteral("1: \"%3\" is not a number (the header); end-effector geometry read up "
                          "to there is used (0 faces)\n");
    QTest::newRow("%1 as a vertex count")
        << QStringLiteral("geometry.dat")
        << QByteArray("h 0 0 0\ns 1\nf 3\nn 0 0 1\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf %1\n") << 1
        << QStringLiteral("8: \"%1\" is not an integer (the vertex count of face 2); "
                          "end-effector geometry read up to there is used (1 faces)\n");
    QTest::newRow("%2 in the file name")
        << QStringLiteral("wrist-%2-%1.dat") << QByteArray("h 0 0 0\ns 1\nf 11\n") << 0
        << QStringLiteral("3: face 1 has 11 vertices, a face may have 0 to 10; end-effector "
                          "geometry read up to there is used (0 faces)\n");
}

void TestReaderRegressions::geometryMessages()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, content);
    QFETCH(int, faceCount);
    QFETCH(QString, message);
    const QString path = write(fileName, content);
    QVERIFY(!path.isEmpty());

    OutputCapture err(stderr);
    const EndEffectorModel model = loadEndEffectorModel(path);
    const QString printed = QString::fromLocal8Bit(err.text());
    QVERIFY(model.loaded);
    QCOMPARE(model.faceCount, faceCount);
    QCOMPARE(printed, path + QLatin1Char(':') + message);
}

void TestReaderRegressions::recordingMessages_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("framesKept");
    // What follows "PATH:" in the recording's error.
    QTest::addColumn<QString>("message");

    QTest::newRow("csv: %1 in the file name")
        << QStringLiteral("take-%1.csv") << csvLine(10) + csvLine(5) << 1
        << QStringLiteral("2: field 1: expected a timestamp of 10 or later, found 5");
    QTest::newRow("csv: %1 as a coordinate")
        << QStringLiteral("take.csv") << csvLine(10, "%1") << 0
        << QStringLiteral("1: field 2 (X of joint 0 (SpineBase)): expected a finite number, "
                          "found \"%1\"");
    QTest::newRow("skeleton: %2 in the file name, %1 as the frame count")
        << QStringLiteral("take-%2.skeleton") << QByteArray("%1\n") << 0
        << QStringLiteral(
               "1: expected the frame count (an integer from 0 to 1000000), found \"%1\"");
}

void TestReaderRegressions::recordingMessages()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, content);
    QFETCH(int, framesKept);
    QFETCH(QString, message);
    const QString path = write(fileName, content);
    QVERIFY(!path.isEmpty());

    const camera::Recording recording = camera::readRecording(path);
    QVERIFY(recording.readable);
    QCOMPARE(int(recording.frames.size()), framesKept);
    QCOMPARE(recording.error, path + QLatin1Char(':') + message);
}

// The replay source adds the number of frames it plays to the reader's
// message; a "%1" quoted from the file once received that number.
void TestReaderRegressions::replayWarningQuotesTheFileAsWritten()
{
    const QString path = write(QStringLiteral("quoted.csv"), csvLine(10) + csvLine(20, "%1"));
    QVERIFY(!path.isEmpty());
    camera::ReplaySource source(path);
    QTest::ignoreMessage(QtWarningMsg,
        qPrintable(QStringLiteral("replay: ") + path
            + QStringLiteral(":2: field 2 (X of joint 0 (SpineBase)): expected a finite number, "
                             "found \"%1\"; replaying the 1 frames before it")));
    QVERIFY(source.open());
    QCOMPARE(int(source.recording().frames.size()), 1);
}

// A list replaced by no poses once copied zero bytes from a null pointer
// (undefined, and a sanitizer report).
void TestReaderRegressions::journalListReplacedByNothing()
{
    const QByteArray bytes = journal::snapshotJournal({}, {}, true);
    const journal::JournalContents c = journal::readJournal(bytes.constData(), bytes.size());
    QVERIFY(c.problem.isEmpty() && c.closed);
    QCOMPARE(c.poseCount(), qint64(0));
    QCOMPARE(c.records, qint64(3));
}

QTEST_MAIN(TestReaderRegressions)
#include "tst_reader_regressions.moc"
