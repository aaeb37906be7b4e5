#include "tests/support/GLScene.h"

#include <GL/gl.h>

#include <malloc.h>

#if defined(__SANITIZE_ADDRESS__)
// Part of AddressSanitizer's runtime interface; GCC ships no header for it.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

#include <algorithm>
#include <vector>

GLScene::GLScene(int size)
    : m_size(size)
{
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setVersion(2, 1);
    format.setDepthBufferSize(24);
    m_surface.setFormat(format);
    m_surface.create();
    m_context.setFormat(format);
    if (!m_context.create()) {
        m_error = QStringLiteral("no OpenGL context");
        return;
    }
    if (!m_context.makeCurrent(&m_surface)) {
        m_error = QStringLiteral("the OpenGL context cannot be made current");
        return;
    }
    m_fbo = std::make_unique<QOpenGLFramebufferObject>(
        QSize(size, size), QOpenGLFramebufferObject::CombinedDepthStencil);
    if (!m_fbo->isValid()) {
        m_fbo.reset();
        m_error = QStringLiteral("no framebuffer object");
    }
}

GLScene::~GLScene()
{
    if (m_context.makeCurrent(&m_surface)) {
        m_fbo.reset();
        m_context.doneCurrent();
    }
}

void GLScene::begin(double halfExtent, const QColor &background)
{
    m_halfExtent = halfExtent;
    m_context.makeCurrent(&m_surface);
    m_fbo->bind();
    glViewport(0, 0, m_size, m_size);

    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glShadeModel(GL_SMOOTH);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const GLfloat ambient[4] = { 1.0f, 1.0f, 1.0f, 1.0f };
    const GLfloat diffuse[4] = { 0.7f, 0.7f, 0.7f, 1.0f };
    const GLfloat specular[4] = { 1.0f, 1.0f, 1.0f, 1.0f };
    const GLfloat position[4] = { 3.0f, 3.0f, 3.0f, 1.0f };
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_NORMALIZE);
    const GLfloat materialAmbient[4] = { 0.0f, 0.0f, 0.0f, 1.0f };
    const GLfloat materialDiffuse[4] = { 0.7f, 0.7f, 0.7f, 1.0f };
    const GLfloat materialEmission[4] = { 0.2f, 0.1f, 0.1f, 0.0f };
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, materialAmbient);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, materialDiffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, materialDiffuse);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 100.0f);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, materialEmission);

    glClearColor(background.redF(), background.greenF(), background.blueF(), 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-halfExtent, halfExtent, -halfExtent, halfExtent, -100.0, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

QImage GLScene::image()
{
    // Read without alpha: the glyph colours carry alpha 0, which an image
    // with premultiplied alpha would turn into black.
    QImage image(m_size, m_size, QImage::Format_RGBX8888);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, m_size, m_size, GL_RGBA, GL_UNSIGNED_BYTE, image.bits());
    return image.mirrored().convertToFormat(QImage::Format_RGB32);
}

QPoint GLScene::pixelOf(double x, double y) const
{
    const double scale = m_size / (2.0 * m_halfExtent);
    return QPoint(
        static_cast<int>((x + m_halfExtent) * scale), static_cast<int>((m_halfExtent - y) * scale));
}

int countPixelsAround(
    const QImage &image, QPoint centre, int radius, const std::function<bool(QRgb)> &predicate)
{
    int count = 0;
    for (int y = centre.y() - radius; y <= centre.y() + radius; ++y)
        for (int x = centre.x() - radius; x <= centre.x() + radius; ++x)
            if (image.valid(x, y) && predicate(image.pixel(x, y)))
                ++count;
    return count;
}

int changedPixelsAround(const QImage &image, QPoint centre, int radius, QRgb background)
{
    return countPixelsAround(image, centre, radius,
        [background](QRgb p) { return (p & 0xffffff) != (background & 0xffffff); });
}

int changedPixels(const QImage &image, QRgb background)
{
    return changedPixelsAround(
        image, QPoint(image.width() / 2, image.height() / 2), image.width(), background);
}

size_t heapInUse()
{
#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer serves every allocation itself; glibc's statistics
    // would stand still.
    return __sanitizer_get_current_allocated_bytes();
#else
    // Large blocks move between the heap proper and separate mappings as
    // malloc adapts its threshold; both are memory in use.
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
#endif
}

qint64 heapGrowthOver(const std::function<void()> &frame, int warmUpFrames, int framesPerSample)
{
    for (int i = 0; i < warmUpFrames; ++i)
        frame();
    std::vector<qint64> samples;
    for (int s = 0; s < 15; ++s) {
        for (int i = 0; i < framesPerSample; ++i)
            frame();
        samples.push_back(qint64(heapInUse()));
    }
    // The median of each end's five samples: the driver's own buffers and
    // events queued on a busy machine come and go in 64 KiB steps, up or
    // down, at single samples, while a leak raises every later sample.
    const auto median5 = [](std::vector<qint64>::const_iterator first) {
        std::vector<qint64> five(first, first + 5);
        std::nth_element(five.begin(), five.begin() + 2, five.end());
        return five[2];
    };
    return median5(samples.cend() - 5) - median5(samples.cbegin());
}

bool isRedPixel(QRgb pixel) { return qRed(pixel) > 120 && qGreen(pixel) < 50 && qBlue(pixel) < 50; }

bool isWhitePixel(QRgb pixel)
{
    const int low = qMin(qRed(pixel), qMin(qGreen(pixel), qBlue(pixel)));
    const int high = qMax(qRed(pixel), qMax(qGreen(pixel), qBlue(pixel)));
    return low > 90 && high - low < 50;
}
