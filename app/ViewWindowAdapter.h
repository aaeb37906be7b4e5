#pragma once

#include "view/ViewControls.h"
#include "view/ViewPoses.h"

namespace Kinect {
class mainDialog;
}

// The window's side of the 3D view's seams: its controls, and the pose lists
// of its sensor. It answers for the window while the window is the
// program's one (mainDialogInstance) and has its sensor.
class ViewWindowAdapter : public ViewControls, public ViewPoses {
public:
    explicit ViewWindowAdapter(Kinect::mainDialog &window);

    bool isCurrent() const override;
    Settings settings() const override;
    bool isChecked(MotionKind kind) const override;
    void setChecked(MotionKind kind, bool checked) override;
    int degree(MotionKind kind) const override;
    void setDegreeRange(MotionKind kind, int maximum) override;
    void setKeyPositionsShown(bool shown) override;
    void setObjectShown(bool shown) override;
    void announceDensity() override;
    void setShownPositionCount(int count) override;
    void setPosesAvailable(bool keyPositions, bool continuousPositions) override;
    void showMessage(const QString &message) override;
    void clearMessage(const QString &message) override;

    std::vector<DualQuaternion> keyPositions() const override;
    int keyPositionCount() const override;
    std::vector<DualQuaternion> continuousPositions() const override;
    int continuousPositionCount() const override;
    void addKeyPosition(const DualQuaternion &pose) override;
    void replaceKeyPositions(std::vector<DualQuaternion> poses, const QString &text) override;

private:
    Kinect::mainDialog &m_window;
};
