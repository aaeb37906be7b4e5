#include "app/mainDialog.h"

#include "app/FileNameQuestion.h"
#include "app/KeyPositionExport.h"
#include "app/KeyPositionImport.h"
#include "app/KeyPositionPanel.h"
#include "app/MotionExportCommand.h"
#include "app/MotionExportDialog.h"
#include "app/SessionJournal.h"
#include "motion/MRBSplineInterpolation.h"
#include "sensor/PollingThreads.h"
#include "sensor/Sensor.h"
#include "view/GLWidget.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QUndoStack>
#include <QVBoxLayout>

Kinect::mainDialog *mainDialogInstance = nullptr;

namespace {

RestoreQuestion &installedRestoreQuestion()
{
    static RestoreQuestion ask;
    return ask;
}

bool askWithQuestionBox(const QString &question, const QString &details)
{
    // Nobody could see the box, let alone answer it: the journal is kept
    // aside instead, as after No.
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return false;
    QMessageBox box(QMessageBox::Question,
        QCoreApplication::translate("Kinect::mainDialog", "Restore the last session"), question,
        QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    if (!details.isEmpty())
        box.setInformativeText(details);
    return box.exec() == QMessageBox::Yes;
}

} // namespace

void setRestoreQuestion(RestoreQuestion ask) { installedRestoreQuestion() = std::move(ask); }

namespace Kinect {

namespace {

    QScrollArea *pictureScrollArea(QWidget *parent, QLabel *label)
    {
        auto *area = new QScrollArea(parent);
        // A window of its own: a new camera picture then reaches the screen
        // by itself, instead of making the whole window, 3D view included,
        // be composed anew through OpenGL 60 times a second.
        label->setAttribute(Qt::WA_DontCreateNativeAncestors);
        label->setAttribute(Qt::WA_NativeWindow);
        area->setWidget(label);
        area->setWidgetResizable(true);
        area->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        area->setMinimumSize(940, 440);
        area->setMaximumSize(940, 440);
        return area;
    }

    QGroupBox *controlGroup(QWidget *parent, const QString &title)
    {
        auto *group = new QGroupBox(title, parent);
        QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        policy.setHorizontalStretch(0);
        policy.setVerticalStretch(0);
        group->setSizePolicy(policy);
        return group;
    }

    QCheckBox *checkBox(QWidget *parent, const QString &caption, bool enabled)
    {
        auto *box = new QCheckBox(caption, parent);
        box->setEnabled(enabled);
        return box;
    }

    QSlider *percentSlider(QWidget *parent, int minimum, int position)
    {
        auto *slider = new QSlider(Qt::Horizontal, parent);
        slider->setRange(minimum, 100);
        slider->setSingleStep(1);
        slider->setSliderPosition(position);
        slider->setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::Minimum);
        slider->setEnabled(false);
        return slider;
    }

    QLabel *preferredLabel(QWidget *parent, const QString &text)
    {
        auto *label = new QLabel(text, parent);
        label->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        return label;
    }

    QSpinBox *degreeSpin(QWidget *parent)
    {
        auto *spin = new QSpinBox(parent);
        spin->setRange(0, 10);
        spin->setSingleStep(1);
        spin->setValue(3);
        spin->setEnabled(false);
        return spin;
    }

} // namespace

mainDialog::mainDialog()
    : QMainWindow(nullptr)
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("main_dialog"));
    resize(1920, 1080);

    buildWidgetTree();

    fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    importKeyPositionsAction = new QAction(tr("Import key positions\u2026"), fileMenu);
    fileMenu->addAction(importKeyPositionsAction);
    exportMotionAction = new QAction(tr("Export motion\u2026"), fileMenu);
    fileMenu->addAction(exportMotionAction);
    exitAction = new QAction(QStringLiteral("E&xit"), fileMenu);
    fileMenu->addAction(exitAction);

    sensor = new Sensor(colorLabel, skeletonLabel);
    // The lists are restored and journaled before any frame can reach them.
    journal = new SessionJournal(SessionJournal::defaultDirectory(), this);
    startJournal();
    // The undo stack, the menus and the panel too: the threads start last.
    addEditing();
    colorFrameThread = new colorThread(this);
    skeletonFrameThread = new skeletonThread(this);
    colorFrameThread->setFeed(sensor->colorFeed());
    skeletonFrameThread->setFeed(sensor->bodyFeed());
    connect(colorFrameThread, SIGNAL(updatedColorFrame()), sensor, SLOT(updateColorFrame()));
    connect(
        skeletonFrameThread, SIGNAL(updatedSkeletonFrame()), sensor, SLOT(updateSkeletonFrame()));
    colorFrameThread->start(QThread::InheritPriority);
    skeletonFrameThread->start(QThread::InheritPriority);

    makeConnections();
}

mainDialog::~mainDialog()
{
    // A QThread destroyed while its loop runs aborts the program, so both
    // loops are stopped and waited for before the sensor and the children go.
    stopPolling();
    delete sensor;
    sensor = nullptr;
    // A clean exit: the journal is marked closed, so the next start offers
    // nothing back.
    if (journal->isActive() && !journal->close())
        qWarning(
            "handmotion: the session journal %s could not be closed", qPrintable(journal->path()));
    if (mainDialogInstance == this)
        mainDialogInstance = nullptr;
}

void mainDialog::startJournal()
{
    const RestoreQuestion &installed = installedRestoreQuestion();
    bool asked = false;
    const SessionStart start = startSession(
        *journal, [&](const QString &question, const QString &details) {
            asked = true;
            return installed ? installed(question, details) : askWithQuestionBox(question, details);
        });
    if (start.restored)
        sensor->restorePositions(start.keyPositions, start.continuousPositions);
    if (start.journaling)
        sensor->setListListeners(journal->listener(journal::JournalList::KeyPositions),
            journal->listener(journal::JournalList::ContinuousPositions));

    QStringList message;
    if (!start.message.isEmpty())
        message << start.message;
    if (asked && !start.restored && start.journaling)
        message << tr("The last session was kept as \"%1\".")
                       .arg(QDir::toNativeSeparators(journal->keptAsidePath()));
    if (!message.isEmpty())
        statusBar()->showMessage(message.join(QLatin1Char(' ')));
    connect(journal, &SessionJournal::writeFailed, this, [this](const QString &reason) {
        statusBar()->showMessage(
            tr("The session journal cannot be written (%1); trying again every %2 s.")
                .arg(reason)
                .arg(SessionJournal::retryInterval / 1000));
    });
    connect(journal, &SessionJournal::writeResumed, this,
        [this] { statusBar()->showMessage(tr("The session journal is written again.")); });
    // The view's slots read the window through mainDialogInstance, which
    // main() sets once the window exists.
    if (start.restored)
        QMetaObject::invokeMethod(
            this, [this] { sensor->showPositions(); }, Qt::QueuedConnection);
}

void mainDialog::addEditing()
{
    undoStack = new QUndoStack(this);
    sensor->setUndoStack(undoStack);
    editMenu = menuBar()->addMenu(tr("&Edit"));
    undoAction = undoStack->createUndoAction(editMenu, tr("&Undo"));
    undoAction->setShortcut(QKeySequence::Undo);
    editMenu->addAction(undoAction);
    redoAction = undoStack->createRedoAction(editMenu, tr("&Redo"));
    redoAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    editMenu->addAction(redoAction);

    keyPositionPanel = new KeyPositionPanel(sensor, glWidget, this);
    addDockWidget(Qt::RightDockWidgetArea, keyPositionPanel);
    keyPositionPanel->hide();
    viewMenu = menuBar()->addMenu(tr("&View"));
    viewMenu->addAction(keyPositionPanel->toggleViewAction());

    // The motions follow every undo and redo at once.
    connect(sensor, &Sensor::editReplayed, glWidget, QOverload<>::of(&QWidget::update));
}

void mainDialog::stopPolling()
{
    colorFrameThread->stop();
    skeletonFrameThread->stop();
    colorFrameThread->wait();
    skeletonFrameThread->wait();
    if (sensor)
        QCoreApplication::removePostedEvents(sensor, QEvent::MetaCall);
}

void mainDialog::buildWidgetTree()
{
    centralWidget = new QWidget(this);
    mainLayout = new QVBoxLayout(centralWidget);

    // Top row: the two picture views.
    topRowLayout = new QHBoxLayout();
    topRowLayout->setSpacing(6);
    colorLabel = new QLabel(centralWidget);
    colorScrollArea = pictureScrollArea(centralWidget, colorLabel);
    topRowLayout->addWidget(colorScrollArea);
    skeletonLabel = new QLabel(centralWidget);
    skeletonScrollArea = pictureScrollArea(centralWidget, skeletonLabel);
    topRowLayout->addWidget(skeletonScrollArea);
    mainLayout->addLayout(topRowLayout);

    // Bottom row: the 3D view with its position row, then the control grid.
    bottomRowLayout = new QHBoxLayout();
    bottomRowLayout->setSpacing(6);

    leftColumnLayout = new QVBoxLayout();
    glWidget = new GLWidget(centralWidget);
    glScrollArea = new QScrollArea(centralWidget);
    glScrollArea->setWidget(glWidget);
    glScrollArea->setWidgetResizable(true);
    glScrollArea->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    glScrollArea->setMinimumSize(940, 440);
    leftColumnLayout->addWidget(glScrollArea);

    positionRowLayout = new QHBoxLayout();
    positionLabel = preferredLabel(centralWidget, QStringLiteral("Select Position"));
    positionRowLayout->addWidget(positionLabel);
    positionSlider = new QSlider(Qt::Horizontal, centralWidget);
    positionSlider->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    positionSlider->setSingleStep(1);
    positionSlider->setEnabled(false);
    positionRowLayout->addWidget(positionSlider);
    selectPositionButton = new QPushButton(tr("Select position"), centralWidget);
    selectPositionButton->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
    selectPositionButton->setMinimumHeight(20);
    selectPositionButton->setEnabled(false);
    positionRowLayout->addWidget(selectPositionButton);
    selectShownPositionsButton = new QPushButton(tr("Select shown positions"), centralWidget);
    selectShownPositionsButton->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
    selectShownPositionsButton->setMinimumHeight(20);
    selectShownPositionsButton->setEnabled(false);
    positionRowLayout->addWidget(selectShownPositionsButton);
    leftColumnLayout->addLayout(positionRowLayout);
    bottomRowLayout->addLayout(leftColumnLayout);

    controlGridLayout = new QGridLayout();
    controlGridLayout->setSpacing(6);

    // Type of capture.
    captureGroup = controlGroup(centralWidget, tr("Type of capture"));
    captureLayout = new QGridLayout(captureGroup);
    captureLayout->setSpacing(6);
    continuousCaptureCheck = checkBox(captureGroup, tr("Continuous capture"), true);
    captureLayout->addWidget(continuousCaptureCheck, 0, 0);
    keyPositionCaptureCheck = checkBox(captureGroup, tr("Key position capture"), true);
    captureLayout->addWidget(keyPositionCaptureCheck, 1, 0);
    planarCaptureCheck = checkBox(captureGroup, tr("Planar capture"), false);
    captureLayout->addWidget(planarCaptureCheck, 0, 1);
    spatialCaptureCheck = checkBox(captureGroup, tr("Spatial capture"), false);
    captureLayout->addWidget(spatialCaptureCheck, 1, 1);
    startRecordingCheck = checkBox(captureGroup, tr("Start recording"), false);
    captureLayout->addWidget(startRecordingCheck, 2, 0);
    controlGridLayout->addWidget(captureGroup, 0, 0);

    // Type of motion.
    motionTypeGroup = controlGroup(centralWidget, tr("Type of motion"));
    motionTypeLayout = new QGridLayout(motionTypeGroup);
    screwCheck = checkBox(motionTypeGroup, tr("Screw"), true);
    motionTypeLayout->addWidget(screwCheck, 0, 0);
    bezierCheck = checkBox(motionTypeGroup, tr("Bezier"), true);
    motionTypeLayout->addWidget(bezierCheck, 1, 0);
    approximationCheck = checkBox(motionTypeGroup, tr("B-Spline Approximation"), true);
    motionTypeLayout->addWidget(approximationCheck, 2, 0);
    interpolationCheck = checkBox(motionTypeGroup, tr("B-Spline Interpolation"), true);
    motionTypeLayout->addWidget(interpolationCheck, 3, 0);
    approximationDegreeLayout = new QHBoxLayout();
    approximationDegreeLabel = new QLabel(tr("Degree"), motionTypeGroup);
    approximationDegreeLayout->addWidget(approximationDegreeLabel);
    approximationDegreeSpin = degreeSpin(motionTypeGroup);
    approximationDegreeLayout->addWidget(approximationDegreeSpin);
    motionTypeLayout->addLayout(approximationDegreeLayout, 2, 1);
    interpolationDegreeLayout = new QHBoxLayout();
    interpolationDegreeLabel = new QLabel(tr("Degree"), motionTypeGroup);
    interpolationDegreeLayout->addWidget(interpolationDegreeLabel);
    interpolationDegreeSpin = degreeSpin(motionTypeGroup);
    interpolationDegreeLayout->addWidget(interpolationDegreeSpin);
    motionTypeLayout->addLayout(interpolationDegreeLayout, 3, 1);
    controlGridLayout->addWidget(motionTypeGroup, 1, 0);

    // Motion properties.
    motionPropertiesGroup = controlGroup(centralWidget, tr("Motion properties"));
    motionPropertiesLayout = new QVBoxLayout(motionPropertiesGroup);
    keyPositionsCheck = checkBox(motionPropertiesGroup, tr("Key positions"), false);
    motionPropertiesLayout->addWidget(keyPositionsCheck);
    motionPropertiesLayout->addStretch(1);
    continuousMotionCheck = checkBox(motionPropertiesGroup, tr("Continuous motion"), false);
    motionPropertiesLayout->addWidget(continuousMotionCheck);
    motionPropertiesLayout->addStretch(1);
    trajectoryCheck = checkBox(motionPropertiesGroup, tr("Trajectory"), false);
    motionPropertiesLayout->addWidget(trajectoryCheck);
    motionPropertiesLayout->addStretch(1);
    framesCheck = checkBox(motionPropertiesGroup, tr("Coordinate frames"), false);
    motionPropertiesLayout->addWidget(framesCheck);
    motionPropertiesLayout->addStretch(1);
    objectCheck = checkBox(motionPropertiesGroup, tr("Object"), false);
    motionPropertiesLayout->addWidget(objectCheck);
    motionPropertiesLayout->addStretch(1);
    whiteBackgroundCheck
        = checkBox(motionPropertiesGroup, QStringLiteral("White background"), true);
    motionPropertiesLayout->addWidget(whiteBackgroundCheck);
    motionPropertiesLayout->addStretch(1);

    densityLayout = new QVBoxLayout();
    densityLabel = preferredLabel(motionPropertiesGroup, QStringLiteral("Density"));
    densityLayout->addWidget(densityLabel);
    densityRowLayout = new QHBoxLayout();
    densitySlider = percentSlider(motionPropertiesGroup, 0, 100);
    densityRowLayout->addWidget(densitySlider);
    densityValueLabel = preferredLabel(motionPropertiesGroup, QStringLiteral("100 %"));
    densityRowLayout->addWidget(densityValueLabel);
    densityLayout->addLayout(densityRowLayout);
    motionPropertiesLayout->addLayout(densityLayout);
    motionPropertiesLayout->addStretch(1);

    objectSizeLayout = new QVBoxLayout();
    objectSizeLabel = preferredLabel(motionPropertiesGroup, QStringLiteral("Object Size"));
    objectSizeLayout->addWidget(objectSizeLabel);
    objectSizeRowLayout = new QHBoxLayout();
    objectSizeSlider = percentSlider(motionPropertiesGroup, 1, 70);
    objectSizeRowLayout->addWidget(objectSizeSlider);
    objectSizeValueLabel = preferredLabel(motionPropertiesGroup, QStringLiteral("70 %"));
    objectSizeRowLayout->addWidget(objectSizeValueLabel);
    objectSizeLayout->addLayout(objectSizeRowLayout);
    motionPropertiesLayout->addLayout(objectSizeLayout);
    controlGridLayout->addWidget(motionPropertiesGroup, 0, 1, 2, 1);

    // General settings.
    settingsGroup = controlGroup(centralWidget, tr("General settings"));
    settingsLayout = new QVBoxLayout(settingsGroup);
    resetKeyPositionButton = new QPushButton(tr("Reset key position capture"), settingsGroup);
    settingsLayout->addWidget(resetKeyPositionButton);
    resetContinuousButton = new QPushButton(tr("Reset continuous capture"), settingsGroup);
    settingsLayout->addWidget(resetContinuousButton);
    resetViewButton = new QPushButton(tr("Reset to original position"), settingsGroup);
    settingsLayout->addWidget(resetViewButton);
    exportButton = new QPushButton(tr("Export positions to XML"), settingsGroup);
    exportButton->setEnabled(false);
    settingsLayout->addWidget(exportButton);
    controlGridLayout->addWidget(settingsGroup, 0, 2);

    bottomRowLayout->addLayout(controlGridLayout);
    mainLayout->addLayout(bottomRowLayout);

    setCentralWidget(centralWidget);
}

void mainDialog::makeConnections()
{
    connect(importKeyPositionsAction, SIGNAL(triggered(bool)), this, SLOT(importKeyPositions()));
    connect(exportMotionAction, SIGNAL(triggered(bool)), this, SLOT(exportMotion()));
    connect(exitAction, SIGNAL(triggered(bool)), this, SLOT(close()));
    connect(densitySlider, SIGNAL(sliderMoved(int)), this, SLOT(updateDensityLabel(int)));
    connect(densitySlider, SIGNAL(sliderMoved(int)), glWidget, SLOT(updateDensity(int)));
    connect(screwCheck, SIGNAL(stateChanged(int)), glWidget, SLOT(updateGLToPlot(int)));
    connect(bezierCheck, SIGNAL(stateChanged(int)), glWidget, SLOT(updateGLToPlot(int)));
    connect(approximationCheck, SIGNAL(stateChanged(int)), glWidget, SLOT(updateGLToPlot(int)));
    connect(interpolationCheck, SIGNAL(stateChanged(int)), glWidget, SLOT(updateGLToPlot(int)));
    connect(keyPositionsCheck, SIGNAL(stateChanged(int)), glWidget, SLOT(updateGLToPlot(int)));
    connect(continuousMotionCheck, SIGNAL(stateChanged(int)), glWidget, SLOT(updateGLToPlot(int)));
    connect(whiteBackgroundCheck, SIGNAL(stateChanged(int)), glWidget, SLOT(updateGLToPlot(int)));
    connect(screwCheck, SIGNAL(stateChanged(int)), this, SLOT(enableDisableGroup4(int)));
    connect(bezierCheck, SIGNAL(stateChanged(int)), this, SLOT(enableDisableGroup4(int)));
    connect(approximationCheck, SIGNAL(stateChanged(int)), this, SLOT(enableDisableGroup4(int)));
    connect(interpolationCheck, SIGNAL(stateChanged(int)), this, SLOT(enableDisableGroup4(int)));
    connect(continuousMotionCheck, SIGNAL(stateChanged(int)), this, SLOT(enableDisableGroup4(int)));
    connect(screwCheck, SIGNAL(stateChanged(int)), this, SLOT(enableDisableObjectSize(int)));
    connect(bezierCheck, SIGNAL(stateChanged(int)), this, SLOT(enableDisableObjectSize(int)));
    connect(
        approximationCheck, SIGNAL(stateChanged(int)), this, SLOT(enableDisableObjectSize(int)));
    connect(
        interpolationCheck, SIGNAL(stateChanged(int)), this, SLOT(enableDisableObjectSize(int)));
    connect(objectCheck, SIGNAL(stateChanged(int)), this, SLOT(enableDisableObjectSize(int)));
    connect(approximationCheck, SIGNAL(stateChanged(int)), this,
        SLOT(enableDisableApproximationSpinBox(int)));
    connect(interpolationCheck, SIGNAL(stateChanged(int)), this,
        SLOT(enableDisableInterpoaltionSpinBox(int)));
    connect(approximationDegreeSpin, SIGNAL(valueChanged(int)), glWidget,
        SLOT(updateApproximationDegree(int)));
    connect(interpolationDegreeSpin, SIGNAL(valueChanged(int)), glWidget,
        SLOT(updateInterpolationDegree(int)));
    connect(trajectoryCheck, SIGNAL(stateChanged(int)), glWidget, SLOT(updateGLToPlot(int)));
    connect(framesCheck, SIGNAL(stateChanged(int)), glWidget, SLOT(updateGLToPlot(int)));
    connect(objectCheck, SIGNAL(stateChanged(int)), glWidget, SLOT(updateGLToPlot(int)));
    connect(positionSlider, SIGNAL(sliderMoved(int)), glWidget, SLOT(updateSelectedPosition(int)));
    connect(objectSizeSlider, SIGNAL(sliderMoved(int)), glWidget, SLOT(updateGLToPlot(int)));
    connect(objectSizeSlider, SIGNAL(sliderMoved(int)), this, SLOT(updateObjectSizeLabel(int)));
    connect(selectPositionButton, SIGNAL(clicked(bool)), glWidget,
        SLOT(storeKeyPositionsInGLWidget(bool)));
    connect(selectShownPositionsButton, SIGNAL(clicked(bool)), glWidget,
        SLOT(storeAllKeyPositionsInGLWidget(bool)));
    connect(continuousCaptureCheck, SIGNAL(toggled(bool)), this,
        SLOT(enableDisableContinuousSpatialbutton(bool)));
    connect(keyPositionCaptureCheck, SIGNAL(toggled(bool)), this,
        SLOT(enableDisableContinuousSpatialbutton(bool)));
    connect(continuousCaptureCheck, SIGNAL(toggled(bool)), this,
        SLOT(enableDisablePositionSelectionSlider(bool)));
    connect(planarCaptureCheck, SIGNAL(stateChanged(int)), this,
        SLOT(enableDisableStartRecordingAndResetButton(int)));
    connect(spatialCaptureCheck, SIGNAL(stateChanged(int)), this,
        SLOT(enableDisableStartRecordingAndResetButton(int)));
    connect(exportButton, SIGNAL(clicked(bool)), this, SLOT(saveFile(bool)));
    connect(resetKeyPositionButton, SIGNAL(pressed()), this, SLOT(intermediateReset()));
    connect(resetContinuousButton, SIGNAL(pressed()), this, SLOT(continuousReset()));
    connect(resetViewButton, SIGNAL(pressed()), glWidget, SLOT(resetInteraction()));
}

void mainDialog::updateDensityLabel(int value)
{
    densityValueLabel->setText(QStringLiteral("%1 %").arg(value));
}

void mainDialog::updateObjectSizeLabel(int value)
{
    objectSizeValueLabel->setText(QStringLiteral("%1 %").arg(value));
}

// Planar and spatial capture exclude each other; recording is possible while
// one of them is checked.
void mainDialog::enableDisableStartRecordingAndResetButton(int)
{
    if (planarCaptureCheck->isChecked()) {
        spatialCaptureCheck->setEnabled(false);
        startRecordingCheck->setEnabled(true);
    } else if (spatialCaptureCheck->isChecked()) {
        planarCaptureCheck->setEnabled(false);
        startRecordingCheck->setEnabled(true);
    } else if (!planarCaptureCheck->isEnabled()) {
        planarCaptureCheck->setEnabled(true);
        startRecordingCheck->setEnabled(false);
    } else if (!spatialCaptureCheck->isEnabled()) {
        spatialCaptureCheck->setEnabled(true);
        startRecordingCheck->setEnabled(false);
    }
}

// Continuous and key-position capture exclude each other; the planar/spatial
// choice is open while one of them is checked. Disabling never unchecks.
void mainDialog::enableDisableContinuousSpatialbutton(bool)
{
    if (continuousCaptureCheck->isChecked()) {
        planarCaptureCheck->setEnabled(true);
        spatialCaptureCheck->setEnabled(true);
        keyPositionCaptureCheck->setEnabled(false);
    } else if (!keyPositionCaptureCheck->isChecked()) {
        planarCaptureCheck->setEnabled(false);
        spatialCaptureCheck->setEnabled(false);
        keyPositionCaptureCheck->setEnabled(true);
    }

    if (keyPositionCaptureCheck->isChecked()) {
        planarCaptureCheck->setEnabled(true);
        spatialCaptureCheck->setEnabled(true);
        continuousCaptureCheck->setEnabled(false);
    } else if (!continuousCaptureCheck->isChecked()) {
        planarCaptureCheck->setEnabled(false);
        spatialCaptureCheck->setEnabled(false);
        continuousCaptureCheck->setEnabled(true);
    }
}

void mainDialog::enableDisablePositionSelectionSlider(bool)
{
    const bool continuous = continuousCaptureCheck->isChecked();
    positionSlider->setEnabled(continuous);
    selectPositionButton->setEnabled(continuous);
    selectShownPositionsButton->setEnabled(continuous);
}

void mainDialog::enableDisableGroup4(int)
{
    const bool anyMotion = screwCheck->isChecked() || bezierCheck->isChecked()
        || approximationCheck->isChecked() || interpolationCheck->isChecked()
        || continuousMotionCheck->isChecked();
    trajectoryCheck->setEnabled(anyMotion);
    framesCheck->setEnabled(anyMotion);
    objectCheck->setEnabled(anyMotion);
    densitySlider->setEnabled(anyMotion);
}

// The continuous motion does not count: it draws its model unscaled.
void mainDialog::enableDisableObjectSize(int)
{
    const bool anyComputed = screwCheck->isChecked() || bezierCheck->isChecked()
        || approximationCheck->isChecked() || interpolationCheck->isChecked();
    objectSizeSlider->setEnabled(objectCheck->isChecked() && anyComputed);
}

void mainDialog::enableDisableApproximationSpinBox(int)
{
    approximationDegreeSpin->setEnabled(approximationCheck->isChecked());
}

void mainDialog::enableDisableInterpoaltionSpinBox(int)
{
    interpolationDegreeSpin->setEnabled(interpolationCheck->isChecked());
}

namespace {

    void uncheckDrawingOptions(QCheckBox *trajectory, QCheckBox *frames, QCheckBox *object)
    {
        for (QCheckBox *box : { trajectory, frames, object })
            if (box->isChecked())
                box->setChecked(false);
    }

} // namespace

void mainDialog::saveFile(bool)
{
    const QString proposed = proposedExportFileName(QDateTime::currentDateTime());
    QString fileName = askFileName(this,
        { FileNameQuestion::Purpose::Save, tr("Save Data"), proposed, QStringLiteral("*.xml") });
    if (fileName.isEmpty())
        return;
    fileName = exportFileNameWithSuffix(fileName);
    const std::vector<DualQuaternion> positions = sensor->keyPositions();
    if (positions.empty())
        return;
    QString reason;
    if (!appendKeyPositions(fileName, positions, &reason)) {
        // Saying nothing here would let the user believe the positions were
        // saved; they stay in the list either way.
        QMessageBox::warning(this, tr("Export failed"),
            tr("The key positions could not be written to \"%1\": %2.\n"
               "They are still held and can be exported again.")
                .arg(QDir::toNativeSeparators(fileName), reason));
    }
}

namespace {

    QString countOf(size_t n, const char *one, const char *many)
    {
        return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
    }

} // namespace

void mainDialog::importKeyPositions()
{
    const QString fileName = askFileName(this,
        { FileNameQuestion::Purpose::Open, tr("Import key positions"), QString(),
            tr("Key positions (*.xml);;All files (*)") });
    if (fileName.isEmpty())
        return;
    const KeyPositionImport imported = readKeyPositionFile(fileName);
    QString problem = imported.error;
    if (problem.isEmpty() && imported.positions.empty())
        problem = tr("%1: its last export holds no key positions").arg(fileName);
    if (!problem.isEmpty()) {
        statusBar()->showMessage(tr("Import failed: %1").arg(problem));
        QMessageBox::warning(this, tr("Import failed"),
            tr("The key positions could not be imported; nothing was changed.\n%1").arg(problem));
        return;
    }
    const int held = sensor->keyPositionCount();
    if (held > 0
        && QMessageBox::question(this, tr("Import key positions"),
               tr("Replace the %1 held now with the %2 of \"%3\"?")
                   .arg(countOf(size_t(held), "key position", "key positions"),
                       countOf(imported.positions.size(), "key position", "key positions"),
                       QDir::toNativeSeparators(fileName)),
               QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
            != QMessageBox::Yes)
        return;
    sensor->replaceKeyPositions(imported.positions, tr("Import key positions"));
    glWidget->update();
    const QString name = QDir::toNativeSeparators(fileName);
    const QString count
        = tr("Imported %1")
              .arg(countOf(imported.positions.size(), "key position", "key positions"));
    statusBar()->showMessage(imported.exportCount == 1
            ? tr("%1 from \"%2\", the one export it holds.").arg(count, name)
            : tr("%1 from \"%2\": the last of the %3 exports it holds.")
                  .arg(count, name)
                  .arg(imported.exportCount));
}

namespace {

    // The degree the view draws a B-spline kind with: the spin box's value
    // when it is below the number of key positions, else the one the
    // motion kept.
    template <typename M> int shownDegree(const QSpinBox *spin, const M *motion, size_t keyCount)
    {
        const int degree = spin->value();
        if (static_cast<size_t>(static_cast<unsigned>(degree)) < keyCount)
            return degree;
        return motion ? motion->degree() : degree;
    }

    // The chosen name with the format's suffix when it has none, and with
    // the kind before the suffix when several kinds are written.
    QString motionFileName(
        const QString &chosen, const QString &suffix, MotionKind kind, bool several)
    {
        QString name = chosen;
        if (QFileInfo(name).suffix().isEmpty())
            name += suffix;
        if (!several)
            return name;
        const QString kindName = QString::fromLatin1(motionKindName(kind));
        const QFileInfo info(name);
        const QString stem = info.completeBaseName();
        const QString extension
            = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
        return info.dir().filePath(stem + QLatin1Char('-') + kindName + extension);
    }

} // namespace

void mainDialog::exportMotion()
{
    const std::vector<DualQuaternion> keys = sensor->keyPositions();
    std::vector<MotionKind> shown;
    if (screwCheck->isChecked())
        shown.push_back(MotionKind::Screw);
    if (bezierCheck->isChecked())
        shown.push_back(MotionKind::Bezier);
    if (approximationCheck->isChecked())
        shown.push_back(MotionKind::Approximation);
    if (interpolationCheck->isChecked())
        shown.push_back(MotionKind::Interpolation);
    if (keys.empty() || shown.empty()) {
        QMessageBox::information(this, tr("Export motion"),
            keys.empty() ? tr("There are no key positions to compute a motion from.")
                         : tr("Check the motions to export under \"Type of motion\"."));
        return;
    }
    MotionExportDialog dialog(shown, static_cast<int>(keys.size()) - 1, this);
    if (dialog.exec() != QDialog::Accepted)
        return;

    // Every text is made before any file is written: a kind that cannot be
    // computed leaves all files as they were.
    const std::vector<MotionKind> kinds = dialog.selectedKinds();
    std::vector<std::string> texts;
    size_t poseCount = 0;
    for (MotionKind kind : kinds) {
        MotionExportRequest request;
        request.kind = kind;
        request.density = densitySlider->value();
        if (kind == MotionKind::Approximation)
            request.degree
                = shownDegree(approximationDegreeSpin, glWidget->approximationMotion, keys.size());
        else if (kind == MotionKind::Interpolation)
            request.degree
                = shownDegree(interpolationDegreeSpin, glWidget->interpolationMotion, keys.size());
        request.constantSpeed = dialog.constantSpeed();
        request.format = dialog.format();
        request.durationSeconds = dialog.durationSeconds();
        request.hasCameraInBase = request.format == MotionExportFormat::URScript
            && dialog.cameraInBase(&request.cameraInBase);
        std::string text, error;
        size_t count = 0;
        if (!motionExportText(request, keys, &text, &error, &count)) {
            QMessageBox::warning(this, tr("Export failed"),
                tr("The motion could not be exported; no file was written.\n%1")
                    .arg(QString::fromStdString(error)));
            return;
        }
        texts.push_back(std::move(text));
        poseCount += count;
    }

    const QString suffix = QString::fromLatin1(motionExportSuffix(dialog.format()));
    const QString proposed = QStringLiteral("handmotion-")
        + (kinds.size() == 1 ? QString::fromLatin1(motionKindName(kinds.front()))
                             : QStringLiteral("motion"))
        + suffix;
    const QString chosen = askFileName(this,
        { FileNameQuestion::Purpose::Save, tr("Export motion"), proposed,
            QLatin1Char('*') + suffix });
    if (chosen.isEmpty())
        return;
    QStringList written;
    for (size_t i = 0; i < kinds.size(); ++i) {
        const QString fileName = motionFileName(chosen, suffix, kinds[i], kinds.size() > 1);
        QString reason;
        if (!saveTextAtomically(fileName, texts[i], &reason)) {
            QMessageBox::warning(this, tr("Export failed"),
                tr("The motion could not be written to \"%1\": %2.")
                    .arg(QDir::toNativeSeparators(fileName), reason));
            if (!written.isEmpty())
                statusBar()->showMessage(
                    tr("Exported only %1").arg(written.join(QStringLiteral(", "))));
            return;
        }
        written << QDir::toNativeSeparators(fileName);
    }
    statusBar()->showMessage(
        tr("Exported %1 to %2")
            .arg(countOf(poseCount, "pose", "poses"), written.join(QStringLiteral(", "))));
}

void mainDialog::intermediateReset()
{
    if (keyPositionsCheck->isChecked()) {
        uncheckDrawingOptions(trajectoryCheck, framesCheck, objectCheck);
        approximationDegreeSpin->setValue(3);
        interpolationDegreeSpin->setValue(3);
        keyPositionsCheck->setChecked(false);
    }
    glWidget->resetKeyPositionMotions();
    sensor->clearKeyPositions();
}

void mainDialog::continuousReset()
{
    if (continuousMotionCheck->isChecked()) {
        uncheckDrawingOptions(trajectoryCheck, framesCheck, objectCheck);
        continuousMotionCheck->setChecked(false);
    }
    glWidget->resetContinuousMotion();
    sensor->clearContinuousPositions();
}

} // namespace Kinect
