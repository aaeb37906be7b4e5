#include "app/KeyPositionExport.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTextStream>

QString proposedExportFileName(const QDateTime &time)
{
    return QStringLiteral("Dual Quaternion")
        + QStringLiteral("-%1").arg(time.toString(QStringLiteral("yyyy_MM_dd-hh_mm_ss")));
}

QString exportFileNameWithSuffix(const QString &fileName)
{
    if (QFileInfo(fileName).suffix().isEmpty())
        return fileName + QStringLiteral(".xml");
    return fileName;
}

namespace {

void writeQuaternion(QTextStream &out, const Quaternion &q)
{
    out << '(' << q.x() << ',' << q.y() << ',' << q.z() << ',' << q.w() << ')';
}

void writeBlock(QTextStream &out, const std::vector<DualQuaternion> &positions)
{
    // A text stream writes doubles like %g with precision 6; the C locale
    // keeps "." as decimal point whatever the user's locale is.
    out.setLocale(QLocale::c());
    out << "<!--XML Document>\n";
    out << "<?XML version='1.0' encodings='us-ascii'>\n";
    int k = 1;
    for (const DualQuaternion &pose : positions) {
        out << "<Position" << k << ">\n";
        out << "\t<Element1 Attribute= Dual Quaternion " << k << ":>";
        writeQuaternion(out, pose.realPart());
        out << ' ';
        writeQuaternion(out, pose.dualPart());
        out << "</Element>\n";
        out << "</Position>\n";
        ++k;
    }
}

} // namespace

QString keyPositionExportText(const std::vector<DualQuaternion> &positions)
{
    QString text;
    QTextStream out(&text);
    writeBlock(out, positions);
    out.flush();
    return text;
}

bool appendKeyPositions(
    const QString &fileName, const std::vector<DualQuaternion> &positions, QString *errorMessage)
{
    const bool existed = QFileInfo::exists(fileName);
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        if (errorMessage)
            *errorMessage = file.errorString();
        return false;
    }
    const bool sequential = file.isSequential();
    const qint64 oldSize = sequential ? 0 : file.size();

    QTextStream out(&file);
    writeBlock(out, positions);
    out.flush();
    bool ok = out.status() == QTextStream::Ok && file.error() == QFileDevice::NoError;
    if (ok)
        ok = file.flush() && file.error() == QFileDevice::NoError;
    QString reason = ok ? QString() : file.errorString();
    // Closing drops what QFile could not write (a full disk keeps it in the
    // buffer, and a resize would first try to flush it again); only then
    // can the file be cut back.
    file.close();
    if (ok && file.error() != QFileDevice::NoError) {
        ok = false;
        reason = file.errorString();
    }
    if (!ok && !sequential) {
        // Leave an existing file exactly as it was rather than with half a
        // block, and no file where there was none.
        if (existed)
            QFile::resize(fileName, oldSize);
        else
            QFile::remove(fileName);
    }
    if (!ok && errorMessage)
        *errorMessage = reason.isEmpty() ? QStringLiteral("the write did not complete") : reason;
    return ok;
}
