#include "testsupport.h"

#include "util/programpaths.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTimer>

ScopedProgramHome::ScopedProgramHome() : m_previous(qgetenv("PARLO_HOME"))
{
    qputenv("PARLO_HOME", m_dir.path().toUtf8());
    ProgramPaths::reset();
}

ScopedProgramHome::~ScopedProgramHome()
{
    if (m_previous.isEmpty())
        qunsetenv("PARLO_HOME");
    else
        qputenv("PARLO_HOME", m_previous);
    ProgramPaths::reset();
}

RecordingPrompt::RecordingPrompt() : m_previous(cUserPrompt::install(this)) {}

RecordingPrompt::~RecordingPrompt()
{
    cUserPrompt::install(m_previous);
}

cUserPrompt::Answer RecordingPrompt::retryCancel(const QString& text)
{
    questions << text;
    return answers.isEmpty() ? Answer::Cancel : answers.takeFirst();
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

bool waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    // Wakes the wait for conditions other threads set without an event of their own.
    QTimer tick;
    tick.start(5);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}
