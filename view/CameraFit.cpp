#include "view/CameraFit.h"

#include <QMatrix4x4>
#include <QVector3D>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// A tenth of the view on every side: the points fill at most 1 / 1.2 of it.
constexpr double marginFactor = 1.2;

// The distance from the eye to the scene's origin in the capture modes, and
// the tangent of half their vertical field of view (30 degrees).
constexpr double eyeDistance = 20.0;
const double halfFieldTangent = std::tan(M_PI / 6.0);

} // namespace

ViewCamera framedCamera(const ViewCamera &camera, const std::vector<ScenePoint> &points,
    double padding, double aspect, bool perspective)
{
    // The rotations as the view applies them, about the scene's origin.
    QMatrix4x4 rotation;
    rotation.rotate(float(camera.rotationX), 1.0f, 0.0f, 0.0f);
    rotation.rotate(float(camera.rotationY), 0.0f, 1.0f, 0.0f);
    rotation.rotate(float(camera.rotationZ), 0.0f, 0.0f, 1.0f);

    double low[3] = { std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity() };
    double high[3] = { -low[0], -low[1], -low[2] };
    bool any = false;
    for (const ScenePoint &p : points) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
            continue;
        const QVector3D q = rotation.map(QVector3D(float(p.x), float(p.y), float(p.z)));
        for (int a = 0; a < 3; ++a) {
            low[a] = std::min(low[a], double(q[a]) - padding);
            high[a] = std::max(high[a], double(q[a]) + padding);
        }
        any = true;
    }
    if (!any)
        return camera;

    double centre[3], half[3];
    for (int a = 0; a < 3; ++a) {
        centre[a] = (low[a] + high[a]) / 2.0;
        // A view of nothing but a point still needs a size to fit.
        half[a] = std::max((high[a] - low[a]) / 2.0, 1e-6);
    }
    const double safeAspect = aspect > 0.0 && std::isfinite(aspect) ? aspect : 1.0;

    ViewCamera framed = camera;
    framed.translationX = -centre[0];
    framed.translationY = -centre[1];
    double zoom;
    if (perspective) {
        // The near face of the box 20 units from the eye: a point there at
        // height y is seen at y / (20 tan 30°) of the half view, times zoom.
        const double nearest = eyeDistance;
        framed.translationZ = eyeDistance - (nearest + half[2]) - centre[2];
        const double across = nearest * halfFieldTangent;
        zoom = std::min(across * safeAspect / half[0], across / half[1]) / marginFactor;
    } else {
        framed.translationZ = -centre[2];
        zoom = std::min(1.0 / half[0], 1.0 / half[1]) / marginFactor;
        // Depth shrinks with a zoom below 1 only (see ViewCamera).
        if (std::min(zoom, 1.0) * half[2] * marginFactor > 1.0)
            zoom = 1.0 / (half[2] * marginFactor);
    }
    framed.zoom = std::clamp(zoom, minimumZoom, maximumZoom);
    return framed;
}
