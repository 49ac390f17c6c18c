#include "diagnostics/fSHAREDErrorRpt.h"

#include "diagnostics/log.h"
#include "diagnostics/showerror.h"
#include "diagnostics/widgetprompt.h"
#include "diagtestsupport.h"
#include "testsupport.h"
#include "util/programpaths.h"

#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

const QByteArray kLog = "1 10:00:00, Log file created \r\n1 10:00:01, Startup Complete\r\n";

class ErrorReportWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Help/ is looked up beside Languages/, so this folder holds the program's resources.
        QDir(home.path()).mkpath("Languages");
        ProgramPaths::reset();
        previousLog = cSharedLogging::instance().CurrentLogFilename();
        cSharedLogging::instance().OverrideLogFilename(home.file("log.txt"));
        // The report flushes the pending notes; earlier tests' notes go before the log is made.
        cSharedLogging::instance().WriteActionsToLog();
        writeBytes(home.file("log.txt"), kLog);
    }
    void TearDown() override
    {
        if (!previousLog.isEmpty())
            cSharedLogging::instance().OverrideLogFilename(previousLog);
    }

    QPushButton* button(const char* name) { return child<QPushButton>(name); }
    QPlainTextEdit* box(const char* name) { return child<QPlainTextEdit>(name); }
    template <class T> T* child(const char* name)
    {
        T* found = window.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    void click(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    void openAndShow(const QString& error = "Error 61 - Disk full in SaveSettings")
    {
        window.LoadError(error, "settings");
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    // What the e-mail would carry after "body=".
    QString sentBody()
    {
        EXPECT_EQ(opener.opened.size(), 1);
        const QString address = opener.opened.value(0);
        const int start = address.indexOf("&body=") + 6;
        return address.mid(start, address.lastIndexOf("&attachment=") - start);
    }

    ScopedProgramHome home;
    ScopedTempFolder temp;
    RecordingPrompt prompt;
    OpenerRecorder opener;
    QString previousLog;
    fSHAREDErrorRpt window;
};

} // namespace

TEST_F(ErrorReportWindow, ShowsTheErrorAndHidesTheOptionalFrames)
{
    openAndShow();
    EXPECT_EQ(window.windowTitle(), "Error Reporter");
    EXPECT_EQ(box("txtError")->toPlainText(), "Error 61 - Disk full in SaveSettings");
    EXPECT_EQ(box("txtLog")->toPlainText(),
              "1 10:00:00, Log file created \n1 10:00:01, Startup Complete\n");
    EXPECT_EQ(child<QGroupBox>("fraLog")->title(), home.file("log.txt"));
    EXPECT_FALSE(child<QGroupBox>("fraLog")->isVisible());
    EXPECT_FALSE(child<QGroupBox>("fraComments")->isVisible());
    const std::pair<const char*, const char*> captions[] = {
        {"cmdShowComments", "Enter Comments"},
        {"cmdViewLog", "View Log File"},
        {"cmdEmail", "Submit Error Report"},
        {"cmdViewReport", "View Error Report"},
        {"cmdHelp", "Help"},
        {"cmdExit", "Exit"},
    };
    for (const auto& [name, caption] : captions) {
        EXPECT_EQ(button(name)->text(), caption);
        EXPECT_TRUE(button(name)->isVisible()) << name;
    }
    EXPECT_EQ(window.helpTopic(), "settings");
    EXPECT_FALSE(window.userHasCommented());
    EXPECT_FALSE(window.closed());
}

TEST_F(ErrorReportWindow, TheNewestActionsAreInTheLog)
{
    cSharedLogging::instance().AddAction("Pressed Save", "cmdSave_Click", "frmTest");
    openAndShow();
    EXPECT_TRUE(
        box("txtLog")->toPlainText().endsWith("Pressed Save in cmdSave_Click of module frmTest\n"))
        << box("txtLog")->toPlainText().toStdString();
}

TEST_F(ErrorReportWindow, MissingLogShowsNoLogFile)
{
    QFile::remove(home.file("log.txt"));
    openAndShow();
    EXPECT_EQ(box("txtLog")->toPlainText(), "No log file");
    EXPECT_TRUE(prompt.messages.isEmpty());
}

TEST_F(ErrorReportWindow, ButtonsRevealTheirFramesAndStepAside)
{
    openAndShow();
    const int heightBefore = window.height();
    click("cmdShowComments");
    EXPECT_TRUE(child<QGroupBox>("fraComments")->isVisible());
    EXPECT_FALSE(button("cmdShowComments")->isVisible());
    EXPECT_TRUE(box("txtUserMessage")->hasFocus());
    // Focus alone is not a comment.
    EXPECT_FALSE(window.userHasCommented());

    click("cmdViewLog");
    EXPECT_TRUE(child<QGroupBox>("fraLog")->isVisible());
    EXPECT_FALSE(button("cmdViewLog")->isVisible());
    EXPECT_GT(window.height(), heightBefore);
    EXPECT_GE(box("txtLog")->height(), 5 * box("txtLog")->fontMetrics().lineSpacing());
}

TEST_F(ErrorReportWindow, ClickingOrTypingInTheCommentBoxCountsAsAComment)
{
    openAndShow();
    click("cmdShowComments");
    QTest::mouseClick(box("txtUserMessage")->viewport(), Qt::LeftButton);
    EXPECT_TRUE(window.userHasCommented());
    window.MakeClean();
    EXPECT_FALSE(window.userHasCommented());

    QTest::keyClicks(box("txtUserMessage"), "x");
    EXPECT_TRUE(window.userHasCommented());

    // A new error starts clean.
    window.LoadError("another", {});
    EXPECT_FALSE(window.userHasCommented());
}

TEST_F(ErrorReportWindow, SubmitSendsTheMailWithTheTypedComment)
{
    openAndShow();
    click("cmdShowComments");
    QTest::keyClicks(box("txtUserMessage"), "one");
    QTest::keyClick(box("txtUserMessage"), Qt::Key_Return);
    QTest::keyClick(box("txtUserMessage"), Qt::Key_Return);
    QTest::keyClicks(box("txtUserMessage"), "two 100%");
    click("cmdEmail");

    ErrorReport expected;
    expected.errorText = "Error 61 - Disk full in SaveSettings";
    expected.comment = "one\r\n\r\ntwo 100%";
    expected.userHasCommented = true;
    expected.logText = QString::fromUtf8(kLog);
    expected.logFilename = home.file("log.txt");
    ASSERT_EQ(opener.opened.size(), 1);
    EXPECT_EQ(opener.opened[0], expected.mailtoAddress());
    // The blank line typed in the box survives, as it would from a CR LF text box.
    EXPECT_TRUE(sentBody().contains("User: one%0D%0A%0D%0Atwo 100%25%0D%0AError 61"));
    EXPECT_TRUE(opener.opened[0].startsWith("mailto:"));
}

TEST_F(ErrorReportWindow, ADeletedCommentIsStillSent)
{
    openAndShow();
    click("cmdShowComments");
    QTest::keyClicks(box("txtUserMessage"), "oops");
    for (int i = 0; i < 4; ++i)
        QTest::keyClick(box("txtUserMessage"), Qt::Key_Backspace);
    ASSERT_TRUE(box("txtUserMessage")->toPlainText().isEmpty());
    click("cmdEmail");
    EXPECT_TRUE(sentBody().contains("%0D%0A%0D%0AUser: %0D%0AError 61"));
}

TEST_F(ErrorReportWindow, NoCommentMeansNoUserLine)
{
    openAndShow();
    click("cmdEmail");
    EXPECT_FALSE(sentBody().contains("User:"));
}

TEST_F(ErrorReportWindow, ViewReportWritesAndOpensFullLog)
{
    openAndShow("first line\nsecond line");
    click("cmdViewReport");
    ASSERT_EQ(opener.opened, QStringList{temp.file("FullLog.txt")});
    const QString text = QString::fromUtf8(readBytes(temp.file("FullLog.txt")));
    EXPECT_EQ(text, window.report().reportText());
    EXPECT_TRUE(text.contains("\r\n\r\nfirst line\r\nsecond line\r\n\r\n1 10:00:00, Log file"));
    EXPECT_TRUE(text.endsWith("Startup Complete\r\n"));
}

TEST_F(ErrorReportWindow, AReportThatCannotBeWrittenIsNotOpened)
{
    QDir().mkpath(temp.file("FullLog.txt"));
    openAndShow();
    click("cmdViewReport");
    EXPECT_TRUE(opener.opened.isEmpty());
    EXPECT_EQ(prompt.messages,
              QStringList{"The error report could not be written to " + temp.file("FullLog.txt")});
}

TEST_F(ErrorReportWindow, HelpOpensTheIndexFromButtonAndF1)
{
    openAndShow();
    click("cmdHelp");
    EXPECT_EQ(prompt.messages, QStringList{"Cannot find help file " + home.file("Help/Index.htm")});
    EXPECT_TRUE(opener.opened.isEmpty());

    QDir(home.path()).mkpath("Help");
    writeBytes(home.file("Help/Index.htm"), "<html></html>");
    QTest::keyClick(&window, Qt::Key_F1);
    EXPECT_EQ(opener.opened, QStringList{home.file("Help/Index.htm")});
}

TEST_F(ErrorReportWindow, ExitEscapeAndCloseBoxAllCloseTheWindow)
{
    openAndShow();
    click("cmdExit");
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(window.closed());

    openAndShow();
    EXPECT_FALSE(window.closed());
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(window.closed());

    openAndShow();
    window.close();
    EXPECT_TRUE(window.closed());
    EXPECT_TRUE(opener.opened.isEmpty());
}

TEST_F(ErrorReportWindow, TabReachesEveryControlFromTheKeyboard)
{
    openAndShow();
    click("cmdShowComments");
    click("cmdViewLog");
    QStringList reached;
    for (int i = 0; i < 12; ++i) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        if (!reached.contains(focus->objectName()))
            reached << focus->objectName();
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    for (const char* name : {"txtError", "txtUserMessage", "txtLog", "cmdEmail", "cmdViewReport",
                             "cmdHelp", "cmdExit"})
        EXPECT_TRUE(reached.contains(name))
            << name << " not in " << reached.join(',').toStdString();
}

// The program's way in: ShowErr opens a fresh report window modally and returns once it is
// closed.
TEST(ErrorDisplay, ShowErrOpensTheReportWindowModally)
{
    ScopedProgramHome home;
    cWidgetPrompt widgets;
    cUserPrompt* previous = cUserPrompt::install(&widgets);
    QString seenTitle;
    QString seenError;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        seenTitle = modal->windowTitle();
        seenError = modal->findChild<QPlainTextEdit*>("txtError")->toPlainText();
        QTest::mouseClick(modal->findChild<QPushButton*>("cmdExit"), Qt::LeftButton);
    });
    cSHAREDShowError::instance().ShowErrObj(53, "File not found", "LoadSettings",
                                            "cSHAREDSettings");
    cUserPrompt::install(previous);
    EXPECT_EQ(seenTitle, "Error Reporter");
    EXPECT_EQ(seenError, "Error 53 - File not found in LoadSettings of cSHAREDSettings");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}
