#include "parlo_config.h"
#include "util/delay.h"
#include "util/identity.h"

#include <QCursor>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// Records how a wait is cut into pieces instead of sleeping.
class RecordingDelay : public cSHAREDDelay {
public:
    QList<int> blocks;
    int pumps = 0;
    double clock = 0;

protected:
    void block(int ms) override { blocks << ms; }
    void pumpInput() override { ++pumps; }
    double timeOfDay() const override { return clock; }
};

} // namespace

TEST(Identity, VersionIsMajorMinorRevision)
{
    EXPECT_EQ(cSHAREDSubs::instance().AppVersion(), QStringLiteral(PARLO_VERSION_STRING));
    EXPECT_FALSE(cSHAREDSubs::instance().InIDE());
}

TEST(Identity, WindowsNamesFollowTheTable)
{
    using OS = cSharedOSInfo;
    EXPECT_EQ(OS::windowsName(OS::WinNT, 10, 0), "WINNT7+");
    EXPECT_EQ(OS::windowsName(OS::WinNT, 6, 0), "Vista/Svr2008");
    EXPECT_EQ(OS::windowsName(OS::WinNT, 6, 1), "WINNT6+");
    EXPECT_EQ(OS::windowsName(OS::WinNT, 5, 0), "Win2K");
    EXPECT_EQ(OS::windowsName(OS::WinNT, 5, 1), "WinXP");
    EXPECT_EQ(OS::windowsName(OS::WinNT, 5, 2), "XP64/Svr2003");
    EXPECT_EQ(OS::windowsName(OS::WinNT, 5, 3), "WINNT5+");
    EXPECT_EQ(OS::windowsName(OS::WinNT, 4, 0), "WinNT");
    EXPECT_EQ(OS::windowsName(OS::Win9x, 4, 0), "Win95");
    EXPECT_EQ(OS::windowsName(OS::Win9x, 4, 10), "Win98");
    EXPECT_EQ(OS::windowsName(OS::Win9x, 4, 90), "WinME");
    EXPECT_EQ(OS::windowsName(OS::Win9x, 4, 3), "WIN32");
    EXPECT_EQ(OS::windowsName(OS::Unknown, 5, 1), "");
}

TEST(Identity, LinuxReportsItsPrettyName)
{
    const QString name = cSharedOSInfo::instance().fOSName();
    EXPECT_FALSE(name.isEmpty());
    EXPECT_FALSE(name.contains("Win"));
    EXPECT_FALSE(cSharedOSInfo::instance().IsWindowsNT());
    EXPECT_EQ(cSharedOSInfo::instance().GetWinPlatform(), 0);
}

TEST(Identity, SpecialFoldersEndInSlash)
{
    for (const QString& folder :
         {cSharedGetSpecialFolder::SystemTempFolder(), cSharedGetSpecialFolder::MyDocsFolder(),
          cSharedGetSpecialFolder::DesktopFolder(), cSharedGetSpecialFolder::LocalAppsFolder()}) {
        ASSERT_FALSE(folder.isEmpty());
        EXPECT_TRUE(folder.endsWith('/')) << folder.toStdString();
    }
}

TEST(Identity, BusyPointerIsOneOverrideThatNormalRestores)
{
    auto& subs = cSHAREDSubs::instance();
    subs.BusyMouse();
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    subs.BusyBGmouse();
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BusyCursor);
    subs.NormalMouse();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(Delay, LongDelaysAreCutIntoHalfSeconds)
{
    RecordingDelay delay;
    delay.Delay(2.5);
    EXPECT_EQ(delay.blocks, (QList<int>{500, 500, 500, 500, 500}));
    EXPECT_EQ(delay.pumps, 4);

    delay.blocks.clear();
    delay.Sleep(1000);
    EXPECT_EQ(delay.blocks, QList<int>{1000});
    delay.blocks.clear();
    delay.Sleep(1001);
    EXPECT_EQ(delay.blocks, (QList<int>{500, 500, 1}));
    delay.blocks.clear();
    delay.Delay(0.3);
    EXPECT_EQ(delay.blocks, QList<int>{300});
}

TEST(Delay, RegularDoEventsRunsAtMostFourTimesASecond)
{
    RecordingDelay counting;
    int runs = 0;
    for (int step = 0; step < 100; ++step) {
        counting.clock = 1000.0 + step * 0.01;
        bool ranNow = false;
        QTimer::singleShot(0, [&] { ranNow = true; });
        counting.RegularDoEvents();
        runs += ranNow ? 1 : 0;
        QCoreApplication::processEvents();
    }
    EXPECT_GE(runs, 3);
    EXPECT_LE(runs, 5);
}

TEST(Delay, RegularDoEventsKeepsRunningAfterMidnight)
{
    RecordingDelay delay;
    delay.clock = 86399.9;
    delay.RegularDoEvents();
    delay.clock = 0.2;
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    delay.RegularDoEvents();
    EXPECT_TRUE(ran);
}

TEST(Delay, MsgWaitRunsEventsAndWaitsTheWholeTime)
{
    bool fired = false;
    QTimer::singleShot(30, [&] { fired = true; });
    QElapsedTimer clock;
    clock.start();
    cSHAREDDelay::instance().MsgWait(150);
    EXPECT_TRUE(fired);
    EXPECT_GE(clock.elapsed(), 149);
    EXPECT_LT(clock.elapsed(), 2000);
}
