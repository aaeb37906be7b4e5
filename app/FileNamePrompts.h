#pragma once

#include <QString>

#include <functional>

class QWidget;

// How the window asks for the file a key-position export writes (the save
// dialog) and the file an import reads (the open dialog). Tests install
// their own answer; an empty prompt restores the dialog.
using FileNamePrompt = std::function<QString(
    QWidget *parent, const QString &caption, const QString &startName, const QString &filter)>;

void setExportFileNamePrompt(FileNamePrompt prompt);
QString askExportFileName(
    QWidget *parent, const QString &caption, const QString &proposedName, const QString &filter);

void setImportFileNamePrompt(FileNamePrompt prompt);
QString askImportFileName(
    QWidget *parent, const QString &caption, const QString &directory, const QString &filter);
