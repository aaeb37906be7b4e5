#include "app/FileNamePrompts.h"

#include <QFileDialog>

#include <utility>

namespace {

// The prompt installed for the export's question or the import's; empty for
// the dialog.
FileNamePrompt &installed(bool forExport)
{
    static FileNamePrompt prompts[2];
    return prompts[forExport ? 0 : 1];
}

} // namespace

void setExportFileNamePrompt(FileNamePrompt prompt) { installed(true) = std::move(prompt); }

void setImportFileNamePrompt(FileNamePrompt prompt) { installed(false) = std::move(prompt); }

QString askExportFileName(
    QWidget *parent, const QString &caption, const QString &proposedName, const QString &filter)
{
    if (const FileNamePrompt &prompt = installed(true))
        return prompt(parent, caption, proposedName, filter);
    return QFileDialog::getSaveFileName(parent, caption, proposedName, filter);
}

QString askImportFileName(
    QWidget *parent, const QString &caption, const QString &directory, const QString &filter)
{
    if (const FileNamePrompt &prompt = installed(false))
        return prompt(parent, caption, directory, filter);
    return QFileDialog::getOpenFileName(parent, caption, directory, filter);
}
