#pragma once

// What the fuzz targets assert about a reader's result beyond "no sanitizer
// report": a violated property prints what was wrong and aborts, so that
// libFuzzer keeps the input as a crash.

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdio>
#include <cstdlib>

namespace fuzz {

[[noreturn]] inline void failed(const char *what, const QString &detail)
{
    std::fprintf(stderr, "fuzz check failed: %s\n%s\n", what, detail.toLocal8Bit().constData());
    std::abort();
}

#define FUZZ_CHECK(condition, detail)                                                              \
    do {                                                                                           \
        if (!(condition))                                                                          \
            ::fuzz::failed(#condition, (detail));                                                  \
    } while (false)

// The line count of input as a line reader sees it: one more than its line
// ends.
inline int lineCount(const QByteArray &input) { return input.count('\n') + 1; }

// Checks that message is "NAME:LINE: something" with LINE from 1 to
// maxLine, and returns LINE.
inline int checkMessagePrefix(const QString &message, const QString &name, int maxLine)
{
    const QString prefix = name + QLatin1Char(':');
    FUZZ_CHECK(message.startsWith(prefix), message);
    const int colon = message.indexOf(QLatin1Char(':'), prefix.size());
    FUZZ_CHECK(colon > prefix.size(), message);
    bool ok = false;
    const int line = message.mid(prefix.size(), colon - prefix.size()).toInt(&ok);
    FUZZ_CHECK(ok && line >= 1 && line <= maxLine,
        message + QStringLiteral("\n(the input has %1 lines)").arg(maxLine));
    FUZZ_CHECK(message.midRef(colon, 2) == QLatin1String(": "), message);
    return line;
}

} // namespace fuzz
