#include "loopback.h"
#include "net/cSHAREDInternet.h"
#include "net/fSHAREDInternet.h"
#include "settings/settings.h"
#include "testsupport.h"
#include "update/fSHAREDUpdater.h"

#include <QCheckBox>
#include <QCryptographicHash>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>

#include <utility>

#include <gtest/gtest.h>

namespace {

const QColor kDarkRed(192, 0, 0);
const QColor kGreen(0, 128, 0);

// Runs an action once the window has been shown modally, from the loop that showed it.
class OnShow : public QObject {
public:
    OnShow(QWidget& window, std::function<void()> action) : m_action(std::move(action))
    {
        window.installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && m_action && static_cast<QWidget*>(watched)->isModal())
            QTimer::singleShot(0, this, std::exchange(m_action, {}));
        return false;
    }

private:
    std::function<void()> m_action;
};

// An update window with a loopback update server and a clock the test sets.
class Updater : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.ok());
        cSHAREDSettings::shared().DeleteAllSettings();
        window = std::make_unique<fSHAREDUpdater>();
        window->askYesNo = [this](const QString& question) {
            questions << question;
            return !answers.isEmpty() && answers.takeFirst();
        };
        window->clock = [this] { return now; };
        QObject::connect(window.get(), &fSHAREDUpdater::Status,
                         [this](const QString& text) { statuses << text; });
        QObject::connect(window.get(), &fSHAREDUpdater::Finished, [this] { ++finished; });
        QObject::connect(window.get(), &fSHAREDUpdater::InstallFile, [this] { ++installs; });
        QObject::connect(window.get(), &fSHAREDUpdater::FormClosed, [this] { ++closed; });
        QObject::connect(&window->fetch().window().transfer(), &TransferClient::StateChanged,
                         [this] { ++transferStates; });
    }
    void TearDown() override { fSHAREDInternet::setTickIntervalForTests(0); }

    // The version file, and a package of size bytes that it names.
    void publish(const QString& version, qint64 packageSize = 25000, const QString& extra = {})
    {
        server.putFile(
            "PRL2_current.txt",
            (version + "\r\n" + server.url("/files/pkg@@@.bin") + "\r\n" + extra).toUtf8());
        package = patternBody(packageSize);
        const QString digits = version;
        server.putFile("pkg" + QString(digits).remove('.') + ".bin", package);
        server.putFile("PRL2_details.txt", "What is new:\nfaster\n");
    }
    QString versionUrl() const { return server.url("/files/PRL2_current.txt"); }
    QString detailsUrl() const { return server.url("/files/PRL2_details.txt"); }
    bool check(const QString& current, bool silent = false)
    {
        return window->CheckForUpdate(silent, versionUrl(), detailsUrl(), "Parlo2Upd.exe", current);
    }
    template <typename T> T* child(const char* name)
    {
        T* found = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QString updateText() { return child<QLabel>("lblUpdate")->text(); }
    QColor updateColour()
    {
        return child<QLabel>("lblUpdate")->palette().color(QPalette::WindowText);
    }
    void click(const char* button) { child<QPushButton>(button)->click(); }
    QString packagePath() const { return home.file("Parlo2Upd.exe"); }
    QVariant lastCheck() const { return cSHAREDSettings::shared().sGet("LastUpdateCheck"); }

    ScopedProgramHome home;
    RecordingPrompt prompt;
    HttpTestServer server;
    std::unique_ptr<fSHAREDUpdater> window;
    QDateTime now{QDate(2026, 12, 8), QTime(9, 30)};
    QStringList statuses, questions;
    QList<bool> answers;
    QByteArray package;
    int finished = 0, installs = 0, closed = 0, transferStates = 0;
};

} // namespace

TEST_F(Updater, NewerServerVersionIsAnnouncedInGreen)
{
    publish("2.0.10");
    EXPECT_TRUE(check("2.0.9"));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(updateText(), "Version 2.0.10 is available!");
    EXPECT_EQ(updateColour(), kGreen);
    EXPECT_EQ(child<QLabel>("lblProgram")->text(), "Version 2.0.9");
    EXPECT_EQ(window->downloadUrl(), server.url("/files/pkg2010.bin"));
    EXPECT_EQ(lastCheck().toString(), "08/Dec/2026");
    EXPECT_EQ(statuses, (QStringList{"Checking for update", "Data retrieved", ""}));
    EXPECT_EQ(finished, 1);
    EXPECT_TRUE(child<QPushButton>("cmdCheckAgain")->isEnabled());
    EXPECT_TRUE(questions.isEmpty());
}

TEST_F(Updater, LettersDecideBetweenEqualNumbers)
{
    publish("2.0.9b");
    EXPECT_TRUE(check("2.0.9"));
    EXPECT_EQ(updateText(), "Version 2.0.9B is available!");

    publish("2.0.9");
    EXPECT_FALSE(check("2.0.9b"));
    EXPECT_EQ(updateText(), "You're up to date!");
    EXPECT_EQ(updateColour(), kDarkRed);
    EXPECT_EQ(statuses.last(), "Latest available version is 2.0.9");
    // Up to date stores the day number, so the next automatic check waits a week.
    EXPECT_EQ(lastCheck().toLongLong(), UpdateFiles::dayNumber(now.date()));
    EXPECT_FALSE(window->DoCheckNow());
    EXPECT_EQ(finished, 2);
}

TEST_F(Updater, AnswersThatAreNoVersionFileFailTheCheckAndStoreNoDate)
{
    struct Case {
        QByteArray body;
        const char* state;
    };
    const QList<Case> cases = {
        {"2.0.10", "Could not read update status from file"},
        {"2.0.10\n", "Could not read update status from file"},
        {"<Html><body>2.0.10\nhttps://x/p</body></html>", "Could not retrieve update status"},
        {"  \r\n ", "Could not retrieve update status"},
    };
    for (const Case& c : cases) {
        server.putFile("PRL2_current.txt", c.body);
        EXPECT_FALSE(check("2.0.9")) << c.body.constData();
        EXPECT_EQ(updateText(), c.state) << c.body.constData();
        EXPECT_EQ(updateColour(), kDarkRed);
        EXPECT_FALSE(lastCheck().isValid());
    }
    // A version file that is not there at all.
    EXPECT_FALSE(window->CheckForUpdate(false, server.url("/files/absent.txt"), detailsUrl(),
                                        "Parlo2Upd.exe", "2.0.9"));
    EXPECT_EQ(updateText(), "Could not retrieve update status");
    EXPECT_TRUE(statuses.last().startsWith("Update check failed. Visit "));
    EXPECT_TRUE(window->DoCheckNow());
}

TEST_F(Updater, WithoutAServerTheCheckFailsWithoutTouchingTheNetwork)
{
    if (!UpdateFiles::currentVersionUrl().isEmpty())
        GTEST_SKIP() << "this build names an update server";
    EXPECT_FALSE(window->CheckForUpdate(false, UpdateFiles::currentVersionUrl(),
                                        UpdateFiles::detailsUrl(), "Parlo2Upd.exe", "2.0.9"));
    EXPECT_EQ(updateText(), "Could not retrieve update status");
    click("cmdShowDetail");
    EXPECT_EQ(child<QTextEdit>("txtDetails")->toPlainText(),
              "Unable to read data from server. Please check your internet settings and try "
              "again.");
    click("cmdDownload");
    EXPECT_EQ(statuses.last(), "Error - Download failed.");
    EXPECT_EQ(transferStates, 0);
    EXPECT_TRUE(prompt.messages.isEmpty());
}

TEST_F(Updater, SilentCheckAsksOnlyWhenThereIsAnUpdate)
{
    publish("2.0.9");
    EXPECT_FALSE(check("2.0.9", true));
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(questions.isEmpty());

    publish("2.0.10");
    answers << false;
    EXPECT_TRUE(check("2.0.9", true));
    EXPECT_EQ(questions, QStringList{"An update is available. Would you like to view the "
                                     "details now?"});
    EXPECT_FALSE(window->isVisible());

    // Yes shows the window modally, with its buttons ready.
    answers << true;
    bool wasModal = false, detailsReady = false;
    OnShow onShow(*window, [&] {
        wasModal = true;
        detailsReady = child<QPushButton>("cmdShowDetail")->isEnabled();
        click("cmdExit");
    });
    EXPECT_TRUE(check("2.0.9", true));
    EXPECT_TRUE(wasModal);
    EXPECT_TRUE(detailsReady);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(Updater, ServerThatNeverAnswersDelaysNothingAndFailsSilently)
{
    fSHAREDInternet::setTickIntervalForTests(20);
    bool othersRan = false;
    QTimer::singleShot(0, [&] { othersRan = true; });
    EXPECT_FALSE(window->CheckForUpdate(true, server.url("/stall?size=100&after=0"), detailsUrl(),
                                        "Parlo2Upd.exe", "2.0.9"));
    EXPECT_TRUE(othersRan);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(questions.isEmpty());
    EXPECT_TRUE(prompt.messages.isEmpty());
    EXPECT_FALSE(lastCheck().isValid());
}

TEST_F(Updater, PackageBelowTheMinimumSizeIsAFailedDownload)
{
    publish("2.0.10", 24999);
    ASSERT_TRUE(check("2.0.9"));
    click("cmdDownload");
    EXPECT_FALSE(QFile::exists(packagePath()));
    EXPECT_EQ(statuses.last(), "Error - Downloaded file is incomplete. Please retry");
    EXPECT_TRUE(prompt.messages.isEmpty());

    publish("2.0.10", 25000);
    click("cmdDownload");
    EXPECT_EQ(readBytes(packagePath()), package);
    EXPECT_EQ(prompt.messages, QStringList{"File saved to " + home.path() + "/Parlo2Upd.exe"});
}

TEST_F(Updater, DownloadOnlyChecksFirstWhenNoPackageIsKnown)
{
    EXPECT_FALSE(check("2.0.9")); // nothing published yet
    EXPECT_TRUE(window->downloadUrl().isEmpty());
    publish("2.0.10", 30000);
    click("cmdDownload");
    EXPECT_EQ(questions.size(), 1); // the silent check found the update
    EXPECT_EQ(readBytes(packagePath()), package);
    EXPECT_EQ(prompt.messages.size(), 1);
}

TEST_F(Updater, ChecksumLineMustMatchThePackage)
{
    publish("2.0.10", 30000, "sha256=" + QString(64, u'0') + "\r\n");
    ASSERT_TRUE(check("2.0.9"));
    click("cmdDownload");
    EXPECT_FALSE(QFile::exists(packagePath()));
    EXPECT_EQ(statuses.last(), "Error - Downloaded file is incomplete. Please retry");

    const QByteArray body = patternBody(30000);
    publish("2.0.10", 30000,
            "sha256=" + QString::fromLatin1(
                            QCryptographicHash::hash(body, QCryptographicHash::Sha256).toHex()));
    ASSERT_TRUE(check("2.0.9"));
    click("cmdDownload");
    EXPECT_EQ(readBytes(packagePath()), body);
}

TEST_F(Updater, PackageOverPlainHttpFromElsewhereIsRefused)
{
    server.putFile("PRL2_current.txt", "2.0.10\nhttp://updates.invalid/pkg.bin\n");
    ASSERT_TRUE(check("2.0.9"));
    transferStates = 0;
    click("cmdDownload");
    EXPECT_EQ(transferStates, 0);
    EXPECT_EQ(statuses.last(), "Error - Download failed.");
    EXPECT_FALSE(QFile::exists(packagePath()));
}

TEST_F(Updater, DownloadAndInstallHandsOverOnlyWhenTheUserAgrees)
{
    publish("2.0.10", 40000);
    ASSERT_TRUE(check("2.0.9"));
    answers << false;
    click("cmdDownloadInstall");
    EXPECT_EQ(installs, 0);
    EXPECT_EQ(prompt.messages.size(), 1);
    EXPECT_EQ(questions.last(), "The update has been downloaded. Do you want to install it now?");

    answers << true;
    bool hiddenBeforeHandOver = false;
    QObject::connect(window.get(), &fSHAREDUpdater::InstallFile,
                     [&] { hiddenBeforeHandOver = !window->isVisible() && closed == 0; });
    click("cmdDownloadInstall");
    EXPECT_EQ(installs, 1);
    EXPECT_TRUE(hiddenBeforeHandOver);
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(readBytes(packagePath()), package);
}

TEST_F(Updater, VersionDetailsComeFromTheServer)
{
    publish("2.0.10");
    ASSERT_TRUE(check("2.0.9"));
    auto* details = child<QTextEdit>("txtDetails");
    EXPECT_FALSE(details->isVisibleTo(window.get()));
    click("cmdShowDetail");
    EXPECT_TRUE(details->isVisible());
    EXPECT_EQ(details->toPlainText(), "What is new:\nfaster\n");
}

TEST_F(Updater, UntickingTheBoxTurnsTheAutomaticCheckOn)
{
    EXPECT_TRUE(window->NoAutoCheck());
    auto* box = child<QCheckBox>("chkDisableAutoUpdate");
    EXPECT_TRUE(box->isChecked());
    window->show();
    box->setChecked(false);
    click("cmdExit");
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->NoAutoCheck());
    // Closing with the close box keeps the choice just the same.
    fSHAREDUpdater again;
    EXPECT_FALSE(again.findChild<QCheckBox*>("chkDisableAutoUpdate")->isChecked());
    again.show();
    again.findChild<QCheckBox*>("chkDisableAutoUpdate")->setChecked(true);
    again.close();
    EXPECT_TRUE(window->NoAutoCheck());
}

TEST_F(Updater, AutomaticCheckIsDueAWeekAfterTheLast)
{
    EXPECT_TRUE(window->DoCheckNow());
    window->SaveLastCheckDate();
    EXPECT_FALSE(window->DoCheckNow());
    now = now.addDays(6);
    EXPECT_FALSE(window->DoCheckNow());
    now = now.addDays(1);
    EXPECT_TRUE(window->DoCheckNow());
}

TEST_F(Updater, ShowandCheckLeavesTheResultOpenWhenThereIsNoUpdate)
{
    publish("2.0.9");
    bool shown = false;
    OnShow onShow(*window, [&] {
        shown = true;
        click("cmdExit");
    });
    window->ShowandCheck(versionUrl(), detailsUrl(), "Parlo2Upd.exe", "2.0.9");
    EXPECT_TRUE(shown);
    EXPECT_EQ(updateText(), "You're up to date!");
    EXPECT_EQ(closed, 1);

    // DownloadAndInstall fetches what it is given under the kept name, and asks nothing.
    publish("2.0.10", 26000);
    window->DownloadAndInstall(server.url("/files/pkg2010.bin"));
    EXPECT_EQ(readBytes(packagePath()), package);
    EXPECT_TRUE(questions.isEmpty());
    EXPECT_EQ(installs, 0);
}

TEST_F(Updater, CheckOvertakenByANewerOneLeavesItsResultAlone)
{
    publish("2.0.10");
    bool second = false;
    QObject::connect(window.get(), &fSHAREDUpdater::Status, window.get(),
                     [&](const QString& status) {
                         if (status == "Checking for update" && !std::exchange(second, true))
                             QTimer::singleShot(0, window.get(), [&] { check("2.0.9"); });
                     });
    // The first check waits on a server that never sends its body.
    EXPECT_FALSE(window->CheckForUpdate(true, server.url("/stall?size=100&after=0"), detailsUrl(),
                                        "Parlo2Upd.exe", "2.0.9"));
    EXPECT_TRUE(second);
    EXPECT_EQ(updateText(), "Version 2.0.10 is available!");
    EXPECT_EQ(finished, 1);
    EXPECT_TRUE(questions.isEmpty());
}
