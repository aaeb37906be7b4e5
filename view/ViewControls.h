#pragma once

#include "motion/MotionKind.h"

class QString;

// What the 3D view reads from and sets in the window it sits in: the display
// settings, each motion kind's check box and degree control, and the few
// controls the view keeps in step with what it shows. Implemented by the
// window. Setting a control runs its connections at once, the view's own
// slots among them, so the view reads the settings afresh after each.
class ViewControls {
public:
    struct Settings {
        bool whiteBackground = false;
        // Planar or spatial capture is checked: the scene is seen in
        // perspective.
        bool captureMode = false;
        bool showKeyPositions = false;
        bool showTrajectory = false;
        bool showFrames = false;
        bool showObject = false;
        // The scale of the model: "Object Size" in percent / 100.
        float objectSize = 0.7f;
        // The position slider: the shown continuous pose that is selected.
        int selectedPosition = 0;
    };

    virtual ~ViewControls() = default;

    // False while the window is not the program's window (before it is set
    // up and once it goes): the view then acts as a view without a window.
    virtual bool isCurrent() const = 0;
    virtual Settings settings() const = 0;

    virtual bool isChecked(MotionKind kind) const = 0;
    virtual void setChecked(MotionKind kind, bool checked) = 0;
    // The value of a kind's degree control, and its range set to 0 ..
    // maximum (which may move the value).
    virtual int degree(MotionKind kind) const = 0;
    virtual void setDegreeRange(MotionKind kind, int maximum) = 0;

    // "Key positions" and "Object" checked or unchecked.
    virtual void setKeyPositionsShown(bool shown) = 0;
    virtual void setObjectShown(bool shown) = 0;
    // The window shows its density again everywhere it is shown, as after a
    // drag of its slider.
    virtual void announceDensity() = 0;
    // The position slider ranges over `count` shown continuous poses.
    virtual void setShownPositionCount(int count) = 0;
    // What is enabled while there are key positions, and continuous
    // positions, to show or export.
    virtual void setPosesAvailable(bool keyPositions, bool continuousPositions) = 0;
    // The status bar shows the message; clearMessage() clears it when it
    // still shows that message.
    virtual void showMessage(const QString &message) = 0;
    virtual void clearMessage(const QString &message) = 0;
};
