#include "view/GLWidget.h"

#include <QMouseEvent>

GLWidget::GLWidget(QWidget *parent)
    : QOpenGLWidget(parent)
{
}

GLWidget::~GLWidget() { }

void GLWidget::resetKeyPositionMotions() { }

void GLWidget::resetContinuousMotion() { }

void GLWidget::updateSelectedPosition(int) { }

void GLWidget::updateDensity(int) { update(); }

void GLWidget::updateGLToPlot(int) { update(); }

void GLWidget::updateApproximationDegree(int) { }

void GLWidget::updateInterpolationDegree(int) { }

void GLWidget::resetInteraction()
{
    rotationX = rotationY = rotationZ = 0.0;
    translationX = translationY = translationZ = 0.0;
    update();
}

void GLWidget::storeKeyPositionsInGLWidget(bool) { }

void GLWidget::storeAllKeyPositionsInGLWidget(bool) { }

void GLWidget::mousePressEvent(QMouseEvent *) { }

void GLWidget::mouseMoveEvent(QMouseEvent *) { }

void GLWidget::initializeGL() { initializeOpenGLFunctions(); }

void GLWidget::resizeGL(int width, int height)
{
    viewWidth = width;
    viewHeight = height;
}

void GLWidget::paintGL()
{
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}
