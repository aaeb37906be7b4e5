#include "app/FileNameQuestion.h"

#include <QFileDialog>

#include <utility>

namespace {

FileNameAnswer &installedAnswer()
{
    static FileNameAnswer answer;
    return answer;
}

} // namespace

QString askFileName(QWidget *parent, const FileNameQuestion &question)
{
    if (installedAnswer())
        return installedAnswer()(question);
    if (question.purpose == FileNameQuestion::Purpose::Open)
        return QFileDialog::getOpenFileName(
            parent, question.caption, question.proposed, question.filter);
    return QFileDialog::getSaveFileName(
        parent, question.caption, question.proposed, question.filter);
}

ScopedFileNameAnswer::ScopedFileNameAnswer(FileNameAnswer answer)
    : m_previous(std::exchange(installedAnswer(), std::move(answer)))
{
}

ScopedFileNameAnswer::~ScopedFileNameAnswer() { installedAnswer() = std::move(m_previous); }
