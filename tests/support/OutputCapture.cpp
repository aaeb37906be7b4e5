#include "tests/support/OutputCapture.h"

#include <unistd.h>

OutputCapture::OutputCapture(FILE *stream)
    : m_stream(stream)
{
    if (!m_file.open())
        return;
    std::fflush(m_stream);
    m_savedFd = dup(fileno(m_stream));
    if (m_savedFd >= 0)
        dup2(m_file.handle(), fileno(m_stream));
}

OutputCapture::~OutputCapture() { restore(); }

void OutputCapture::restore()
{
    if (m_savedFd < 0)
        return;
    std::fflush(m_stream);
    dup2(m_savedFd, fileno(m_stream));
    close(m_savedFd);
    m_savedFd = -1;
    m_file.seek(0);
    m_text = m_file.readAll();
}

QByteArray OutputCapture::text()
{
    restore();
    return m_text;
}
