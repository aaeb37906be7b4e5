// libFuzzer target: the end-effector geometry reader on arbitrary text.
#include "fuzz/FuzzCheck.h"
#include "view/EndEffector.h"

#include <QBuffer>

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace {

bool finite3(const float v[3])
{
    return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), static_cast<int>(size));
    QByteArray bytes = input;
    QBuffer buffer(&bytes);
    // Text mode, as the program opens the file.
    buffer.open(QIODevice::ReadOnly | QIODevice::Text);
    const QString name = QStringLiteral("fuzz.dat");
    QString problem;
    const EndEffectorModel model = readEndEffectorModel(buffer, name, &problem);

    FUZZ_CHECK(model.loaded, problem);
    FUZZ_CHECK(model.faceCount >= 0 && model.faceCount <= EndEffectorModel::maxFaces,
        QString::number(model.faceCount));
    FUZZ_CHECK(finite3(model.headerValues), problem);
    for (int f = 0; f < model.faceCount; ++f) {
        const EndEffectorFace &face = model.faces[f];
        FUZZ_CHECK(face.vertexCount >= 0 && face.vertexCount <= EndEffectorFace::maxVertices,
            QString::number(face.vertexCount));
        FUZZ_CHECK(finite3(face.normal), QString::number(f));
        for (int v = 0; v < face.vertexCount; ++v)
            FUZZ_CHECK(finite3(face.vertices[v]), QString::number(f));
    }
    if (!problem.isEmpty()) {
        // One line naming the file and a line of it, and the faces kept.
        fuzz::checkMessagePrefix(problem, name, fuzz::lineCount(input));
        FUZZ_CHECK(
            problem.count(QLatin1Char('\n')) == 1 && problem.endsWith(QLatin1Char('\n')), problem);
        FUZZ_CHECK(problem.endsWith(QStringLiteral("(%1 faces)\n").arg(model.faceCount)), problem);
    }
    return 0;
}
