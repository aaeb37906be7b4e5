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
    // Every line is a body of its frame, or the one line of a frame without
    // bodies; lines of a frame share its time, so frames' times rise. A
    // whole file is read to its last line, a broken one to a whole frame.
    int linesRead = 0;
    for (const camera::Recording::Frame &frame : recording.frames)
        linesRead += frame.bodyCount > 0 ? frame.bodyCount : 1;
    for (std::size_t f = 1; f < recording.frames.size(); ++f)
        FUZZ_CHECK(recording.frames[f].dueNanoseconds > recording.frames[f - 1].dueNanoseconds,
            QString::number(f));
    const int lines = fuzz::nonBlankLines(input).size();
    if (recording.error.isEmpty())
        FUZZ_CHECK(linesRead == lines, QString::number(linesRead));
    else
        FUZZ_CHECK(linesRead < lines || lines == 0, QString::number(linesRead));
    return 0;
}
