// The key-position export and its way back: the exact text, appending, file
// names, locales, an unwritable target that must be reported, not passed
// over; the strict import with the line of its first fault; and the File
// menu (import with its question, motion export through its dialog).
#include "app/FileNameQuestion.h"
#include "app/KeyPositionExport.h"
#include "app/KeyPositionImport.h"
#include "app/MotionExportDialog.h"
#include "app/mainDialog.h"
#include "tests/support/FailingTargetDirectory.h"
#include "sensor/Sensor.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFileDialog>
#include <QLocale>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <functional>
#include <memory>
#include <sys/mount.h>
#include <unistd.h>

namespace {

DualQuaternion pose(double angleDegrees, double tx, double ty, double tz)
{
    const double h = angleDegrees * M_PI / 360.0;
    const double q[4] = { 0.0, std::sin(h), 0.0, std::cos(h) };
    const double t[4] = { tx, ty, tz, 0.0 };
    return DualQuaternion::fromRotationTranslation(q, t);
}

const double identityQ[4] = { 0, 0, 0, 1 };
const double noTranslation[4] = { 0, 0, 0, 0 };

QStringList linesOf(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList lines = QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// The positions of the last export in a file, as the import reads them.
std::vector<DualQuaternion> importedPositions(const QString &fileName)
{
    const KeyPositionImport imported = readKeyPositionFile(fileName);
    if (!imported.ok())
        qWarning("%s", qPrintable(imported.error));
    return imported.positions;
}

// Runs `act` while a modal dialog of type T opens; `answer` handles it.
template <typename T>
bool answerNextModal(const std::function<void(T *)> &answer, const std::function<void()> &act)
{
    bool answered = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget())) {
            poll.stop();
            answered = true;
            answer(dialog);
        }
    });
    poll.start();
    act();
    poll.stop();
    return answered;
}

QByteArray contentOf(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// Runs the window's export with the file prompt answering fileName. Returns
// whether a message box came up; its text goes to *warning.
bool saveFileExpectingWarning(Kinect::mainDialog &window, const QString &fileName, QString *warning)
{
    const ScopedFileNameAnswer answer([&fileName](const FileNameQuestion &) { return fileName; });
    const bool warned = answerNextModal<QMessageBox>(
        [warning](QMessageBox *box) {
            *warning = box->text();
            box->accept();
        },
        [&window] { window.saveFile(false); });
    return warned;
}

const QByteArray header = "<!--XML Document>\n<?XML version='1.0' encodings='us-ascii'>\n";
const QByteArray identity = "(0,0,0,1) (0,0,0,0)";

QByteArray positionLines(int k, const QByteArray &numbers)
{
    return "<Position" + QByteArray::number(k) + ">\n\t<Element1 Attribute= Dual Quaternion "
        + QByteArray::number(k) + ":>" + numbers + "</Element>\n</Position>\n";
}

} // namespace

class TestExport : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void identityPoseLine();
    void numbersAreWrittenLikePrintfG_data();
    void numbersAreWrittenLikePrintfG();
    void threePositionsGiveElevenLines();
    void twoExportsAppendInOrder();
    void roundTripKeepsSixSignificantDigits();
    void suffixRule_data();
    void suffixRule();
    void proposedNameFromTimeStamp();
    void decimalPointIgnoresTheUserLocale();
    void unwritableTargetFailsWithAReason();
    void saveFileAsksWithTheProposedNameAndWrites();
    void saveFileAsksTheFileDialogByDefault();
    void saveFileWithNoPositionsCreatesNothing();
    void saveFileWarnsWhenTheTargetIsNotWritable();
    void saveFileToAFullOrReadOnlyTarget_data();
    void saveFileToAFullOrReadOnlyTarget();
    void malformedImports_data();
    void malformedImports();
    void importAsksBeforeReplacingAndChangesNothingOnAFault();
    void motionExportWritesTheShownKinds();

private:
    QTemporaryDir dir;
};

void TestExport::initTestCase() { QVERIFY(dir.isValid()); }

void TestExport::identityPoseLine()
{
    const std::vector<DualQuaternion> positions
        = { DualQuaternion::fromRotationTranslation(identityQ, noTranslation) };
    const QString text = keyPositionExportText(positions);
    QCOMPARE(text,
        QStringLiteral("<!--XML Document>\n"
                       "<?XML version='1.0' encodings='us-ascii'>\n"
                       "<Position1>\n"
                       "\t<Element1 Attribute= Dual Quaternion 1:>(0,0,0,1) (0,0,0,0)</Element>\n"
                       "</Position>\n"));
}

void TestExport::numbersAreWrittenLikePrintfG_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("six digits") << 0.70710678118 << "0.707107";
    QTest::newRow("trailing zeros dropped") << 0.25 << "0.25";
    QTest::newRow("small uses exponent") << 0.0000123456 << "1.23456e-05";
    QTest::newRow("large uses exponent") << 1234567.0 << "1.23457e+06";
    QTest::newRow("below the exponent limit") << 123456.0 << "123456";
    QTest::newRow("negative") << -0.5 << "-0.5";
}

void TestExport::numbersAreWrittenLikePrintfG()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    const double real[4] = { value, 0, 0, 1 };
    const double dual[4] = { 0, 0, 0, 0 };
    const QString block = keyPositionExportText({ DualQuaternion(real, dual) });
    QVERIFY2(block.contains(QStringLiteral(":>(") + text + QStringLiteral(",0,0,1)")),
        qPrintable(block));
    char expected[64];
    std::snprintf(expected, sizeof expected, "%g", value);
    QCOMPARE(text, QString::fromLatin1(expected));
}

void TestExport::threePositionsGiveElevenLines()
{
    const QString fileName = dir.filePath(QStringLiteral("three.xml"));
    QVERIFY(appendKeyPositions(
        fileName, { pose(0, 0, 0, 0), pose(30, 0.1, 0.2, 0.3), pose(60, -1, 2, 0.5) }));
    const QStringList lines = linesOf(fileName);
    QCOMPARE(lines.size(), 11);
    QCOMPARE(lines[0], QStringLiteral("<!--XML Document>"));
    QCOMPARE(lines[1], QStringLiteral("<?XML version='1.0' encodings='us-ascii'>"));
    for (int k = 1; k <= 3; ++k) {
        QCOMPARE(lines[3 * k - 1], QStringLiteral("<Position%1>").arg(k));
        QVERIFY(lines[3 * k].startsWith(
            QStringLiteral("\t<Element1 Attribute= Dual Quaternion %1:>(").arg(k)));
        QVERIFY(lines[3 * k].endsWith(QStringLiteral(")</Element>")));
        QCOMPARE(lines[3 * k + 1], QStringLiteral("</Position>"));
    }
}

void TestExport::twoExportsAppendInOrder()
{
    const QString fileName = dir.filePath(QStringLiteral("twice.xml"));
    QVERIFY(appendKeyPositions(fileName, { pose(10, 1, 0, 0) }));
    QVERIFY(appendKeyPositions(fileName, { pose(20, 2, 0, 0), pose(30, 3, 0, 0) }));
    const QStringList lines = linesOf(fileName);
    QCOMPARE(lines.size(), 5 + 8);
    QCOMPARE(lines[5], QStringLiteral("<!--XML Document>"));
    QCOMPARE(lines[7], QStringLiteral("<Position1>"));
    QCOMPARE(lines[10], QStringLiteral("<Position2>"));
    const KeyPositionImport imported = readKeyPositionFile(fileName);
    QCOMPARE(imported.exportCount, 2);
    QCOMPARE(imported.positions.size(), size_t(2));
    QVERIFY(qAbs(imported.positions[1].dualPart().x() - pose(30, 3, 0, 0).dualPart().x()) < 1e-5);
}

void TestExport::roundTripKeepsSixSignificantDigits()
{
    std::vector<DualQuaternion> positions;
    for (int i = 0; i < 25; ++i)
        positions.push_back(pose(i * 14.7 - 170, 0.013 * i - 0.2, 1.5 - 0.07 * i, 0.9 + i * 1e-3));
    const QString fileName = dir.filePath(QStringLiteral("roundtrip.xml"));
    QVERIFY(appendKeyPositions(fileName, { pose(1, 2, 3, 4) }));
    QVERIFY(appendKeyPositions(fileName, positions));
    const std::vector<DualQuaternion> back = importedPositions(fileName);
    QCOMPARE(back.size(), positions.size());
    for (size_t i = 0; i < positions.size(); ++i) {
        const Quaternion parts[2][2] = { { positions[i].realPart(), back[i].realPart() },
            { positions[i].dualPart(), back[i].dualPart() } };
        for (const auto &pair : parts)
            for (int c = 0; c < 4; ++c) {
                const double a = pair[0].data()[c], b = pair[1].data()[c];
                QVERIFY2(qAbs(a - b) <= 5e-6 * qMax(1e-300, qAbs(a)) || qAbs(a) < 1e-300,
                    qPrintable(QStringLiteral("%1 vs %2").arg(a, 0, 'g', 17).arg(b, 0, 'g', 17)));
            }
    }
}

void TestExport::suffixRule_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");
    QTest::newRow("none") << "/tmp/a/positions"
                          << "/tmp/a/positions.xml";
    QTest::newRow("xml kept") << "/tmp/a/positions.xml"
                              << "/tmp/a/positions.xml";
    QTest::newRow("other kept") << "/tmp/a/positions.txt"
                                << "/tmp/a/positions.txt";
    QTest::newRow("trailing dot") << "/tmp/a/positions."
                                  << "/tmp/a/positions..xml";
    QTest::newRow("dotted folder") << "/tmp/a.b/positions"
                                   << "/tmp/a.b/positions.xml";
}

void TestExport::suffixRule()
{
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    QCOMPARE(exportFileNameWithSuffix(chosen), written);
}

void TestExport::proposedNameFromTimeStamp()
{
    const QDateTime time(QDate(2016, 3, 1), QTime(14, 5, 9));
    QCOMPARE(proposedExportFileName(time), QStringLiteral("Dual Quaternion-2016_03_01-14_05_09"));
    const QDateTime evening(QDate(2026, 12, 31), QTime(23, 59, 58));
    QCOMPARE(
        proposedExportFileName(evening), QStringLiteral("Dual Quaternion-2026_12_31-23_59_58"));
}

void TestExport::decimalPointIgnoresTheUserLocale()
{
    const QLocale previous;
    const std::string previousC = std::setlocale(LC_ALL, nullptr);
    for (const char *name : { "de_DE", "fr_FR" }) {
        QLocale::setDefault(QLocale(QString::fromLatin1(name)));
        std::setlocale(LC_ALL, (std::string(name) + ".UTF-8").c_str());
        const QString text = keyPositionExportText({ pose(45, 0.125, -2.5, 0.75) });
        QVERIFY2(text.contains(QStringLiteral("0.92388")), qPrintable(text));
        QVERIFY2(!text.contains(QLatin1Char(';')) && !text.contains(QStringLiteral("0,9")),
            qPrintable(text));
    }
    QLocale::setDefault(previous);
    std::setlocale(LC_ALL, previousC.c_str());
}

void TestExport::unwritableTargetFailsWithAReason()
{
    if (geteuid() == 0) {
        // Root writes through permission bits; a full device still fails
        // the same way: /dev/full accepts the open and refuses every write.
        QString reason;
        QVERIFY(!appendKeyPositions(QStringLiteral("/dev/full"), { pose(0, 0, 0, 0) }, &reason));
        QVERIFY2(!reason.isEmpty(), "a failed export gives its reason");
        return;
    }
    const QString folder = dir.filePath(QStringLiteral("locked"));
    QVERIFY(QDir().mkpath(folder));
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    QString reason;
    QVERIFY(!appendKeyPositions(folder + QStringLiteral("/x.xml"), { pose(0, 0, 0, 0) }, &reason));
    QVERIFY(!reason.isEmpty());
    QVERIFY(!QFile::exists(folder + QStringLiteral("/x.xml")));
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TestExport::saveFileAsksWithTheProposedNameAndWrites()
{
    Kinect::mainDialog window;
    window.sensor->addKeyPosition(pose(0, 0, 0, 0));
    window.sensor->addKeyPosition(pose(90, 0.1, 0, 0));
    const QString chosen = dir.filePath(QStringLiteral("from-dialog"));
    std::vector<FileNameQuestion> asked;
    {
        const ScopedFileNameAnswer answer([&](const FileNameQuestion &question) {
            asked.push_back(question);
            return chosen;
        });
        window.saveFile(false);
    }
    QCOMPARE(int(asked.size()), 1);
    QVERIFY(asked[0].purpose == FileNameQuestion::Purpose::Save);
    QCOMPARE(asked[0].caption, QStringLiteral("Save Data"));
    QCOMPARE(asked[0].filter, QStringLiteral("*.xml"));
    QVERIFY2(asked[0].proposed.contains(QRegularExpression(
                 QStringLiteral("^Dual Quaternion-\\d{4}_\\d\\d_\\d\\d-\\d\\d_\\d\\d_\\d\\d$"))),
        qPrintable(asked[0].proposed));
    QCOMPARE(linesOf(chosen + QStringLiteral(".xml")).size(), 8);
    QCOMPARE(window.sensor->keyPositions().size(), size_t(2));
}

// Without an installed answer the question is the save dialog, with the
// caption, filter and proposed name; cancelling it writes nothing.
void TestExport::saveFileAsksTheFileDialogByDefault()
{
    Kinect::mainDialog window;
    window.sensor->addKeyPosition(pose(0, 0, 0, 0));
    QString title, proposed, filter;
    bool saving = false;
    const bool answered = answerNextModal<QFileDialog>(
        [&](QFileDialog *dialog) {
            title = dialog->windowTitle();
            saving = dialog->acceptMode() == QFileDialog::AcceptSave;
            proposed = QFileInfo(dialog->selectedFiles().value(0)).fileName();
            filter = dialog->nameFilters().join(QLatin1Char(';'));
            dialog->reject();
        },
        [&] { window.saveFile(false); });
    QVERIFY(answered);
    QVERIFY(saving);
    QCOMPARE(title, QStringLiteral("Save Data"));
    QCOMPARE(filter, QStringLiteral("*.xml"));
    QVERIFY2(proposed.startsWith(QStringLiteral("Dual Quaternion-")), qPrintable(proposed));
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    QVERIFY(!QFile::exists(proposed) && !QFile::exists(proposed + QStringLiteral(".xml")));
}

void TestExport::saveFileWithNoPositionsCreatesNothing()
{
    Kinect::mainDialog window;
    const QString chosen = dir.filePath(QStringLiteral("empty.xml"));
    int asked = 0;
    {
        const ScopedFileNameAnswer answer([&](const FileNameQuestion &) {
            ++asked;
            return chosen;
        });
        window.saveFile(false);
    }
    QCOMPARE(asked, 1);
    QVERIFY(!QFile::exists(chosen));
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

void TestExport::saveFileWarnsWhenTheTargetIsNotWritable()
{
    Kinect::mainDialog window;
    window.sensor->addKeyPosition(pose(0, 0, 0, 0));
    window.sensor->addKeyPosition(pose(30, 0, 0.2, 0));
    // Nobody, root included, may create files in /proc.
    const QString target = QStringLiteral("/proc/handmotion-positions.xml");
    QString warning;
    QVERIFY(saveFileExpectingWarning(window, target, &warning));
    QVERIFY2(warning.contains(target), qPrintable(warning));
    QCOMPARE(window.sensor->keyPositions().size(), size_t(2));
}

void TestExport::saveFileToAFullOrReadOnlyTarget_data()
{
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<bool>("existing");
    QTest::newRow("full, existing file") << false << true;
    QTest::newRow("full, new file") << false << false;
    QTest::newRow("read-only, existing file") << true << true;
    QTest::newRow("read-only, new file") << true << false;
}

// A target that takes part of the export and then refuses the rest, or
// takes nothing: the user is warned, the positions stay, an earlier export
// in the file is kept byte for byte and no new file is left behind. Then an
// export to a good target still works.
void TestExport::saveFileToAFullOrReadOnlyTarget()
{
    QFETCH(bool, readOnly);
    QFETCH(bool, existing);

    FailingTargetDirectory target;
    QVERIFY(target.isValid());
    QString fileName = target.filePath(QStringLiteral("positions.xml"));
    if (!target.isSmallFileSystem()) {
        const QString why = QStringLiteral("no small file system (%1)").arg(target.mountError());
        if (readOnly && geteuid() == 0)
            QSKIP(qPrintable(why + QStringLiteral(", and root writes through permission bits")));
        if (!readOnly && existing)
            QSKIP(qPrintable(why + QStringLiteral(" to fill up")));
        // /dev/full takes the open and refuses every write.
        if (!readOnly)
            fileName = QStringLiteral("/dev/full");
    }
    // An earlier export of one position, in a block of its own.
    if (existing)
        QVERIFY(appendKeyPositions(fileName, { pose(10, 0.1, 0.2, 0.3) }));
    const QByteArray before = existing ? contentOf(fileName) : QByteArray();
    if (fileName != QLatin1String("/dev/full"))
        QVERIFY(readOnly ? target.makeReadOnly() : target.fill());

    Kinect::mainDialog window;
    // Some 12 KiB of text: more than the page the earlier export began.
    std::vector<DualQuaternion> positions;
    for (int i = 0; i < 100; ++i)
        positions.push_back(pose(3.6 * i, 0.01 * i, -0.02 * i, 0.5));
    for (const DualQuaternion &p : positions)
        window.sensor->addKeyPosition(p);
    QString warning;
    QVERIFY(saveFileExpectingWarning(window, fileName, &warning));
    QVERIFY2(warning.contains(fileName), qPrintable(warning));
    QCOMPARE(window.sensor->keyPositions(), positions);
    if (existing)
        QCOMPARE(contentOf(fileName), before);
    else if (fileName != QLatin1String("/dev/full"))
        QVERIFY(!QFile::exists(fileName));

    const QString elsewhere = dir.filePath(
        QStringLiteral("after-fault-%1.xml")
            .arg(QString::fromLatin1(QTest::currentDataTag())
                     .replace(QRegularExpression(QStringLiteral("\\W+")), QStringLiteral("-"))));
    const ScopedFileNameAnswer answer([&elsewhere](const FileNameQuestion &) { return elsewhere; });
    window.saveFile(false);
    QCOMPARE(importedPositions(elsewhere).size(), positions.size());
}

void TestExport::malformedImports_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("message");
    const QByteArray one = header + positionLines(1, identity);
    QTest::newRow("empty") << QByteArray() << 1 << "the file is empty";
    QTest::newRow("not an export")
        << QByteArray("hello\n") << 1 << "expected \"<!--XML Document>\"";
    QTest::newRow("header cut") << header.left(18) << 1 << "the file ends where \"<?XML";
    QTest::newRow("numbered from 2")
        << header + positionLines(2, identity) << 3 << "\"<Position1>\"";
    QTest::newRow("numbers disagree")
        << one + positionLines(2, identity).replace("Quaternion 2", "Quaternion 3") << 7
        << "Dual Quaternion 2:>\" after a tab";
    QTest::newRow("word for a number") << header + positionLines(1, "(0,0,zero,1) (0,0,0,0)") << 4
                                       << "z of the real part is not a number";
    QTest::newRow("nan") << header + positionLines(1, "(0,0,0,1) (nan,0,0,0)") << 4
                         << "x of the dual part is not a number";
    QTest::newRow("overflow") << header + positionLines(1, "(0,0,0,1e999) (0,0,0,0)") << 4
                              << "w of the real part is out of range";
    QTest::newRow("zero real part")
        << header + positionLines(1, "(0,0,0,0) (0,0,0,1)") << 4 << "the real part is zero";
    QTest::newRow("trailing text")
        << header + positionLines(1, identity + " x") << 4 << "expected \"</Element>\"";
    QTest::newRow("no closing line")
        << one.chopped(12) << 4 << "the file ends where \"</Position>\"";
    QTest::newRow("blank line") << one + "\n" + header << 6 << "or the header of another export";
    QTest::newRow("fault in an earlier export")
        << header + positionLines(1, "(0,0,0,1) (0,0,0,x)") + one << 4 << "w of the dual part";
    QTest::newRow("line beyond the limit")
        << header + QByteArray(maxKeyPositionLineLength + 1, '<') << 3 << "longer than 4096";
    QTest::newRow("CRLF, no final line end: read")
        << QByteArray(one).replace("\n", "\r\n").chopped(2) << 0 << "";
}

// The message names the file and the line of the first fault; nothing is
// returned with it.
void TestExport::malformedImports()
{
    QFETCH(QByteArray, text);
    QFETCH(int, line);
    QFETCH(QString, message);
    const KeyPositionImport imported = parseKeyPositionExport(text, QStringLiteral("keys.xml"));
    if (line == 0) {
        QVERIFY2(imported.ok(), qPrintable(imported.error));
        QCOMPARE(imported.positions.size(), size_t(1));
        return;
    }
    QVERIFY2(imported.error.startsWith(QStringLiteral("keys.xml:%1: ").arg(line))
            && imported.error.contains(message),
        qPrintable(imported.error));
    QVERIFY(imported.positions.empty());
}

// Held positions are replaced only when the user says yes, and the status
// bar tells how many exports the file held; a faulty file is reported with
// its line and changes nothing.
void TestExport::importAsksBeforeReplacingAndChangesNothingOnAFault()
{
    const QString good = dir.filePath(QStringLiteral("to-import.xml"));
    QVERIFY(appendKeyPositions(good, { pose(5, 0, 0, 1) }));
    const std::vector<DualQuaternion> imported
        = { pose(10, 0.1, 0, 1), pose(20, 0.2, 0, 1), pose(30, 0.3, 0, 1), pose(40, 0.4, 0, 1) };
    QVERIFY(appendKeyPositions(good, imported));
    const QString bad = dir.filePath(QStringLiteral("bad.xml"));
    QFile file(bad);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(header + positionLines(1, identity) + positionLines(2, "(0,0,0,1) (0,0,0)"));
    file.close();

    Kinect::mainDialog window;
    const std::vector<DualQuaternion> held
        = { pose(0, 0, 0, 2), pose(1, 0, 0, 2), pose(2, 0, 0, 2) };
    for (const DualQuaternion &p : held)
        window.sensor->addKeyPosition(p);
    QString fileName = bad;
    const ScopedFileNameAnswer answer([&](const FileNameQuestion &) { return fileName; });
    QString text;
    const auto answerWith = [&](QMessageBox::StandardButton button) {
        return answerNextModal<QMessageBox>(
            [&](QMessageBox *box) {
                text = box->text();
                box->button(button) ? box->button(button)->click() : box->accept();
            },
            [&] { window.importKeyPositionsAction->trigger(); });
    };
    QVERIFY(answerWith(QMessageBox::Ok));
    QVERIFY2(text.contains(bad + QStringLiteral(":7: ")), qPrintable(text));
    QCOMPARE(window.sensor->keyPositions(), held);

    fileName = good;
    QVERIFY(answerWith(QMessageBox::No));
    QVERIFY2(text.contains(QStringLiteral("Replace the 3 key positions held now with the 4")),
        qPrintable(text));
    QCOMPARE(window.sensor->keyPositions(), held);
    QVERIFY(answerWith(QMessageBox::Yes));
    QCOMPARE(window.sensor->keyPositions(), importedPositions(good));
    const QString status = window.statusBar()->currentMessage();
    QVERIFY2(status.contains(QStringLiteral("Imported 4 key positions"))
            && status.contains(QStringLiteral("the last of the 2 exports")),
        qPrintable(status));
}

// Two shown kinds become two files named after them, each the same text as
// the export without a window makes for the window's density and degree.
void TestExport::motionExportWritesTheShownKinds()
{
    Kinect::mainDialog window;
    mainDialogInstance = &window;
    std::vector<DualQuaternion> keys;
    for (int i = 0; i < 5; ++i)
        keys.push_back(pose(40.0 * i, 0.1 * i, 0.02 * i * i, 1.5));
    for (const DualQuaternion &p : keys)
        window.sensor->addKeyPosition(p);
    window.screwCheck->setChecked(true);
    window.interpolationCheck->setChecked(true);
    window.interpolationDegreeSpin->setValue(2);
    window.densitySlider->setValue(40);
    const QString chosen = dir.filePath(QStringLiteral("path"));
    FileNameQuestion asked;
    const ScopedFileNameAnswer answer([&](const FileNameQuestion &question) {
        asked = question;
        return chosen;
    });
    QVERIFY(answerNextModal<MotionExportDialog>(
        [](MotionExportDialog *dialog) {
            QCOMPARE(int(dialog->kindChecks.size()), 2);
            dialog->formatCombo->setCurrentIndex(
                dialog->formatCombo->findData(int(MotionExportFormat::Tum)));
            dialog->accept();
        },
        [&] { window.exportMotionAction->trigger(); }));
    mainDialogInstance = nullptr;
    QCOMPARE(asked.caption, QStringLiteral("Export motion"));
    QCOMPARE(asked.proposed, QStringLiteral("handmotion-motion.txt"));
    QCOMPARE(asked.filter, QStringLiteral("*.txt"));

    MotionExportRequest request;
    request.format = MotionExportFormat::Tum;
    request.density = 40;
    request.degree = 2;
    request.durationSeconds = 4.0;
    for (MotionKind kind : { MotionKind::Screw, MotionKind::Interpolation }) {
        request.kind = kind;
        std::string expected, error;
        QVERIFY(motionExportText(request, keys, &expected, &error));
        QCOMPARE(contentOf(QStringLiteral("%1-%2.txt").arg(chosen, motionKindName(kind))),
            QByteArray::fromStdString(expected));
    }
    QVERIFY(window.statusBar()->currentMessage().startsWith(QStringLiteral("Exported ")));
}

QTEST_MAIN(TestExport)
#include "tst_export.moc"
