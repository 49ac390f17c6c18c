#include "settings/settings.h"

#include "../support/testsupport.h"
#include "settingstest.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

TEST(SettingsSets, MembersAreNumberedUnderTheUpperCasedSetName)
{
    cSHAREDSettings settings;
    EXPECT_EQ(settings.LastIndexInSet("Recent"), 0);
    EXPECT_EQ(settings.AddToSet("Recent", "a.txt"), 1);
    EXPECT_EQ(settings.AddToSet("recent", "b.txt"), 2);
    EXPECT_EQ(settings.AddToSet("RECENT", "c.txt"), 3);

    EXPECT_EQ(settingNames(settings),
              QStringList({"RECENT_INDEX", "RECENT_1", "RECENT_2", "RECENT_3"}));
    EXPECT_EQ(settings.LastIndexInSet("recent"), 3);
    EXPECT_EQ(settings.RetrieveSetting("RECENT_3").toString(), "c.txt");
    EXPECT_EQ(settings.SetCount("Recent"), 3);
    EXPECT_TRUE(settings.ValueInSet("recent", " B.TXT "));
    EXPECT_FALSE(settings.ValueInSet("recent", "d.txt"));
}

TEST(SettingsSets, AddingSkipsIndicesThatAreStillTaken)
{
    cSHAREDSettings settings;
    settings.StoreSetting("S_INDEX", 2);
    settings.StoreSetting("S_3", "taken");
    EXPECT_EQ(settings.AddToSet("S", "new"), 4);
    EXPECT_EQ(settings.LastIndexInSet("S"), 4);
    EXPECT_EQ(settings.RetrieveSetting("S_3").toString(), "taken");
    EXPECT_EQ(settings.RetrieveSetting("S_4").toString(), "new");
}

TEST(SettingsSets, DeletingByValueClosesTheGap)
{
    cSHAREDSettings settings;
    for (const char* value : {"one", "two", "three"})
        settings.AddToSet("S", value);
    settings.DeleteFromSetByValue("s", "TWO");
    EXPECT_EQ(settings.LastIndexInSet("S"), 2);
    EXPECT_EQ(settings.RetrieveSetting("S_1").toString(), "one");
    EXPECT_EQ(settings.RetrieveSetting("S_2").toString(), "three");
    EXPECT_FALSE(settings.IsSettingPresent("S_3"));

    settings.DeleteFromSetByValue("S", "missing");
    EXPECT_EQ(settings.LastIndexInSet("S"), 2);
    settings.DeleteFromSetByValue("S", "three");
    EXPECT_EQ(settings.LastIndexInSet("S"), 1);
    EXPECT_FALSE(settings.IsSettingPresent("S_2"));
}

TEST(SettingsSets, GapsMoveDownWithTheMembersAndAreCounted)
{
    cSHAREDSettings settings;
    for (const char* value : {"a", "b", "c", "d"})
        settings.AddToSet("S", value);
    settings.DeleteSettingByName("S_3");
    {
        TrailWatch trail;
        EXPECT_EQ(settings.SetCount("S"), 3);
        EXPECT_EQ(trail.added(), "WARNING: LastIDX and Setcount not the same with setting 'S'");
    }
    settings.DeleteFromSetByValue("S", "a");
    EXPECT_EQ(settings.LastIndexInSet("S"), 3);
    EXPECT_EQ(settings.RetrieveSetting("S_1").toString(), "b");
    EXPECT_FALSE(settings.IsSettingPresent("S_2"));
    EXPECT_EQ(settings.RetrieveSetting("S_3").toString(), "d");
    EXPECT_FALSE(settings.IsSettingPresent("S_4"));
}

TEST(SettingsSets, SetsSurviveTheFileWithNumbersReadAsText)
{
    ScopedProgramHome home;
    cSHAREDSettings settings;
    settings.AddToSet("Nums", 5);
    settings.AddToSet("Nums", 7);
    ASSERT_TRUE(settings.SaveSettings(home.file("s.ini")));
    EXPECT_EQ(readBytes(home.file("s.ini")),
              QByteArray("NUMS_INDEX, 2 \r\nNUMS_1, 5 \r\nNUMS_2, 7 \r\n"));

    cSHAREDSettings again;
    again.LoadSettings(home.file("s.ini"));
    EXPECT_EQ(again.LastIndexInSet("nums"), 2);
    EXPECT_TRUE(again.ValueInSet("nums", 7));
    EXPECT_EQ(again.AddToSet("nums", 9), 3);
}

TEST(SettingsSets, DeletingASetRemovesEveryMemberAndNothingElse)
{
    cSHAREDSettings settings;
    settings.StoreSetting("Keep", 1);
    for (int i = 0; i < 5; ++i)
        settings.AddToSet("S", i);
    settings.StoreSetting("S_40", "far beyond the index");
    settings.DeleteSettingByName("S_2");
    settings.StoreSetting("S_X", "not a member");
    settings.StoreSetting("SS_1", "another set");
    settings.AddToSet("T", "other");

    settings.DeleteASet("s");
    EXPECT_EQ(settingNames(settings), QStringList({"Keep", "S_X", "SS_1", "T_INDEX", "T_1"}));
    EXPECT_EQ(settings.RetrieveSetting("T_1").toString(), "other");
    EXPECT_EQ(settings.AddToSet("S", "fresh"), 1);
}

TEST(SettingsSets, ADamagedIndexNeitherHangsNorBreaksTheSet)
{
    cSHAREDSettings settings;
    settings.StoreSetting("S_INDEX", "2000000000");
    settings.StoreSetting("S_1", "a");
    settings.StoreSetting("S_7", "b");
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(settings.ValueInSet("S", "b"));
    EXPECT_EQ(settings.SetCount("S"), 2);
    settings.DeleteFromSetByValue("S", "a");
    EXPECT_EQ(settings.RetrieveSetting("S_6").toString(), "b");
    EXPECT_EQ(settings.LastIndexInSet("S"), 1999999999);
    settings.DeleteASet("S");
    EXPECT_EQ(settings.SettingsCount(), 0);
    EXPECT_LT(timer.elapsed(), 2000);

    settings.StoreSetting("W_INDEX", "many");
    TrailWatch trail;
    EXPECT_EQ(settings.LastIndexInSet("W"), 0);
    EXPECT_EQ(trail.added(), "Type mismatch (13) in LastIndexInSet of module cSHAREDSettings");
    settings.StoreSetting("W_INDEX", "99999999999");
    EXPECT_EQ(settings.LastIndexInSet("W"), 0);
    EXPECT_EQ(trail.added(), "Overflow (6) in LastIndexInSet of module cSHAREDSettings");
}
