#pragma once

#include <QImage>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>

#include <functional>
#include <memory>

// An offscreen OpenGL 2.1 compatibility context rendering into a square
// framebuffer, lit and shaded as the 3D view sets up its scene: light 0 at
// (3, 3, 3) in eye space, lighting, depth test and normalisation on, the
// view's default material. Tests draw with fixed-function calls between
// begin() and image().
class GLScene {
public:
    explicit GLScene(int size = 200);
    ~GLScene();

    // False when no context or framebuffer could be made; the reason is in
    // error().
    bool isValid() const { return m_fbo != nullptr; }
    QString error() const { return m_error; }
    int size() const { return m_size; }

    // Makes the context current, binds the framebuffer, clears it to the
    // background and sets an orthographic projection of the square
    // -halfExtent .. halfExtent in x and y (scene units) looking down -z, with
    // an identity modelview matrix.
    void begin(double halfExtent, const QColor &background = Qt::black);
    // The framebuffer as an image, top row first.
    QImage image();

    // The pixel a scene point (x, y) projects to under begin()'s projection.
    QPoint pixelOf(double x, double y) const;

private:
    int m_size;
    double m_halfExtent = 1.0;
    QString m_error;
    QOffscreenSurface m_surface;
    QOpenGLContext m_context;
    std::unique_ptr<QOpenGLFramebufferObject> m_fbo;
};

// Pixels in a square of the given radius around a pixel (clipped to the
// image) that satisfy a predicate, or that differ from the background.
int countPixelsAround(
    const QImage &image, QPoint centre, int radius, const std::function<bool(QRgb)> &predicate);
int changedPixelsAround(const QImage &image, QPoint centre, int radius, QRgb background);
int changedPixels(const QImage &image, QRgb background);

// Lit colours as the view's light and emission make them: red material shows
// a strong red over dim green and blue; white material shows three bright,
// nearly equal channels.
bool isRedPixel(QRgb pixel);
bool isWhitePixel(QRgb pixel);

// Bytes the process holds in use through malloc, mapped blocks included.
size_t heapInUse();

// How much the heap grows while `frame` runs again and again after a
// warm-up: the median of the last five of fifteen samples minus the median
// of the first five. The driver's own buffers come and go in steps of tens of
// kilobytes, up and down, at single samples; a leak per draw raises every
// later sample, by megabytes over the run.
qint64 heapGrowthOver(const std::function<void()> &frame, int warmUpFrames, int framesPerSample);
// What heapGrowthOver may read without a leak: the software GL driver keeps
// up to about 110 KB more while both cores are busy (its scene buffers in
// flight), while a leak of one small allocation per drawn pose grows the heap
// by megabytes over the hundreds of frames measured.
constexpr qint64 heapGrowthLimit = 256 * 1024;
