// libFuzzer target: the .skeleton recording reader on arbitrary bytes.
#include "fuzz/RecordingCheck.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), static_cast<int>(size));
    const QString name = QStringLiteral("fuzz.skeleton");
    const camera::Recording recording
        = fuzz::readFuzzInput(input, name, camera::readSkeletonRecording);

    fuzz::checkRecording(recording, name, input);
    // Frames fall due at 30 Hz.
    for (std::size_t f = 0; f < recording.frames.size(); ++f)
        FUZZ_CHECK(
            recording.frames[f].dueNanoseconds == static_cast<std::int64_t>(f) * 100000000 / 3,
            QString::number(f));
    // A whole file holds exactly the frames its first line announces.
    if (recording.error.isEmpty()) {
        const QList<QByteArray> lines = fuzz::nonBlankLines(input);
        FUZZ_CHECK(!lines.isEmpty(), QString());
        FUZZ_CHECK(static_cast<int>(recording.frames.size()) == lines.first().trimmed().toInt(),
            QString::number(recording.frames.size()));
    }
    return 0;
}
