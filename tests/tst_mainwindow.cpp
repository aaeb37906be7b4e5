// The main window right after construction: which controls exist, how they
// start, where they sit, and how they are wired.
#include "app/KeyPositionPanel.h"
#include "app/mainDialog.h"
#include "sensor/PollingThreads.h"
#include "sensor/Sensor.h"
#include "view/GLWidget.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QScrollArea>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QTranslator>
#include <QtTest>

#include <cstdlib>
#include <memory>

using Kinect::mainDialog;

namespace {

QStringList g_messages;

void collectMessages(QtMsgType, const QMessageLogContext &, const QString &message)
{
    g_messages << message;
}

// Marks every caption that passes through the translation function.
class MarkingTranslator : public QTranslator {
public:
    QString translate(const char *context, const char *sourceText, const char * = nullptr,
        int = -1) const override
    {
        if (QByteArray(context) == "Kinect::mainDialog")
            return QStringLiteral("[") + QString::fromUtf8(sourceText) + QStringLiteral("]");
        return QString();
    }
    bool isEmpty() const override { return false; }
};

} // namespace

// Counts the queued slot calls (the polls) that reach one object.
class TestMainWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { window.reset(new mainDialog); }
    void cleanup() { window.reset(); }

    void constructionMakesEveryConnectionWithoutWarnings();
    void windowGeometryAndMenu();
    void fitsSmallScreensAndKeepsTheLargeLayout_data();
    void fitsSmallScreensAndKeepsTheLargeLayout();
    void onlyTheStartControlsAreEnabled();
    void captions_data();
    void captions();
    void slidersAndSpinBoxesStartAsSpecified();
    void groupBoxesSitInTheirGridCells();
    void receiversPerSignal_data();
    void receiversPerSignal();
    void slidersReachSlotsOnlyWhenDragged();
    void translationAppliesToAllButTheFixedCaptions();

private:
    std::unique_ptr<mainDialog> window;
};

void TestMainWindow::constructionMakesEveryConnectionWithoutWarnings()
{
    window.reset();
    g_messages.clear();
    QtMessageHandler previous = qInstallMessageHandler(collectMessages);
    window.reset(new mainDialog);
    qInstallMessageHandler(previous);
    for (const QString &message : qAsConst(g_messages))
        QVERIFY2(!message.contains(QLatin1String("QObject::connect")), qPrintable(message));
}

void TestMainWindow::windowGeometryAndMenu()
{
    QCOMPARE(window->objectName(), QStringLiteral("main_dialog"));
    QCOMPARE(window->size(), QSize(1920, 1080));
    QVERIFY(window->windowTitle().isEmpty());
    auto *scrolled = qobject_cast<QScrollArea *>(window->QMainWindow::centralWidget());
    QVERIFY(scrolled && scrolled->widgetResizable());
    QCOMPARE(scrolled->widget(), window->centralWidget);

    const QList<QAction *> menus = window->menuBar()->actions();
    QCOMPARE(menus.size(), 3);
    QCOMPARE(menus[0]->text(), QStringLiteral("&File"));
    QCOMPARE(menus[0]->menu(), window->fileMenu);
    QCOMPARE(menus[1]->menu(), window->editMenu);
    QCOMPARE(menus[2]->menu(), window->viewMenu);
    QCOMPARE(
        window->editMenu->actions(), (QList<QAction *> { window->undoAction, window->redoAction }));
    QCOMPARE(window->undoAction->shortcut(), QKeySequence(QStringLiteral("Ctrl+Z")));
    QCOMPARE(window->redoAction->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+Z")));
    QVERIFY(!window->undoAction->isEnabled() && !window->redoAction->isEnabled());
    QCOMPARE(window->viewMenu->actions().size(), 1);
    QCOMPARE(window->viewMenu->actions().first()->text(), QStringLiteral("Key positions"));
    QVERIFY(window->keyPositionPanel->isHidden());
    QCOMPARE(window->fileMenu->actions(),
        (QList<QAction *> { window->importKeyPositionsAction, window->exportMotionAction,
            window->recordFramesAction, window->exitAction }));
    QCOMPARE(
        window->importKeyPositionsAction->text(), QStringLiteral("Import key positions\u2026"));
    QCOMPARE(window->exportMotionAction->text(), QStringLiteral("Export motion\u2026"));
    QCOMPARE(window->recordFramesAction->text(), QStringLiteral("Record body frames\u2026"));
    QVERIFY(window->recordFramesAction->isCheckable() && !window->recordFramesAction->isChecked());
    QCOMPARE(window->exitAction->text(), QStringLiteral("E&xit"));
    QCOMPARE(window->exitAction->parent(), window->fileMenu);

    QCOMPARE(window->glWidget->parentWidget(), window->glScrollArea->viewport());
    QCOMPARE(window->glScrollArea->widget(), window->glWidget);
    QCOMPARE(window->colorScrollArea->widget(), window->colorLabel);
    QCOMPARE(window->skeletonScrollArea->widget(), window->skeletonLabel);
    for (QScrollArea *area : { window->colorScrollArea, window->skeletonScrollArea })
        QVERIFY(area->widgetResizable());
}

// At 1920 x 1080 the window shows everything at once, the pictures at
// 940 x 440. Its smallest size fits a 1366 x 768 screen less a panel; there
// and at that size the views shrink, the pictures keeping their aspect, and
// with a usual desktop font everything still shows at once, while with a
// larger one the window scrolls. Either way every control can be brought
// into view whole, uncovered and no smaller than its layout allows. A size
// left invalid is the window's smallest.
void TestMainWindow::fitsSmallScreensAndKeepsTheLargeLayout_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("fontPoints");
    QTest::addColumn<bool>("allShown");
    QTest::newRow("1920 x 1080") << QSize(1920, 1080) << 0 << true;
    QTest::newRow("1366 x 740, desktop font") << QSize(1366, 740) << 10 << true;
    QTest::newRow("1366 x 740, large platform font") << QSize(1366, 740) << 0 << false;
    QTest::newRow("smallest, desktop font") << QSize() << 10 << true;
    QTest::newRow("smallest, large platform font") << QSize() << 0 << false;
}

void TestMainWindow::fitsSmallScreensAndKeepsTheLargeLayout()
{
    QFETCH(QSize, size);
    QFETCH(int, fontPoints);
    QFETCH(bool, allShown);
    // The application's font, given back when the test ends however it ends.
    const struct PlatformFont {
        QFont font = QApplication::font();
        ~PlatformFont() { QApplication::setFont(font); }
    } platform;
    if (fontPoints > 0) {
        QFont font = platform.font;
        font.setPointSize(fontPoints);
        QApplication::setFont(font);
        window.reset(new mainDialog);
    }
    // A status message takes a line of its own below the views.
    window->statusBar()->showMessage(QStringLiteral("Capture fell behind"));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    const QSize minimum = window->minimumSizeHint().expandedTo(window->minimumSize());
    QVERIFY2(minimum.width() <= 1366 && minimum.height() <= 740,
        qPrintable(QStringLiteral("%1 x %2").arg(minimum.width()).arg(minimum.height())));
    if (!size.isValid())
        size = minimum;
    window->resize(size);
    QTRY_COMPARE(window->size(), size);
    auto *scrolled = qobject_cast<QScrollArea *>(window->QMainWindow::centralWidget());
    QVERIFY(scrolled);
    QTRY_VERIFY(window->centralWidget->width() >= scrolled->viewport()->width());
    if (allShown) {
        QCOMPARE(scrolled->horizontalScrollBar()->maximum(), 0);
        QCOMPARE(scrolled->verticalScrollBar()->maximum(), 0);
    }

    for (QScrollArea *picture : { window->colorScrollArea, window->skeletonScrollArea }) {
        const QSize shown = picture->size();
        if (size.width() >= 1920)
            QCOMPARE(shown, QSize(940, 440));
        QVERIFY2(
            shown.width() >= 470 && std::abs(shown.width() * 440 - shown.height() * 940) <= 940,
            qPrintable(QStringLiteral("%1 x %2").arg(shown.width()).arg(shown.height())));
    }
    if (size.width() >= 1920)
        QVERIFY(window->glScrollArea->width() >= 940 && window->glScrollArea->height() >= 440);

    QList<QWidget *> controls { window->glScrollArea };
    for (QWidget *w : window->centralWidget->findChildren<QWidget *>()) {
        if ((qobject_cast<QAbstractButton *>(w) || qobject_cast<QAbstractSpinBox *>(w)
                || qobject_cast<QSlider *>(w))
            && w->isVisibleTo(window.get()))
            controls << w;
    }
    QVERIFY2(controls.size() >= 27, qPrintable(QString::number(controls.size())));
    const QRect viewport(
        scrolled->viewport()->mapTo(window.get(), QPoint()), scrolled->viewport()->size());
    for (QWidget *control : qAsConst(controls)) {
        const auto *button = qobject_cast<QAbstractButton *>(control);
        const QString name = QString::fromLatin1(control->metaObject()->className())
            + QLatin1Char(' ') + (button ? button->text() : control->objectName());
        // No smaller than the layout may make it.
        const QSize smallest = QWidgetItem(control).minimumSize();
        QVERIFY2(control->width() >= smallest.width() && control->height() >= smallest.height(),
            qPrintable(name));
        scrolled->ensureWidgetVisible(control, 0, 0);
        const QRect place(control->mapTo(window.get(), QPoint()), control->size());
        QVERIFY2(viewport.contains(place), qPrintable(name));
        // What a click at the control's centre lands on.
        QWidget *hit = window->childAt(place.center());
        QVERIFY2(hit && (hit == control || control->isAncestorOf(hit)), qPrintable(name));
    }
    for (QAction *menu : window->menuBar()->actions())
        QVERIFY(window->menuBar()->rect().contains(window->menuBar()->actionGeometry(menu)));
}

void TestMainWindow::onlyTheStartControlsAreEnabled()
{
    const QList<QWidget *> enabled = { window->continuousCaptureCheck,
        window->keyPositionCaptureCheck, window->smoothingCheck, window->screwCheck,
        window->bezierCheck, window->approximationCheck, window->interpolationCheck,
        window->whiteBackgroundCheck, window->resetKeyPositionButton, window->resetContinuousButton,
        window->resetViewButton };
    const QList<QWidget *> disabled = { window->planarCaptureCheck, window->spatialCaptureCheck,
        window->startRecordingCheck, window->keyPositionsCheck, window->continuousMotionCheck,
        window->trajectoryCheck, window->framesCheck, window->objectCheck, window->densitySlider,
        window->objectSizeSlider, window->approximationDegreeSpin, window->interpolationDegreeSpin,
        window->positionSlider, window->selectPositionButton, window->selectShownPositionsButton,
        window->exportButton };
    for (QWidget *w : enabled)
        QVERIFY2(w->isEnabled(), qPrintable(w->metaObject()->className()));
    for (QWidget *w : disabled)
        QVERIFY2(!w->isEnabled(), qPrintable(w->metaObject()->className()));
    for (QCheckBox *box : window->findChildren<QCheckBox *>())
        QVERIFY2(!box->isChecked(), qPrintable(box->text()));
}

void TestMainWindow::captions_data()
{
    QTest::addColumn<QString>("member");
    QTest::addColumn<QString>("caption");
    const QList<QPair<const char *, const char *>> rows = {
        { "positionLabel", "Select Position" },
        { "selectPositionButton", "Select position" },
        { "selectShownPositionsButton", "Select shown positions" },
        { "continuousCaptureCheck", "Continuous capture" },
        { "keyPositionCaptureCheck", "Key position capture" },
        { "planarCaptureCheck", "Planar capture" },
        { "spatialCaptureCheck", "Spatial capture" },
        { "startRecordingCheck", "Start recording" },
        { "smoothingCheck", "Smooth joints" },
        { "screwCheck", "Screw" },
        { "bezierCheck", "Bezier" },
        { "approximationCheck", "B-Spline Approximation" },
        { "interpolationCheck", "B-Spline Interpolation" },
        { "approximationDegreeLabel", "Degree" },
        { "interpolationDegreeLabel", "Degree" },
        { "keyPositionsCheck", "Key positions" },
        { "continuousMotionCheck", "Continuous motion" },
        { "trajectoryCheck", "Trajectory" },
        { "framesCheck", "Coordinate frames" },
        { "objectCheck", "Object" },
        { "whiteBackgroundCheck", "White background" },
        { "densityLabel", "Density" },
        { "densityValueLabel", "100 %" },
        { "objectSizeLabel", "Object Size" },
        { "objectSizeValueLabel", "70 %" },
        { "resetKeyPositionButton", "Reset key position capture" },
        { "resetContinuousButton", "Reset continuous capture" },
        { "resetViewButton", "Reset to original position" },
        { "exportButton", "Export positions to XML" },
        { "captureGroup", "Type of capture" },
        { "motionTypeGroup", "Type of motion" },
        { "motionPropertiesGroup", "Motion properties" },
        { "settingsGroup", "General settings" },
    };
    for (const auto &row : rows)
        QTest::newRow(row.first) << QString::fromLatin1(row.first)
                                 << QString::fromLatin1(row.second);
}

static QString captionOf(mainDialog *w, const QString &member)
{
    const QMap<QString, QObject *> members = {
        { "positionLabel", w->positionLabel },
        { "selectPositionButton", w->selectPositionButton },
        { "selectShownPositionsButton", w->selectShownPositionsButton },
        { "continuousCaptureCheck", w->continuousCaptureCheck },
        { "keyPositionCaptureCheck", w->keyPositionCaptureCheck },
        { "planarCaptureCheck", w->planarCaptureCheck },
        { "spatialCaptureCheck", w->spatialCaptureCheck },
        { "startRecordingCheck", w->startRecordingCheck },
        { "smoothingCheck", w->smoothingCheck },
        { "screwCheck", w->screwCheck },
        { "bezierCheck", w->bezierCheck },
        { "approximationCheck", w->approximationCheck },
        { "interpolationCheck", w->interpolationCheck },
        { "approximationDegreeLabel", w->approximationDegreeLabel },
        { "interpolationDegreeLabel", w->interpolationDegreeLabel },
        { "keyPositionsCheck", w->keyPositionsCheck },
        { "continuousMotionCheck", w->continuousMotionCheck },
        { "trajectoryCheck", w->trajectoryCheck },
        { "framesCheck", w->framesCheck },
        { "objectCheck", w->objectCheck },
        { "whiteBackgroundCheck", w->whiteBackgroundCheck },
        { "densityLabel", w->densityLabel },
        { "densityValueLabel", w->densityValueLabel },
        { "objectSizeLabel", w->objectSizeLabel },
        { "objectSizeValueLabel", w->objectSizeValueLabel },
        { "resetKeyPositionButton", w->resetKeyPositionButton },
        { "resetContinuousButton", w->resetContinuousButton },
        { "resetViewButton", w->resetViewButton },
        { "exportButton", w->exportButton },
        { "captureGroup", w->captureGroup },
        { "motionTypeGroup", w->motionTypeGroup },
        { "motionPropertiesGroup", w->motionPropertiesGroup },
        { "settingsGroup", w->settingsGroup },
    };
    QObject *object = members.value(member);
    if (auto *label = qobject_cast<QLabel *>(object))
        return label->text();
    if (auto *button = qobject_cast<QAbstractButton *>(object))
        return button->text();
    if (auto *group = qobject_cast<QGroupBox *>(object))
        return group->title();
    return QStringLiteral("<no such member>");
}

void TestMainWindow::captions()
{
    QFETCH(QString, member);
    QFETCH(QString, caption);
    QCOMPARE(captionOf(window.get(), member), caption);
    // Tools outside the program find "Smooth joints" by its object name.
    QCOMPARE(window->findChild<QCheckBox *>(QStringLiteral("smoothingCheck")),
        window->smoothingCheck);
}

void TestMainWindow::slidersAndSpinBoxesStartAsSpecified()
{
    QCOMPARE(window->densitySlider->minimum(), 0);
    QCOMPARE(window->densitySlider->maximum(), 100);
    QCOMPARE(window->densitySlider->value(), 100);
    QCOMPARE(window->densitySlider->singleStep(), 1);
    QCOMPARE(window->densitySlider->orientation(), Qt::Horizontal);
    QCOMPARE(window->objectSizeSlider->minimum(), 1);
    QCOMPARE(window->objectSizeSlider->maximum(), 100);
    QCOMPARE(window->objectSizeSlider->value(), 70);
    QCOMPARE(window->positionSlider->orientation(), Qt::Horizontal);
    QCOMPARE(window->positionSlider->singleStep(), 1);
    QCOMPARE(window->positionSlider->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(window->positionSlider->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
    for (QSpinBox *spin : { window->approximationDegreeSpin, window->interpolationDegreeSpin }) {
        QCOMPARE(spin->minimum(), 0);
        QCOMPARE(spin->maximum(), 10);
        QCOMPARE(spin->value(), 3);
        QCOMPARE(spin->singleStep(), 1);
    }
    for (QSlider *slider : { window->densitySlider, window->objectSizeSlider }) {
        QCOMPARE(slider->sizePolicy().horizontalPolicy(), QSizePolicy::MinimumExpanding);
        QCOMPARE(slider->sizePolicy().verticalPolicy(), QSizePolicy::Minimum);
    }
    for (QPushButton *button :
        { window->selectPositionButton, window->selectShownPositionsButton }) {
        QCOMPARE(button->minimumHeight(), 20);
        QCOMPARE(button->sizePolicy().horizontalPolicy(), QSizePolicy::Minimum);
        QCOMPARE(button->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
    }
}

void TestMainWindow::groupBoxesSitInTheirGridCells()
{
    struct Cell {
        QGroupBox *group;
        int row, column, rowSpan, columnSpan;
    };
    const Cell cells[] = {
        { window->captureGroup, 0, 0, 1, 1 },
        { window->motionTypeGroup, 1, 0, 1, 1 },
        { window->motionPropertiesGroup, 0, 1, 2, 1 },
        { window->settingsGroup, 0, 2, 1, 1 },
    };
    for (const Cell &cell : cells) {
        const int index = window->controlGridLayout->indexOf(cell.group);
        QVERIFY(index >= 0);
        int row, column, rowSpan, columnSpan;
        window->controlGridLayout->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
        QCOMPARE(row, cell.row);
        QCOMPARE(column, cell.column);
        QCOMPARE(rowSpan, cell.rowSpan);
        QCOMPARE(columnSpan, cell.columnSpan);
        QCOMPARE(cell.group->sizePolicy().horizontalPolicy(), QSizePolicy::Expanding);
        QCOMPARE(cell.group->sizePolicy().verticalPolicy(), QSizePolicy::Expanding);
    }
    int row, column, rowSpan, columnSpan;
    const QGridLayout *capture = window->captureLayout;
    capture->getItemPosition(
        capture->indexOf(window->spatialCaptureCheck), &row, &column, &rowSpan, &columnSpan);
    QCOMPARE(QPoint(column, row), QPoint(1, 1));
    capture->getItemPosition(
        capture->indexOf(window->startRecordingCheck), &row, &column, &rowSpan, &columnSpan);
    QCOMPARE(QPoint(column, row), QPoint(0, 2));
    QCOMPARE(window->captureLayout->spacing(), 6);
    QCOMPARE(window->controlGridLayout->spacing(), 6);
}

// Each row: a member, one of its signals, and how many connections it has
// (the connection table counts every slot once).
void TestMainWindow::receiversPerSignal_data()
{
    QTest::addColumn<QString>("member");
    QTest::addColumn<QByteArray>("signal");
    QTest::addColumn<int>("receivers");
    QTest::newRow("density") << "densitySlider" << QByteArray(SIGNAL(sliderMoved(int))) << 2;
    QTest::newRow("screw") << "screwCheck" << QByteArray(SIGNAL(stateChanged(int))) << 3;
    QTest::newRow("bezier") << "bezierCheck" << QByteArray(SIGNAL(stateChanged(int))) << 3;
    QTest::newRow("approximation")
        << "approximationCheck" << QByteArray(SIGNAL(stateChanged(int))) << 4;
    QTest::newRow("interpolation")
        << "interpolationCheck" << QByteArray(SIGNAL(stateChanged(int))) << 4;
    QTest::newRow("key positions")
        << "keyPositionsCheck" << QByteArray(SIGNAL(stateChanged(int))) << 1;
    QTest::newRow("continuous motion")
        << "continuousMotionCheck" << QByteArray(SIGNAL(stateChanged(int))) << 2;
    QTest::newRow("white background")
        << "whiteBackgroundCheck" << QByteArray(SIGNAL(stateChanged(int))) << 1;
    QTest::newRow("object") << "objectCheck" << QByteArray(SIGNAL(stateChanged(int))) << 2;
    QTest::newRow("trajectory") << "trajectoryCheck" << QByteArray(SIGNAL(stateChanged(int))) << 1;
    QTest::newRow("frames") << "framesCheck" << QByteArray(SIGNAL(stateChanged(int))) << 1;
    QTest::newRow("approximation degree")
        << "approximationDegreeSpin" << QByteArray(SIGNAL(valueChanged(int))) << 1;
    QTest::newRow("interpolation degree")
        << "interpolationDegreeSpin" << QByteArray(SIGNAL(valueChanged(int))) << 1;
    QTest::newRow("position") << "positionSlider" << QByteArray(SIGNAL(sliderMoved(int))) << 1;
    QTest::newRow("object size") << "objectSizeSlider" << QByteArray(SIGNAL(sliderMoved(int))) << 2;
    QTest::newRow("select position")
        << "selectPositionButton" << QByteArray(SIGNAL(clicked(bool))) << 1;
    QTest::newRow("select shown") << "selectShownPositionsButton"
                                  << QByteArray(SIGNAL(clicked(bool))) << 1;
    QTest::newRow("continuous capture")
        << "continuousCaptureCheck" << QByteArray(SIGNAL(toggled(bool))) << 2;
    QTest::newRow("key position capture")
        << "keyPositionCaptureCheck" << QByteArray(SIGNAL(toggled(bool))) << 1;
    QTest::newRow("planar") << "planarCaptureCheck" << QByteArray(SIGNAL(stateChanged(int))) << 1;
    QTest::newRow("spatial") << "spatialCaptureCheck" << QByteArray(SIGNAL(stateChanged(int))) << 1;
    QTest::newRow("export") << "exportButton" << QByteArray(SIGNAL(clicked(bool))) << 1;
    QTest::newRow("reset key") << "resetKeyPositionButton" << QByteArray(SIGNAL(pressed())) << 1;
    QTest::newRow("reset continuous")
        << "resetContinuousButton" << QByteArray(SIGNAL(pressed())) << 1;
    QTest::newRow("reset view") << "resetViewButton" << QByteArray(SIGNAL(pressed())) << 1;
    QTest::newRow("start recording")
        << "startRecordingCheck" << QByteArray(SIGNAL(stateChanged(int))) << 0;
}

// QObject::receivers is protected; a pointer to it taken through a subclass
// may be called on any object.
class ReceiverCounter : public QObject {
public:
    static int count(QObject *object, const char *signal)
    {
        int (QObject::*receivers)(const char *) const = &ReceiverCounter::receivers;
        return (object->*receivers)(signal);
    }
};

void TestMainWindow::receiversPerSignal()
{
    QFETCH(QString, member);
    QFETCH(QByteArray, signal);
    QFETCH(int, receivers);
    const QMap<QString, QObject *> members = {
        { "densitySlider", window->densitySlider },
        { "screwCheck", window->screwCheck },
        { "bezierCheck", window->bezierCheck },
        { "approximationCheck", window->approximationCheck },
        { "interpolationCheck", window->interpolationCheck },
        { "keyPositionsCheck", window->keyPositionsCheck },
        { "continuousMotionCheck", window->continuousMotionCheck },
        { "whiteBackgroundCheck", window->whiteBackgroundCheck },
        { "objectCheck", window->objectCheck },
        { "trajectoryCheck", window->trajectoryCheck },
        { "framesCheck", window->framesCheck },
        { "approximationDegreeSpin", window->approximationDegreeSpin },
        { "interpolationDegreeSpin", window->interpolationDegreeSpin },
        { "positionSlider", window->positionSlider },
        { "objectSizeSlider", window->objectSizeSlider },
        { "selectPositionButton", window->selectPositionButton },
        { "selectShownPositionsButton", window->selectShownPositionsButton },
        { "continuousCaptureCheck", window->continuousCaptureCheck },
        { "keyPositionCaptureCheck", window->keyPositionCaptureCheck },
        { "planarCaptureCheck", window->planarCaptureCheck },
        { "spatialCaptureCheck", window->spatialCaptureCheck },
        { "exportButton", window->exportButton },
        { "resetKeyPositionButton", window->resetKeyPositionButton },
        { "resetContinuousButton", window->resetContinuousButton },
        { "resetViewButton", window->resetViewButton },
        { "startRecordingCheck", window->startRecordingCheck },
    };
    QObject *object = members.value(member);
    QVERIFY(object);
    QCOMPARE(ReceiverCounter::count(object, signal.constData()), receivers);
}

void TestMainWindow::slidersReachSlotsOnlyWhenDragged()
{
    window->densitySlider->setEnabled(true);
    window->densitySlider->setValue(40);
    QCOMPARE(window->densityValueLabel->text(), QStringLiteral("100 %"));
    window->objectSizeSlider->setValue(12);
    QCOMPARE(window->objectSizeValueLabel->text(), QStringLiteral("70 %"));

    // A drag of the handle emits sliderMoved, which the label follows.
    QSignalSpy moved(window->densitySlider, SIGNAL(sliderMoved(int)));
    window->densitySlider->triggerAction(QAbstractSlider::SliderMove);
    window->densitySlider->setSliderDown(true);
    window->densitySlider->setSliderPosition(55);
    window->densitySlider->setSliderDown(false);
    QCOMPARE(moved.count(), 1);
    QCOMPARE(window->densityValueLabel->text(), QStringLiteral("55 %"));
}

void TestMainWindow::translationAppliesToAllButTheFixedCaptions()
{
    window.reset();
    MarkingTranslator translator;
    QCoreApplication::installTranslator(&translator);
    window.reset(new mainDialog);
    QCoreApplication::removeTranslator(&translator);

    QCOMPARE(window->screwCheck->text(), QStringLiteral("[Screw]"));
    QCOMPARE(window->captureGroup->title(), QStringLiteral("[Type of capture]"));
    QCOMPARE(window->exportButton->text(), QStringLiteral("[Export positions to XML]"));
    QCOMPARE(window->selectPositionButton->text(), QStringLiteral("[Select position]"));
    QCOMPARE(window->approximationDegreeLabel->text(), QStringLiteral("[Degree]"));
    // These never pass through translation.
    QCOMPARE(window->positionLabel->text(), QStringLiteral("Select Position"));
    QCOMPARE(window->whiteBackgroundCheck->text(), QStringLiteral("White background"));
    QCOMPARE(window->densityLabel->text(), QStringLiteral("Density"));
    QCOMPARE(window->densityValueLabel->text(), QStringLiteral("100 %"));
    QCOMPARE(window->objectSizeLabel->text(), QStringLiteral("Object Size"));
    QCOMPARE(window->objectSizeValueLabel->text(), QStringLiteral("70 %"));
    QCOMPARE(window->fileMenu->title(), QStringLiteral("&File"));
    QCOMPARE(window->exitAction->text(), QStringLiteral("E&xit"));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
