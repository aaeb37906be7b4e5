#include "view/GLWidget.h"

#include "app/mainDialog.h"
#include "motion/MBezierMotion.h"
#include "motion/MContinuousMotion.h"
#include "motion/MNoneMotion.h"
#include "motion/MRBSplineInterpolation.h"
#include "motion/MRBSplineMotion.h"
#include "motion/MScrewMotion.h"
#include "sensor/Sensor.h"
#include "view/PoseGeometry.h"

#include <QCheckBox>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>

#include <GL/gl.h>
#include <GL/glu.h>

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

bool checked(const QCheckBox *box) { return box->isChecked(); }

// One selectable kind: its check box, active flag and motion object.
template <typename M> struct Kind {
    QCheckBox *check;
    bool &active;
    M *&motion;
};

// Creates, refreshes or deletes one kind's motion from its check box.
// Returns true when the motion was deleted.
template <typename M> bool followCheckBox(Kind<M> kind)
{
    if (checked(kind.check)) {
        kind.active = true;
        if (!kind.motion)
            kind.motion = new M;
        return false;
    }
    kind.active = false;
    if (!kind.motion)
        return false;
    delete kind.motion;
    kind.motion = nullptr;
    return true;
}

template <typename M> void applyShowFlags(M *motion, Kinect::mainDialog *w)
{
    if (!motion)
        return;
    motion->properties().setShowTrajectory(checked(w->trajectoryCheck));
    motion->properties().setShowFrames(checked(w->framesCheck));
    motion->properties().setShowObject(checked(w->objectCheck));
}

template <typename M> void selectPosition(QCheckBox *check, bool active, M *motion, int index)
{
    if (checked(check) && active && motion && motion->properties().selectedPosition() != index)
        motion->properties().setSelectedPosition(index);
}

// The degree is taken over only while it is below the number of key poses;
// the comparison is unsigned so that a negative value never passes.
template <typename M>
void takeDegree(QCheckBox *check, bool active, M *motion, int degree, size_t keyPoseCount)
{
    if (static_cast<size_t>(static_cast<unsigned>(degree)) < keyPoseCount && checked(check)
        && active && motion && motion->degree() != degree)
        motion->setDegree(degree);
}

} // namespace

GLWidget::GLWidget(QWidget *parent)
    : QOpenGLWidget(parent)
{
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
    delete screwMotion;
    screwMotion = nullptr;
    delete bezierMotion;
    bezierMotion = nullptr;
    delete approximationMotion;
    approximationMotion = nullptr;
    delete interpolationMotion;
    interpolationMotion = nullptr;
    delete continuousMotion;
    continuousMotion = nullptr;
    // The flags promise an existing motion; a later view must not inherit them.
    screwActive = bezierActive = approximationActive = interpolationActive = false;
    continuousActive = false;
}

void GLWidget::updateSelectedPosition(int index)
{
    if (Kinect::mainDialog *w = mainDialogInstance) {
        selectPosition(w->screwCheck, screwActive, screwMotion, index);
        selectPosition(w->bezierCheck, bezierActive, bezierMotion, index);
        selectPosition(w->approximationCheck, approximationActive, approximationMotion, index);
        selectPosition(w->interpolationCheck, interpolationActive, interpolationMotion, index);
        selectPosition(w->continuousMotionCheck, continuousActive, continuousMotion, index);
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
    QCheckBox *const computedChecks[4]
        = { w->screwCheck, w->bezierCheck, w->approximationCheck, w->interpolationCheck };

    // The first computed kind to appear also switches the model on. Checking
    // "Object" runs its own connections at once, this slot among them.
    auto checkObjectIfAlone = [&](int kind) {
        for (int other = 0; other < 4; ++other)
            if (other != kind && checked(computedChecks[other]))
                return;
        w->objectCheck->setChecked(true);
    };
    // A deleted motion re-announces the density, so that the label and the
    // view agree with the slider even after keyboard changes.
    auto reannounceDensity = [w] {
        const int value = w->densitySlider->value();
        w->densitySlider->setValue(value);
        Q_EMIT w->densitySlider->sliderMoved(value);
    };

    auto follow = [&](auto kind, int index, auto *&motion) {
        const bool existed = motion != nullptr;
        if (followCheckBox(kind)) {
            reannounceDensity();
            return;
        }
        if (!checked(kind.check))
            return;
        if (!existed && index >= 0)
            checkObjectIfAlone(index);
        applyShowFlags(motion, w);
    };
    follow(Kind<MScrewMotion> { w->screwCheck, screwActive, screwMotion }, 0, screwMotion);
    follow(Kind<MBezierMotion> { w->bezierCheck, bezierActive, bezierMotion }, 1, bezierMotion);
    follow(
        Kind<MRBSplineMotion> { w->approximationCheck, approximationActive, approximationMotion },
        2, approximationMotion);
    follow(Kind<MRBSplineInterpolation> { w->interpolationCheck, interpolationActive,
               interpolationMotion },
        3, interpolationMotion);
    follow(Kind<MContinuousMotion> { w->continuousMotionCheck, continuousActive, continuousMotion },
        -1, continuousMotion);
    update();
}

void GLWidget::updateApproximationDegree(int degree)
{
    if (Kinect::mainDialog *w = mainDialogInstance)
        takeDegree(w->approximationCheck, approximationActive, approximationMotion, degree,
            size_t(w->sensor->keyPositionCount()));
    update();
}

void GLWidget::updateInterpolationDegree(int degree)
{
    if (Kinect::mainDialog *w = mainDialogInstance)
        takeDegree(w->interpolationCheck, interpolationActive, interpolationMotion, degree,
            size_t(w->sensor->keyPositionCount()));
    update();
}

void GLWidget::storeKeyPositionsInGLWidget(bool)
{
    Kinect::mainDialog *w = mainDialogInstance;
    if (!w || !checked(w->continuousMotionCheck) || !continuousActive || !continuousMotion)
        return;
    const int i = w->positionSlider->value();
    if (static_cast<size_t>(static_cast<unsigned>(i)) < continuousMotion->shownPoses().size())
        w->sensor->addKeyPosition(continuousMotion->shownPose(i));
}

void GLWidget::storeAllKeyPositionsInGLWidget(bool)
{
    Kinect::mainDialog *w = mainDialogInstance;
    if (w && checked(w->continuousMotionCheck) && continuousActive && continuousMotion) {
        if (w->sensor->keyPositionCount() > 0)
            w->sensor->clearKeyPositions();
        const std::vector<DualQuaternion> shown = continuousMotion->shownPoses();
        for (const DualQuaternion &pose : shown)
            w->sensor->addKeyPosition(pose);
    }
    update();
}

void GLWidget::resetKeyPositionMotions()
{
    if (Kinect::mainDialog *w = mainDialogInstance) {
        // Unchecking runs the box's connections; the motion is gone by then.
        if (checked(w->screwCheck)) {
            screwActive = false;
            delete screwMotion;
            screwMotion = nullptr;
            w->screwCheck->setChecked(false);
        }
        if (checked(w->bezierCheck)) {
            bezierActive = false;
            delete bezierMotion;
            bezierMotion = nullptr;
            w->bezierCheck->setChecked(false);
        }
        if (checked(w->approximationCheck)) {
            approximationActive = false;
            delete approximationMotion;
            approximationMotion = nullptr;
            w->approximationCheck->setChecked(false);
        }
        if (checked(w->interpolationCheck)) {
            interpolationActive = false;
            delete interpolationMotion;
            interpolationMotion = nullptr;
            w->interpolationCheck->setChecked(false);
        }
        if (checked(w->keyPositionsCheck))
            w->keyPositionsCheck->setChecked(false);
    }
    resetCamera();
    update();
}

void GLWidget::resetContinuousMotion()
{
    Kinect::mainDialog *w = mainDialogInstance;
    if (w && checked(w->continuousMotionCheck)) {
        continuousActive = false;
        delete continuousMotion;
        continuousMotion = nullptr;
        w->continuousMotionCheck->setChecked(false);
    }
    resetCamera();
    update();
}

void GLWidget::resetCamera()
{
    rotationX = rotationY = rotationZ = 0.0;
    translationX = translationY = translationZ = 0.0;
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
// units away; otherwise it is drawn with the identity matrices.
bool GLWidget::setUpCaptureCamera()
{
    Kinect::mainDialog *w = mainDialogInstance;
    if (!w || !(checked(w->planarCaptureCheck) || checked(w->spatialCaptureCheck)))
        return false;
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluPerspective(60.0, aspectRatio(), 0.01, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -20.0f);
    return true;
}

void GLWidget::restoreCaptureCamera()
{
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

namespace {

template <typename M>
void setCommonProperties(M *motion, const std::vector<DualQuaternion> &keyPoses,
    const float objectColour[3], const float trajectoryColour[3], float objectSize, int density)
{
    motion->setKeyPoses(keyPoses);
    motion->properties().setObjectColour(objectColour);
    motion->properties().setTrajectoryColour(trajectoryColour);
    motion->properties().setObjectSize(objectSize);
    motion->properties().setDensity(density);
}

} // namespace

void GLWidget::paintGL()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    Kinect::mainDialog *w = mainDialogInstance;
    // One copy of the key positions per paint; nothing below changes them.
    std::vector<DualQuaternion> keyPoses;
    if (w) {
        keyPoses = w->sensor->keyPositions();
        const int last = static_cast<int>(keyPoses.size()) - 1;
        // A range change that moves a spin box's value runs the degree slot.
        if (!keyPoses.empty() && checked(w->approximationCheck))
            w->approximationDegreeSpin->setRange(0, last);
        if (!keyPoses.empty() && checked(w->interpolationCheck))
            w->interpolationDegreeSpin->setRange(0, last);
        w->exportButton->setEnabled(!keyPoses.empty());
        w->keyPositionsCheck->setEnabled(!keyPoses.empty());
        w->continuousMotionCheck->setEnabled(w->sensor->continuousPositionCount() > 0);
    }

    if (w && checked(w->whiteBackgroundCheck))
        glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    else
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);

    const bool captureCamera = setUpCaptureCamera();
    if (!w) {
        if (captureCamera)
            restoreCaptureCamera();
        return;
    }

    const bool showKeyPositions = checked(w->keyPositionsCheck);
    if (showKeyPositions) {
        MNoneMotion keyPositions;
        keyPositions.setKeyPoses(keyPoses);
        applyViewTransform();
        keyPositions.drawKeyPositions(keyPoseMaterial);
        glPopMatrix();
    }

    const float objectSize = static_cast<float>(w->objectSizeSlider->value()) / 100.0f;
    const int density = w->densitySlider->value();
    auto drawKind = [&](auto *motion) {
        applyViewTransform();
        if (showKeyPositions)
            motion->drawKeyPositions(keyPoseMaterial);
        motion->draw();
        glPopMatrix();
    };
    auto takeSpinDegree = [&](auto *motion, const QSpinBox *spin) {
        const int d = spin->value();
        if (static_cast<size_t>(static_cast<unsigned>(d)) < keyPoses.size())
            motion->setDegree(d);
    };

    if (screwActive && screwMotion) {
        setCommonProperties(
            screwMotion, keyPoses, screwObjectColour, screwTrajectoryColour, objectSize, density);
        drawKind(screwMotion);
    }
    if (bezierActive && bezierMotion) {
        setCommonProperties(bezierMotion, keyPoses, bezierObjectColour, bezierTrajectoryColour,
            objectSize, density);
        drawKind(bezierMotion);
    }
    if (approximationActive && approximationMotion) {
        setCommonProperties(approximationMotion, keyPoses, approximationObjectColour,
            approximationTrajectoryColour, objectSize, density);
        takeSpinDegree(approximationMotion, w->approximationDegreeSpin);
        drawKind(approximationMotion);
    }
    if (interpolationActive && interpolationMotion) {
        setCommonProperties(interpolationMotion, keyPoses, interpolationObjectColour,
            interpolationTrajectoryColour, objectSize, density);
        takeSpinDegree(interpolationMotion, w->interpolationDegreeSpin);
        drawKind(interpolationMotion);
    }
    if (continuousActive && continuousMotion) {
        continuousMotion->setKeyPoses(w->sensor->continuousPositions());
        continuousMotion->properties().setObjectColour(continuousObjectColour);
        continuousMotion->properties().setDensity(density);
        applyViewTransform();
        continuousMotion->draw();
        glPopMatrix();
    }

    if (captureCamera)
        restoreCaptureCamera();
}
