#pragma once

#include <QDateTime>
#include <QString>

#include <deque>

// The program's log file, log.txt in the program folder: events are written at once,
// action-trail notes are kept in memory and appended in batches of 21.
class cSharedLogging {
public:
    cSharedLogging() = default;
    ~cSharedLogging();
    cSharedLogging(const cSharedLogging&) = delete;
    cSharedLogging& operator=(const cSharedLogging&) = delete;

    static cSharedLogging& instance();

    bool NOLOGGING() const { return m_noLogging; }
    void setNOLOGGING(bool off) { m_noLogging = off; }

    // The file in use; before the first event, the one that event will write. An error
    // shown before then (a settings file that cannot be read at start-up) still shows the
    // log, which the previous run left.
    QString CurrentLogFilename() const
    {
        return m_logFilename.isEmpty() ? defaultFilename() : m_logFilename;
    }
    void OverrideLogFilename(const QString& newFilename);

    // Return false when the file could not be written; the log has no handler of its own.
    bool LogEvent(const QString& logMessage, bool deleteFirst = false);
    bool LogToFile(const QString& logFilename, const QString& logMessage, bool deleteFirst);
    void LogError(int number, const QString& description, const QString& subname,
                  const QString& moduleName);

    void AddDebug(const QString& debugString, const QString& subname = {},
                  const QString& moduleName = {});
    void AddAction(const QString& actionString, const QString& subname = {},
                   const QString& moduleName = {});
    void WriteActionsToLog();
    QString CurrentAction() const;

    int pendingActions() const { return static_cast<int>(m_trail.size()); }

    // One line of the file, without its line end: "1 13:05:09, text".
    static QString formatLine(int fileNumber, const QTime& time, const QString& text);

private:
    struct Entry {
        QString text;
        QDateTime when;
    };
    QString defaultFilename() const;
    void writeHeader(int fileNumber);
    void writeLine(int fileNumber, const QTime& time, const QString& text);

    QString m_logFilename;
    bool m_noLogging = false;
    bool m_flushing = false;
    bool m_writingEvent = false;
    std::deque<Entry> m_trail;
};
