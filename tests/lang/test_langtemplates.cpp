#include "langtest.h"
#include "testsupport.h"

#include "platform/textcodec.h"
#include "settings/lang.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

// The word pair window's shape.
struct PairDialog {
    PairDialog()
    {
        dialog.setObjectName("frmWordPair");
        dialog.setWindowTitle("Word pair setup");
        new QLabel("Say", &dialog);
        auto* word = new QLineEdit(&dialog);
        word->setText("tomato"); // typed by the user: not the program's text
        word->setPlaceholderText("Original");
        test = new QPushButton("&Test", &dialog);
        test->setToolTip("Speak it ");
        auto* list = new QTreeWidget(&dialog);
        list->setHeaderLabels({"Original", "New"});
        auto* menu = new QMenu("Edit", &dialog);
        menu->addAction("Delete");
        menu->addSeparator();
        menu->addAction("Add");
        dialog.addAction(menu->menuAction());
    }
    QDialog dialog;
    QPushButton* test;
};

// The window, its own actions with their menus, then its controls.
const QByteArray kPairTemplate = "Word pair setup||Word pair setup\r\n"
                                 "Edit||Edit\r\n"
                                 "Delete||Delete\r\n"
                                 "Add||Add\r\n"
                                 "Say||Say\r\n"
                                 "\r\n"
                                 "Original||Original\r\n"
                                 "\r\n"
                                 "&Test||&Test\r\n"
                                 "Speak it||Speak it\r\n"
                                 "Original||Original\r\n"
                                 "New||New\r\n"
                                 "\r\n";

QString decoded(const QString& path)
{
    return TextCodec::decode(readBytes(path));
}

} // namespace

TEST(WriteStrings, WritesEachTextAsAPairInTheWindowsOrder)
{
    ScopedProgramHome home;
    cSharedLang lang;
    lang.OverrideLanguagePath(home.path());
    PairDialog pair;
    writeBytes(home.file("FormsText.txt"), "kept\r\n");
    lang.WriteStrings(&pair.dialog);
    EXPECT_EQ(readBytes(home.file("FormsText.txt")), "kept\r\n" + kPairTemplate);

    // A translated window still gives its English texts.
    writeLanguageFile(home.path(), "German.txt",
                      {"Deutsch", "&Test||&Testen", "Say||Sprich", "Word pair setup||Wortpaar"});
    lang.LoadAllLanguages();
    lang.Localise(&pair.dialog, 1);
    ASSERT_EQ(pair.test->text(), "&Testen");
    lang.WriteStrings(&pair.dialog, home.file("other.txt"));
    EXPECT_EQ(readBytes(home.file("other.txt")), kPairTemplate);
}

TEST(WriteStrings, GenerateLanguageTemplateStartsAfreshWithEveryWindow)
{
    ScopedProgramHome home;
    cSharedLang lang;
    lang.OverrideLanguagePath(home.path());
    writeBytes(home.file("FormsText.txt"), "stale||stale\r\n");
    PairDialog pair;
    QDialog other;
    other.setObjectName("frmAbout");
    other.setWindowTitle("About Parlo");
    lang.GenerateLanguageTemplate();
    const QByteArray written = readBytes(home.file("FormsText.txt"));
    EXPECT_FALSE(written.contains("stale"));
    // Ordered by window name: frmAbout before frmWordPair.
    EXPECT_TRUE(written.startsWith("About Parlo||About Parlo\r\n"));
    EXPECT_TRUE(written.endsWith(kPairTemplate));
}

namespace {

class UpdateTemplates : public ::testing::Test {
protected:
    void SetUp() override
    {
        writeLanguageFile(home.path(), "Template.txt",
                          {"# Parlo's texts", "English", "Read||Read", "  Stop || Stop ",
                           "# Hidden||Hidden", "a line without a break", "Quit||Quit",
                           "Read||Read"});
        german = writeLanguageFile(home.path(), "German.txt",
                                   {"Deutsch", "Read||Vorlesen", "Stop||Stopp"});
        // Windows-1252, LF only, no line end at the end.
        spanish = home.file("Languages/Spanish.txt");
        writeBytes(spanish, QString("Español\nRead||Leer en voz alta").toLatin1());
    }

    ScopedProgramHome home;
    cSharedLang lang;
    QString german;
    QString spanish;
};

} // namespace

TEST_F(UpdateTemplates, AddsMissingPairsAndKeepsTranslations)
{
    lang.UpdateTemplates(home.path());
    EXPECT_EQ(readBytes(german), "Deutsch\r\nRead||Vorlesen\r\nStop||Stopp\r\nQuit||Quit\r\n");
    // Rewritten in UTF-8, in the file's own line ends.
    EXPECT_EQ(decoded(spanish), "Español\nRead||Leer en voz alta\nStop||Stop\nQuit||Quit\n");
    EXPECT_TRUE(TextCodec::isValidUtf8(readBytes(spanish)));

    const QByteArray germanOnce = readBytes(german);
    const QByteArray spanishOnce = readBytes(spanish);
    lang.UpdateTemplates(home.path());
    EXPECT_EQ(readBytes(german), germanOnce);
    EXPECT_EQ(readBytes(spanish), spanishOnce);

    // The new pairs are there when the language is loaded again.
    lang.LoadLanguage(2);
    EXPECT_EQ(lang.GetTranslation("Quit"), "Quit");
    EXPECT_EQ(lang.GetTranslation("Read"), "Leer en voz alta");
}

TEST_F(UpdateTemplates, TheCurrentLanguageStaysCurrent)
{
    lang.OverrideLanguagePath(home.path());
    lang.LoadAllLanguages();
    lang.LoadLanguage(1);
    lang.UpdateTemplates(home.path());
    EXPECT_EQ(lang.currentLanguageName(), "Deutsch");
    EXPECT_EQ(lang.GetTranslation("Read"), "Vorlesen");
}

TEST_F(UpdateTemplates, WithoutATemplateNothingChanges)
{
    QFile::remove(home.file("Languages/Template.txt"));
    const QByteArray before = readBytes(german);
    TrailWatch watch;
    lang.UpdateTemplates(home.path());
    EXPECT_EQ(watch.added(), "File not found (53) in UpdateTemplates of module mLang");
    EXPECT_EQ(readBytes(german), before);
}
