#pragma once

#include <QString>

#include <functional>

class QWidget;

// Every file name the window asks the user for goes through askFileName:
// the file dialog by default. Tests install an answer of their own, so that
// nothing depends on the dialog's file model, the working directory or what
// the user's home holds.
struct FileNameQuestion {
    enum class Purpose { Save, Open };
    Purpose purpose = Purpose::Save;
    QString caption;
    // The proposed file name (Save) or the folder to start in (Open).
    QString proposed;
    QString filter;
};

// The chosen file name, empty when the user cancelled.
QString askFileName(QWidget *parent, const FileNameQuestion &question);

using FileNameAnswer = std::function<QString(const FileNameQuestion &question)>;

// Answers every question with answer while it lives, then puts back the
// answer that was installed before (the dialog, at first).
class ScopedFileNameAnswer {
public:
    explicit ScopedFileNameAnswer(FileNameAnswer answer);
    ~ScopedFileNameAnswer();
    ScopedFileNameAnswer(const ScopedFileNameAnswer &) = delete;
    ScopedFileNameAnswer &operator=(const ScopedFileNameAnswer &) = delete;

private:
    FileNameAnswer m_previous;
};
