#pragma once

#include "motion/MotionKind.h"
#include "view/CameraFit.h"

#include <QOpenGLFunctions>
#include <QOpenGLWidget>
#include <QPointF>
#include <QString>

#include <memory>
#include <vector>

class Motion;
class QKeyEvent;
class QMouseEvent;
class QWheelEvent;
class ViewControls;
class ViewPoses;

// The 3D view: keeps one motion object per selected kind of the table of
// kinds, feeds each with the poses and the window's display settings in
// every paint, and draws the scene with fixed-function OpenGL. The camera
// (perspective while a capture mode is checked, mouse rotation and
// translation, wheel zoom, framing everything drawn) lives here too.
//
// It reads and changes the window through the controls and pose lists the
// window hands it (setWindow()); without them the view draws an empty scene.
class GLWidget : public QOpenGLWidget, protected QOpenGLFunctions, public ViewCamera {
    Q_OBJECT
public:
    explicit GLWidget(QWidget *parent = nullptr);
    ~GLWidget() override;

    // The window's controls and its pose lists; not owned, and both or
    // neither. The view acts only while the controls are current.
    void setWindow(ViewControls *controls, ViewPoses *poses);

    // The motion object of a kind while the kind is selected (its check box
    // seen checked), null otherwise. Owned by the view; a kind selected again
    // gets a fresh object.
    Motion *motion(MotionKind kind) const;
    // The density the motions are drawn with from the next paint on: the
    // window's, 0 to 100. updateDensity() also repaints.
    int density() const { return m_density; }
    void setDensity(int density) { m_density = density; }

    // The degree of a kind with one, taken over while the kind is checked
    // and the degree is below the number of key positions; repaints.
    void updateDegree(MotionKind kind, int degree);

    // Unchecks the kinds drawn from key positions and "Key positions",
    // deletes their motions, resets the camera and repaints.
    void resetKeyPositionMotions();
    // Unchecks the kinds drawn from continuous positions, deletes their
    // motions, resets the camera and repaints.
    void resetContinuousMotion();

    // Pushes the modelview matrix and applies the user's translation, then
    // the rotations about x, y and z; the caller pops.
    void applyViewTransform();

    // Width over height of the view for the capture-mode perspective, in
    // single precision; a collapsed view of height 0 counts as height 1.
    float aspectRatio() const;

    // Moves the camera (translation and zoom, the rotation stays) so that
    // every drawn key position and every pose the drawn motions showed in
    // the last paint is inside the view, with a margin. Nothing drawn: the
    // camera stays. Repaints.
    void frameAll();

    // The key position drawn highlighted, as a selected pose is: white
    // frame glyph and red model, unscaled, whether or not "Key positions" is
    // checked. -1 (or any index outside the key positions) for none.
    // Repaints.
    void setHighlightedKeyPosition(int index);
    int highlightedKeyPosition() const { return m_highlightedKeyPosition; }

public Q_SLOTS:
    void updateSelectedPosition(int index);
    // setDensity(), and a repaint.
    void updateDensity(int density);
    void updateGLToPlot(int);
    void updateApproximationDegree(int degree);
    void updateInterpolationDegree(int degree);
    void resetInteraction();
    void storeKeyPositionsInGLWidget(bool);
    void storeAllKeyPositionsInGLWidget(bool);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    // A double-click with the left button frames everything drawn.
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    // The wheel zooms about the middle of the view, 10 % per notch.
    void wheelEvent(QWheelEvent *event) override;
    // "F" frames everything drawn.
    void keyPressEvent(QKeyEvent *event) override;
    void initializeGL() override;
    void resizeGL(int width, int height) override;
    void paintGL() override;

public:
    // The rest of the camera state, beside the scene's rotation, translation
    // and zoom (ViewCamera, all reset together): view size in pixels and the
    // last mouse press.
    int viewHeight = 0;
    int viewWidth = 0;
    int pressedButton = 0;
    QPointF lastMousePosition;
    QPointF currentMousePosition;

private:
    // The controls while they are current, else null.
    ViewControls *controls() const;
    void releaseGLResources();
    void resetCamera();
    bool setUpCamera(bool captureMode);
    void restoreCamera();
    void resetKinds(MotionSource source);
    // The continuous kind's motion while its check box is checked.
    Motion *checkedContinuousMotion() const;
    std::vector<ScenePoint> drawnPoints() const;
    void reportFailure(ViewControls &window);
    void drawHighlightedKeyPosition(const DualQuaternion &pose);

    ViewControls *m_controls = nullptr;
    ViewPoses *m_poses = nullptr;
    // By MotionKind.
    std::vector<std::unique_ptr<Motion>> m_motions;
    int m_density = 100;
    // The status-bar message of a motion's last failure, while it lasts;
    // empty otherwise.
    QString m_failureMessage;
    int m_highlightedKeyPosition = -1;
};
