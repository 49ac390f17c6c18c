#include "diagnostics/failure.h"
#include "diagnostics/log.h"
#include "files/filesubs.h"
#include "testsupport.h"
#include "util/identity.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

QStringList logLines(const QString& path)
{
    QString text = QString::fromUtf8(readBytes(path));
    EXPECT_TRUE(text.isEmpty() || text.endsWith("\r\n"));
    QStringList lines = text.split("\r\n");
    lines.removeLast();
    return lines;
}

// "1 13:05:09, text" -> "text", checking the fixed part byte for byte.
QString body(const QString& line)
{
    static const QRegularExpression form(R"(^1 \d\d:\d\d:\d\d, (.*)$)");
    const auto match = form.match(line);
    EXPECT_TRUE(match.hasMatch()) << line.toStdString();
    return match.captured(1);
}

} // namespace

TEST(Log, FirstEventOfARunWritesTheHeader)
{
    ScopedProgramHome home;
    writeBytes(home.file("log.txt"), "old run\r\n");
    cSharedLogging log;
    ASSERT_TRUE(log.LogEvent("Started", true));
    EXPECT_EQ(log.CurrentLogFilename(), home.file("log.txt"));
    const QStringList lines = logLines(home.file("log.txt"));
    ASSERT_EQ(lines.size(), 7);
    EXPECT_EQ(body(lines[0]), "Log file created ");
    EXPECT_EQ(body(lines[1]), "Operating System: " + cSharedOSInfo::instance().fOSName());
    EXPECT_EQ(body(lines[2]), "App: test_foundation");
    EXPECT_EQ(body(lines[3]), "Version: " + cSHAREDSubs::instance().AppVersion());
    EXPECT_EQ(body(lines[4]), "Curdir: " + QDir::currentPath());
    EXPECT_EQ(body(lines[5]), "App path: " + home.path());
    EXPECT_EQ(body(lines[6]), "Started");
}

TEST(Log, BeforeTheFirstEventTheFileToBeWrittenIsNamed)
{
    // What an error shown at start-up, before the run's first event, reads as the log.
    ScopedProgramHome home;
    writeBytes(home.file("log.txt"), "1 10:00:00, the run before\r\n");
    cSharedLogging log;
    EXPECT_EQ(log.CurrentLogFilename(), home.file("log.txt"));
    ASSERT_TRUE(log.LogEvent("Started", true));
    EXPECT_EQ(log.CurrentLogFilename(), home.file("log.txt"));
}

TEST(Log, EventWithoutDeleteAppendsWithoutHeader)
{
    ScopedProgramHome home;
    cSharedLogging log;
    ASSERT_TRUE(log.LogEvent("first"));
    ASSERT_TRUE(log.LogEvent("second"));
    const QStringList lines = logLines(home.file("log.txt"));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(body(lines[1]), "second");
}

TEST(Log, UndeletableLogIsAppendedTo)
{
    ScopedProgramHome home;
    cSharedLogging log;
    ASSERT_TRUE(log.LogEvent("one"));
    // An append-only file refuses deletion even to root, but takes new lines.
    if (QProcess::execute("chattr", {"+a", home.file("log.txt")}) != 0)
        GTEST_SKIP() << "chattr +a is not available here";
    log.LogEvent("two", true);
    QProcess::execute("chattr", {"-a", home.file("log.txt")});
    const QStringList lines = logLines(home.file("log.txt"));
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(body(lines[0]), "one");
    EXPECT_EQ(body(lines[1]), "two");
}

TEST(Log, ActionTrailIsWrittenInBatchesOf21)
{
    ScopedProgramHome home;
    cSharedLogging log;
    log.LogEvent("start", true);
    for (int i = 1; i <= 20; ++i)
        log.AddAction(QString::number(i));
    EXPECT_EQ(logLines(home.file("log.txt")).size(), 7);
    EXPECT_EQ(log.CurrentAction(), "20");
    log.AddAction("21", "sub", "mod");
    const QStringList lines = logLines(home.file("log.txt"));
    ASSERT_EQ(lines.size(), 28);
    for (int i = 1; i <= 20; ++i)
        EXPECT_EQ(body(lines[6 + i]), QString::number(i));
    EXPECT_EQ(body(lines[27]), "21 in sub of module mod");
    EXPECT_EQ(log.CurrentAction(), "");
}

TEST(Log, ActionSuffixes)
{
    ScopedProgramHome home;
    cSharedLogging log;
    log.AddAction("X");
    EXPECT_EQ(log.CurrentAction(), "X");
    log.AddAction("X", "P");
    EXPECT_EQ(log.CurrentAction(), "X in P");
    log.AddAction("X", "", "M");
    EXPECT_EQ(log.CurrentAction(), "X of module M");
    log.AddDebug("d", "P", "M");
    EXPECT_EQ(log.CurrentAction(), "DBG: d in P of module M");
    // No file name yet: a flush keeps the trail.
    log.WriteActionsToLog();
    EXPECT_EQ(log.pendingActions(), 4);
    log.LogEvent("now a file");
    log.WriteActionsToLog();
    EXPECT_EQ(log.pendingActions(), 0);
    EXPECT_EQ(logLines(home.file("log.txt")).size(), 5);
}

TEST(Log, NoLoggingWritesNothing)
{
    ScopedProgramHome home;
    cSharedLogging log;
    log.setNOLOGGING(true);
    log.LogEvent("x", true);
    log.AddAction("y");
    EXPECT_EQ(log.pendingActions(), 0);
    EXPECT_FALSE(QFile::exists(home.file("log.txt")));
}

TEST(Log, OverrideWithMissingFolderUsesProgramFolder)
{
    ScopedProgramHome home;
    cSharedLogging log;
    log.OverrideLogFilename("/no/such/folder/mylog.txt");
    EXPECT_EQ(log.CurrentLogFilename(), home.file("mylog.txt"));
}

TEST(Log, UnwritableLogNeitherLoopsNorGrowsWithoutEnd)
{
    ScopedProgramHome home;
    // A log "file" that is a folder can never be opened for appending; the file layer's
    // failure notes must not start flush after flush.
    QDir().mkpath(home.file("log.txt"));
    auto& log = cSharedLogging::instance();
    log.OverrideLogFilename(home.file("log.txt"));
    EXPECT_FALSE(log.LogEvent("cannot be written"));
    for (int i = 0; i < 10000; ++i)
        log.AddAction("note");
    EXPECT_LE(log.pendingActions(), 5000);
    EXPECT_TRUE(QFileInfo(home.file("log.txt")).isDir());
    // A writable file again: the trail drains.
    QDir(home.file("log.txt")).removeRecursively();
    log.WriteActionsToLog();
    EXPECT_EQ(log.pendingActions(), 0);
}

TEST(Log, FailureNoteFollowsTheConvention)
{
    ScopedProgramHome home;
    auto& log = cSharedLogging::instance();
    noteFailure(Err::FileNotFound, "LoadTextFile", "cFile");
    EXPECT_EQ(log.CurrentAction(), "File not found (53) in LoadTextFile of module cFile");
    noteFailure(61, "Disk full", "SaveSettings", "cSHAREDSettings");
    EXPECT_EQ(log.CurrentAction(), "Disk full (61) in SaveSettings of module cSHAREDSettings");
}
