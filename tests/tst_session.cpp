// Work that survives: a capture killed hard comes back on the next start, a
// damaged journal gives back what is whole, and every edit of the pose lists
// is undone and redone bit for bit, journal and panel following.
#include "app/FileNameQuestion.h"
#include "app/JournalFormat.h"
#include "app/KeyPositionExport.h"
#include "app/KeyPositionImport.h"
#include "app/KeyPositionPanel.h"
#include "app/SessionJournal.h"
#include "app/mainDialog.h"
#include "motion/MContinuousMotion.h"
#include "sensor/Sensor.h"
#include "sensor/sources/ScriptedSource.h"
#include "tests/support/CameraTestSupport.h"
#include "tests/support/Poses.h"
#include "view/GLWidget.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QUndoStack>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

using journal::JournalList;
using Poses = std::vector<DualQuaternion>;
using support::frameWith;
using support::standingBody;
using support::WindowWithSource;

namespace {

bool sameBits(const Poses &a, const Poses &b)
{
    return a.size() == b.size()
        && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(DualQuaternion)) == 0);
}

Poses posesAlong(int count, double x)
{
    Poses poses;
    for (int i = 0; i < count; ++i)
        poses.push_back(makePose(10.0 * i, QVector3D(1, 2, 3), QVector3D(x, 0.01f * i, 1.5f)));
    return poses;
}

QByteArray hexOf(const DualQuaternion &pose)
{
    return QByteArray(reinterpret_cast<const char *>(&pose), sizeof pose).toHex();
}

// The child of the kill test: the window as the program builds it, with the
// camera of HANDMOTION_CAMERA and the journal under the state directory its
// parent names, capturing continuously from the start. Each continuous pose
// is written to standard output as it appears: its index and its bytes in
// hex.
int captureChild(int argc, char **argv, const char *stateHome)
{
    // The child is killed: the fresh home this process was given at its
    // start goes now, not at its exit, and what the child writes lands in
    // the directory its parent gave it.
    const QString freshHome = QFile::decodeName(qgetenv("HOME"));
    if (QFileInfo(freshHome).fileName().startsWith(QLatin1String("handmotion-home-")))
        QDir(freshHome).removeRecursively();
    const QString home = QFile::decodeName(stateHome) + QStringLiteral("/home");
    QDir().mkpath(home);
    QFile::setPermissions(home, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    for (const char *variable :
        { "HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME" })
        qputenv(variable, QFile::encodeName(home));
    qputenv("XDG_STATE_HOME", stateHome);
    QApplication application(argc, argv);
    Kinect::mainDialog window;
    mainDialogInstance = &window;
    window.continuousCaptureCheck->setChecked(true);
    window.spatialCaptureCheck->setChecked(true);
    window.startRecordingCheck->setChecked(true);
    size_t reported = 0;
    QTimer report;
    QObject::connect(&report, &QTimer::timeout, [&] {
        const Poses poses = window.sensor->continuousPositions();
        for (; reported < poses.size(); ++reported)
            std::printf("%zu %s\n", reported, hexOf(poses[reported]).constData());
        std::fflush(stdout);
    });
    report.start(20);
    return application.exec();
}

// Points the windows made while it lives at a state directory of its own,
// answering the restore question as told and noting what it was asked.
class StateHome {
public:
    explicit StateHome(bool answer)
        : m_previous(qgetenv("XDG_STATE_HOME"))
    {
        qputenv("XDG_STATE_HOME", QFile::encodeName(m_directory.path()));
        QDir().mkpath(journalDirectory());
        setRestoreQuestion([this, answer](const QString &question, const QString &details) {
            questions << question;
            this->details = details;
            return answer;
        });
    }
    ~StateHome()
    {
        setRestoreQuestion({});
        qputenv("XDG_STATE_HOME", m_previous);
    }
    QString path() const { return m_directory.path(); }
    QString journalDirectory() const { return m_directory.filePath(QStringLiteral("handmotion")); }
    QString journalPath() const { return journalDirectory() + QStringLiteral("/session.journal"); }

    QStringList questions;
    QString details;

private:
    QByteArray m_previous;
    QTemporaryDir m_directory;
};

} // namespace

class TestSession : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { mainDialogInstance = nullptr; }

    void killedCaptureIsRestoredOnTheNextStart();
    void startWithTheLastJournal_data();
    void startWithTheLastJournal();
    void undoAndRedoGiveBackTheLists_data();
    void undoAndRedoGiveBackTheLists();
    void panelShowsPositionAndRotation();
};

void TestSession::killedCaptureIsRestoredOnTheNextStart()
{
    const QString recording
        = QStringLiteral(HANDMOTION_RECORDINGS_DIR "/kinect-csv/KinectReader_joints.csv");
    if (!QFileInfo::exists(recording))
        QSKIP("the recordings are not beside the repository");
    StateHome state(true);
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HANDMOTION_CAMERA"), QStringLiteral("replay:") + recording);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);

    // When each pose was read here: it was captured before that.
    QElapsedTimer clock;
    std::vector<qint64> readAt;
    Poses reported;
    connect(&child, &QProcess::readyReadStandardOutput, [&] {
        while (child.canReadLine()) {
            const QList<QByteArray> fields = child.readLine().trimmed().split(' ');
            const QByteArray bytes = QByteArray::fromHex(fields.value(1));
            if (fields.size() != 2 || fields[0].toULongLong() != reported.size()
                || bytes.size() != int(sizeof(DualQuaternion)))
                continue;
            DualQuaternion pose;
            std::memcpy(static_cast<void *>(&pose), bytes.constData(), sizeof pose);
            reported.push_back(pose);
            readAt.push_back(clock.elapsed());
        }
    });
    clock.start();
    child.start(QCoreApplication::applicationFilePath(),
        { QStringLiteral("--capture-child"), state.path() });
    QVERIFY(child.waitForStarted());
    // Three seconds of capture at 30 Hz, then a kill no program can handle.
    QTRY_VERIFY_WITH_TIMEOUT(reported.size() >= 90, 60000);
    child.kill();
    const qint64 killedAt = clock.elapsed();
    QVERIFY(child.waitForFinished());
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    const size_t due = size_t(
        std::count_if(readAt.begin(), readAt.end(), [&](qint64 t) { return t < killedAt - 1000; }));

    WindowWithSource next(std::make_shared<camera::ScriptedSource>());
    const Poses restored = next.sensor().continuousPositions();
    QCOMPARE(state.questions, QStringList { restoreQuestionText(0, qint64(restored.size())) });
    QVERIFY2(restored.size() >= due,
        qPrintable(QStringLiteral("%1 restored, %2 due").arg(restored.size()).arg(due)));
    const size_t both = std::min(restored.size(), reported.size());
    QVERIFY(sameBits(Poses(restored.begin(), restored.begin() + long(both)),
        Poses(reported.begin(), reported.begin() + long(both))));
    // Shown as capture shows them, once the window runs.
    QTRY_VERIFY(next.window().continuousMotionCheck->isChecked());
    QVERIFY(next.window().glWidget->continuousMotion);
}

// A journal left by a session that did not end cleanly, whole or cut inside
// its last record, answered Yes or No.
void TestSession::startWithTheLastJournal_data()
{
    QTest::addColumn<bool>("damaged");
    QTest::addColumn<bool>("answer");
    QTest::newRow("damaged, restored") << true << true;
    QTest::newRow("whole, declined") << false << false;
}

void TestSession::startWithTheLastJournal()
{
    QFETCH(bool, damaged);
    QFETCH(bool, answer);
    StateHome state(answer);
    const Poses keys = posesAlong(3, 0.1), continuous = posesAlong(5, -0.1);
    QByteArray bytes = journal::snapshotJournal(keys, continuous);
    const Poses lost = posesAlong(2, 0.3);
    journal::appendPoses(bytes, JournalList::ContinuousPositions, false, lost.data(), lost.size());
    if (damaged)
        bytes.chop(20);
    QFile file(state.journalPath());
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();

    const Poses added = posesAlong(1, 0.5);
    {
        WindowWithSource window(std::make_shared<camera::ScriptedSource>());
        QCOMPARE(state.questions.size(), 1);
        QCOMPARE(state.details.isEmpty(), !damaged);
        Poses expected = continuous;
        if (!damaged)
            expected.insert(expected.end(), lost.begin(), lost.end());
        QVERIFY(sameBits(window.sensor().keyPositions(), answer ? keys : Poses()));
        QVERIFY(sameBits(window.sensor().continuousPositions(), answer ? expected : Poses()));
        // What could not be restored in full stays beside the new journal.
        QVERIFY(QFileInfo::exists(state.journalDirectory() + "/last-session.journal"));
        const QString message = window.window().statusBar()->currentMessage();
        QVERIFY2(message.contains("last-session.journal"), qPrintable(message));
        QCOMPARE(message.contains("could not be restored"), damaged);
        window.sensor().addKeyPosition(added[0]);
    }
    // The new session was journaled from its start, and closed at its end.
    const journal::JournalContents now = journal::readJournalFile(state.journalPath());
    QVERIFY(now.closed);
    Poses keysNow = answer ? keys : Poses();
    keysNow.push_back(added[0]);
    QVERIFY(sameBits(now.keyPositions, keysNow));
}

void TestSession::undoAndRedoGiveBackTheLists_data()
{
    QTest::addColumn<QString>("edit");
    for (const char *edit :
        { "capture key position", "select position", "select shown positions", "delete", "move up",
            "move down", "reset key positions", "reset continuous", "import" })
        QTest::newRow(edit) << QString::fromLatin1(edit);
}

void TestSession::undoAndRedoGiveBackTheLists()
{
    QFETCH(QString, edit);
    auto source = std::make_shared<camera::ScriptedSource>();
    WindowWithSource fixture(source);
    Kinect::mainDialog &w = fixture.window();
    Kinect::Sensor &sensor = fixture.sensor();
    sensor.restorePositions(posesAlong(4, 0.1), posesAlong(10, -0.1));
    w.continuousMotionCheck->setChecked(true);
    // Shown as a paint at full density shows them.
    w.glWidget->continuousMotion->setKeyPoses(sensor.continuousPositions());
    w.glWidget->continuousMotion->properties().setDensity(100);
    w.glWidget->continuousMotion->prepareDrawing();
    w.positionSlider->setValue(3);
    w.keyPositionsCheck->setChecked(true);
    w.keyPositionPanel->toggleViewAction()->trigger();
    KeyPositionPanel &panel = *w.keyPositionPanel;

    const auto lists
        = [&] { return std::make_pair(sensor.keyPositions(), sensor.continuousPositions()); };
    // Journal and panel follow every change, undo and redo included.
    const auto check = [&](const std::pair<Poses, Poses> &expected) {
        QVERIFY(sameBits(sensor.keyPositions(), expected.first));
        QVERIFY(sameBits(sensor.continuousPositions(), expected.second));
        QVERIFY(sameBits(w.journal->poses(JournalList::KeyPositions), expected.first));
        QVERIFY(sameBits(w.journal->poses(JournalList::ContinuousPositions), expected.second));
        QTRY_COMPARE(panel.table->model()->rowCount(), int(expected.first.size()));
    };
    const auto capture = [&](QCheckBox *kind, int frames) {
        kind->setChecked(true);
        w.spatialCaptureCheck->setChecked(true);
        w.startRecordingCheck->setChecked(true);
        for (int n = 0; n < frames; ++n) {
            source->pushBodyFrame(frameWith(standingBody()));
            sensor.updateSkeletonFrame();
        }
    };
    const auto before = lists();

    if (edit == "capture key position") {
        capture(w.keyPositionCaptureCheck, 101);
    } else if (edit == "select position") {
        w.glWidget->storeKeyPositionsInGLWidget(false);
    } else if (edit == "select shown positions") {
        w.glWidget->storeAllKeyPositionsInGLWidget(false);
    } else if (edit == "delete") {
        panel.selectRow(1);
        QTest::mouseClick(panel.deleteButton, Qt::LeftButton);
    } else if (edit == "move up" || edit == "move down") {
        panel.selectRow(2);
        QTest::mouseClick(
            edit == "move up" ? panel.moveUpButton : panel.moveDownButton, Qt::LeftButton);
    } else if (edit == "reset key positions") {
        QTest::mousePress(w.resetKeyPositionButton, Qt::LeftButton);
    } else if (edit == "reset continuous") {
        QTest::mousePress(w.resetContinuousButton, Qt::LeftButton);
    } else if (edit == "import") {
        QTemporaryDir directory;
        const QString file = directory.filePath("keys.xml");
        QVERIFY(appendKeyPositions(file, posesAlong(2, 0.7)));
        const ScopedFileNameAnswer answerFile([&](const FileNameQuestion &) { return file; });
        // Yes to replacing the key positions held.
        QTimer answer;
        connect(&answer, &QTimer::timeout, [] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
                box->button(QMessageBox::Yes)->click();
        });
        answer.start(10);
        w.importKeyPositions();
    }
    const auto after = lists();
    QVERIFY(!sameBits(after.first, before.first) || !sameBits(after.second, before.second));
    QCOMPARE(w.undoStack->count(), 1);

    for (int round = 0; round < 2 && !QTest::currentTestFailed(); ++round) {
        QVERIFY(w.undoAction->isEnabled());
        w.undoAction->trigger();
        check(before);
        w.redoAction->trigger();
        check(after);
    }
    // Poses captured after a continuous reset stay through its undo (the
    // removed ones come back in front of them) and its redo.
    if (edit == "reset continuous") {
        capture(w.continuousCaptureCheck, 1);
        const Poses later = sensor.continuousPositions();
        QCOMPARE(later.size(), size_t(1));
        w.undoAction->trigger();
        Poses both = before.second;
        both.push_back(later[0]);
        QVERIFY(sameBits(sensor.continuousPositions(), both));
        w.redoAction->trigger();
        QVERIFY(sameBits(sensor.continuousPositions(), later));
    }
}

void TestSession::panelShowsPositionAndRotation()
{
    WindowWithSource fixture(std::make_shared<camera::ScriptedSource>());
    const double nan = std::nan("");
    const double zeros[4] = { 0, 0, 0, 0 }, broken[4] = { nan, 0, 0, 1 };
    fixture.sensor().restorePositions(
        { makePose(90, QVector3D(0, 0, 1), QVector3D(0.1f, -0.2f, 1.5f)),
            makePose(180, QVector3D(0, 1, 0), QVector3D()),
            makePose(0, QVector3D(1, 0, 0), QVector3D()), DualQuaternion(broken, zeros) },
        {});
    KeyPositionPanel &panel = *fixture.window().keyPositionPanel;
    panel.refresh();
    const QAbstractItemModel &model = *panel.table->model();
    const auto row = [&](int r) {
        QStringList texts;
        for (int c = 0; c < model.columnCount(); ++c)
            texts << model.index(r, c).data().toString();
        return texts.join(QLatin1Char('|'));
    };
    QCOMPARE(row(0), QStringLiteral("1|0.1000|-0.2000|1.5000|90.0|(0.000, 0.000, 1.000)"));
    QCOMPARE(row(1), QStringLiteral("2|0.0000|0.0000|0.0000|180.0|(0.000, 1.000, 0.000)"));
    QCOMPARE(row(2), QStringLiteral("3|0.0000|0.0000|0.0000|0.0|\u2013"));
    QCOMPARE(row(3), QStringLiteral("4|\u2013|\u2013|\u2013|\u2013|\u2013"));
}

int main(int argc, char **argv)
{
    if (argc > 2 && qstrcmp(argv[1], "--capture-child") == 0)
        return captureChild(argc, argv, argv[2]);
    QApplication application(argc, argv);
    TestSession test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_session.moc"
