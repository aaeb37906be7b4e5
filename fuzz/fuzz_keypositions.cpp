// libFuzzer target: the key-position import on arbitrary bytes.
#include "fuzz/FuzzCheck.h"
#include "session/KeyPositionImport.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), static_cast<int>(size));
    const QString name = QStringLiteral("fuzz.xml");
    const KeyPositionImport imported = parseKeyPositionExport(input, name);

    if (!imported.ok()) {
        // One line naming the file and a line of it, and nothing taken.
        fuzz::checkMessagePrefix(imported.error, name, fuzz::lineCount(input));
        FUZZ_CHECK(!imported.error.contains(QLatin1Char('\n')), imported.error);
        FUZZ_CHECK(imported.positions.empty(), QString::number(imported.positions.size()));
        return 0;
    }
    // A file read whole holds at least one export, each starting with its
    // header, and every position is a pose.
    FUZZ_CHECK(imported.exportCount >= 1, QString::number(imported.exportCount));
    FUZZ_CHECK(imported.exportCount <= input.count("<!--XML Document>"),
        QString::number(imported.exportCount));
    FUZZ_CHECK(static_cast<int>(imported.positions.size()) <= maxImportedKeyPositions,
        QString::number(imported.positions.size()));
    for (const DualQuaternion &pose : imported.positions) {
        for (int c = 0; c < 4; ++c)
            FUZZ_CHECK(std::isfinite(pose.realPart().data()[c])
                    && std::isfinite(pose.dualPart().data()[c]),
                QString::number(c));
        const double norm = pose.realPart().squaredNorm();
        FUZZ_CHECK(norm > 0.0 && std::isfinite(norm), QString::number(norm));
    }
    return 0;
}
