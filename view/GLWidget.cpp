#include "view/GLWidget.h"

#include "app/mainDialog.h"
#include "motion/MBezierMotion.h"
#include "motion/MContinuousMotion.h"
#include "motion/MNoneMotion.h"
#include "motion/MRBSplineInterpolation.h"
#include "motion/MRBSplineMotion.h"
#include "motion/MScrewMotion.h"
#include "sensor/Sensor.h"
#include "view/CameraFit.h"
#include "view/PoseGeometry.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QWheelEvent>

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <type_traits>

bool GLWidget::screwActive = false;
bool GLWidget::bezierActive = false;
bool GLWidget::approximationActive = false;
bool GLWidget::interpolationActive = false;
bool GLWidget::continuousActive = false;

namespace {

// The visual identity of each kind: model colour, trajectory colour.
const float screwObjectColour[3] = { 0.0f, 1.0f, 0.0f };
const float screwTrajectoryColour[3] = { 0.57f, 0.57f, 1.0f };
const float bezierObjectColour[3] = { 0.0f, 0.0f, 1.0f };
const float bezierTrajectoryColour[3] = { 1.0f, 0.0f, 0.0f };
const float approximationObjectColour[3] = { 1.0f, 1.0f, 0.0f };
const float approximationTrajectoryColour[3] = { 0.5f, 0.5f, 0.5f };
const float interpolationObjectColour[3] = { 0.0f, 0.5f, 0.0f };
const float interpolationTrajectoryColour[3] = { 0.7f, 0.5f, 0.2f };
const float continuousObjectColour[3] = { 0.0f, 1.0f, 1.0f };
const float keyPoseMaterial[4] = { 0.7f, 0.5f, 0.2f, 0.0f };

// Around each drawn pose the frame glyph and the model reach about a scene
// unit: framing keeps that much room around every pose.
constexpr double poseExtent = 1.25;

// The kinds in the order the view handles them everywhere.
enum KindIndex { screwKind, bezierKind, approximationKind, interpolationKind, continuousKind };

// One selectable kind: its check box, active flag, colours and degree spin
// box (null where the kind has none), and what the view does with its motion
// object, whatever its type. Computed kinds take the key positions, draw
// them alongside and scale their model; the continuous kind takes the
// continuous positions and sets only its model colour and density.
struct Kind {
    QCheckBox *Kinect::mainDialog::*check;
    bool *active;
    const float *objectColour;
    const float *trajectoryColour;
    QSpinBox *Kinect::mainDialog::*degreeSpin;
    bool computed;
    Motion *(*motion)(const GLWidget &);
    void (*create)(GLWidget &);
    void (*destroy)(GLWidget &);
    MotionProperties &(*properties)(Motion &);
    void (*setDegree)(Motion &, int);
    int (*degree)(const Motion &);
    std::vector<DualQuaternion> (*shownPoses)(const Motion &);
};

template <typename M, M *GLWidget::*member>
Kind kind(QCheckBox *Kinect::mainDialog::*check, bool *active, const float *objectColour,
    const float *trajectoryColour, QSpinBox *Kinect::mainDialog::*degreeSpin = nullptr)
{
    Kind k {};
    k.check = check;
    k.active = active;
    k.objectColour = objectColour;
    k.trajectoryColour = trajectoryColour;
    k.degreeSpin = degreeSpin;
    k.computed = !std::is_same_v<M, MContinuousMotion>;
    k.motion = [](const GLWidget &view) -> Motion * { return view.*member; };
    k.create = [](GLWidget &view) { view.*member = new M; };
    k.destroy = [](GLWidget &view) {
        delete (view.*member);
        view.*member = nullptr;
    };
    // The interpolation's own record, not the one it inherits.
    k.properties = [](Motion &m) -> MotionProperties & { return static_cast<M &>(m).properties(); };
    if constexpr (std::is_base_of_v<MRBSplineMotion, M>) {
        k.setDegree = [](Motion &m, int degree) { static_cast<M &>(m).setDegree(degree); };
        k.degree = [](const Motion &m) { return static_cast<const M &>(m).degree(); };
    }
    if constexpr (std::is_same_v<M, MContinuousMotion>)
        k.shownPoses = [](const Motion &m) { return static_cast<const M &>(m).shownPoses(); };
    else
        k.shownPoses = [](const Motion &m) { return static_cast<const M &>(m).sampledPoses(); };
    return k;
}

const std::array<Kind, 5> &kinds()
{
    using W = Kinect::mainDialog;
    static const std::array<Kind, 5> table = {
        kind<MScrewMotion, &GLWidget::screwMotion>(
            &W::screwCheck, &GLWidget::screwActive, screwObjectColour, screwTrajectoryColour),
        kind<MBezierMotion, &GLWidget::bezierMotion>(
            &W::bezierCheck, &GLWidget::bezierActive, bezierObjectColour, bezierTrajectoryColour),
        kind<MRBSplineMotion, &GLWidget::approximationMotion>(&W::approximationCheck,
            &GLWidget::approximationActive, approximationObjectColour,
            approximationTrajectoryColour, &W::approximationDegreeSpin),
        kind<MRBSplineInterpolation, &GLWidget::interpolationMotion>(&W::interpolationCheck,
            &GLWidget::interpolationActive, interpolationObjectColour,
            interpolationTrajectoryColour, &W::interpolationDegreeSpin),
        kind<MContinuousMotion, &GLWidget::continuousMotion>(&W::continuousMotionCheck,
            &GLWidget::continuousActive, continuousObjectColour, nullptr),
    };
    return table;
}

bool checked(const Kinect::mainDialog *w, const Kind &kind)
{
    return (w->*kind.check)->isChecked();
}

// A degree or index is taken over only while it is below a count; the
// comparison is unsigned so that a negative value never passes.
bool below(int value, size_t count) { return size_t(unsigned(value)) < count; }

} // namespace

// What a paint takes from the window, read once at its start.
struct GLWidget::PaintSettings {
    std::vector<DualQuaternion> keyPoses;
    // Only while the continuous kind is drawn.
    std::vector<DualQuaternion> continuousPoses;
    bool hasContinuousPoses = false;
    // The check boxes of the kinds with a degree, for their spin boxes'
    // ranges, and the spin boxes' values.
    std::array<bool, 5> checked {};
    std::array<int, 5> degree {};
    bool whiteBackground = false;
    bool captureMode = false;
    bool showKeyPositions = false;
    float objectSize = 0.7f;
    int density = 100;
};

GLWidget::GLWidget(QWidget *parent)
    : QOpenGLWidget(parent)
{
    // Focus on a click, so that "F" reaches the view.
    setFocusPolicy(Qt::StrongFocus);
}

GLWidget::~GLWidget()
{
    // GL objects of this context are released with it current. The context
    // goes with the base class; by then this object is no receiver.
    makeCurrent();
    deleteAllMotions();
    releasePoseGeometry(context());
    doneCurrent();
    if (context())
        disconnect(context(), nullptr, this, nullptr);
}

void GLWidget::releaseGLResources()
{
    makeCurrent();
    releasePoseGeometry(context());
    doneCurrent();
}

void GLWidget::deleteAllMotions()
{
    // The flags promise an existing motion; a later view must not inherit
    // them.
    for (const Kind &kind : kinds()) {
        kind.destroy(*this);
        *kind.active = false;
    }
}

void GLWidget::updateSelectedPosition(int index)
{
    if (Kinect::mainDialog *w = mainDialogInstance)
        for (const Kind &kind : kinds()) {
            Motion *motion = kind.motion(*this);
            if (checked(w, kind) && *kind.active && motion
                && kind.properties(*motion).selectedPosition() != index)
                kind.properties(*motion).setSelectedPosition(index);
        }
    update();
}

void GLWidget::updateDensity(int) { update(); }

void GLWidget::updateGLToPlot(int)
{
    Kinect::mainDialog *w = mainDialogInstance;
    if (!w) {
        update();
        return;
    }
    for (const Kind &kind : kinds()) {
        if (!checked(w, kind)) {
            *kind.active = false;
            if (!kind.motion(*this))
                continue;
            kind.destroy(*this);
            // A deleted motion re-announces the density, so that the label
            // and the view agree with the slider even after keyboard changes.
            const int value = w->densitySlider->value();
            w->densitySlider->setValue(value);
            Q_EMIT w->densitySlider->sliderMoved(value);
            continue;
        }
        *kind.active = true;
        if (!kind.motion(*this)) {
            kind.create(*this);
            // The first computed kind to appear also switches the model on.
            // Checking "Object" runs its own connections at once, this slot
            // among them.
            const bool alone = std::none_of(kinds().begin(), kinds().end(), [&](const Kind &other) {
                return &other != &kind && other.computed && checked(w, other);
            });
            if (kind.computed && alone)
                w->objectCheck->setChecked(true);
        }
        if (Motion *motion = kind.motion(*this)) {
            MotionProperties &p = kind.properties(*motion);
            p.setShowTrajectory(w->trajectoryCheck->isChecked());
            p.setShowFrames(w->framesCheck->isChecked());
            p.setShowObject(w->objectCheck->isChecked());
        }
    }
    update();
}

void GLWidget::takeDegree(int index, int degree)
{
    const Kind &kind = kinds()[size_t(index)];
    Kinect::mainDialog *w = mainDialogInstance;
    Motion *motion = kind.motion(*this);
    if (w && below(degree, size_t(w->sensor->keyPositionCount())) && checked(w, kind)
        && *kind.active && motion && kind.degree(*motion) != degree)
        kind.setDegree(*motion, degree);
    update();
}

void GLWidget::updateApproximationDegree(int degree) { takeDegree(approximationKind, degree); }

void GLWidget::updateInterpolationDegree(int degree) { takeDegree(interpolationKind, degree); }

void GLWidget::storeKeyPositionsInGLWidget(bool)
{
    Kinect::mainDialog *w = mainDialogInstance;
    if (!w || !w->continuousMotionCheck->isChecked() || !continuousActive || !continuousMotion)
        return;
    const int i = w->positionSlider->value();
    if (below(i, continuousMotion->shownPoses().size()))
        w->sensor->addKeyPosition(continuousMotion->shownPose(i));
}

void GLWidget::storeAllKeyPositionsInGLWidget(bool)
{
    Kinect::mainDialog *w = mainDialogInstance;
    // The shown poses replace the key positions in one step, which one undo
    // takes back.
    if (w && w->continuousMotionCheck->isChecked() && continuousActive && continuousMotion)
        w->sensor->replaceKeyPositions(
            continuousMotion->shownPoses(), tr("Select shown positions"));
    update();
}

void GLWidget::resetKeyPositionMotions()
{
    if (Kinect::mainDialog *w = mainDialogInstance) {
        // Unchecking runs the box's connections; the motion is gone by then.
        for (const Kind &kind : kinds()) {
            if (!kind.computed || !checked(w, kind))
                continue;
            *kind.active = false;
            kind.destroy(*this);
            (w->*kind.check)->setChecked(false);
        }
        if (w->keyPositionsCheck->isChecked())
            w->keyPositionsCheck->setChecked(false);
    }
    resetCamera();
    update();
}

void GLWidget::resetContinuousMotion()
{
    Kinect::mainDialog *w = mainDialogInstance;
    const Kind &kind = kinds()[continuousKind];
    if (w && checked(w, kind)) {
        *kind.active = false;
        kind.destroy(*this);
        (w->*kind.check)->setChecked(false);
    }
    resetCamera();
    update();
}

void GLWidget::resetCamera()
{
    rotationX = rotationY = rotationZ = 0.0;
    translationX = translationY = translationZ = 0.0;
    zoom = 1.0;
}

void GLWidget::resetInteraction()
{
    resetCamera();
    update();
}

void GLWidget::mousePressEvent(QMouseEvent *event)
{
    pressedButton = static_cast<int>(event->button());
    lastMousePosition = event->localPos();
    update();
}

void GLWidget::mouseMoveEvent(QMouseEvent *event)
{
    currentMousePosition = event->localPos();
    const double dx = currentMousePosition.x() - lastMousePosition.x();
    const double dy = currentMousePosition.y() - lastMousePosition.y();
    // Half a degree per pixel; a tenth of a scene unit per pixel.
    if (pressedButton == Qt::LeftButton) {
        rotationY += dx / 2.0;
        rotationX += dy / 2.0;
        lastMousePosition = currentMousePosition;
    } else if (pressedButton == Qt::RightButton) {
        translationX += dx / 10.0;
        translationY -= dy / 10.0;
        lastMousePosition = currentMousePosition;
    } else if (pressedButton == Qt::MiddleButton) {
        translationZ += dy / 10.0;
        lastMousePosition = currentMousePosition;
    }
    update();
}

void GLWidget::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        frameAll();
    else
        QOpenGLWidget::mouseDoubleClickEvent(event);
}

void GLWidget::wheelEvent(QWheelEvent *event)
{
    // A notch is 120 eighths of a degree; finer wheels send parts of one.
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        event->ignore();
        return;
    }
    zoom = std::clamp(zoom * std::pow(1.1, delta / 120.0), minimumZoom, maximumZoom);
    event->accept();
    update();
}

void GLWidget::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_F && !(event->modifiers() & ~Qt::KeypadModifier))
        frameAll();
    else
        QOpenGLWidget::keyPressEvent(event);
}

std::vector<ScenePoint> GLWidget::drawnPoints() const
{
    std::vector<ScenePoint> points;
    const Kinect::mainDialog *w = mainDialogInstance;
    if (!w)
        return points;
    // The key positions are drawn with "Key positions", and every computed
    // kind passes by them.
    bool keyPositionsDrawn = w->keyPositionsCheck->isChecked();
    for (const Kind &kind : kinds()) {
        const Motion *motion = kind.motion(*this);
        if (!*kind.active || !motion)
            continue;
        keyPositionsDrawn = keyPositionsDrawn || kind.computed;
        for (const DualQuaternion &pose : kind.shownPoses(*motion))
            points.push_back(placedTranslation(pose));
    }
    const std::vector<DualQuaternion> keys = w->sensor->keyPositions();
    if (keyPositionsDrawn)
        for (const DualQuaternion &pose : keys)
            points.push_back(placedTranslation(pose));
    else if (below(m_highlightedKeyPosition, keys.size()))
        points.push_back(placedTranslation(keys[size_t(m_highlightedKeyPosition)]));
    return points;
}

void GLWidget::frameAll()
{
    const Kinect::mainDialog *w = mainDialogInstance;
    const bool perspective
        = w && (w->planarCaptureCheck->isChecked() || w->spatialCaptureCheck->isChecked());
    const ViewCamera camera { rotationX, rotationY, rotationZ, translationX, translationY,
        translationZ, zoom };
    const ViewCamera framed
        = framedCamera(camera, drawnPoints(), poseExtent, aspectRatio(), perspective);
    translationX = framed.translationX;
    translationY = framed.translationY;
    translationZ = framed.translationZ;
    zoom = framed.zoom;
    update();
}

void GLWidget::initializeGL()
{
    // A new context (the first, or after the view moved to another window)
    // compiles the pose geometry on its first paint; the old one's lists are
    // deleted before it goes.
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &GLWidget::releaseGLResources,
        Qt::DirectConnection);
    initializeOpenGLFunctions();
    glEnable(GL_DEPTH_TEST);
    glShadeModel(GL_SMOOTH);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glShadeModel(GL_SMOOTH);

    // Given while the modelview matrix is the identity: the light sits at
    // (3, 3, 3) in eye coordinates and does not follow the scene.
    const GLfloat ambient[] = { 1.0f, 1.0f, 1.0f, 1.0f };
    const GLfloat diffuse[] = { 0.7f, 0.7f, 0.7f, 1.0f };
    const GLfloat specular[] = { 1.0f, 1.0f, 1.0f, 1.0f };
    const GLfloat position[] = { 3.0f, 3.0f, 3.0f, 1.0f };
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    glLightfv(GL_LIGHT0, GL_POSITION, position);

    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_NORMALIZE);

    const GLfloat materialAmbient[] = { 0.0f, 0.0f, 0.0f, 1.0f };
    const GLfloat materialDiffuse[] = { 0.7f, 0.7f, 0.7f, 1.0f };
    const GLfloat materialSpecular[] = { 0.7f, 0.7f, 0.7f, 1.0f };
    const GLfloat materialEmission[] = { 0.2f, 0.1f, 0.1f, 0.0f };
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, materialAmbient);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, materialDiffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, materialSpecular);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 100.0f);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, materialEmission);
}

void GLWidget::resizeGL(int width, int height)
{
    viewHeight = height;
    viewWidth = width;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
}

void GLWidget::applyViewTransform()
{
    glPushMatrix();
    glTranslated(translationX, translationY, translationZ);
    glRotated(rotationX, 1.0, 0.0, 0.0);
    glRotated(rotationY, 0.0, 1.0, 0.0);
    glRotated(rotationZ, 0.0, 0.0, 1.0);
}

float GLWidget::aspectRatio() const
{
    return static_cast<float>(viewWidth) / static_cast<float>(viewHeight > 0 ? viewHeight : 1);
}

// While a capture mode is checked the scene is seen in perspective from 20
// units away; otherwise it is drawn with the identity matrices. The zoom
// magnifies either about the middle of the view (see ViewCamera); at zoom 1
// the identity view sets up nothing at all. True when matrices were pushed.
bool GLWidget::setUpCamera(const PaintSettings &settings)
{
    if (!settings.captureMode && zoom == 1.0)
        return false;
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    if (zoom != 1.0)
        glScaled(zoom, zoom, settings.captureMode ? 1.0 : std::min(zoom, 1.0));
    if (settings.captureMode)
        gluPerspective(60.0, aspectRatio(), 0.01, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    if (settings.captureMode)
        glTranslatef(0.0f, 0.0f, -20.0f);
    return true;
}

void GLWidget::restoreCamera()
{
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

void GLWidget::paintGL()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    Kinect::mainDialog *w = mainDialogInstance;
    PaintSettings settings;
    if (w) {
        settings.keyPoses = w->sensor->keyPositions();
        settings.hasContinuousPoses = w->sensor->continuousPositionCount() > 0;
        if (continuousActive && continuousMotion)
            settings.continuousPoses = w->sensor->continuousPositions();
        for (size_t k = 0; k < kinds().size(); ++k)
            if (kinds()[k].degreeSpin) {
                settings.checked[k] = checked(w, kinds()[k]);
                settings.degree[k] = (w->*kinds()[k].degreeSpin)->value();
            }
        settings.whiteBackground = w->whiteBackgroundCheck->isChecked();
        settings.captureMode
            = w->planarCaptureCheck->isChecked() || w->spatialCaptureCheck->isChecked();
        settings.showKeyPositions = w->keyPositionsCheck->isChecked();
        settings.objectSize = static_cast<float>(w->objectSizeSlider->value()) / 100.0f;
        settings.density = w->densitySlider->value();

        // Window updates. A range change clamps a spin box's value, which
        // runs the degree slot at once; the settings clamp alike.
        const int last = static_cast<int>(settings.keyPoses.size()) - 1;
        for (size_t k = 0; k < kinds().size(); ++k)
            if (kinds()[k].degreeSpin && last >= 0 && settings.checked[k]) {
                (w->*kinds()[k].degreeSpin)->setRange(0, last);
                settings.degree[k] = std::clamp(settings.degree[k], 0, last);
            }
        w->exportButton->setEnabled(!settings.keyPoses.empty());
        w->keyPositionsCheck->setEnabled(!settings.keyPoses.empty());
        w->continuousMotionCheck->setEnabled(settings.hasContinuousPoses);
    }

    if (settings.whiteBackground)
        glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    else
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);

    const bool cameraSet = setUpCamera(settings);
    if (w) {
        if (settings.showKeyPositions) {
            MNoneMotion keyPositions;
            keyPositions.setKeyPoses(settings.keyPoses);
            applyViewTransform();
            keyPositions.drawKeyPositions(keyPoseMaterial);
            glPopMatrix();
        }
        // The computed kinds in their order, then the continuous one.
        for (size_t k = 0; k < kinds().size(); ++k) {
            const Kind &kind = kinds()[k];
            Motion *motion = kind.motion(*this);
            if (!*kind.active || !motion)
                continue;
            MotionProperties &p = kind.properties(*motion);
            motion->setKeyPoses(kind.computed ? settings.keyPoses : settings.continuousPoses);
            p.setObjectColour(kind.objectColour);
            if (kind.computed) {
                p.setTrajectoryColour(kind.trajectoryColour);
                p.setObjectSize(settings.objectSize);
            }
            p.setDensity(settings.density);
            if (kind.setDegree && below(settings.degree[k], settings.keyPoses.size()))
                kind.setDegree(*motion, settings.degree[k]);
            applyViewTransform();
            if (kind.computed && settings.showKeyPositions)
                motion->drawKeyPositions(keyPoseMaterial);
            motion->draw();
            glPopMatrix();
        }
        // Last, so that it covers the same pose drawn before it.
        if (below(m_highlightedKeyPosition, settings.keyPoses.size()))
            drawHighlightedKeyPosition(settings.keyPoses[size_t(m_highlightedKeyPosition)]);
    }
    if (cameraSet)
        restoreCamera();
    if (w)
        reportInterpolation();
}

void GLWidget::setHighlightedKeyPosition(int index)
{
    m_highlightedKeyPosition = index < 0 ? -1 : index;
    update();
}

void GLWidget::drawHighlightedKeyPosition(const DualQuaternion &pose)
{
    const Matrix4 placement = posePlacementMatrix(pose);
    if (!isFiniteMatrix(placement))
        return;
    static const GLfloat red[4] = { 1.0f, 0.0f, 0.0f, 1.0f };
    applyViewTransform();
    glPushMatrix();
    glMultMatrixd(placement.data());
    drawPoseFrame(true);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, red);
    drawPoseModel();
    glPopMatrix();
    glPopMatrix();
}

void GLWidget::reportInterpolation()
{
    QString message;
    if (interpolationActive && interpolationMotion && interpolationMotion->interpolationFailed())
        message = tr("B-spline interpolation: %1 key positions at degree %2 cannot be "
                     "interpolated reliably")
                      .arg(interpolationMotion->keyPoseCount())
                      .arg(interpolationMotion->degree());
    if (message == m_interpolationMessage)
        return;
    // Shown once for each new failure; cleared when the failure ends, unless
    // another message has taken its place.
    QStatusBar *bar = mainDialogInstance->statusBar();
    if (!message.isEmpty())
        bar->showMessage(message);
    else if (bar->currentMessage() == m_interpolationMessage)
        bar->clearMessage();
    m_interpolationMessage = message;
}
