// The command line: which arguments need a window, the installed program's
// answers without a display, and the one application id that the program,
// the desktop entry, the icon and the metainfo share.
#include "app/CommandLine.h"

#include <QGuiApplication>
#include <QProcess>
#include <QXmlStreamReader>
#include <QtTest>

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void needsWindow_data();
    void needsWindow();
    void programAnswers_data();
    void programAnswers();
    void identityMatchesDesktopFiles();
};

void TestCommandLine::needsWindow_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("window");

    QTest::newRow("none") << QStringList() << true;
    QTest::newRow("--help") << QStringList { "--help" } << false;
    QTest::newRow("-h") << QStringList { "-h" } << false;
    QTest::newRow("-?") << QStringList { "-?" } << false;
    QTest::newRow("--help-all") << QStringList { "--help-all" } << false;
    QTest::newRow("--version") << QStringList { "--version" } << false;
    QTest::newRow("-v") << QStringList { "-v" } << false;
    QTest::newRow("Qt's -platform and its value") << QStringList { "-platform", "xcb" } << true;
    QTest::newRow("Qt's -style=fusion") << QStringList { "-style=fusion" } << true;
    QTest::newRow("Qt's --reverse") << QStringList { "--reverse" } << true;
    QTest::newRow("Qt's option, then --version")
        << QStringList { "-platform", "xcb", "--version" } << false;
    // Reported by the parser, which must not need a display to say so.
    QTest::newRow("unknown option") << QStringList { "--frobnicate" } << false;
    QTest::newRow("unknown beside Qt's")
        << QStringList { "-style", "fusion", "--frobnicate" } << false;
    QTest::newRow("--help after --") << QStringList { "--", "--help" } << true;
}

void TestCommandLine::needsWindow()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, window);
    QCOMPARE(::needsWindow(QStringList { "handmotion" } + arguments), window);
}

void TestCommandLine::programAnswers_data()
{
    QTest::addColumn<QStringList>("arguments");
    // Empty: no display at all (no DISPLAY, no QT_QPA_PLATFORM).
    QTest::addColumn<QByteArray>("platform");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");

    const QByteArray version = "handmotion " HANDMOTION_PROJECT_VERSION "\n";
    QTest::newRow("--version") << QStringList { "--version" } << QByteArray() << 0 << version
                               << QByteArray();
    QTest::newRow("-v") << QStringList { "-v" } << QByteArray() << 0 << version << QByteArray();
    QTest::newRow("--help") << QStringList { "--help" } << QByteArray() << 0
                            << QByteArray("--version") << QByteArray();
    QTest::newRow("--help-all lists Qt's window options")
        << QStringList { "--help-all" } << QByteArray() << 0 << QByteArray("-platform")
        << QByteArray();
    QTest::newRow("unknown option") << QStringList { "--frobnicate" } << QByteArray() << 1
                                    << QByteArray() << QByteArray("Unknown option 'frobnicate'");
    QTest::newRow("an argument that is no option")
        << QStringList { "recording.csv" } << QByteArray("offscreen") << 1 << QByteArray()
        << QByteArray("Unexpected argument 'recording.csv'");
}

void TestCommandLine::programAnswers()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, platform);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
        environment.remove(QString::fromLatin1(name));
    if (!platform.isEmpty())
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QString::fromLatin1(platform));
    environment.insert(QStringLiteral("HANDMOTION_CAMERA"), QStringLiteral("none"));
    // As a desktop session has it; Qt's GUI warns on standard error without it.
    QTemporaryDir runtime;
    QVERIFY(runtime.isValid());
    QVERIFY(QFile::setPermissions(
        runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(HANDMOTION_PROGRAM), arguments);
    QVERIFY2(program.waitForFinished(60000), qPrintable(program.errorString()));
    const QByteArray printed = program.readAllStandardOutput();
    const QByteArray complained = program.readAllStandardError();

    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QVERIFY2(program.exitCode() == exitCode, complained.constData());
    if (out.isEmpty())
        QCOMPARE(printed, QByteArray());
    else
        QVERIFY2(printed.contains(out), printed.constData());
    if (err.isEmpty())
        QCOMPARE(complained, QByteArray());
    else
        QVERIFY2(complained.contains(err), complained.constData());
}

void TestCommandLine::identityMatchesDesktopFiles()
{
    setApplicationIdentity();
    const QString id = QString::fromLatin1(applicationId);
    QCOMPARE(QGuiApplication::desktopFileName(), id);
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("handmotion"));

    const QDir packaging(QStringLiteral(HANDMOTION_SOURCE_DIR "/packaging"));
    QFile entry(packaging.filePath(id + QStringLiteral(".desktop")));
    QVERIFY2(entry.open(QIODevice::ReadOnly | QIODevice::Text), qPrintable(entry.fileName()));
    const QList<QByteArray> lines = entry.readAll().split('\n');
    QVERIFY(lines.contains("Icon=" + id.toLatin1()));
    QVERIFY(lines.contains("Exec=handmotion"));
    QVERIFY(lines.contains("StartupWMClass=handmotion"));
    QVERIFY(QFileInfo(packaging.filePath(id + QStringLiteral(".svg"))).isFile());

    QFile metainfo(packaging.filePath(id + QStringLiteral(".metainfo.xml")));
    QVERIFY2(metainfo.open(QIODevice::ReadOnly), qPrintable(metainfo.fileName()));
    QXmlStreamReader xml(&metainfo);
    QString componentId, launchable;
    QStringList releases;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("id"))
            componentId = xml.readElementText();
        else if (xml.name() == QLatin1String("launchable"))
            launchable = xml.readElementText();
        else if (xml.name() == QLatin1String("release"))
            releases << xml.attributes().value(QLatin1String("version")).toString();
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(componentId, id);
    QCOMPARE(launchable, id + QStringLiteral(".desktop"));
    // The newest release comes first and is this version.
    QVERIFY(!releases.isEmpty());
    QCOMPARE(releases.first(), QCoreApplication::applicationVersion());
}

QTEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
