#pragma once

#include "motion/MotionExport.h"

#include <QDialog>

#include <vector>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;

// What "Export motion…" asks before the file name: which of the shown kinds,
// the format, constant speed, the total duration and, for a format that
// takes it, the camera's pose in the robot's base frame. Accepting checks the pose and
// that some kind is chosen, and says in the dialog what is wrong otherwise.
class MotionExportDialog : public QDialog {
    Q_OBJECT
public:
    // keySegments: the key positions less one, the default duration in s.
    MotionExportDialog(const std::vector<MotionKind> &shownKinds, int keySegments, QWidget *parent);

    std::vector<MotionKind> selectedKinds() const;
    MotionExportFormat format() const;
    bool constantSpeed() const;
    double durationSeconds() const;
    // False for an empty field (identity) or text that is not a pose.
    bool cameraInBase(RobotPose *pose) const;

    void accept() override;

    // One check box per shown kind, in the order given.
    std::vector<QCheckBox *> kindChecks;
    QComboBox *formatCombo;
    QCheckBox *constantSpeedCheck;
    QDoubleSpinBox *durationSpin;
    QLineEdit *cameraInBaseEdit;
    QLabel *problemLabel;
    QDialogButtonBox *buttons;

private:
    void updateCameraInBase();

    std::vector<MotionKind> m_kinds;
};
