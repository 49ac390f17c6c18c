#include "diagnostics/errorreport.h"

#include "diagtestsupport.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

ErrorReport::Identity fixedIdentity()
{
    return {"Parlo", "0.1.0", "Debian GNU/Linux 12 (bookworm)", "bugs@example.org"};
}

ErrorReport sampleReport()
{
    ErrorReport report(fixedIdentity());
    report.errorText = "Error 61 - Disk full in SaveSettings";
    report.logText = "1 10:00:00, Program startup.\r\n1 10:00:01, Startup Complete\r\n";
    report.logFilename = "/home/ann/.local/share/parlo/log.txt";
    return report;
}

const QString kBodyStart = "Error Report: Parlo 0.1.0, Debian GNU/Linux 12 (bookworm) "
                           "(Please click Attach and add the file log.txt)%0D%0A%0D%0A";
const QString kLogEncoded = "1 10:00:00, Program startup.%0D%0A1 10:00:01, Startup Complete%0D%0A";

} // namespace

TEST(MailEncoding, EscapesInTheDescribedOrder)
{
    struct Case {
        QString in;
        QString out;
    };
    const Case cases[] = {
        {"50% off?", "50%25 off%3F"},
        // "%" goes first, so the escapes made for "?", "&" and "#" are not escaped again.
        {"a?b&c#d%e", "a%3Fb%26c%23d%25e"},
        {"%3F", "%253F"},
        {"one\r\ntwo", "one%0D%0Atwo"},
        {"one\ntwo", "one%0D%0Atwo"},
        {"one\rtwo", "one%0D%0Atwo"},
        // A CR LF CR LF blank line keeps both of its breaks.
        {"one\r\n\r\ntwo", "one%0D%0A%0D%0Atwo"},
        // Pairs are taken left to right in a single pass.
        {"\r\r\r", "%0D%0A%0D%0A"},
        {"\n\n", "%0D%0A"},
        {"plain text + more", "plain text + more"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ErrorReport::encodeForMail(c.in), c.out) << c.in.toStdString();
}

TEST(MailEncoding, LineEndsOfTheTextBoxes)
{
    EXPECT_EQ(ErrorReport::windowsLineEnds("a\nb\r\nc\n"), "a\r\nb\r\nc\r\n");
    EXPECT_EQ(ErrorReport::displayLineEnds("a\r\nb\rc\nd"), "a\nb\nc\nd");
}

TEST(ErrorReportMail, HeaderSubjectAndBodyByteForByte)
{
    ErrorReport report = sampleReport();
    EXPECT_EQ(report.header(), "Error Report: Parlo 0.1.0, Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(report.mailSubject(), "Bug%20Report%20(Parlo%20-%200.1.0)");
    const QString body =
        kBodyStart + "Error 61 - Disk full in SaveSettings%0D%0A%0D%0A" + kLogEncoded;
    ASSERT_LE(body.size(), ErrorReport::MaxMailBody);
    EXPECT_EQ(report.mailBody(), body);
    EXPECT_EQ(report.mailtoAddress(), "mailto:bugs@example.org?subject=Bug%20Report%20(Parlo%20-"
                                      "%200.1.0)&body=" +
                                          body + "&attachment=\"\"");
}

TEST(ErrorReportMail, CommentLeadsTheErrorText)
{
    ErrorReport report = sampleReport();
    report.userHasCommented = true;
    report.comment = "I pressed Save & it broke";
    EXPECT_EQ(report.mailBody(), kBodyStart +
                                     "User: I pressed Save %26 it broke%0D%0AError 61 - Disk "
                                     "full in SaveSettings%0D%0A%0D%0A" +
                                     kLogEncoded);

    // A comment typed and then deleted still counts.
    report.comment.clear();
    EXPECT_TRUE(report.mailBody().startsWith(kBodyStart + "User: %0D%0AError 61"));

    // Text without the flag is not sent.
    report.userHasCommented = false;
    report.comment = "never sent";
    EXPECT_FALSE(report.mailBody().contains("User:"));
}

TEST(ErrorReportMail, BodyIsCutAtExactly400EvenInsideAnEscape)
{
    ErrorReport report = sampleReport();
    report.logText.clear();
    const QString before = report.mailBody();
    // Put a line break so that the cut falls after "%0" of its "%0D%0A".
    report.logText = QString(400 - before.size() - 2, 'x') + "\r\nrest of the log";
    const QString body = report.mailBody();
    EXPECT_EQ(body.size(), 400);
    EXPECT_TRUE(body.startsWith(before));
    EXPECT_TRUE(body.endsWith("xx%0")) << body.right(10).toStdString();

    report.logText = QString(5000, 'y');
    EXPECT_EQ(report.mailBody().size(), 400);
    EXPECT_TRUE(report.mailtoAddress().endsWith(QString(10, 'y') + "&attachment=\"\""));
}

TEST(ErrorReportMail, CharactersOfTheHeaderCannotBreakTheAddress)
{
    auto identity = fixedIdentity();
    identity.osName = "Lab & Co #1";
    ErrorReport report(identity);
    report.errorText = "e";
    report.logFilename = "log.txt";
    EXPECT_TRUE(report.mailBody().startsWith("Error Report: Parlo 0.1.0, Lab %26 Co %231 "));
    EXPECT_EQ(report.header(), "Error Report: Parlo 0.1.0, Lab & Co #1");
}

TEST(ErrorReportView, TextIsFramedByTheInstructions)
{
    const QString dashes(75, '-');
    const QString frame = dashes +
                          "\r\nIf the 'submit report' button doesn't work on your system, open an "
                          "email\r\nto 'bugs@example.org' and paste the following text into "
                          "it.\r\n\r\nSubmitting a bug report helps improve the software.\r\n" +
                          dashes + "\r\n\r\n";
    ErrorReport report = sampleReport();
    const QString header = "Error Report: Parlo 0.1.0, Debian GNU/Linux 12 (bookworm)";
    EXPECT_EQ(report.reportText(), frame + header +
                                       "\r\n\r\nError 61 - Disk full in SaveSettings\r\n\r\n" +
                                       report.logText);

    report.userHasCommented = true;
    report.comment = "Second line\r\nof comment";
    EXPECT_EQ(report.reportText(),
              frame + header +
                  "\r\n\r\nError 61 - Disk full in SaveSettings\r\n\r\nSecond line\r\nof "
                  "comment\r\n\r\n" +
                  report.logText);
}

TEST(ErrorReportView, WritesFullLogIntoTheTemporaryFolder)
{
    ScopedProgramHome home;
    ScopedTempFolder temp;
    writeBytes(temp.file("FullLog.txt"), "an older, much longer report that must disappear");
    ErrorReport report = sampleReport();
    report.errorText = "Fehler: Datei \u00fcberschrieben";

    EXPECT_EQ(ErrorReport::reportFilePath(), temp.file("FullLog.txt"));
    EXPECT_EQ(report.writeReportFile(), temp.file("FullLog.txt"));
    EXPECT_EQ(readBytes(temp.file("FullLog.txt")), report.reportText().toUtf8());
    EXPECT_EQ(QFileInfo(temp.file("FullLog.txt")).permissions() &
                  (QFile::ReadOther | QFile::ReadGroup),
              QFile::Permissions());
}

TEST(ErrorReportView, NeverWritesThroughALinkPlantedInTheTemporaryFolder)
{
    ScopedProgramHome home;
    ScopedTempFolder temp;
    const QString victim = home.file("Parlo.ini");
    writeBytes(victim, "[settings]\r\n");
    ASSERT_TRUE(QFile::link(victim, temp.file("FullLog.txt")));

    ErrorReport report = sampleReport();
    EXPECT_EQ(report.writeReportFile(), temp.file("FullLog.txt"));
    EXPECT_EQ(readBytes(victim), "[settings]\r\n");
    EXPECT_FALSE(QFileInfo(temp.file("FullLog.txt")).isSymLink());
    EXPECT_EQ(readBytes(temp.file("FullLog.txt")), report.reportText().toUtf8());
}

TEST(ErrorReportView, AFolderInTheWayIsAFailureNotASuccess)
{
    ScopedProgramHome home;
    ScopedTempFolder temp;
    ASSERT_TRUE(QDir().mkpath(temp.file("FullLog.txt")));
    EXPECT_EQ(sampleReport().writeReportFile(), QString());
}

TEST(ErrorReportView, AFullTemporaryFolderIsAFailureAndKeepsTheOldReport)
{
    ScopedProgramHome home;
    ScopedTempFolder temp;
    SmallDisk disk(temp.path());
    SKIP_WITHOUT_SMALL_DISK(disk);
    writeBytes(temp.file("FullLog.txt"), "the last report");
    disk.fill();
    ErrorReport report(fixedIdentity());
    report.errorText = "Error 5";
    EXPECT_EQ(report.writeReportFile(), QString());
    EXPECT_EQ(readBytes(temp.file("FullLog.txt")), "the last report");
}

TEST(ErrorReportLog, MissingLogReadsNoLogFile)
{
    ScopedProgramHome home;
    EXPECT_EQ(ErrorReport::loadLog(home.file("log.txt")), "No log file");
    EXPECT_EQ(ErrorReport::loadLog(QString()), "No log file");
    writeBytes(home.file("log.txt"), "1 10:00:00, Started\r\n");
    EXPECT_EQ(ErrorReport::loadLog(home.file("log.txt")), "1 10:00:00, Started\r\n");
}
