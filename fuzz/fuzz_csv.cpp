// libFuzzer target: the .csv recording reader on arbitrary bytes.
#include "fuzz/RecordingCheck.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), static_cast<int>(size));
    const QString name = QStringLiteral("fuzz.csv");
    const camera::Recording recording = fuzz::readFuzzInput(input, name, camera::readCsvRecording);

    fuzz::checkRecording(recording, name, input);
    // One body per frame, and a whole file is one frame per non-blank line.
    for (const camera::Recording::Frame &frame : recording.frames)
        FUZZ_CHECK(frame.bodyCount == 1, QString::number(frame.bodyCount));
    for (std::size_t f = 1; f < recording.frames.size(); ++f)
        FUZZ_CHECK(recording.frames[f].dueNanoseconds > recording.frames[f - 1].dueNanoseconds,
            QString::number(f));
    if (recording.error.isEmpty())
        FUZZ_CHECK(static_cast<int>(recording.frames.size()) == fuzz::nonBlankLines(input).size(),
            QString::number(recording.frames.size()));
    return 0;
}
