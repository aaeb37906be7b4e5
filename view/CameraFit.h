#pragma once

#include "motion/Motion.h"

#include <vector>

// The camera of the 3D view as the user moves it: the scene is turned by
// rotationX, then rotationY, then rotationZ (degrees) about its origin,
// translated, and magnified by zoom about the middle of the view. Without
// the capture modes' perspective the view's depth is -1 .. 1 too: a zoom
// below 1 shrinks depth with width and height, so that what fits across
// fits in depth; a zoom above 1 leaves depth alone.
struct ViewCamera {
    double rotationX = 0.0;
    double rotationY = 0.0;
    double rotationZ = 0.0;
    double translationX = 0.0;
    double translationY = 0.0;
    double translationZ = 0.0;
    double zoom = 1.0;
};

// The zoom stays within these: beyond them nothing useful is left to see.
constexpr double minimumZoom = 1e-3;
constexpr double maximumZoom = 1e3;

// The camera that keeps the rotation of `camera` and moves the translation
// and zoom so that every point (scene units), and a ball of radius `padding`
// around each, lies inside the view with a tenth of the view to spare on
// every side. With `perspective` the view is the capture modes' (60 degrees
// vertical field of view, eye 20 units in front of the origin, width over
// height `aspect`): the nearest part of the points comes to 20 units from
// the eye. Without it, the view is the square -1 .. 1 stretched over the
// view, depth included. No points: the camera as it was.
ViewCamera framedCamera(const ViewCamera &camera, const std::vector<ScenePoint> &points,
    double padding, double aspect, bool perspective);
