#include "app/MotionExportDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

MotionExportDialog::MotionExportDialog(
    const std::vector<MotionKind> &shownKinds, int keySegments, QWidget *parent)
    : QDialog(parent)
    , m_kinds(shownKinds)
{
    setWindowTitle(tr("Export motion"));
    auto *layout = new QVBoxLayout(this);

    auto *kindsGroup = new QGroupBox(tr("Motions shown"), this);
    auto *kindsLayout = new QVBoxLayout(kindsGroup);
    for (MotionKind kind : m_kinds) {
        QString title = QString::fromLatin1(motionKindTitle(kind));
        title[0] = title[0].toUpper();
        auto *check = new QCheckBox(title, kindsGroup);
        check->setChecked(true);
        kindsLayout->addWidget(check);
        kindChecks.push_back(check);
    }
    layout->addWidget(kindsGroup);

    auto *form = new QFormLayout();
    formatCombo = new QComboBox(this);
    for (const MotionExportFormatInfo &info : motionExportFormats())
        formatCombo->addItem(tr(info.label), static_cast<int>(info.format));
    form->addRow(tr("Format"), formatCombo);

    constantSpeedCheck = new QCheckBox(tr("Constant speed along the path"), this);
    form->addRow(QString(), constantSpeedCheck);

    durationSpin = new QDoubleSpinBox(this);
    durationSpin->setDecimals(3);
    durationSpin->setRange(0.001, 1e6);
    durationSpin->setSuffix(tr(" s"));
    durationSpin->setValue(qMax(1, keySegments));
    form->addRow(tr("Duration"), durationSpin);

    cameraInBaseEdit = new QLineEdit(this);
    cameraInBaseEdit->setPlaceholderText(tr("p[x, y, z, rx, ry, rz]; empty: identity"));
    cameraInBaseEdit->setToolTip(tr("The camera's pose in the robot's base frame, in metres and "
                                    "radians; the waypoints are mapped into the base frame."));
    form->addRow(tr("Camera in base"), cameraInBaseEdit);
    layout->addLayout(form);

    problemLabel = new QLabel(this);
    problemLabel->setStyleSheet(QStringLiteral("color: #b00020"));
    problemLabel->setWordWrap(true);
    problemLabel->hide();
    layout->addWidget(problemLabel);

    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("Export…"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &MotionExportDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &MotionExportDialog::reject);
    connect(formatCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
        [this] { updateCameraInBase(); });
    updateCameraInBase();
}

void MotionExportDialog::updateCameraInBase()
{
    cameraInBaseEdit->setEnabled(motionExportFormatInfo(format()).takesCameraInBase);
}

std::vector<MotionKind> MotionExportDialog::selectedKinds() const
{
    std::vector<MotionKind> kinds;
    for (size_t i = 0; i < m_kinds.size(); ++i)
        if (kindChecks[i]->isChecked())
            kinds.push_back(m_kinds[i]);
    return kinds;
}

MotionExportFormat MotionExportDialog::format() const
{
    return static_cast<MotionExportFormat>(formatCombo->currentData().toInt());
}

bool MotionExportDialog::constantSpeed() const { return constantSpeedCheck->isChecked(); }

double MotionExportDialog::durationSeconds() const { return durationSpin->value(); }

bool MotionExportDialog::cameraInBase(RobotPose *pose) const
{
    const QString text = cameraInBaseEdit->text().trimmed();
    return !text.isEmpty() && parseRobotPose(text.toStdString(), pose);
}

void MotionExportDialog::accept()
{
    QString problem;
    RobotPose pose;
    if (selectedKinds().empty())
        problem = tr("Choose at least one motion.");
    else if (motionExportFormatInfo(format()).takesCameraInBase
        && !cameraInBaseEdit->text().trimmed().isEmpty() && !cameraInBase(&pose))
        problem = tr("The camera in base is not a pose p[x, y, z, rx, ry, rz].");
    problemLabel->setText(problem);
    problemLabel->setVisible(!problem.isEmpty());
    if (problem.isEmpty())
        QDialog::accept();
}
