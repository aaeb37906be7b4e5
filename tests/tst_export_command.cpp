// The motion export without a window: the handmotion program itself, run
// with no display, its output against the in-process export, its exit
// statuses and one-line messages, and an output file that is replaced only
// on success.
#include "app/MotionExportCommand.h"
#include "motion/MotionExport.h"
#include "session/KeyPositionExport.h"
#include "tests/support/Poses.h"
#include "tests/support/ProgramRun.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

using Run = support::ProgramRun;

Run runProgram(const QStringList &arguments)
{
    return support::runWithoutDisplay(QStringLiteral(HANDMOTION_PROGRAM), arguments);
}

std::vector<DualQuaternion> keys(int n)
{
    std::vector<DualQuaternion> poses;
    for (int i = 0; i < n; ++i)
        poses.push_back(makePose(
            25.0 * i, QVector3D(1, 1, 0), QVector3D(0.1f * i, 0.05f * i * i, 1.6f - 0.02f * i)));
    return poses;
}

QByteArray contentOf(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

} // namespace

class TestExportCommand : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void writesWhatTheWindowWrites_data();
    void writesWhatTheWindowWrites();
    void badInputFailsWithOneLine_data();
    void badInputFailsWithOneLine();
    void outputIsReplacedOnlyOnSuccess();

private:
    QTemporaryDir dir;
    QString keysFile;
    std::vector<DualQuaternion> imported;
};

void TestExportCommand::initTestCase()
{
    QVERIFY(dir.isValid());
    keysFile = dir.filePath(QStringLiteral("keys.xml"));
    // An older export first: the last one counts.
    QVERIFY(appendKeyPositions(keysFile, keys(2)));
    QVERIFY(appendKeyPositions(keysFile, keys(6)));
    // What the program reads back: the six digits of the file.
    for (const DualQuaternion &pose : keys(6)) {
        double real[4], dual[4];
        for (int c = 0; c < 4; ++c) {
            real[c] = QString::number(pose.realPart().data()[c], 'g', 6).toDouble();
            dual[c] = QString::number(pose.dualPart().data()[c], 'g', 6).toDouble();
        }
        imported.emplace_back(real, dual);
    }
}

void TestExportCommand::writesWhatTheWindowWrites_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("degree");
    QTest::addColumn<int>("density");
    QTest::newRow("screw, defaults")
        << "screw" << int(MotionKind::Screw) << int(MotionExportFormat::Csv) << 3 << 100;
    QTest::newRow("interpolation, tum, constant speed")
        << "interpolation --degree 2 --format tum --constant-speed --duration 7.5"
        << int(MotionKind::Interpolation) << int(MotionExportFormat::Tum) << 2 << 100;
    QTest::newRow("bezier, urscript, density 30")
        << "bezier --density 30 --format urscript" << int(MotionKind::Bezier)
        << int(MotionExportFormat::URScript) << 3 << 30;
}

void TestExportCommand::writesWhatTheWindowWrites()
{
    QFETCH(QString, line);
    QFETCH(int, kind);
    QFETCH(int, format);
    QFETCH(int, degree);
    QFETCH(int, density);
    QStringList arguments = (QStringLiteral("--export-motion ") + line).split(QLatin1Char(' '));
    arguments << QStringLiteral("--keys") << keysFile;
    const Run run = runProgram(arguments);
    QVERIFY2(run.status == 0, run.err.constData());
    QVERIFY(run.err.isEmpty());

    MotionExportRequest request;
    request.kind = MotionKind(kind);
    request.format = MotionExportFormat(format);
    request.degree = degree;
    request.density = density;
    request.constantSpeed = arguments.contains(QStringLiteral("--constant-speed"));
    request.durationSeconds = arguments.contains(QStringLiteral("7.5")) ? 7.5 : 0.0;
    std::string expected, error;
    QVERIFY(motionExportText(request, imported, &expected, &error));
    QCOMPARE(run.out, QByteArray::fromStdString(expected));
}

void TestExportCommand::badInputFailsWithOneLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown kind") << "--export-motion spiral --keys KEYS"
                                  << int(MotionExportBadArguments)
                                  << "unknown motion kind \"spiral\"";
    QTest::newRow("no keys") << "--export-motion screw" << int(MotionExportBadArguments)
                             << "--keys FILE is missing";
    QTest::newRow("unknown option")
        << "--export-motion screw --keys KEYS --speed" << int(MotionExportBadArguments) << "speed";
    QTest::newRow("density not a number") << "--export-motion=screw --keys KEYS --density much"
                                          << int(MotionExportBadArguments) << "--density \"much\"";
    QTest::newRow("unknown format") << "--export-motion screw --keys KEYS --format xml"
                                    << int(MotionExportBadArguments) << "unknown format \"xml\"";
    QTest::newRow("missing file") << "--export-motion screw --keys /nonexistent/keys.xml"
                                  << int(MotionExportBadKeyFile)
                                  << "/nonexistent/keys.xml: cannot be read";
    QTest::newRow("parse error") << "--export-motion bezier --keys BROKEN"
                                 << int(MotionExportBadKeyFile) << "broken.xml:2: ";
    QTest::newRow("degree out of range")
        << "--export-motion approximation --keys KEYS --degree 6" << int(MotionExportNoMotion)
        << "degree 6 is out of range 1 to 5";
    QTest::newRow("unwritable output")
        << "--export-motion screw --keys KEYS --output /proc/handmotion.csv"
        << int(MotionExportWriteFailed) << "/proc/handmotion.csv: cannot be written";
}

void TestExportCommand::badInputFailsWithOneLine()
{
    QFETCH(QString, line);
    QFETCH(int, status);
    QFETCH(QString, message);
    const QString broken = dir.filePath(QStringLiteral("broken.xml"));
    QFile file(broken);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<!--XML Document>\n<?XML version='1.0'>\n");
    file.close();
    QStringList arguments = line.split(QLatin1Char(' '));
    arguments.replaceInStrings(QStringLiteral("KEYS"), keysFile);
    arguments.replaceInStrings(QStringLiteral("BROKEN"), broken);

    const Run run = runProgram(arguments);
    QCOMPARE(run.status, status);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(
        run.err.startsWith("handmotion: ") && run.err.count('\n') == 1 && run.err.endsWith('\n'),
        run.err.constData());
    QVERIFY2(QString::fromLocal8Bit(run.err).contains(message), run.err.constData());
}

void TestExportCommand::outputIsReplacedOnlyOnSuccess()
{
    const QString output = dir.filePath(QStringLiteral("motion.csv"));
    QFile file(output);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("earlier motion\n");
    file.close();
    const QStringList base { QStringLiteral("--export-motion"), QStringLiteral("screw"),
        QStringLiteral("--keys"), keysFile, QStringLiteral("--output"), output };

    Run run = runProgram(base + QStringList { QStringLiteral("--density"), QStringLiteral("101") });
    QCOMPARE(run.status, int(MotionExportBadArguments));
    QCOMPARE(contentOf(output), QByteArray("earlier motion\n"));

    run = runProgram(base);
    QCOMPARE(run.status, 0);
    QVERIFY(run.out.isEmpty());
    QVERIFY(contentOf(output).startsWith("index,x,y,z,qx,qy,qz,qw\n0,"));
    // Nothing left beside it.
    QCOMPARE(QDir(dir.path()).entryList({ QStringLiteral("motion*") }, QDir::Files | QDir::Hidden),
        QStringList { QStringLiteral("motion.csv") });
}

QTEST_GUILESS_MAIN(TestExportCommand)
#include "tst_export_command.moc"
