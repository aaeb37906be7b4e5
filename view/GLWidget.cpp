#include "view/GLWidget.h"

#include "motion/Motion.h"
#include "motion/MNoneMotion.h"
#include "view/PoseGeometry.h"
#include "view/ViewControls.h"
#include "view/ViewPoses.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QWheelEvent>

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>

namespace {

const float keyPoseMaterial[4] = { 0.7f, 0.5f, 0.2f, 0.0f };

// Around each drawn pose the frame glyph and the model reach about a scene
// unit: framing keeps that much room around every pose.
constexpr double poseExtent = 1.25;

// A degree or index is taken over only while it is below a count; the
// comparison is unsigned so that a negative value never passes.
bool below(int value, size_t count) { return size_t(unsigned(value)) < count; }

bool fromKeyPositions(const MotionKindInfo &kind)
{
    return kind.source == MotionSource::KeyPositions;
}

size_t indexOf(MotionKind kind) { return static_cast<size_t>(kind); }

} // namespace

GLWidget::GLWidget(QWidget *parent)
    : QOpenGLWidget(parent)
    , m_motions(motionKinds().size())
{
    // Focus on a click, so that "F" reaches the view.
    setFocusPolicy(Qt::StrongFocus);
}

GLWidget::~GLWidget()
{
    // GL objects of this context are released with it current. The context
    // goes with the base class; by then this object is no receiver.
    makeCurrent();
    for (std::unique_ptr<Motion> &motion : m_motions)
        motion.reset();
    releasePoseGeometry(context());
    doneCurrent();
    if (context())
        disconnect(context(), nullptr, this, nullptr);
}

void GLWidget::setWindow(ViewControls *controls, ViewPoses *poses)
{
    m_controls = controls && poses ? controls : nullptr;
    m_poses = m_controls ? poses : nullptr;
}

ViewControls *GLWidget::controls() const
{
    return m_controls && m_controls->isCurrent() ? m_controls : nullptr;
}

Motion *GLWidget::motion(MotionKind kind) const { return m_motions[indexOf(kind)].get(); }

void GLWidget::releaseGLResources()
{
    makeCurrent();
    releasePoseGeometry(context());
    doneCurrent();
}

void GLWidget::updateSelectedPosition(int index)
{
    if (ViewControls *w = controls())
        for (const MotionKindInfo &kind : motionKinds()) {
            Motion *m = motion(kind.kind);
            if (w->isChecked(kind.kind) && m && m->properties().selectedPosition() != index)
                m->properties().setSelectedPosition(index);
        }
    update();
}

void GLWidget::updateDensity(int density)
{
    setDensity(density);
    update();
}

void GLWidget::updateGLToPlot(int)
{
    ViewControls *w = controls();
    if (!w) {
        update();
        return;
    }
    for (const MotionKindInfo &kind : motionKinds()) {
        std::unique_ptr<Motion> &m = m_motions[indexOf(kind.kind)];
        if (!w->isChecked(kind.kind)) {
            if (!m)
                continue;
            m.reset();
            // So that everything showing the density agrees with its slider,
            // even after keyboard changes.
            w->announceDensity();
            continue;
        }
        if (!m) {
            m = createMotion(kind.kind);
            // The first kind from key positions to appear also switches the
            // model on. That runs its own connections at once, this slot
            // among them.
            const bool alone = std::none_of(
                motionKinds().begin(), motionKinds().end(), [&](const MotionKindInfo &other) {
                    return other.kind != kind.kind && fromKeyPositions(other)
                        && w->isChecked(other.kind);
                });
            if (fromKeyPositions(kind) && alone)
                w->setObjectShown(true);
        }
        if (Motion *drawn = m.get()) {
            const ViewControls::Settings settings = w->settings();
            MotionProperties &p = drawn->properties();
            p.setShowTrajectory(settings.showTrajectory);
            p.setShowFrames(settings.showFrames);
            p.setShowObject(settings.showObject);
        }
    }
    update();
}

void GLWidget::updateDegree(MotionKind kind, int degree)
{
    ViewControls *w = controls();
    Motion *m = motion(kind);
    if (w && below(degree, size_t(m_poses->keyPositionCount())) && w->isChecked(kind) && m
        && m->degree() != degree)
        m->setDegree(degree);
    update();
}

void GLWidget::updateApproximationDegree(int degree)
{
    updateDegree(MotionKind::Approximation, degree);
}

void GLWidget::updateInterpolationDegree(int degree)
{
    updateDegree(MotionKind::Interpolation, degree);
}

Motion *GLWidget::checkedContinuousMotion() const
{
    ViewControls *w = controls();
    if (!w)
        return nullptr;
    for (const MotionKindInfo &kind : motionKinds())
        if (!fromKeyPositions(kind) && w->isChecked(kind.kind) && motion(kind.kind))
            return motion(kind.kind);
    return nullptr;
}

void GLWidget::storeKeyPositionsInGLWidget(bool)
{
    const Motion *continuous = checkedContinuousMotion();
    if (!continuous)
        return;
    const int i = controls()->settings().selectedPosition;
    if (below(i, continuous->drawnPoses().size()))
        m_poses->addKeyPosition(continuous->drawnPoses()[size_t(i)]);
}

void GLWidget::storeAllKeyPositionsInGLWidget(bool)
{
    // The shown poses replace the key positions in one step, which one undo
    // takes back.
    if (const Motion *continuous = checkedContinuousMotion())
        m_poses->replaceKeyPositions(continuous->drawnPoses(), tr("Select shown positions"));
    update();
}

void GLWidget::resetKinds(MotionSource source)
{
    ViewControls *w = controls();
    if (!w)
        return;
    // Unchecking runs the box's connections; the motion is gone by then.
    for (const MotionKindInfo &kind : motionKinds()) {
        if (kind.source != source || !w->isChecked(kind.kind))
            continue;
        m_motions[indexOf(kind.kind)].reset();
        w->setChecked(kind.kind, false);
    }
}

void GLWidget::resetKeyPositionMotions()
{
    resetKinds(MotionSource::KeyPositions);
    if (ViewControls *w = controls())
        if (w->settings().showKeyPositions)
            w->setKeyPositionsShown(false);
    resetCamera();
    update();
}

void GLWidget::resetContinuousMotion()
{
    resetKinds(MotionSource::ContinuousPositions);
    resetCamera();
    update();
}

void GLWidget::resetCamera() { static_cast<ViewCamera &>(*this) = ViewCamera(); }

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
    event->setAccepted(true);
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
    const ViewControls *w = controls();
    if (!w)
        return points;
    // The key positions are drawn with "Key positions", and every kind from
    // key positions passes by them.
    bool keyPositionsDrawn = w->settings().showKeyPositions;
    for (const MotionKindInfo &kind : motionKinds()) {
        const Motion *m = motion(kind.kind);
        if (!m)
            continue;
        keyPositionsDrawn = keyPositionsDrawn || fromKeyPositions(kind);
        for (const DualQuaternion &pose : m->drawnPoses())
            points.push_back(placedTranslation(pose));
    }
    const std::vector<DualQuaternion> keys = m_poses->keyPositions();
    if (keyPositionsDrawn)
        for (const DualQuaternion &pose : keys)
            points.push_back(placedTranslation(pose));
    else if (below(m_highlightedKeyPosition, keys.size()))
        points.push_back(placedTranslation(keys[size_t(m_highlightedKeyPosition)]));
    return points;
}

void GLWidget::frameAll()
{
    const ViewControls *w = controls();
    const bool perspective = w && w->settings().captureMode;
    const ViewCamera framed
        = framedCamera(*this, drawnPoints(), poseExtent, aspectRatio(), perspective);
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
bool GLWidget::setUpCamera(bool captureMode)
{
    if (!captureMode && zoom == 1.0)
        return false;
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    if (zoom != 1.0)
        glScaled(zoom, zoom, captureMode ? 1.0 : std::min(zoom, 1.0));
    if (captureMode)
        gluPerspective(60.0, aspectRatio(), 0.01, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    if (captureMode)
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

    ViewControls *w = controls();
    ViewControls::Settings settings;
    std::vector<DualQuaternion> keyPoses;
    std::vector<DualQuaternion> continuousPoses;
    std::vector<int> degrees(motionKinds().size(), 0);
    if (w) {
        settings = w->settings();
        keyPoses = m_poses->keyPositions();
        const bool hasContinuousPoses = m_poses->continuousPositionCount() > 0;
        for (const MotionKindInfo &kind : motionKinds())
            if (!fromKeyPositions(kind) && motion(kind.kind)) {
                continuousPoses = m_poses->continuousPositions();
                break;
            }

        // Window updates. A range change clamps a degree control's value,
        // which runs the degree slot at once; the degrees drawn clamp alike.
        const int last = static_cast<int>(keyPoses.size()) - 1;
        for (const MotionKindInfo &kind : motionKinds()) {
            if (!kind.hasDegree)
                continue;
            int &degree = degrees[indexOf(kind.kind)];
            degree = w->degree(kind.kind);
            if (last >= 0 && w->isChecked(kind.kind)) {
                w->setDegreeRange(kind.kind, last);
                degree = std::clamp(degree, 0, last);
            }
        }
        w->setPosesAvailable(!keyPoses.empty(), hasContinuousPoses);
    }

    if (settings.whiteBackground)
        glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    else
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);

    const bool cameraSet = setUpCamera(settings.captureMode);
    if (w) {
        if (settings.showKeyPositions) {
            MNoneMotion keyPositions;
            keyPositions.setKeyPoses(keyPoses);
            applyViewTransform();
            keyPositions.drawKeyPositions(keyPoseMaterial);
            glPopMatrix();
        }
        // The kinds in the table's order: those from key positions first.
        for (const MotionKindInfo &kind : motionKinds()) {
            Motion *m = motion(kind.kind);
            if (!m)
                continue;
            const bool keyed = fromKeyPositions(kind);
            MotionProperties &p = m->properties();
            m->setKeyPoses(keyed ? keyPoses : continuousPoses);
            p.setObjectColour(kind.objectColour);
            if (kind.trajectoryColour)
                p.setTrajectoryColour(kind.trajectoryColour);
            if (keyed)
                p.setObjectSize(settings.objectSize);
            p.setDensity(m_density);
            const int degree = degrees[indexOf(kind.kind)];
            if (kind.hasDegree && below(degree, keyPoses.size()))
                m->setDegree(degree);
            applyViewTransform();
            if (keyed && settings.showKeyPositions)
                m->drawKeyPositions(keyPoseMaterial);
            m->draw();
            glPopMatrix();
            // The position slider always ranges over the continuous poses
            // shown.
            if (!keyed)
                w->setShownPositionCount(static_cast<int>(m->drawnPoses().size()));
        }
        // Last, so that it covers the same pose drawn before it.
        if (below(m_highlightedKeyPosition, keyPoses.size()))
            drawHighlightedKeyPosition(keyPoses[size_t(m_highlightedKeyPosition)]);
    }
    if (cameraSet)
        restoreCamera();
    if (w)
        reportFailure(*w);
}

void GLWidget::setHighlightedKeyPosition(int index)
{
    m_highlightedKeyPosition = index < 0 ? -1 : index;
    update();
}

void GLWidget::drawHighlightedKeyPosition(const DualQuaternion &pose)
{
    static const GLfloat red[4] = { 1.0f, 0.0f, 0.0f, 1.0f };
    applyViewTransform();
    drawKeyPose(pose, true, red);
    glPopMatrix();
}

void GLWidget::reportFailure(ViewControls &window)
{
    QString message;
    for (const MotionKindInfo &kind : motionKinds())
        if (const Motion *m = motion(kind.kind)) {
            const std::string failure = m->failure();
            if (failure.empty())
                continue;
            message = QString::fromLatin1(kind.title) + QStringLiteral(": ")
                + QString::fromStdString(failure);
            message[0] = message[0].toUpper();
            break;
        }
    if (message == m_failureMessage)
        return;
    // Shown once for each new failure; cleared when the failure ends, unless
    // another message has taken its place.
    if (!message.isEmpty())
        window.showMessage(message);
    else
        window.clearMessage(m_failureMessage);
    m_failureMessage = message;
}
