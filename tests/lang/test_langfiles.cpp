#include "langtest.h"
#include "testsupport.h"

#include "parlo_config.h"
#include "platform/textcodec.h"
#include "settings/lang.h"

#include <QListWidget>
#include <QMap>
#include <QSet>

#include <gtest/gtest.h>

namespace {

// Pairs of a language file as a translator reads them, without the program's parser.
QMap<QString, QString> pairsOf(const QString& path)
{
    QMap<QString, QString> pairs;
    const QString text = TextCodec::decode(readBytes(path));
    for (const QString& raw : text.split("\r\n")) {
        const QString line = raw.trimmed();
        if (line.startsWith('#') || !line.contains("||"))
            continue;
        pairs.insert(line.section("||", 0, 0).trimmed(), line.section("||", 1).trimmed());
    }
    return pairs;
}

class FixtureLanguages : public ::testing::Test {
protected:
    void SetUp() override
    {
        lang.OverrideLanguagePath(langTestData());
        lang.LoadAllLanguages();
    }
    ScopedProgramHome home;
    cSharedLang lang;
};

} // namespace

TEST_F(FixtureLanguages, ListsTxtFilesByNameAndNeverTheTemplate)
{
    // Comments.txt, Deutsch.txt, Francais.txt, Zz.TXT; TEMPLATE.TXT and readme.md are not.
    ASSERT_EQ(lang.LanguageCount(), 4);
    EXPECT_EQ(lang.LanguageTitle(1), "Language 1"); // comments and blank lines only
    EXPECT_EQ(lang.LanguageTitle(2), "Deutsch");    // tab and blanks around it dropped
    EXPECT_EQ(lang.LanguageTitle(3), "Français");   // Windows-1252
    EXPECT_EQ(lang.LanguageTitle(4), "Zzz");
    EXPECT_TRUE(lang.languageFile(4).endsWith("/Languages/Zz.TXT"));
    EXPECT_EQ(lang.LanguageTitle(0), "");
    EXPECT_EQ(lang.LanguageTitle(5), "");
    EXPECT_EQ(lang.languageFile(0), "");
}

TEST_F(FixtureLanguages, ReadsUtf8WithCrLfTabsAndOddLines)
{
    lang.LoadLanguage(2);
    EXPECT_EQ(lang.currentLanguageName(), "Deutsch");
    EXPECT_EQ(lang.GetTranslation("Read"), "Vorlesen");
    EXPECT_EQ(lang.GetTranslation("Stop"), "Stopp");        // both parts trimmed
    EXPECT_EQ(lang.GetTranslation("Wordpair"), "Wortpaar"); // tabs deleted, words joined
    EXPECT_EQ(lang.GetTranslation("Speak it"), "");         // an empty translation
    EXPECT_EQ(lang.GetTranslation("Either"), "or||both");   // split at the first break
    EXPECT_EQ(lang.GetTranslation("Quit"), "Beenden");      // first of two pairs; comment
    EXPECT_EQ(lang.GetTranslation("Ärger"), "Ärger übersetzt");
    EXPECT_EQ(lang.GetTranslation("a line without a break"), "a line without a break");
    EXPECT_EQ(lang.translationCount(), 8);
}

TEST_F(FixtureLanguages, ReadsWindows1252WithLfOnly)
{
    lang.LoadLanguage(3);
    EXPECT_EQ(lang.currentLanguageName(), "Français");
    EXPECT_EQ(lang.GetTranslation("Read"), "Lire à voix haute");
    EXPECT_EQ(lang.GetTranslation("Stop Speaking"), "Arrêter la lecture");
    // The last line has no line end; U+2019 is code 0x92 in Windows-1252.
    EXPECT_EQ(lang.GetTranslation("Quit"), QString::fromUtf8("Quitter l’application"));
}

TEST_F(FixtureLanguages, CommentsOnlyFileLoadsAsNumberedLanguageWithoutPairs)
{
    lang.LoadLanguage(1);
    EXPECT_EQ(lang.currentLanguageName(), "Language 1");
    EXPECT_EQ(lang.translationCount(), 0);
    EXPECT_EQ(lang.GetTranslation("Read"), "Read");
}

TEST_F(FixtureLanguages, LookupIsExactExceptForBlanksAndAccessKeys)
{
    lang.LoadLanguage(2);
    // "Either" sorts first and "Ärger" last: the ends of the table match like the middle.
    EXPECT_EQ(lang.GetTranslation("EITHER"), "EITHER");
    EXPECT_EQ(lang.GetTranslation("ärger"), "ärger");
    EXPECT_EQ(lang.GetTranslation("read"), "read");
    EXPECT_EQ(lang.GetTranslation("Either"), "or||both");
    // A message built from pieces keeps its blanks around the translated piece.
    EXPECT_EQ(lang.GetTranslation(" Read  "), " Vorlesen  ");
    // Captions may carry an access key that the file leaves out.
    EXPECT_EQ(lang.GetTranslation("&Read"), "Vorlesen");
    EXPECT_EQ(lang.GetTranslation("R&&ead"), "R&&ead");
    EXPECT_EQ(lang.GetTranslation(""), "");
}

TEST_F(FixtureLanguages, RevertingTurnsTranslationsBackIntoEnglish)
{
    EXPECT_EQ(lang.GetTranslation("Read"), "Read"); // nothing loaded yet
    lang.LoadLanguage(2);
    lang.RevertToEnglish();
    EXPECT_EQ(lang.currentLanguageName(), "English");
    EXPECT_EQ(lang.GetTranslation("Vorlesen"), "Read");
    EXPECT_EQ(lang.GetTranslation("Read"), "Read");
    // The empty translation of "Speak it" must not turn every empty text into English.
    EXPECT_EQ(lang.GetTranslation(""), "");
    lang.RevertToEnglish(); // a second revert must not reverse the table again
    EXPECT_EQ(lang.GetTranslation("Vorlesen"), "Read");
    lang.LoadLanguage(0);
    EXPECT_EQ(lang.GetTranslation("Vorlesen"), "Read");
    lang.LoadLanguage(3);
    EXPECT_EQ(lang.GetTranslation("Read"), "Lire à voix haute");
}

TEST(LanguageList, MissingFolderOffersOnlyEnglish)
{
    ScopedProgramHome home;
    cSharedLang lang;
    lang.OverrideLanguagePath(home.path());
    lang.LoadAllLanguages();
    EXPECT_EQ(lang.LanguageCount(), 0);
    QListWidget list;
    lang.FillLanguageList(&list);
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(list.item(0)->text(), "English");
    lang.LoadLanguage(1); // no such language: nothing changes, nothing breaks
    EXPECT_EQ(lang.GetTranslation("Read"), "Read");
}

TEST(LanguageList, FillsListBoxesAndSelectsByTitle)
{
    ScopedProgramHome home;
    cSharedLang lang;
    lang.OverrideLanguagePath(langTestData());
    QListWidget list;
    lang.FillLanguageList(&list);
    ASSERT_EQ(list.count(), 5);
    EXPECT_EQ(list.item(3)->text(), "Français");
    cSharedLang::SetListToSelected("Français", &list);
    EXPECT_EQ(list.currentRow(), 3);
    cSharedLang::SetListToSelected("Klingon", &list);
    EXPECT_EQ(list.currentRow(), 0);
    cSharedLang::SetListToSelected("français", &list); // exact, letter case included
    EXPECT_EQ(list.currentRow(), 0);
}

TEST(LanguagePath, DefaultsToProgramFolderOrShippedLanguages)
{
    {
        ScopedProgramHome home;
        QDir().mkpath(home.file("Languages"));
        cSharedLang lang;
        EXPECT_EQ(lang.languagePath(), QDir(home.path()).canonicalPath());
    }
    {
        ScopedProgramHome home; // no Languages folder of its own
        cSharedLang lang;
        EXPECT_NE(lang.languagePath(), home.path());
        EXPECT_TRUE(QFileInfo(lang.languagePath() + "/Languages").isDir());
    }
}

TEST(LanguagePath, OverrideNeedsAnExistingFolder)
{
    ScopedProgramHome home;
    cSharedLang lang;
    lang.OverrideLanguagePath(home.path() + "/");
    EXPECT_EQ(lang.languagePath(), home.path());
    lang.OverrideLanguagePath(home.path() + "/missing");
    EXPECT_EQ(lang.languagePath(), home.path());
    EXPECT_EQ(lang.formsTextFile(), home.path() + "/FormsText.txt");
}

TEST(LanguageList, WritesSortedTitlesToLanguagesLst)
{
    ScopedProgramHome home;
    writeLanguageFile(home.path(), "b.txt", {"Zulu"});
    writeLanguageFile(home.path(), "a.txt", {"español"});
    writeLanguageFile(home.path(), "c.txt", {"Deutsch"});
    cSharedLang lang;
    lang.OverrideLanguagePath(home.path());
    lang.LoadAllLanguages();
    ASSERT_TRUE(lang.WriteLanguageList());
    EXPECT_EQ(readBytes(home.file("Languages/Languages.lst")),
              QByteArray("Deutsch\r\nespañol\r\nZulu\r\n"));
}

TEST(LoadLanguage, TheCurrentLanguageIsNotReadAgain)
{
    ScopedProgramHome home;
    const QString first = writeLanguageFile(home.path(), "1.txt", {"Deutsch", "Read||Lesen"});
    // Same title, other file: still a language of its own.
    writeLanguageFile(home.path(), "2.txt", {"Deutsch", "Read||Vorlesen"});
    cSharedLang lang;
    lang.OverrideLanguagePath(home.path());
    lang.LoadAllLanguages();
    lang.LoadLanguage(1);
    writeBytes(first, "Deutsch\r\nRead||Geändert\r\n");
    lang.LoadLanguage(1);
    EXPECT_EQ(lang.GetTranslation("Read"), "Lesen");
    lang.LoadLanguage(2);
    EXPECT_EQ(lang.GetTranslation("Read"), "Vorlesen");
    lang.LoadLanguage(1);
    EXPECT_EQ(lang.GetTranslation("Read"), "Geändert");
}

TEST(BrokenLanguageFiles, NeverCrashAndLeaveEnglish)
{
    ScopedProgramHome home;
    const QString vanishing = writeLanguageFile(home.path(), "a.txt", {"Deutsch", "Read||Lesen"});
    QByteArray garbage("\xff\xfe\x00\x01||\x00\r\r\n||||\xc3", 14);
    for (int i = 0; i < 256; ++i)
        garbage += char(i);
    writeBytes(home.file("Languages/b.txt"), garbage);
    writeBytes(home.file("Languages/c.txt"), QByteArray());
    QDir().mkpath(home.file("Languages/folder.txt")); // a folder is not a language
    cSharedLang lang;
    lang.OverrideLanguagePath(home.path());
    lang.LoadAllLanguages();
    ASSERT_EQ(lang.LanguageCount(), 3);
    EXPECT_EQ(lang.LanguageTitle(3), "Language 3");

    QFile::remove(vanishing);
    {
        TrailWatch watch;
        lang.LoadLanguage(1);
        EXPECT_EQ(watch.added(), "File not found (53) in LoadLanguage of module mLang");
        EXPECT_EQ(lang.translationCount(), 0);
        EXPECT_EQ(lang.GetTranslation("Read"), "Read");
    }
    lang.LoadLanguage(2);
    EXPECT_EQ(lang.GetTranslation("Read"), "Read");
    lang.LoadLanguage(3);
    EXPECT_EQ(lang.translationCount(), 0);
    {
        TrailWatch watch;
        lang.LoadLanguage(4);
        EXPECT_TRUE(watch.added().contains("LoadLanguage of module mLang"));
    }
    lang.RevertToEnglish();
    EXPECT_EQ(lang.GetTranslation("Read"), "Read");
}

TEST(ShippedLanguages, TranslateEveryTextOfTheTemplate)
{
    ScopedProgramHome home;
    const QString shipped = QStringLiteral(PARLO_SOURCE_RESOURCES);
    cSharedLang lang;
    lang.OverrideLanguagePath(shipped);
    lang.LoadAllLanguages();
    QStringList titles;
    for (int i = 1; i <= lang.LanguageCount(); ++i)
        titles << lang.LanguageTitle(i);
    EXPECT_TRUE(titles.contains("Deutsch"));
    EXPECT_TRUE(titles.contains(QString::fromUtf8("Español")));
    QStringList sorted = titles;
    sorted.sort(Qt::CaseInsensitive);
    EXPECT_EQ(TextCodec::decode(readBytes(shipped + "/Languages/Languages.lst")),
              sorted.join("\r\n") + "\r\n");

    const QMap<QString, QString> templ = pairsOf(shipped + "/Languages/Template.txt");
    ASSERT_GT(templ.size(), 60);
    for (auto it = templ.cbegin(); it != templ.cend(); ++it)
        EXPECT_EQ(it.key(), it.value()) << "the template pairs each text with itself";
    for (int i = 1; i <= lang.LanguageCount(); ++i) {
        SCOPED_TRACE(lang.LanguageTitle(i).toStdString());
        const QByteArray bytes = readBytes(lang.languageFile(i));
        EXPECT_TRUE(TextCodec::isValidUtf8(bytes));
        const QMap<QString, QString> pairs = pairsOf(lang.languageFile(i));
        EXPECT_EQ(QSet<QString>(pairs.keyBegin(), pairs.keyEnd()),
                  QSet<QString>(templ.keyBegin(), templ.keyEnd()));
        for (auto it = pairs.cbegin(); it != pairs.cend(); ++it)
            EXPECT_FALSE(it.value().isEmpty()) << it.key().toStdString();
        lang.LoadLanguage(i);
        EXPECT_EQ(lang.translationCount(), templ.size());
    }
}
