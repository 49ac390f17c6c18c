#include "settings/settings.h"

#include "../support/testsupport.h"
#include "settingstest.h"

#include <QDate>

#include <gtest/gtest.h>

TEST(SettingsNames, LetterCaseNamesOneEntryAndTheFirstSpellingStays)
{
    cSHAREDSettings settings;
    settings.StoreSetting("LastEngine", 2);
    settings.StoreSetting("LangID", "English");
    settings.StoreSetting("LASTENGINE", 3);
    settings.sSet("lastengine", 4);

    EXPECT_EQ(settingNames(settings), QStringList({"LastEngine", "LangID"}));
    EXPECT_EQ(settings.RetrieveSetting("lastENGINE").toInt(), 4);
    EXPECT_TRUE(settings.IsSettingPresent("langid"));
}

TEST(SettingsNames, CommasLeaveTheNameWhenStoringButNotWhenRetrieving)
{
    cSHAREDSettings settings;
    settings.StoreSetting("A,B", "x");

    EXPECT_EQ(settings.SettingNameByIndex(1), "AB");
    EXPECT_TRUE(settings.IsSettingPresent("A,B"));
    EXPECT_TRUE(settings.IsSettingPresent("ab"));
    EXPECT_EQ(settings.RetrieveSetting("A,B", "default").toString(), "default");
    EXPECT_EQ(settings.RetrieveSetting("Ab").toString(), "x");

    settings.DeleteSettingByName("A,B");
    EXPECT_EQ(settings.SettingsCount(), 0);
}

TEST(SettingsNames, NonAsciiNamesMatchWithoutLetterCase)
{
    cSHAREDSettings settings;
    settings.StoreSetting(QString::fromUtf8("Größe"), 1);
    settings.StoreSetting(QString::fromUtf8("GRÖSSE"), 2);
    EXPECT_EQ(settings.SettingsCount(), 1);
    EXPECT_EQ(settings.RetrieveSetting(QString::fromUtf8("größe")).toInt(), 2);
}

TEST(SettingsValues, BooleansAreHeldAsSixteenBitMinusOneAndZero)
{
    cSHAREDSettings settings;
    settings.StoreSetting("On", true);
    settings.StoreSetting("Off", false);

    const QVariant on = settings.RetrieveSetting("On");
    const QVariant off = settings.RetrieveSetting("Off");
    EXPECT_EQ(on.typeId(), QMetaType::Short);
    EXPECT_EQ(on.toInt(), -1);
    EXPECT_EQ(off.typeId(), QMetaType::Short);
    EXPECT_EQ(off.toInt(), 0);
}

TEST(SettingsValues, RetrieveSettingGivesDefaultsAndReadsTruthWords)
{
    cSHAREDSettings settings;
    TrailWatch trail;
    EXPECT_FALSE(settings.RetrieveSetting("Missing").isValid());
    EXPECT_EQ(settings.RetrieveSetting("Missing", 7).toInt(), 7);
    EXPECT_EQ(trail.added(), "");

    settings.StoreSetting("Yes", "TRUE");
    settings.StoreSetting("No", " false ");
    settings.StoreSetting("Truly", "Truly");
    EXPECT_EQ(settings.RetrieveSetting("Yes"), QVariant(true));
    EXPECT_EQ(settings.RetrieveSetting("No"), QVariant(false));
    EXPECT_EQ(settings.RetrieveSetting("Truly").toString(), "Truly");
    // A present entry wins over the default, even when empty.
    settings.StoreSetting("Blank", "");
    EXPECT_EQ(settings.RetrieveSetting("Blank", "x").toString(), "");
}

TEST(SettingsValues, RetrieveWithDefaultReplacesMissingZeroFalseAndNonNumbers)
{
    cSHAREDSettings settings;
    settings.StoreSetting("Zero", 0);
    settings.StoreSetting("ZeroText", " 0 ");
    settings.StoreSetting("ZeroDouble", 0.0);
    settings.StoreSetting("False", false);
    settings.StoreSetting("FalseWord", "False");
    settings.StoreSetting("Minus", -1);
    settings.StoreSetting("Decimal", "2.5");
    settings.StoreSetting("Day", QDate(2024, 1, 5));
    settings.StoreSetting("Word", "abc");

    for (const char* zero : {"Missing", "Zero", "ZeroText", "ZeroDouble", "False", "FalseWord"}) {
        TrailWatch trail;
        EXPECT_EQ(settings.RetrieveWithDefault(zero, 42).toInt(), 42) << zero;
        EXPECT_EQ(trail.added(), "") << zero;
    }
    EXPECT_EQ(settings.RetrieveWithDefault("Minus", 42).toInt(), -1);
    EXPECT_EQ(settings.sGetWD("Decimal", 42).toString(), "2.5");
    EXPECT_EQ(settings.RetrieveWithDefault("Day", 42).toDate(), QDate(2024, 1, 5));

    TrailWatch trail;
    EXPECT_EQ(settings.RetrieveWithDefault("Word", 42).toInt(), 42);
    EXPECT_EQ(trail.added(), "Type mismatch (13) in RetrieveWithDefault of module cSHAREDSettings");
}

TEST(SettingsOrder, UpdatesKeepTheirPlaceAndNewEntriesGoLast)
{
    cSHAREDSettings settings;
    for (const char* name : {"A", "B", "C", "D"})
        settings.StoreSetting(name, name);
    settings.StoreSetting("b", "changed");
    settings.StoreSetting("E", 5);
    EXPECT_EQ(settingNames(settings), QStringList({"A", "B", "C", "D", "E"}));

    settings.DeleteSetting(2);
    EXPECT_EQ(settingNames(settings), QStringList({"A", "C", "D", "E"}));
    // Lookups still find every entry after the one removed.
    EXPECT_EQ(settings.RetrieveSetting("d").toString(), "D");
    EXPECT_EQ(settings.RetrieveSetting("E").toInt(), 5);

    settings.DeleteSettingByName("c");
    settings.DeleteSettingByName("not there");
    EXPECT_EQ(settingNames(settings), QStringList({"A", "D", "E"}));
    settings.StoreSetting("C", "again");
    EXPECT_EQ(settingNames(settings), QStringList({"A", "D", "E", "C"}));

    settings.DeleteAllSettings();
    EXPECT_EQ(settings.SettingsCount(), 0);
    EXPECT_FALSE(settings.IsSettingPresent("A"));
}

TEST(SettingsOrder, PositionsOutOfRange)
{
    cSHAREDSettings settings;
    settings.StoreSetting("Only", 1);
    {
        TrailWatch trail;
        EXPECT_EQ(settings.SettingNameByIndex(0), "");
        EXPECT_EQ(settings.SettingNameByIndex(2), "");
        EXPECT_EQ(settings.SettingNameByIndex(-5), "");
        EXPECT_EQ(trail.added(), "");
    }
    for (int bad : {0, 2, -1}) {
        TrailWatch trail;
        settings.DeleteSetting(bad);
        EXPECT_EQ(settings.SettingsCount(), 1);
        EXPECT_EQ(trail.added(),
                  "Subscript out of range (9) in DeleteSetting of module cSHAREDSettings");
    }
}

TEST(SettingsShared, OneInstanceForParloIniInTheProgramFolder)
{
    ScopedProgramHome home;
    EXPECT_EQ(&cSHAREDSettings::shared(), &cSHAREDSettings::shared());
    EXPECT_EQ(cSHAREDSettings::sharedFilename(), home.file("Parlo.ini"));
}
