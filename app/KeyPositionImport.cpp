#include "app/KeyPositionImport.h"

#include <QFile>

#include <charconv>
#include <cmath>

namespace {

const char headerLine1[] = "<!--XML Document>";
const char headerLine2[] = "<?XML version='1.0' encodings='us-ascii'>";
const char positionEnd[] = "</Position>";
const char elementEnd[] = "</Element>";

// The lines of the text, each without its line end; a final line end does
// not start another line.
class LineReader {
public:
    explicit LineReader(const QByteArray &text)
        : m_text(text)
    {
    }

    bool atEnd() const { return m_pos >= m_text.size(); }
    // The number of the line read last, from 1.
    int lineNumber() const { return m_line; }

    // False at the end of the text or for a line beyond the length limit.
    bool next(QByteArray *line, bool *tooLong)
    {
        *tooLong = false;
        if (atEnd())
            return false;
        ++m_line;
        int end = m_text.indexOf('\n', m_pos);
        if (end < 0)
            end = m_text.size();
        int length = end - m_pos;
        if (length > 0 && m_text.at(m_pos + length - 1) == '\r')
            --length;
        if (length > maxKeyPositionLineLength) {
            *tooLong = true;
            return false;
        }
        *line = m_text.mid(m_pos, length);
        m_pos = end + 1;
        return true;
    }

private:
    const QByteArray &m_text;
    int m_pos = 0;
    int m_line = 0;
};

// A number as %g writes it: an optional minus, digits with an optional
// fraction, an optional exponent. Nothing else (no blanks, no "+", no "inf").
bool isGNumber(const char *begin, const char *end)
{
    const char *p = begin;
    if (p < end && *p == '-')
        ++p;
    const char *digits = p;
    while (p < end && *p >= '0' && *p <= '9')
        ++p;
    bool any = p > digits;
    if (p < end && *p == '.') {
        ++p;
        const char *fraction = p;
        while (p < end && *p >= '0' && *p <= '9')
            ++p;
        any = any || p > fraction;
    }
    if (!any)
        return false;
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        if (p < end && (*p == '+' || *p == '-'))
            ++p;
        const char *exponent = p;
        while (p < end && *p >= '0' && *p <= '9')
            ++p;
        if (p == exponent)
            return false;
    }
    return p == end;
}

// Reads "(a,b,c,d)" at *p; advances past it. why says what was wrong.
bool readQuaternion(const char *&p, const char *end, double out[4], const char *part, QString *why)
{
    if (p >= end || *p != '(') {
        *why = QStringLiteral("expected \"(\" before the %1 part").arg(QLatin1String(part));
        return false;
    }
    ++p;
    for (int c = 0; c < 4; ++c) {
        const char *numberEnd = p;
        while (numberEnd < end && *numberEnd != ',' && *numberEnd != ')')
            ++numberEnd;
        static const char components[] = "xyzw";
        const QString which = QStringLiteral("%1 of the %2 part")
                                  .arg(QLatin1Char(components[c]))
                                  .arg(QLatin1String(part));
        if (!isGNumber(p, numberEnd)) {
            *why = QStringLiteral("%1 is not a number: \"%2\"")
                       .arg(which,
                           QString::fromLatin1(
                               p, static_cast<int>(std::min<qint64>(numberEnd - p, 40))));
            return false;
        }
        const std::from_chars_result result = std::from_chars(p, numberEnd, out[c]);
        if (result.ec != std::errc() || result.ptr != numberEnd || !std::isfinite(out[c])) {
            *why = QStringLiteral("%1 is out of range").arg(which);
            return false;
        }
        p = numberEnd;
        const char separator = c < 3 ? ',' : ')';
        if (p >= end || *p != separator) {
            *why
                = QStringLiteral("expected \"%1\" after %2").arg(QLatin1Char(separator)).arg(which);
            return false;
        }
        ++p;
    }
    return true;
}

bool parseElementLine(const QByteArray &line, int k, DualQuaternion *pose, QString *why)
{
    const QByteArray prefix
        = "\t<Element1 Attribute= Dual Quaternion " + QByteArray::number(k) + ":>";
    if (!line.startsWith(prefix)) {
        *why = QStringLiteral("expected \"<Element1 Attribute= Dual Quaternion %1:>\" after a tab")
                   .arg(k);
        return false;
    }
    const char *p = line.constData() + prefix.size();
    const char *end = line.constData() + line.size();
    double real[4], dual[4];
    if (!readQuaternion(p, end, real, "real", why))
        return false;
    if (p >= end || *p != ' ') {
        *why = QStringLiteral("expected one blank between the real and the dual part");
        return false;
    }
    ++p;
    if (!readQuaternion(p, end, dual, "dual", why))
        return false;
    if (QByteArray(p, static_cast<int>(end - p)) != elementEnd) {
        *why = QStringLiteral("expected \"</Element>\" at the end of the line");
        return false;
    }
    // Every consumer divides by the real part's squared norm.
    const DualQuaternion read(real, dual);
    const double norm = read.realPart().squaredNorm();
    if (!(norm > 0.0) || !std::isfinite(norm)) {
        *why = norm == 0.0 ? QStringLiteral("the real part is zero: not a pose")
                           : QStringLiteral("the real part is too large: not a pose");
        return false;
    }
    *pose = read;
    return true;
}

} // namespace

KeyPositionImport parseKeyPositionExport(const QByteArray &text, const QString &name)
{
    KeyPositionImport result;
    LineReader reader(text);
    const auto fail = [&](const QString &why) {
        // The line of the fault: the one read last, or the one after the
        // last for something missing at the end.
        const int line = qMax(1, reader.lineNumber());
        result.positions.clear();
        result.error = QStringLiteral("%1:%2: %3").arg(name).arg(line).arg(why);
        return result;
    };
    if (text.isEmpty())
        return fail(
            QStringLiteral("the file is empty; expected \"%1\"").arg(QLatin1String(headerLine1)));

    QByteArray line;
    bool tooLong = false;
    // False at the end of the text, or with tooLong set for a line beyond
    // the limit.
    const auto nextLine = [&] { return reader.next(&line, &tooLong); };
    const auto tooLongMessage = [] {
        return QStringLiteral("the line is longer than %1 characters")
            .arg(maxKeyPositionLineLength);
    };
    const auto missingAtEnd = [&](const char *expected) {
        return QStringLiteral("the file ends where \"%1\" was expected")
            .arg(QLatin1String(expected));
    };

    bool haveLine = nextLine();
    if (tooLong)
        return fail(tooLongMessage());
    while (haveLine) {
        // A header starts every export.
        if (line != headerLine1)
            return fail(QStringLiteral("expected \"%1\"").arg(QLatin1String(headerLine1)));
        if (!nextLine())
            return fail(tooLong ? tooLongMessage() : missingAtEnd(headerLine2));
        if (line != headerLine2)
            return fail(QStringLiteral("expected \"%1\"").arg(QLatin1String(headerLine2)));
        ++result.exportCount;
        result.positions.clear();

        int k = 0;
        for (;;) {
            haveLine = nextLine();
            if (tooLong)
                return fail(tooLongMessage());
            if (!haveLine || line == headerLine1)
                break;
            ++k;
            const QByteArray opening = "<Position" + QByteArray::number(k) + ">";
            if (line != opening)
                return fail(QStringLiteral("expected \"%1\" or the header of another export")
                                .arg(QLatin1String(opening)));
            if (k > maxImportedKeyPositions)
                return fail(QStringLiteral("more than %1 key positions in one export")
                                .arg(maxImportedKeyPositions));
            if (!nextLine())
                return fail(tooLong ? tooLongMessage() : missingAtEnd("<Element1"));
            DualQuaternion pose;
            QString why;
            if (!parseElementLine(line, k, &pose, &why))
                return fail(why);
            if (!nextLine())
                return fail(tooLong ? tooLongMessage() : missingAtEnd(positionEnd));
            if (line != positionEnd)
                return fail(QStringLiteral("expected \"%1\"").arg(QLatin1String(positionEnd)));
            result.positions.push_back(pose);
        }
    }
    return result;
}

KeyPositionImport readKeyPositionFile(const QString &fileName)
{
    KeyPositionImport result;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = QStringLiteral("%1: cannot be read: %2").arg(fileName, file.errorString());
        return result;
    }
    // One byte beyond the limit tells a file at the limit from a larger one,
    // also for files whose size is not known beforehand.
    const QByteArray text = file.read(maxKeyPositionFileBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        result.error = QStringLiteral("%1: cannot be read: %2").arg(fileName, file.errorString());
        return result;
    }
    if (text.size() > maxKeyPositionFileBytes) {
        result.error = QStringLiteral("%1: larger than %2 MiB; not a key-position export")
                           .arg(fileName)
                           .arg(maxKeyPositionFileBytes / (1024 * 1024));
        return result;
    }
    return parseKeyPositionExport(text, fileName);
}
