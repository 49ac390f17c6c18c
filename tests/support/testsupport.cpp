#include "testsupport.h"

#include "util/programpaths.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTimer>

#include <sys/mount.h>
#include <unistd.h>

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

SmallDisk::SmallDisk(const QString& where, const char* options) : m_where(where)
{
    QDir().mkpath(where);
    m_mounted = ::geteuid() == 0 && ::mount("parlotest", QFile::encodeName(where).constData(),
                                            "tmpfs", 0, options) == 0;
}

SmallDisk::~SmallDisk()
{
    if (m_mounted)
        ::umount2(QFile::encodeName(m_where).constData(), MNT_DETACH);
}

bool SmallDisk::makeReadOnly()
{
    return ::mount(nullptr, QFile::encodeName(m_where).constData(), nullptr, MS_REMOUNT | MS_RDONLY,
                   nullptr) == 0;
}

void SmallDisk::fill() const
{
    QFile filler(m_where + "/filler");
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return;
    // Smaller and smaller pieces, down to one byte, so that nothing at all is left.
    for (qint64 piece = 4096; piece > 0; piece /= 2) {
        const QByteArray block(piece, 'x');
        while (filler.write(block) == block.size()) {
        }
    }
}

void SmallDisk::clear() const
{
    QFile::remove(m_where + "/filler");
}
