#pragma once

#include <QByteArray>
#include <QTemporaryFile>

#include <cstdio>

// Redirects a C stream (stdout or stderr) into a temporary file until text()
// or destruction, so a test can see exactly what the code printed. Keep the
// capture short: QtTest reports through stdout too.
class OutputCapture {
public:
    explicit OutputCapture(FILE *stream);
    ~OutputCapture();
    OutputCapture(const OutputCapture &) = delete;
    OutputCapture &operator=(const OutputCapture &) = delete;

    // Ends the capture (on the first call) and returns what was written.
    QByteArray text();

private:
    void restore();

    FILE *m_stream;
    int m_savedFd = -1;
    QTemporaryFile m_file;
    QByteArray m_text;
};
