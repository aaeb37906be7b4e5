// The window's enable rules and labels, driven through real widgets.
#include "app/mainDialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QtTest>

#include <memory>

using Kinect::mainDialog;

namespace {

// Clicks a check box as a user would (it must be enabled to react).
void click(QCheckBox *box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

// Drags a slider's handle to `value`: sliderMoved is emitted as for a user.
void drag(QSlider *slider, int value)
{
    slider->setSliderDown(true);
    slider->setSliderPosition(value);
    slider->setSliderDown(false);
}

} // namespace

class TestControls : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        window.reset(new mainDialog);
        mainDialogInstance = window.get();
        window->show();
    }
    void cleanup()
    {
        window.reset();
        mainDialogInstance = nullptr;
    }

    void percentLabelsFollowDraggedSliders_data();
    void percentLabelsFollowDraggedSliders();
    void planarAndSpatialExcludeEachOther();
    void continuousAndKeyPositionCaptureExcludeEachOther();
    void positionRowFollowsContinuousCapture();
    void motionPropertiesFollowTheMotionKinds();
    void objectSizeNeedsObjectAndAComputedKind();
    void degreeSpinBoxesFollowTheirKinds();
    void rulesReadStatesNotArguments();

private:
    std::unique_ptr<mainDialog> window;
};

void TestControls::percentLabelsFollowDraggedSliders_data()
{
    QTest::addColumn<bool>("density");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("label");
    QTest::newRow("density 55") << true << 55 << "55 %";
    QTest::newRow("density 0") << true << 0 << "0 %";
    QTest::newRow("object size 1") << false << 1 << "1 %";
    QTest::newRow("object size 100") << false << 100 << "100 %";
}

void TestControls::percentLabelsFollowDraggedSliders()
{
    QFETCH(bool, density);
    QFETCH(int, value);
    QFETCH(QString, label);
    QSlider *slider = density ? window->densitySlider : window->objectSizeSlider;
    QLabel *valueLabel = density ? window->densityValueLabel : window->objectSizeValueLabel;
    slider->setEnabled(true);
    drag(slider, value);
    QCOMPARE(valueLabel->text(), label);
}

void TestControls::planarAndSpatialExcludeEachOther()
{
    click(window->keyPositionCaptureCheck);
    QVERIFY(window->planarCaptureCheck->isEnabled());
    QVERIFY(window->spatialCaptureCheck->isEnabled());

    click(window->planarCaptureCheck);
    QVERIFY(window->planarCaptureCheck->isChecked());
    QVERIFY(!window->spatialCaptureCheck->isEnabled());
    QVERIFY(window->startRecordingCheck->isEnabled());

    click(window->planarCaptureCheck);
    QVERIFY(window->spatialCaptureCheck->isEnabled());
    QVERIFY(!window->startRecordingCheck->isEnabled());

    click(window->spatialCaptureCheck);
    QVERIFY(!window->planarCaptureCheck->isEnabled());
    QVERIFY(window->startRecordingCheck->isEnabled());
    click(window->spatialCaptureCheck);
    QVERIFY(window->planarCaptureCheck->isEnabled());
    QVERIFY(!window->startRecordingCheck->isEnabled());
}

void TestControls::continuousAndKeyPositionCaptureExcludeEachOther()
{
    struct Row {
        bool continuous, keyPosition;
        bool planarSpatialEnabled, continuousEnabled, keyPositionEnabled;
    };
    // Reached by clicking: continuous on, off; key position on, off.
    click(window->continuousCaptureCheck);
    Row expected { true, false, true, true, false };
    auto verify = [this](const Row &row) {
        QCOMPARE(window->continuousCaptureCheck->isChecked(), row.continuous);
        QCOMPARE(window->keyPositionCaptureCheck->isChecked(), row.keyPosition);
        QCOMPARE(window->planarCaptureCheck->isEnabled(), row.planarSpatialEnabled);
        QCOMPARE(window->spatialCaptureCheck->isEnabled(), row.planarSpatialEnabled);
        QCOMPARE(window->continuousCaptureCheck->isEnabled(), row.continuousEnabled);
        QCOMPARE(window->keyPositionCaptureCheck->isEnabled(), row.keyPositionEnabled);
    };
    verify(expected);

    // Disabling planar capture keeps its check mark.
    click(window->planarCaptureCheck);
    click(window->continuousCaptureCheck);
    verify({ false, false, false, true, true });
    QVERIFY(window->planarCaptureCheck->isChecked());
    QVERIFY(window->startRecordingCheck->isEnabled());

    click(window->keyPositionCaptureCheck);
    verify({ false, true, true, false, true });
    click(window->keyPositionCaptureCheck);
    verify({ false, false, false, true, true });
}

void TestControls::positionRowFollowsContinuousCapture()
{
    const QList<QWidget *> row = { window->positionSlider, window->selectPositionButton,
        window->selectShownPositionsButton };
    click(window->continuousCaptureCheck);
    for (QWidget *w : row)
        QVERIFY(w->isEnabled());
    click(window->continuousCaptureCheck);
    for (QWidget *w : row)
        QVERIFY(!w->isEnabled());
    // Key-position capture never opens the row.
    click(window->keyPositionCaptureCheck);
    for (QWidget *w : row)
        QVERIFY(!w->isEnabled());
}

void TestControls::motionPropertiesFollowTheMotionKinds()
{
    const QList<QWidget *> group4 = { window->trajectoryCheck, window->framesCheck,
        window->objectCheck, window->densitySlider };
    for (QCheckBox *kind : { window->screwCheck, window->bezierCheck, window->approximationCheck,
             window->interpolationCheck }) {
        click(kind);
        for (QWidget *w : group4)
            QVERIFY(w->isEnabled());
        click(kind);
        for (QWidget *w : group4)
            QVERIFY(!w->isEnabled());
    }
    // Only "Continuous motion": the group opens, but the object size stays shut.
    window->continuousMotionCheck->setEnabled(true);
    click(window->continuousMotionCheck);
    for (QWidget *w : group4)
        QVERIFY(w->isEnabled());
    // "Object" was switched on by the first computed kind above.
    QVERIFY(window->objectCheck->isChecked());
    QVERIFY(!window->objectSizeSlider->isEnabled());
    click(window->objectCheck);
    click(window->objectCheck);
    QVERIFY(window->objectCheck->isChecked());
    QVERIFY(!window->objectSizeSlider->isEnabled());
    QVERIFY(!window->keyPositionsCheck->isEnabled());
    QVERIFY(window->whiteBackgroundCheck->isEnabled());
}

void TestControls::objectSizeNeedsObjectAndAComputedKind()
{
    window->objectCheck->setEnabled(true);
    click(window->objectCheck);
    QVERIFY(!window->objectSizeSlider->isEnabled());
    click(window->bezierCheck);
    QVERIFY(window->objectSizeSlider->isEnabled());
    click(window->objectCheck);
    QVERIFY(!window->objectSizeSlider->isEnabled());
    click(window->objectCheck);
    QVERIFY(window->objectSizeSlider->isEnabled());
    click(window->bezierCheck);
    QVERIFY(!window->objectSizeSlider->isEnabled());
}

void TestControls::degreeSpinBoxesFollowTheirKinds()
{
    click(window->approximationCheck);
    QVERIFY(window->approximationDegreeSpin->isEnabled());
    QVERIFY(!window->interpolationDegreeSpin->isEnabled());
    click(window->interpolationCheck);
    QVERIFY(window->interpolationDegreeSpin->isEnabled());
    click(window->approximationCheck);
    QVERIFY(!window->approximationDegreeSpin->isEnabled());
    QVERIFY(window->interpolationDegreeSpin->isEnabled());
}

void TestControls::rulesReadStatesNotArguments()
{
    // Called with misleading arguments, every rule still leaves the state
    // that the check boxes call for.
    window->enableDisableGroup4(Qt::Checked);
    QVERIFY(!window->trajectoryCheck->isEnabled());
    window->enableDisablePositionSelectionSlider(true);
    QVERIFY(!window->positionSlider->isEnabled());
    window->enableDisableApproximationSpinBox(Qt::Checked);
    QVERIFY(!window->approximationDegreeSpin->isEnabled());
    window->enableDisableContinuousSpatialbutton(true);
    QVERIFY(!window->planarCaptureCheck->isEnabled());
    QVERIFY(window->continuousCaptureCheck->isEnabled());
}

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
