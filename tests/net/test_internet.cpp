#include "loopback.h"
#include "net/cSHAREDInternet.h"
#include "net/encrypt.h"
#include "net/fSHAREDInternet.h"
#include "settings/settings.h"
#include "testsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// Everything the download window raised, in order.
struct Events {
    explicit Events(fSHAREDInternet& w)
    {
        QObject::connect(&w, &fSHAREDInternet::Status, [this](const QString& m) { status << m; });
        QObject::connect(&w, &fSHAREDInternet::Progress, [this](float p, const QString& m) {
            progress << m;
            percents << p;
        });
        QObject::connect(&w, &fSHAREDInternet::DownloadFinished, [this] { ++finished; });
        QObject::connect(&w, &fSHAREDInternet::DownloadCancelled, [this] { ++cancelled; });
        QObject::connect(&w, &fSHAREDInternet::DownloadError,
                         [this](const QString& m) { errors << m; });
        QObject::connect(&w, &fSHAREDInternet::Receiving, [this] { ++receiving; });
        QObject::connect(&w, &fSHAREDInternet::NoInternet, [this] { ++noInternet; });
    }
    bool ended() const { return finished + cancelled + int(errors.size()) > 0; }
    bool waitForEnd()
    {
        return waitUntil([this] { return ended(); });
    }

    QStringList status, progress, errors;
    QList<float> percents;
    int finished = 0, cancelled = 0, receiving = 0, noInternet = 0;
};

class InternetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.ok());
        cSHAREDSettings::shared().DeleteAllSettings();
    }
    void TearDown() override { fSHAREDInternet::setTickIntervalForTests(0); }
    QString target() const { return folder.filePath(QStringLiteral("book.txt")); }
    QStringList files() const
    {
        return QDir(folder.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    ScopedProgramHome home;
    HttpTestServer server;
    QTemporaryDir folder;
};

TEST_F(InternetTest, KnownSizeGivesKilobytesOfTotalAndARealFinalCount)
{
    fSHAREDInternet window;
    Events events(window);
    window.DownloadFile(server.url("/file?size=2500000"), target(), true);
    ASSERT_TRUE(events.waitForEnd());
    EXPECT_EQ(events.finished, 1);
    EXPECT_TRUE(events.errors.isEmpty());
    EXPECT_EQ(readBytes(target()), patternBody(2500000));
    EXPECT_EQ(window.ExpectedFilesize(), 2500000);
    EXPECT_EQ(events.receiving, 1);
    EXPECT_EQ(events.status.mid(0, 4),
              (QStringList{"Resolving host", "Resolved host", "Connecting", "Connected"}));
    ASSERT_FALSE(events.progress.isEmpty());
    EXPECT_TRUE(
        events.progress.first().contains(QRegularExpression("^\\d+ kb of 2441 kb \\(\\d+%\\)$")))
        << events.progress.first().toStdString();
    // The real byte count: 2,500,000 bytes are 2441.41 kb, not a multiple of a chunk.
    EXPECT_EQ(events.status.last(), "Downloaded 2441.41 kb (100%)");
}

TEST_F(InternetTest, UnknownSizeGivesDownloadedKilobytes)
{
    fSHAREDInternet window;
    Events events(window);
    window.DownloadFile(server.url("/nolength?size=1000"), target(), true);
    ASSERT_TRUE(events.waitForEnd());
    EXPECT_EQ(events.finished, 1);
    EXPECT_EQ(window.ExpectedFilesize(), -1);
    EXPECT_EQ(events.progress, QStringList{"Downloaded 0.98kb"});
    EXPECT_EQ(events.percents, QList<float>{100});
    EXPECT_EQ(events.status.last(), "Downloaded 0.98 kb (100%)");
}

TEST_F(InternetTest, OpenUrlWithoutStatusRaisesOnlyTheFinalText)
{
    fSHAREDInternet window;
    Events events(window);
    const QString text = window.OpenURL(server.url("/file?size=3000"), false);
    EXPECT_EQ(text.toLatin1(), patternBody(3000));
    EXPECT_TRUE(events.progress.isEmpty());
    EXPECT_EQ(events.status, QStringList{"Downloaded 2.93 kb (100%)"});
    EXPECT_EQ(events.finished, 1);

    // An error page is no text.
    EXPECT_EQ(window.OpenURL(server.url("/missing"), true), "");
    EXPECT_EQ(events.errors, QStringList{"HTTP 404 Not Found"});
}

TEST_F(InternetTest, ErrorPagesFailAndAnOldTargetIsGoneBeforeTheStart)
{
    writeBytes(target(), "an older download");
    fSHAREDInternet window;
    Events events(window);
    window.DownloadFile(server.url("/missing"), target(), true);
    ASSERT_TRUE(events.waitForEnd());
    EXPECT_EQ(events.errors, QStringList{"HTTP 404 Not Found"});
    EXPECT_EQ(events.finished, 0);
    EXPECT_TRUE(files().isEmpty()) << files().join(',').toStdString();
}

TEST_F(InternetTest, AnAnswerlessServerIsAskedTwice)
{
    fSHAREDInternet window;
    Events events(window);
    window.DownloadFile(server.url("/nothing"), target(), false);
    ASSERT_TRUE(events.waitForEnd());
    EXPECT_EQ(events.errors.size(), 1);
    EXPECT_EQ(server.requests().size(), 2);
    EXPECT_TRUE(files().isEmpty());
}

TEST_F(InternetTest, AStallTimesOutOnceAndLeavesNoFile)
{
    fSHAREDInternet::setTickIntervalForTests(20);
    fSHAREDInternet window;
    Events events(window);
    window.DownloadFile(server.url("/stall?size=100000&after=5000"), target(), true);
    ASSERT_TRUE(events.waitForEnd());
    EXPECT_EQ(events.errors, QStringList{"Transfer timed out"});
    EXPECT_FALSE(window.Connected());
    // Long enough for a repeating clock to have raised it many times more.
    waitUntil([] { return false; }, 60 * 20 * 2);
    EXPECT_EQ(events.errors.size(), 1);
    EXPECT_TRUE(files().isEmpty()) << files().join(',').toStdString();
}

TEST_F(InternetTest, ASlowDripIsSignOfLifeAndProgressComesAtMostFourTimesASecond)
{
    // 60 ticks of 25 ms: each byte, 100 ms apart, comes well within the time-out, though the
    // whole body takes longer than it.
    fSHAREDInternet::setTickIntervalForTests(25);
    fSHAREDInternet window;
    Events events(window);
    QElapsedTimer clock;
    clock.start();
    window.DownloadFile(server.url("/drip?size=25&ms=100"), target(), true);
    ASSERT_TRUE(events.waitForEnd());
    const double seconds = clock.elapsed() / 1000.0;
    EXPECT_EQ(events.finished, 1) << events.errors.join(',').toStdString();
    EXPECT_EQ(readBytes(target()), patternBody(25));
    EXPECT_GE(events.progress.size(), 2);
    EXPECT_LE(events.progress.size(), 4 * seconds + 1);
}

TEST_F(InternetTest, StopAndCancelDownloadEndTheTransferWithoutAFile)
{
    fSHAREDInternet window;
    Events events(window);
    window.DownloadFile(server.url("/stall?size=100000&after=5000"), target(), true);
    ASSERT_TRUE(waitUntil([&] { return !events.progress.isEmpty(); }));
    window.findChild<QPushButton*>("cmdStop")->click();
    EXPECT_EQ(events.cancelled, 1);
    EXPECT_EQ(events.progress.last(), "Download cancelled");
    EXPECT_EQ(events.percents.last(), 0);
    EXPECT_FALSE(window.Connected());
    EXPECT_TRUE(files().isEmpty());

    window.DownloadFile(server.url("/stall?size=100000&after=5000"), target(), true);
    ASSERT_TRUE(waitUntil([&] { return window.ExpectedFilesize() > 0; }));
    window.CancelDownload();
    EXPECT_EQ(events.errors, QStringList{"Download cancelled"});
    EXPECT_TRUE(files().isEmpty());
}

TEST_F(InternetTest, FtpAddressesInBothFormsAndARealFtpDownload)
{
    const auto a = fSHAREDInternet::ftpAddress("FTP.example.org/dir/file.txt");
    const auto b = fSHAREDInternet::ftpAddress("ftp://FTP.example.org\\dir\\file.txt");
    EXPECT_EQ(a.host, "FTP.example.org");
    EXPECT_EQ(b.host, a.host);
    EXPECT_EQ(a.file, "file.txt");
    EXPECT_EQ(b.file, "file.txt");
    EXPECT_EQ(a.folder, "/dir/");

    fSHAREDInternet window;
    Events events(window);
    window.DownloadFile("ftp:///dir/file.txt", target(), false);
    EXPECT_EQ(events.errors, QStringList{"No address specified"});

    QTemporaryDir served;
    QDir(served.path()).mkpath("dir");
    writeBytes(served.filePath("dir/file.txt"), patternBody(9000));
    FtpTestServer ftp(served.path());
    ASSERT_TRUE(ftp.ok());
    Events later(window);
    window.DownloadFile(QStringLiteral("FTP://127.0.0.1:%1/dir/file.txt").arg(ftp.port()), target(),
                        true);
    ASSERT_TRUE(later.waitForEnd());
    EXPECT_EQ(later.finished, 1) << later.errors.join(',').toStdString();
    EXPECT_EQ(readBytes(target()), patternBody(9000));
    EXPECT_EQ(window.ExpectedFilesize(), 9000);
}

TEST_F(InternetTest, ProxySettingsReachEveryTransfer)
{
    ProxyTestServer proxy("reader", "s3cr.t-pw");
    ASSERT_TRUE(proxy.ok());
    auto& settings = cSHAREDSettings::shared();
    settings.sSet("ProxyType", 2);
    settings.sSet("ProxyServer", "127.0.0.1");
    settings.sSet("ProxyPort", QString::number(proxy.port()));
    settings.sSet("ProxyUser", "reader");
    settings.sSet("ProxyPwd", cSharedEncrypt::instance().Encrypt("s3cr.t-pw"));

    fSHAREDInternet window;
    TrailWatch trail;
    window.ApplyProxy();
    // "Proxy set to: 2 127.0.0.1:port" goes before it.
    EXPECT_EQ(trail.added(), "DBG: Proxy username/password set");
    EXPECT_EQ(window.transfer().Proxy, proxy.address());
    EXPECT_EQ(window.transfer().UserName, "reader");
    EXPECT_EQ(window.transfer().Password, "s3cr.t-pw");
    EXPECT_EQ(window.ProxyPassword(), "s3cr.t-pw");

    // The settings are read again for the transfer itself.
    settings.sSet("ProxyType", 1);
    window.ApplyProxy();
    EXPECT_EQ(window.transfer().AccessType, 1);
    EXPECT_EQ(window.transfer().Proxy, "");
    settings.sSet("ProxyType", 2);
    Events events(window);
    window.DownloadFile(server.url("/file?size=500"), target(), false);
    ASSERT_TRUE(events.waitForEnd());
    EXPECT_EQ(events.finished, 1) << events.errors.join(',').toStdString();
    EXPECT_TRUE(proxy.log().contains("GET " + server.url("/file?size=500")));
}

// ---- the blocking fetch -----------------------------------------------------------------

TEST_F(InternetTest, GetFileWaitsForTheFileAndFailsWithoutOne)
{
    cSHAREDInternet fetch;
    QStringList status;
    QObject::connect(&fetch, &cSHAREDInternet::Status, [&](const QString& m) { status << m; });
    EXPECT_TRUE(fetch.GetFile(server.url("/file?size=7000"), target(), true, false, false, false));
    EXPECT_EQ(readBytes(target()), patternBody(7000));
    EXPECT_EQ(fetch.ExpectedFilesize(), 7000);
    EXPECT_EQ(status.last(), "Downloaded 6.84 kb (100%)");

    EXPECT_FALSE(fetch.GetFile(server.url("/missing"), target(), true, false, false, false));
    EXPECT_FALSE(QFileInfo::exists(target()));
    EXPECT_FALSE(fetch.GetFile(server.url("/reset?size=90000&after=3000"), target(), true, false,
                               false, false));
    EXPECT_TRUE(files().isEmpty());

    // A transfer that cannot start returns at once.
    EXPECT_FALSE(fetch.GetFile("gopher://127.0.0.1/x", target(), true, false, false, false));
    EXPECT_EQ(fetch.OpenURL(server.url("/file?size=10"), false).toLatin1(), patternBody(10));
}

TEST_F(InternetTest, CancellingGetFileReturnsFalseOnceAndLeavesNoFile)
{
    cSHAREDInternet fetch;
    int cancelled = 0;
    QObject::connect(&fetch, &cSHAREDInternet::DownloadCancelled, [&] { ++cancelled; });
    // The owner's handler runs inside the wait, as a button press would.
    QObject::connect(&fetch, &cSHAREDInternet::Progress, &fetch, [&] {
        if (fetch.Connected())
            fetch.Cancel();
    });
    EXPECT_FALSE(fetch.GetFile(server.url("/stall?size=100000&after=5000"), target(), true, false,
                               false, false));
    EXPECT_EQ(cancelled, 1);
    EXPECT_TRUE(files().isEmpty());
}

TEST_F(InternetTest, GetFileEndsATransferStillUnderWayFirst)
{
    cSHAREDInternet fetch;
    int cancelled = 0;
    QObject::connect(&fetch, &cSHAREDInternet::DownloadCancelled, [&] { ++cancelled; });
    const QString earlier = folder.filePath("earlier.txt");
    fetch.window().DownloadFile(server.url("/stall?size=100000&after=5000"), earlier, true);
    ASSERT_TRUE(waitUntil([&] { return fetch.ExpectedFilesize() > 0; }));
    ASSERT_TRUE(fetch.Connected());
    EXPECT_TRUE(fetch.GetFile(server.url("/file?size=800"), target(), true, false, false, false));
    EXPECT_EQ(cancelled, 1);
    EXPECT_EQ(readBytes(target()), patternBody(800));
    EXPECT_EQ(files(), QStringList{"book.txt"});
}

TEST_F(InternetTest, TheProgressWindowShowsTheTransferAndItsStopButtonEndsIt)
{
    cSHAREDInternet fetch;
    fSHAREDInternet& window = fetch.window();
    QString shown;
    QObject::connect(&fetch, &cSHAREDInternet::Progress, &fetch, [&](float, const QString& m) {
        if (!window.isVisible() || !shown.isEmpty())
            return;
        shown = window.findChild<QLabel*>("lblProgress")->text() + "|" + m;
        QTimer::singleShot(0, window.findChild<QPushButton*>("cmdStop"), &QPushButton::click);
    });
    EXPECT_FALSE(
        fetch.GetFile(server.url("/drip?size=100000&ms=20"), target(), true, false, false, true));
    EXPECT_TRUE(shown.startsWith("0 kb of 98 kb (0%)|0 kb of 98 kb")) << shown.toStdString();
    EXPECT_EQ(window.windowTitle(), "Internet");
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(files().isEmpty());
}

} // namespace
