#pragma once

#include "session/SessionRestore.h"

#include <QMainWindow>

#include <memory>
#include <vector>

class QAction;
class QCommandLineParser;
class QCheckBox;
class QGridLayout;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QMenu;
class QPushButton;
class QScrollArea;
class QSlider;
class QSpinBox;
class QUndoStack;
class QVBoxLayout;
class QWidget;
class GLWidget;
class KeyPositionPanel;
class PoseSession;
class SessionJournal;
class ViewWindowAdapter;

namespace Kinect {

class Sensor;
class colorThread;
class skeletonThread;

// The one main window: the colour and skeleton views on top, the 3D view with
// its position row below, and the four control groups. The constructor builds
// the whole widget tree, creates the session, the sensor and the two polling
// threads and makes every connection. Capture (through WindowCapture) reaches
// the controls through mainDialogInstance and the public members below; the
// 3D view through the controls and pose lists the window hands it.
//
// The window keeps the session in a journal: before the polling threads
// start it offers back what a session that did not end cleanly left, then
// every change of the two pose lists is journaled until the window goes.
// The key positions' edits (capture, the view's store slots, the resets,
// an import, the "Key positions" panel) are steps on its undo stack.
class mainDialog : public QMainWindow {
    Q_OBJECT
public:
    mainDialog();
    ~mainDialog() override;

    // Stops both polling threads (colour first), waits until they have left
    // their loops and drops the calls they had queued for the sensor. From
    // then on the sensor takes frames only when its slots are called; the
    // destructor does this first.
    void stopPolling();

    // Starts recording every body frame to fileName, as "Record body
    // frames…" does after its question; false (said in the status bar) when
    // the file cannot be written.
    bool startRecordingFrames(const QString &fileName);
    // The options the window takes from the command line: --smooth checks
    // "Smooth joints", --record FILE starts recording body frames.
    void applyCaptureOptions(const QCommandLineParser &parser);

public Q_SLOTS:
    void updateDensityLabel(int value);
    void updateObjectSizeLabel(int value);
    void enableDisableStartRecordingAndResetButton(int);
    void enableDisableContinuousSpatialbutton(bool);
    void enableDisablePositionSelectionSlider(bool);
    void enableDisableGroup4(int);
    void enableDisableObjectSize(int);
    void enableDisableApproximationSpinBox(int);
    void enableDisableInterpoaltionSpinBox(int);
    void saveFile(bool);
    // File menu: replace the key positions with those of an export file
    // (its last export), and write the shown motions for robots.
    void importKeyPositions();
    void exportMotion();
    // File menu, "Record body frames…": on asks for a file and appends every
    // body frame the sensor takes to it; off closes it.
    void recordBodyFrames(bool on);
    void intermediateReset();
    void continuousReset();

public:
    QWidget *centralWidget;
    QLabel *colorLabel;
    QScrollArea *colorScrollArea;
    Sensor *sensor;
    QLabel *skeletonLabel;
    QScrollArea *skeletonScrollArea;
    GLWidget *glWidget;
    QScrollArea *glScrollArea;
    QSlider *positionSlider;
    QLabel *positionLabel;
    QPushButton *selectPositionButton;
    QPushButton *selectShownPositionsButton;
    QGroupBox *captureGroup;
    QGroupBox *settingsGroup;
    QGroupBox *motionTypeGroup;
    QGroupBox *motionPropertiesGroup;
    QCheckBox *planarCaptureCheck;
    QCheckBox *spatialCaptureCheck;
    QCheckBox *continuousCaptureCheck;
    QCheckBox *keyPositionCaptureCheck;
    QCheckBox *startRecordingCheck;
    QCheckBox *smoothingCheck;
    QPushButton *exportButton;
    QPushButton *resetKeyPositionButton;
    QPushButton *resetContinuousButton;
    QPushButton *resetViewButton;
    QCheckBox *screwCheck;
    QCheckBox *bezierCheck;
    QCheckBox *approximationCheck;
    QCheckBox *interpolationCheck;
    QCheckBox *keyPositionsCheck;
    QCheckBox *continuousMotionCheck;
    QLabel *approximationDegreeLabel;
    QSpinBox *approximationDegreeSpin;
    QLabel *interpolationDegreeLabel;
    QSpinBox *interpolationDegreeSpin;
    QCheckBox *trajectoryCheck;
    QCheckBox *framesCheck;
    QCheckBox *objectCheck;
    QCheckBox *whiteBackgroundCheck;
    QSlider *densitySlider;
    QLabel *densityLabel;
    QLabel *densityValueLabel;
    QSlider *objectSizeSlider;
    QLabel *objectSizeLabel;
    QLabel *objectSizeValueLabel;
    QMenu *fileMenu;
    QAction *importKeyPositionsAction;
    QAction *exportMotionAction;
    QAction *recordFramesAction;
    QAction *exitAction;
    QVBoxLayout *mainLayout;
    QHBoxLayout *topRowLayout;
    QVBoxLayout *leftColumnLayout;
    QHBoxLayout *positionRowLayout;
    QHBoxLayout *bottomRowLayout;
    QGridLayout *controlGridLayout;
    QGridLayout *captureLayout;
    QVBoxLayout *settingsLayout;
    QGridLayout *motionTypeLayout;
    QHBoxLayout *approximationDegreeLayout;
    QHBoxLayout *interpolationDegreeLayout;
    QVBoxLayout *motionPropertiesLayout;
    QHBoxLayout *densityRowLayout;
    QVBoxLayout *densityLayout;
    QHBoxLayout *objectSizeRowLayout;
    QVBoxLayout *objectSizeLayout;
    colorThread *colorFrameThread;
    skeletonThread *skeletonFrameThread;
    // The session's pose lists, which the sensor captures into.
    PoseSession *session;
    // The session's journal; a child of the window, closed when it goes.
    SessionJournal *journal;
    QUndoStack *undoStack;
    QMenu *editMenu;
    QAction *undoAction;
    QAction *redoAction;
    QMenu *viewMenu;
    KeyPositionPanel *keyPositionPanel;
    // By MotionKind: the check box of every kind, and the degree spin box of
    // those that have one (null for the others).
    std::vector<QCheckBox *> motionKindChecks;
    std::vector<QSpinBox *> motionKindDegreeSpins;

private:
    void buildWidgetTree();
    void makeConnections();
    void startJournal();
    void addEditing();

    std::unique_ptr<ViewWindowAdapter> m_viewAdapter;
    // Where body frames are recorded while "Record body frames…" is on.
    QString m_frameRecordingFile;
};

} // namespace Kinect

// How the window asks whether to restore the last session: a question box by
// default, which is answered No without being shown on a platform that shows
// nothing (offscreen, minimal). Tests install their own answer; an empty one
// restores the box.
void setRestoreQuestion(RestoreQuestion ask);

// The process-wide main window; null until main() has constructed it, and
// null again once it is gone. Readers check it before use.
extern Kinect::mainDialog *mainDialogInstance;
