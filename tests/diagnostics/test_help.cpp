#include "diagnostics/help.h"

#include "diagnostics/log.h"
#include "diagtestsupport.h"
#include "testsupport.h"
#include "util/programpaths.h"

#include <QDir>
#include <QGuiApplication>

#include <gtest/gtest.h>

namespace {

// A program folder that holds the program's resources (they are found beside Languages/).
struct ResourceHome {
    ResourceHome()
    {
        QDir(home.path()).mkpath("Languages");
        ProgramPaths::reset();
    }
    void addHelpPage()
    {
        QDir(home.path()).mkpath("Help");
        writeBytes(home.file("Help/Index.htm"), "<html></html>");
    }
    ScopedProgramHome home;
};

} // namespace

TEST(Help, MissingIndexPageIsReportedWithItsFullPath)
{
    ResourceHome resources;
    RecordingPrompt prompt;
    OpenerRecorder opener;
    EXPECT_FALSE(cSharedHelp::instance().ShowHelp("topic"));
    EXPECT_EQ(prompt.messages,
              QStringList{"Cannot find help file " + resources.home.file("Help/Index.htm")});
    EXPECT_TRUE(opener.opened.isEmpty());
}

TEST(Help, IndexPageOpensWhateverTheTopic)
{
    ResourceHome resources;
    resources.addHelpPage();
    RecordingPrompt prompt;
    OpenerRecorder opener;
    for (const QString topic : {"", "settings", "no such topic"})
        EXPECT_TRUE(cSharedHelp::instance().ShowHelp(topic));
    EXPECT_EQ(opener.opened, QStringList(3, resources.home.file("Help/Index.htm")));
    EXPECT_TRUE(prompt.messages.isEmpty());
}

TEST(Help, HelpFileOpensTheGivenFileOrNamesTheMissingOne)
{
    ScopedProgramHome home;
    RecordingPrompt prompt;
    OpenerRecorder opener;
    EXPECT_FALSE(cSharedHelp::instance().ShowHelpFile(home.file("guide.htm")));
    EXPECT_EQ(prompt.messages, QStringList{"Cannot find help file " + home.file("guide.htm")});
    // A folder is not a help file.
    EXPECT_FALSE(cSharedHelp::instance().ShowHelpFile(home.path()));

    writeBytes(home.file("my guide.htm"), "<html></html>");
    EXPECT_TRUE(cSharedHelp::instance().ShowHelpFile(home.file("my guide.htm")));
    EXPECT_EQ(opener.opened, QStringList{home.file("my guide.htm")});
}

TEST(Help, TheShippedHelpPageIsFound)
{
    ScopedProgramHome home; // no Languages/ here, so the installed or source resources count
    const QString page = cSharedHelp::helpIndexPath();
    const QString text = QString::fromUtf8(readBytes(page));
    ASSERT_FALSE(text.isEmpty()) << page.toStdString();
    EXPECT_TRUE(text.contains("<html lang=\"en\">"));
    EXPECT_TRUE(text.contains("PARLO_HOME"));
}

TEST(WebSiteVisit, HandsTheAddressOverWithTheBusyPointer)
{
    OpenerRecorder opener;
    EXPECT_TRUE(cSharedWWW::instance().WebSiteVisit("https://www.gutenberg.org/dirs/"));
    EXPECT_EQ(opener.opened, QStringList{"https://www.gutenberg.org/dirs/"});
    EXPECT_EQ(opener.pointers, QList<int>{Qt::WaitCursor});
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(WebSiteVisit, ARefusalIsNotedAndThePointerRestored)
{
    OpenerRecorder opener(false);
    EXPECT_FALSE(cSharedWWW::instance().WebSiteVisit("mailto:bugs@example.org?subject=x"));
    EXPECT_EQ(cSharedLogging::instance().CurrentAction(),
              "Cannot open mailto: (5) in WebSiteVisit of module cWWW");
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(WebSiteVisit, AddressesBecomeUrlsOrFiles)
{
    EXPECT_EQ(cSharedWWW::toUrl("https://example.org/a?b=c").toString(),
              "https://example.org/a?b=c");
    EXPECT_EQ(cSharedWWW::toUrl("/tmp/Full Log.txt"), QUrl::fromLocalFile("/tmp/Full Log.txt"));

    // A mail body keeps its own escapes; blanks and an escape cut short by the length limit
    // are made safe instead of spoiling the address.
    const QUrl mail = cSharedWWW::toUrl("mailto:bugs@example.org?subject=Bug%20Report&body="
                                        "Error Report: Parlo%0D%0Ax%25y%0");
    EXPECT_EQ(mail.scheme(), "mailto");
    EXPECT_TRUE(mail.isValid());
    const QByteArray encoded = mail.toEncoded();
    EXPECT_TRUE(encoded.contains("subject=Bug%20Report&")) << encoded.data();
    EXPECT_TRUE(encoded.contains("body=Error%20Report:%20Parlo%0D%0Ax%25y%250")) << encoded.data();
}
