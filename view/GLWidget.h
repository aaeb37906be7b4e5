#pragma once

#include <QOpenGLFunctions>
#include <QOpenGLWidget>
#include <QPointF>
#include <QString>

#include <vector>

class MScrewMotion;
class MBezierMotion;
class MRBSplineMotion;
class MRBSplineInterpolation;
class MContinuousMotion;
class QKeyEvent;
class QMouseEvent;
class QWheelEvent;
struct ScenePoint;
class DualQuaternion;

// The 3D view: keeps one motion object per selected kind, feeds each with the
// sensor's poses and the window's display settings in every paint, and draws
// the scene with fixed-function OpenGL. The camera (perspective while a
// capture mode is checked, mouse rotation and translation, wheel zoom,
// framing everything drawn) lives here too.
//
// Everything it reads or changes of the window goes through mainDialogInstance;
// without a window the view draws an empty scene. A paint reads the window
// once, at its start.
class GLWidget : public QOpenGLWidget, protected QOpenGLFunctions {
    Q_OBJECT
public:
    explicit GLWidget(QWidget *parent = nullptr);
    ~GLWidget() override;

    // Unchecks the computed kinds and "Key positions", deletes their motions,
    // resets the camera and repaints.
    void resetKeyPositionMotions();
    // Unchecks "Continuous motion", deletes its motion, resets the camera and
    // repaints.
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

    // Whether a kind is drawn. Process-wide, like the window; whenever a flag
    // is set, its motion object exists.
    static bool screwActive;
    static bool bezierActive;
    static bool approximationActive;
    static bool interpolationActive;
    static bool continuousActive;

public Q_SLOTS:
    void updateSelectedPosition(int index);
    void updateDensity(int);
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
    // Camera state: view size in pixels, the last mouse press, the scene's
    // rotation (degrees) and translation (scene units), and the
    // magnification about the middle of the view (1 at the start and after
    // every reset; see ViewCamera).
    int viewHeight = 0;
    int viewWidth = 0;
    int pressedButton = 0;
    QPointF lastMousePosition;
    QPointF currentMousePosition;
    double rotationX = 0.0;
    double rotationY = 0.0;
    double rotationZ = 0.0;
    double translationX = 0.0;
    double translationY = 0.0;
    double translationZ = 0.0;
    double zoom = 1.0;

    // One object per selected kind, owned by the view; null when unselected.
    MScrewMotion *screwMotion = nullptr;
    MBezierMotion *bezierMotion = nullptr;
    MRBSplineMotion *approximationMotion = nullptr;
    MRBSplineInterpolation *interpolationMotion = nullptr;
    MContinuousMotion *continuousMotion = nullptr;

private:
    struct PaintSettings;

    void releaseGLResources();
    void resetCamera();
    bool setUpCamera(const PaintSettings &settings);
    void restoreCamera();
    void deleteAllMotions();
    void takeDegree(int kind, int degree);
    std::vector<ScenePoint> drawnPoints() const;
    void reportInterpolation();
    void drawHighlightedKeyPosition(const DualQuaternion &pose);

    // The status-bar message of the interpolation's last failure, while it
    // lasts; empty otherwise.
    QString m_interpolationMessage;
    int m_highlightedKeyPosition = -1;
};
