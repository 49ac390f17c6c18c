#include "diagnostics/log.h"

#include "files/filesubs.h"
#include "util/identity.h"
#include "util/programpaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {
// A log that can never be written must not grow without end.
constexpr std::size_t kMaxTrail = 5000;
} // namespace

cSharedLogging& cSharedLogging::instance()
{
    // The log flushes through the file layer when it is destroyed at exit, so the file layer
    // must be constructed first and so outlive it.
    cSharedFileSubs::instance();
    static cSharedLogging log;
    return log;
}

cSharedLogging::~cSharedLogging()
{
    WriteActionsToLog();
}

QString cSharedLogging::defaultFilename() const
{
    return cSharedFileSubs::AddSlashIfMissing(ProgramPaths::programFolder()) + "log.txt";
}

void cSharedLogging::OverrideLogFilename(const QString& newFilename)
{
    auto& files = cSharedFileSubs::instance();
    if (files.FolderExists(cSharedFileSubs::PathOnly(newFilename)))
        m_logFilename = newFilename;
    else
        m_logFilename = cSharedFileSubs::AddSlashIfMissing(ProgramPaths::programFolder()) +
                        cSharedFileSubs::FileOnly(newFilename);
}

bool cSharedLogging::LogEvent(const QString& logMessage, bool deleteFirst)
{
    if (m_logFilename.isEmpty())
        m_logFilename = defaultFilename();
    return LogToFile(m_logFilename, logMessage, deleteFirst);
}

QString cSharedLogging::formatLine(int fileNumber, const QTime& time, const QString& text)
{
    return QString::number(fileNumber) + ' ' + time.toString(QStringLiteral("HH:mm:ss")) + ", " +
           text;
}

void cSharedLogging::writeLine(int fileNumber, const QTime& time, const QString& text)
{
    cSharedFileSubs::instance().WriteToFile(fileNumber,
                                            formatLine(fileNumber, time, text) + "\r\n");
}

void cSharedLogging::writeHeader(int fileNumber)
{
    const QTime now = QTime::currentTime();
    const QString app = QCoreApplication::instance()
                            ? QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName()
                            : QStringLiteral("parlo");
    writeLine(fileNumber, now, QStringLiteral("Log file created "));
    writeLine(fileNumber, now, "Operating System: " + cSharedOSInfo::instance().fOSName());
    writeLine(fileNumber, now, "App: " + app);
    writeLine(fileNumber, now, "Version: " + cSHAREDSubs::instance().AppVersion());
    writeLine(fileNumber, now, "Curdir: " + QDir::currentPath());
    writeLine(fileNumber, now, "App path: " + ProgramPaths::programFolder());
}

bool cSharedLogging::LogToFile(const QString& logFilename, const QString& logMessage,
                               bool deleteFirst)
{
    // The file layer reports its own failures back here; a failure while an event is being
    // written must not start another write of the same failing file.
    if (m_noLogging || m_writingEvent)
        return false;
    m_writingEvent = true;
    auto& files = cSharedFileSubs::instance();
    if (deleteFirst) {
        files.EraseFile(logFilename);
        if (files.FileExists(logFilename))
            deleteFirst = false;
    }
    const int fileNumber =
        deleteFirst ? files.CreateOutputFile(logFilename) : files.OpenAppendFile(logFilename);
    bool written = false;
    if (fileNumber > 0) {
        if (deleteFirst)
            writeHeader(fileNumber);
        writeLine(fileNumber, QTime::currentTime(), logMessage);
        written = files.CloseFile(fileNumber);
    }
    m_writingEvent = false;
    return written;
}

void cSharedLogging::LogError(int number, const QString& description, const QString& subname,
                              const QString& moduleName)
{
    LogEvent("Error " + QString::number(number) + " (" + description + ") in " + subname + " of " +
             moduleName);
    WriteActionsToLog();
}

void cSharedLogging::AddDebug(const QString& debugString, const QString& subname,
                              const QString& moduleName)
{
    AddAction("DBG: " + debugString, subname, moduleName);
}

void cSharedLogging::AddAction(const QString& actionString, const QString& subname,
                               const QString& moduleName)
{
    if (m_noLogging)
        return;
    QString text = actionString;
    if (!subname.isEmpty())
        text += " in " + subname;
    if (!moduleName.isEmpty())
        text += " of module " + moduleName;
    m_trail.push_back({text, QDateTime::currentDateTime()});
    if (m_trail.size() > kMaxTrail)
        m_trail.pop_front();
    if (m_trail.size() > 20)
        WriteActionsToLog();
}

void cSharedLogging::WriteActionsToLog()
{
    // A failing flush notes its failure in the trail, which could ask for another flush.
    if (m_noLogging || m_trail.empty() || m_flushing || m_logFilename.isEmpty())
        return;
    m_flushing = true;
    auto& files = cSharedFileSubs::instance();
    const int fileNumber = files.OpenAppendFile(m_logFilename);
    if (fileNumber > 0) {
        QString block;
        for (const Entry& entry : m_trail)
            block += formatLine(fileNumber, entry.when.time(), entry.text) + "\r\n";
        if (files.WriteToFile(fileNumber, block)) {
            m_trail.clear();
        }
        files.CloseFile(fileNumber);
    }
    m_flushing = false;
}

QString cSharedLogging::CurrentAction() const
{
    return m_trail.empty() ? QString() : m_trail.back().text;
}
