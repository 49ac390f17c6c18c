#pragma once

#include "diagnostics/log.h"
#include "diagnostics/userprompt.h"

#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <ostream>

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList& list, std::ostream* os)
{
    *os << '{';
    for (qsizetype i = 0; i < list.size(); ++i)
        *os << (i ? ", \"" : "\"") << list[i].toStdString() << '"';
    *os << '}';
}

// A fresh program folder ($PARLO_HOME) for the life of a test.
class ScopedProgramHome {
public:
    ScopedProgramHome();
    ~ScopedProgramHome();
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.path() + '/' + name; }

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
};

// Records what the program would have shown; answers questions from a script.
class RecordingPrompt : public cUserPrompt {
public:
    RecordingPrompt();
    ~RecordingPrompt() override;
    void message(const QString& text) override { messages << text; }
    Answer retryCancel(const QString& text) override;
    void showError(const QString& errorMessage, const QString&) override { errors << errorMessage; }

    QStringList messages;
    QStringList questions;
    QStringList errors;
    QList<Answer> answers; // taken from the front; Cancel when empty

private:
    cUserPrompt* m_previous;
};

// Lets events run until done() holds or timeoutMs has passed; the time only bounds a failure.
bool waitUntil(const std::function<bool()>& done, int timeoutMs = 30000);

// Bytes of a file, or an empty array when it cannot be read.
QByteArray readBytes(const QString& path);
void writeBytes(const QString& path, const QByteArray& bytes);

// Watches the log's action trail for what one step added.
class TrailWatch {
public:
    TrailWatch() { cSharedLogging::instance().AddAction(marker()); }
    // The newest note, or "" when nothing was added since the watch began.
    QString added() const
    {
        const QString last = cSharedLogging::instance().CurrentAction();
        return last == marker() ? QString() : last;
    }

private:
    static QString marker() { return QStringLiteral("-- test marker --"); }
};

// A small tmpfs mounted on a folder for the life of a test, to run out of space for real.
// Mounting needs root (as in CI); tests skip when mounted() is false.
class SmallDisk {
public:
    explicit SmallDisk(const QString& where, const char* options = "size=64k");
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool mounted() const { return m_mounted; }
    bool makeReadOnly();
    // Fills the disk with the file "filler" until not one more byte fits.
    void fill() const;
    // Gives the filler's space back.
    void clear() const;

private:
    QString m_where;
    bool m_mounted = false;
};

#define SKIP_WITHOUT_SMALL_DISK(disk)                                                              \
    if (!(disk).mounted())                                                                         \
    GTEST_SKIP() << "needs root and permission to mount a tmpfs"
