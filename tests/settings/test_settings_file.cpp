#include "settings/settings.h"

#include "../support/testsupport.h"
#include "settingstest.h"

#include <QDate>
#include <QDir>
#include <QElapsedTimer>

#include <gtest/gtest.h>

namespace {

QByteArray fixture(const char* name)
{
    return readBytes(settingsTestData(name));
}

// Loads bytes through a real file and gives the store.
void loadBytes(cSHAREDSettings& settings, const ScopedProgramHome& home, const QByteArray& bytes)
{
    writeBytes(home.file("in.ini"), bytes);
    settings.LoadSettings(home.file("in.ini"));
}

QByteArray saved(cSHAREDSettings& settings, const ScopedProgramHome& home)
{
    EXPECT_TRUE(settings.SaveSettings(home.file("out.ini")));
    return readBytes(home.file("out.ini"));
}

} // namespace

TEST(SettingsFile, LinesAreUpperCasedNameCommaAndPrintedValue)
{
    ScopedProgramHome home;
    RecordingPrompt prompt;
    cSHAREDSettings settings;
    settings.StoreSetting("LastEngine", 2);
    settings.StoreSetting("LangID", "English");
    settings.StoreSetting("Minus", -1);
    settings.StoreSetting("Short", QVariant::fromValue<qint16>(7));
    settings.StoreSetting("On", true);
    settings.StoreSetting("Off", false);
    settings.StoreSetting("Nothing", QVariant());
    settings.StoreSetting("Half", 0.5);
    settings.StoreSetting("Big", 1234567890);
    settings.StoreSetting("Day", QDate(2024, 1, 5));
    settings.StoreSetting("Spaced", "  kept as is ");

    EXPECT_EQ(saved(settings, home), QByteArray("LASTENGINE, 2 \r\n"
                                                "LANGID,English\r\n"
                                                "MINUS,-1 \r\n"
                                                "SHORT, 7 \r\n"
                                                "ON,-1 \r\n"
                                                "OFF, 0 \r\n"
                                                "NOTHING,\r\n"
                                                "HALF, 0.5 \r\n"
                                                "BIG, 1234567890 \r\n"
                                                "DAY,2024-01-05\r\n"
                                                "SPACED,  kept as is \r\n"));
    EXPECT_TRUE(prompt.messages.isEmpty());
    EXPECT_TRUE(prompt.errors.isEmpty());
}

TEST(SettingsFile, LoadAndSaveGiveBackTheSameBytes)
{
    ScopedProgramHome home;
    cSHAREDSettings settings;
    settings.StoreSetting("LastEngine", 2);
    settings.StoreSetting("Path", QString::fromUtf8("/home/anne/Bücher/war and peace.txt"));
    settings.StoreSetting("On", true);
    const QByteArray first = saved(settings, home);

    cSHAREDSettings again;
    again.LoadSettings(home.file("out.ini"));
    EXPECT_EQ(again.SettingNameByIndex(1), "LASTENGINE");
    // Read values are text and keep their blanks, so no blanks are added on the way.
    EXPECT_EQ(again.RetrieveSetting("LastEngine").toString(), " 2 ");
    EXPECT_EQ(again.RetrieveSetting("On").toString(), "-1 ");
    EXPECT_EQ(saved(again, home), first);
}

TEST(SettingsFile, ReadingSplitsAtTheFirstCommaAndReadsTruthWords)
{
    ScopedProgramHome home;
    cSHAREDSettings settings;
    loadBytes(settings, home,
              "A,true\r\nB, TRUE \r\nC,False\r\nD,2,3,4\r\n E ,x\r\nF,\r\nG,Truest\r\n");

    EXPECT_EQ(settings.RetrieveSetting("A").typeId(), QMetaType::Short);
    EXPECT_EQ(settings.RetrieveSetting("A").toInt(), -1);
    EXPECT_EQ(settings.RetrieveSetting("B").toInt(), -1);
    EXPECT_EQ(settings.RetrieveSetting("C").toInt(), 0);
    EXPECT_EQ(settings.RetrieveSetting("D").toString(), "2,3,4");
    // Names are not trimmed.
    EXPECT_EQ(settings.RetrieveSetting(" E ").toString(), "x");
    EXPECT_FALSE(settings.IsSettingPresent("E"));
    EXPECT_EQ(settings.RetrieveSetting("F", "default").toString(), "");
    EXPECT_EQ(settings.RetrieveSetting("G").toString(), "Truest");
    // Truth words come back as the numbers they are held as.
    EXPECT_EQ(saved(settings, home),
              QByteArray("A,-1 \r\nB,-1 \r\nC, 0 \r\nD,2,3,4\r\n E ,x\r\nF,\r\nG,Truest\r\n"));
}

TEST(SettingsFile, ARepeatedNameTakesTheLaterValueAtTheEarlierPlace)
{
    ScopedProgramHome home;
    cSHAREDSettings settings;
    loadBytes(settings, home, "ONE,1\r\nTWO,2\r\none,again\r\n");
    EXPECT_EQ(settings.SettingsCount(), 2);
    EXPECT_EQ(settings.SettingNameByIndex(1), "ONE");
    EXPECT_EQ(settings.RetrieveSetting("One").toString(), "again");
}

TEST(SettingsFile, LinesWithoutANameAreSkippedAndControlCharactersKept)
{
    ScopedProgramHome home;
    cSHAREDSettings settings;
    loadBytes(settings, home, fixture("junk.ini"));
    EXPECT_EQ(settingNames(settings), QStringList({"LANGID", QString::fromLatin1("BIN\0\1\2", 6),
                                                   "PATH", "\x1b[31mESC", "PROXYPORT"}));
    EXPECT_EQ(settings.RetrieveSetting("LangID").toString(), "English");
    EXPECT_EQ(settings.RetrieveSetting("Path").toString(), "/tmp/a b");
    EXPECT_EQ(settings.RetrieveSetting("\x1b[31mESC").toString(), "colour");
    EXPECT_EQ(settings.RetrieveSetting("ProxyPort").toString(), " 8080 ");

    // A value holding a control character is a setting like any other, and is saved again.
    loadBytes(settings, home, "LANGID,English\r\nNOTE,tab\there\x01\x1b[0m\fend\r\n");
    EXPECT_EQ(settings.RetrieveSetting("Note").toString(), "tab\there\x01\x1b[0m\fend");
    EXPECT_EQ(saved(settings, home), "LANGID,English\r\nNOTE,tab\there\x01\x1b[0m\fend\r\n");
}

TEST(SettingsFile, LinuxLineEndsAndOddLineEnds)
{
    ScopedProgramHome home;
    cSHAREDSettings settings;
    loadBytes(settings, home, fixture("lf-only.ini"));
    EXPECT_EQ(settings.SettingsCount(), 4);
    EXPECT_EQ(settings.RetrieveSetting("LastEngine").toString(), "3");
    EXPECT_EQ(settings.RetrieveSetting("DisableAutoUpdateCheck").toInt(), -1);
    EXPECT_EQ(settings.RetrieveSetting("BookPath").toString(), "/home/anne/books");
    EXPECT_EQ(settings.RetrieveSetting("LangID").toString(), "Deutsch");

    // Mixed endings, a last line without an end, and CR CR LF kept byte for byte.
    loadBytes(settings, home, "A,1\nB,2\r\nC,3\r\r\nD,4");
    EXPECT_EQ(settings.SettingsCount(), 4);
    EXPECT_EQ(saved(settings, home), QByteArray("A,1\r\nB,2\r\nC,3\r\r\nD,4\r\n"));
}

TEST(SettingsFile, AValueHoldingALineEndReadsBackAsTwoLines)
{
    ScopedProgramHome home;
    cSHAREDSettings settings;
    settings.StoreSetting("Note", "first\r\nsecond");
    settings.StoreSetting("Other", "one\r\nX,two");
    EXPECT_EQ(saved(settings, home), QByteArray("NOTE,first\r\nsecond\r\nOTHER,one\r\nX,two\r\n"));

    cSHAREDSettings again;
    again.LoadSettings(home.file("out.ini"));
    EXPECT_EQ(again.SettingsCount(), 3);
    EXPECT_EQ(again.RetrieveSetting("Note").toString(), "first");
    EXPECT_EQ(again.RetrieveSetting("X").toString(), "two");
}

TEST(SettingsFile, EncodingsAndPaths)
{
    ScopedProgramHome home;
    cSHAREDSettings settings;
    // A file from an old 8-bit editor reads as Windows-1252 and is written back as UTF-8.
    loadBytes(settings, home,
              "LANGID,Fran\xe7"
              "ais\r\nQUOTE,\x93hi\x94\r\n");
    EXPECT_EQ(settings.RetrieveSetting("LangID").toString(), QString::fromUtf8("Français"));
    EXPECT_EQ(settings.RetrieveSetting("Quote").toString(), QString::fromUtf8("\u201chi\u201d"));
    EXPECT_EQ(saved(settings, home), QByteArray("LANGID,Fran\xc3\xa7"
                                                "ais\r\nQUOTE,\xe2\x80\x9chi\xe2\x80\x9d\r\n"));

    // A byte-order mark is not part of the first name.
    loadBytes(settings, home, "\xef\xbb\xbfLASTENGINE, 2 \r\n");
    EXPECT_EQ(settings.SettingNameByIndex(1), "LASTENGINE");
    // Nor when the bytes after it are not UTF-8.
    loadBytes(settings, home,
              "\xef\xbb\xbfLANGID,Fran\xe7"
              "ais\r\n");
    EXPECT_EQ(settings.SettingNameByIndex(1), "LANGID");
    EXPECT_EQ(settings.RetrieveSetting("LangID").toString(), QString::fromUtf8("Français"));

    const QString folder = home.path() + QString::fromUtf8("/my settings ü");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString file = folder + "/Parlo.ini";
    settings.StoreSetting("Path", folder);
    ASSERT_TRUE(settings.SaveSettings(file));
    cSHAREDSettings again;
    again.LoadSettings(file);
    EXPECT_EQ(again.RetrieveSetting("Path").toString(), folder);
}

TEST(SettingsFile, LoadingEmptiesTheStoreFirstAndAMissingFileLeavesItEmpty)
{
    ScopedProgramHome home;
    RecordingPrompt prompt;
    cSHAREDSettings settings;
    settings.StoreSetting("Old", 1);
    loadBytes(settings, home, "NEW,2\r\n");
    EXPECT_FALSE(settings.IsSettingPresent("Old"));
    EXPECT_TRUE(settings.IsSettingPresent("New"));

    settings.LoadSettings(home.file("missing.ini"));
    EXPECT_EQ(settings.SettingsCount(), 0);
    settings.StoreSetting("Kept", 1);
    settings.LoadSettings(home.path()); // a folder, not a file
    EXPECT_EQ(settings.SettingsCount(), 0);
    EXPECT_TRUE(prompt.messages.isEmpty());
    EXPECT_TRUE(prompt.errors.isEmpty());
}

TEST(SettingsFile, AFileThatCannotBeReadIsShown)
{
    RecordingPrompt prompt;
    cSHAREDSettings settings;
    settings.StoreSetting("Old", 1);
    // Reading this file fails with an I/O error even for root.
    settings.LoadSettings("/proc/self/mem");
    EXPECT_EQ(settings.SettingsCount(), 0);
    ASSERT_EQ(prompt.errors.size(), 1);
    EXPECT_TRUE(prompt.errors.first().startsWith("Error "));
    EXPECT_TRUE(prompt.errors.first().endsWith(" in setting file. Line:  of /proc/self/mem"));
}

TEST(SettingsFile, AHundredThousandLinesLoadWholeAndQuickly)
{
    ScopedProgramHome home;
    QByteArray bytes;
    for (int i = 0; i < 100000; ++i)
        bytes += "BOOK" + QByteArray::number(i) + ", " + QByteArray::number(i * 7) + " \r\n";
    writeBytes(home.file("big.ini"), bytes);

    cSHAREDSettings settings;
    QElapsedTimer timer;
    timer.start();
    settings.LoadSettings(home.file("big.ini"));
    for (int i = 0; i < 100000; i += 997)
        ASSERT_EQ(settings.RetrieveSetting("book" + QString::number(i)).toString().trimmed(),
                  QString::number(i * 7));
    EXPECT_LT(timer.elapsed(), 3000);
    EXPECT_EQ(settings.SettingsCount(), 100000);
    EXPECT_EQ(settings.SettingNameByIndex(100000), "BOOK99999");
    EXPECT_EQ(saved(settings, home), bytes);
}
