// Reading key positions back: the round trip, the strict parser's faults
// with their lines, and the window's File menu (import with its question,
// motion export through its dialog).
#include "app/KeyPositionExport.h"
#include "app/KeyPositionImport.h"
#include "app/MotionExportDialog.h"
#include "app/mainDialog.h"
#include "sensor/Sensor.h"
#include "tests/support/Poses.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QMessageBox>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {

std::vector<DualQuaternion> someKeys(int n, double offset)
{
    std::vector<DualQuaternion> keys;
    for (int i = 0; i < n; ++i)
        keys.push_back(makePose(37.0 * i - 170.0, QVector3D(0.2f, 1.0f, -0.4f),
            QVector3D(0.013f * i - 0.2f, float(offset), 1.5f + 1e-5f * i)));
    return keys;
}

// Answers the next modal dialog of type T that `act` opens.
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

const QByteArray header = "<!--XML Document>\n<?XML version='1.0' encodings='us-ascii'>\n";

QByteArray position(int k, const QByteArray &numbers)
{
    return "<Position" + QByteArray::number(k) + ">\n\t<Element1 Attribute= Dual Quaternion "
        + QByteArray::number(k) + ":>" + numbers + "</Element>\n</Position>\n";
}

const QByteArray identity = "(0,0,0,1) (0,0,0,0)";

} // namespace

class TestImport : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QVERIFY(dir.isValid()); }
    void roundTripTakesTheLastExport();
    void malformedFiles_data();
    void malformedFiles();
    void windowImportAsksBeforeReplacing();
    void windowImportOfABadFileChangesNothing();
    void windowExportsTheShownMotions();

private:
    QTemporaryDir dir;
};

void TestImport::roundTripTakesTheLastExport()
{
    const QString fileName = dir.filePath(QStringLiteral("three-exports.xml"));
    const std::vector<DualQuaternion> last = someKeys(25, 0.7);
    QVERIFY(appendKeyPositions(fileName, someKeys(3, 0.1)));
    QVERIFY(appendKeyPositions(fileName, someKeys(9, 0.2)));
    QVERIFY(appendKeyPositions(fileName, last));
    const KeyPositionImport imported = readKeyPositionFile(fileName);
    QVERIFY2(imported.ok(), qPrintable(imported.error));
    QCOMPARE(imported.exportCount, 3);
    QCOMPARE(imported.positions.size(), last.size());
    for (size_t i = 0; i < last.size(); ++i)
        for (int c = 0; c < 4; ++c) {
            const double a[2] = { last[i].realPart().data()[c], last[i].dualPart().data()[c] };
            const double b[2] = { imported.positions[i].realPart().data()[c],
                imported.positions[i].dualPart().data()[c] };
            for (int part = 0; part < 2; ++part)
                QVERIFY2(qAbs(a[part] - b[part]) <= 5e-6 * qAbs(a[part]),
                    qPrintable(QStringLiteral("%1 vs %2").arg(a[part], 0, 'g', 17).arg(b[part])));
        }
}

void TestImport::malformedFiles_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty") << QByteArray() << 1 << "the file is empty";
    QTest::newRow("not an export")
        << QByteArray("hello\n") << 1 << "expected \"<!--XML Document>\"";
    QTest::newRow("header cut") << QByteArray("<!--XML Document>\n") << 1
                                << "the file ends where \"<?XML";
    QTest::newRow("numbered from 2") << header + position(2, identity) << 3 << "\"<Position1>\"";
    QTest::newRow("numbers disagree") << header + position(1, identity)
            + position(2, identity).replace("Quaternion 2", "Quaternion 3")
                                      << 7 << "Dual Quaternion 2:>";
    QTest::newRow("word for a number") << header + position(1, "(0,0,zero,1) (0,0,0,0)") << 4
                                       << "z of the real part is not a number";
    QTest::newRow("nan") << header + position(1, "(0,0,0,1) (nan,0,0,0)") << 4
                         << "x of the dual part is not a number";
    QTest::newRow("blank in a number") << header + position(1, "(0, 0,0,1) (0,0,0,0)") << 4
                                       << "y of the real part is not a number";
    QTest::newRow("overflow") << header + position(1, "(0,0,0,1e999) (0,0,0,0)") << 4
                              << "w of the real part is out of range";
    QTest::newRow("three components") << header + position(1, "(0,0,1) (0,0,0,0)") << 4
                                      << "expected \",\" after z of the real part";
    QTest::newRow("zero real part")
        << header + position(1, "(0,0,0,0) (0,0,0,1)") << 4 << "the real part is zero";
    QTest::newRow("trailing text")
        << header + position(1, identity + " x") << 4 << "expected \"</Element>\"";
    QTest::newRow("cut in a position")
        << header + position(1, identity).left(40) << 4 << "Dual Quaternion 1:>\" after a tab";
    QTest::newRow("no closing line")
        << header + position(1, identity).chopped(12) << 4 << "the file ends where \"</Position>\"";
    QTest::newRow("blank line between exports")
        << header + position(1, identity) + "\n" + header << 6 << "or the header of another export";
    QTest::newRow("fault in an earlier export")
        << header + position(1, "(0,0,0,1) (0,0,0,x)") + header + position(1, identity) << 4
        << "w of the dual part";
    QTest::newRow("line beyond the limit")
        << header + QByteArray(maxKeyPositionLineLength + 1, '<') << 3 << "longer than 4096";
    QTest::newRow("CRLF and no final line end: accepted")
        << QByteArray(header + position(1, identity)).replace("\n", "\r\n").chopped(2) << 0 << "";
}

// The message names the file and the line of the first fault; nothing is
// returned with it.
void TestImport::malformedFiles()
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
    QVERIFY2(imported.error.startsWith(QStringLiteral("keys.xml:%1: ").arg(line)),
        qPrintable(imported.error));
    QVERIFY2(imported.error.contains(message), qPrintable(imported.error));
    QVERIFY(imported.positions.empty());
}

// Held positions are replaced only when the user says yes; the status bar
// tells how many exports the file held.
void TestImport::windowImportAsksBeforeReplacing()
{
    const QString fileName = dir.filePath(QStringLiteral("for-window.xml"));
    QVERIFY(appendKeyPositions(fileName, someKeys(2, 0.0)));
    QVERIFY(appendKeyPositions(fileName, someKeys(4, 0.3)));
    setImportFileNamePrompt(
        [&](QWidget *, const QString &caption, const QString &, const QString &) {
            return caption == QLatin1String("Import key positions") ? fileName : QString();
        });

    Kinect::mainDialog window;
    const std::vector<DualQuaternion> held = someKeys(3, 0.9);
    for (const DualQuaternion &p : held)
        window.sensor->addKeyPosition(p);
    for (auto answer : { QMessageBox::No, QMessageBox::Yes }) {
        QString question;
        QVERIFY(answerNextModal<QMessageBox>(
            [&](QMessageBox *box) {
                question = box->text();
                box->button(answer)->click();
            },
            [&] { window.importKeyPositionsAction->trigger(); }));
        QVERIFY2(
            question.contains(QStringLiteral("Replace the 3 key positions held now with the 4")),
            qPrintable(question));
        QCOMPARE(window.sensor->keyPositionCount(), answer == QMessageBox::Yes ? 4 : 3);
    }
    QVERIFY2(
        window.statusBar()->currentMessage().contains(QStringLiteral("Imported 4 key positions")),
        qPrintable(window.statusBar()->currentMessage()));
    QVERIFY(
        window.statusBar()->currentMessage().contains(QStringLiteral("the last of the 2 exports")));
    setImportFileNamePrompt({});
}

void TestImport::windowImportOfABadFileChangesNothing()
{
    const QString fileName = dir.filePath(QStringLiteral("bad.xml"));
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(header + position(1, identity) + position(2, "(0,0,0,1) (0,0,0)"));
    file.close();
    setImportFileNamePrompt(
        [&](QWidget *, const QString &, const QString &, const QString &) { return fileName; });
    Kinect::mainDialog window;
    window.sensor->addKeyPosition(someKeys(1, 0.0).front());
    QString warning;
    QVERIFY(answerNextModal<QMessageBox>(
        [&](QMessageBox *box) {
            warning = box->text();
            box->accept();
        },
        [&] { window.importKeyPositions(); }));
    QVERIFY2(warning.contains(fileName + QStringLiteral(":7: ")), qPrintable(warning));
    QCOMPARE(window.sensor->keyPositions(), someKeys(1, 0.0));
    setImportFileNamePrompt({});
}

// Two shown kinds become two files named after them, each the same text as
// the export without a window makes.
void TestImport::windowExportsTheShownMotions()
{
    Kinect::mainDialog window;
    mainDialogInstance = &window;
    const std::vector<DualQuaternion> keys = someKeys(5, 0.1);
    for (const DualQuaternion &p : keys)
        window.sensor->addKeyPosition(p);
    window.screwCheck->setChecked(true);
    window.interpolationCheck->setChecked(true);
    window.interpolationDegreeSpin->setValue(2);
    window.densitySlider->setValue(40);
    const QString chosen = dir.filePath(QStringLiteral("path"));
    setExportFileNamePrompt(
        [&](QWidget *, const QString &, const QString &, const QString &) { return chosen; });
    QVERIFY(answerNextModal<MotionExportDialog>(
        [](MotionExportDialog *dialog) {
            QCOMPARE(int(dialog->kindChecks.size()), 2);
            dialog->formatCombo->setCurrentIndex(
                dialog->formatCombo->findData(int(MotionExportFormat::Tum)));
            dialog->accept();
        },
        [&] { window.exportMotionAction->trigger(); }));
    setExportFileNamePrompt({});
    mainDialogInstance = nullptr;

    MotionExportRequest request;
    request.format = MotionExportFormat::Tum;
    request.density = 40;
    request.durationSeconds = 4.0;
    for (MotionKind kind : { MotionKind::Screw, MotionKind::Interpolation }) {
        request.kind = kind;
        request.degree = 2;
        std::string expected, error;
        QVERIFY(motionExportText(request, keys, &expected, &error));
        QFile written(chosen + QLatin1Char('-') + QLatin1String(motionKindName(kind))
            + QStringLiteral(".txt"));
        QVERIFY2(written.open(QIODevice::ReadOnly), qPrintable(written.fileName()));
        QCOMPARE(written.readAll(), QByteArray::fromStdString(expected));
    }
    QVERIFY2(window.statusBar()->currentMessage().startsWith(QStringLiteral("Exported ")),
        qPrintable(window.statusBar()->currentMessage()));
}

QTEST_MAIN(TestImport)
#include "tst_import.moc"
