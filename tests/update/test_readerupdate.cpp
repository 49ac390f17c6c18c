#include "loopback.h"
#include "net/cSHAREDInternet.h"
#include "net/fSHAREDInternet.h"
#include "readerfixture.h"
#include "update/fSHAREDUpdater.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// The reader window with a loopback update server offering 2.0.10.
class ReaderUpdate : public ReaderWindow {
protected:
    void SetUp() override
    {
        ReaderWindow::SetUp();
        ASSERT_TRUE(server.ok());
        server.putFile("PRL2_current.txt",
                       ("2.0.10\n" + server.url("/files/pkg.bin") + "\n").toUtf8());
        server.putFile("pkg.bin", patternBody(25000));
    }
    std::unique_ptr<frmMain> startWithUpdater()
    {
        auto window = start();
        EXPECT_TRUE(m_started);
        // Start-up has read the settings file.
        cSHAREDSettings::shared().sSet("UpdateServer", server.url("/files"));
        fSHAREDUpdater* updater = window->updater();
        EXPECT_NE(updater, nullptr);
        if (updater) {
            updater->askYesNo = [this](const QString& question) {
                questions << question;
                return yes;
            };
            QObject::connect(updater, &fSHAREDUpdater::Finished, [this] { ++checks; });
        }
        return window;
    }
    // Lets Timer3 tick at once and waits until its handler has run.
    void tick(frmMain& window)
    {
        auto* timer = child<QTimer>(window, "Timer3");
        timer->start(0);
        ASSERT_TRUE(waitUntil([timer] { return !timer->isActive(); }));
    }
    int versionRequests() const
    {
        return int(server.requests().filter("/versions/PRL2_current.txt").size());
    }

    HttpTestServer server;
    QStringList questions;
    bool yes = false;
    int checks = 0;
};

} // namespace

TEST_F(ReaderUpdate, TimerIsArmedOnlyWhenNoDocumentIsNamed)
{
    auto window = startWithUpdater();
    ASSERT_TRUE(m_started);
    EXPECT_FALSE(window->updater()->isVisible());
    auto* timer = child<QTimer>(*window, "Timer3");
    EXPECT_FALSE(timer->isActive());
    window->openFromCommandLine({});
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 30000);
    window->ShutDown();

    writeBytes(home.file("book.txt"), "One sentence. Two sentences.");
    auto reading = startWithUpdater();
    reading->openFromCommandLine(home.file("book.txt"));
    EXPECT_FALSE(child<QTimer>(*reading, "Timer3")->isActive());
    reading->ShutDown();
}

TEST_F(ReaderUpdate, TimerChecksSilentlyOnlyWhenSwitchedOnAndDue)
{
    auto window = startWithUpdater();
    // Absent, the switch counts as off.
    tick(*window);
    EXPECT_EQ(versionRequests(), 0);

    cSHAREDSettings::shared().sSet("DisableAutoUpdateCheck", false);
    cSHAREDSettings::shared().sSet("LastUpdateCheck", UpdateFiles::dayNumber(QDate::currentDate()));
    tick(*window);
    EXPECT_EQ(versionRequests(), 0);

    cSHAREDSettings::shared().DeleteSettingByName("LastUpdateCheck");
    tick(*window);
    EXPECT_EQ(checks, 1);
    EXPECT_EQ(versionRequests(), 1);
    EXPECT_EQ(questions.size(), 1);
    EXPECT_FALSE(window->updater()->isVisible());
    window->ShutDown();
}

TEST_F(ReaderUpdate, MenuCheckShowsTheAvailableVersion)
{
    auto window = startWithUpdater();
    window->openFromCommandLine({});
    window->findChild<QAction*>("mnuCheckForUpdate")->trigger();
    EXPECT_FALSE(child<QTimer>(*window, "Timer3")->isActive());
    EXPECT_TRUE(window->updater()->isVisible());
    EXPECT_EQ(window->updater()->findChild<QLabel*>("lblUpdate")->text(),
              "Version 2.0.10 is available!");
    EXPECT_TRUE(questions.isEmpty());
    window->ShutDown();
}

TEST_F(ReaderUpdate, InstallWritesUpdaterIniStartsTheStandInAndShutsDown)
{
    QTemporaryDir bin;
    const QString standIn = bin.filePath("stand-in");
    // Records its command line, one argument a line, and ends.
    writeBytes(standIn, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.part\" && mv \"$0.part\" "
                        "\"$0.args\"\n");
    QFile::setPermissions(standIn, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    updaterProgram = standIn;
    auto window = startWithUpdater();
    window->findChild<QAction*>("mnuCheckForUpdate")->trigger();
    yes = true;
    window->updater()->findChild<QPushButton*>("cmdDownloadInstall")->click();

    ASSERT_TRUE(waitUntil([&] { return window->isShutDown(); }));
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(readBytes(home.file("updater.ini")), "Parlo2Upd.exe");
    EXPECT_EQ(readBytes(home.file("Parlo2Upd.exe")), patternBody(25000));
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(standIn + ".args"); }));
    EXPECT_EQ(QString::fromUtf8(readBytes(standIn + ".args")), window->windowTitle() + "\n");
    EXPECT_TRUE(QFile::exists(home.file("Parlo.ini")));
}

TEST_F(ReaderUpdate, QuittingDuringACheckIsNotHeldUpByTheServer)
{
    auto window = startWithUpdater();
    // A server that sends its headers and then nothing, and a fetch that would wait for it
    // for an hour: only quitting ends this check.
    cSHAREDSettings::shared().sSet("UpdateServer", server.url("/stall?size=100&after=0&x="));
    cSHAREDSettings::shared().sSet("DisableAutoUpdateCheck", false);
    fSHAREDInternet::setTickIntervalForTests(60 * 1000);
    QObject::connect(window->updater(), &fSHAREDUpdater::Status, window.get(),
                     [&](const QString& status) {
                         if (status == "Checking for update")
                             QTimer::singleShot(0, window.get(), &frmMain::ShutDown);
                     });
    // Bounds a failure only: ends a check that the quit left waiting.
    bool rescued = false;
    QTimer::singleShot(30000, window->updater(), [&] {
        rescued = true;
        window->updater()->fetch().Cancel();
    });
    tick(*window);
    fSHAREDInternet::setTickIntervalForTests(0);
    EXPECT_FALSE(rescued);
    EXPECT_EQ(checks, 1);
    EXPECT_TRUE(window->isShutDown());
    EXPECT_TRUE(questions.isEmpty());
}
