#include "loopback.h"
#include "platform/transfer/transferclient.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Everything one transfer reported.
struct Recorder {
    explicit Recorder(TransferClient& client)
    {
        QObject::connect(&client, &TransferClient::StateChanged, [this](int state) {
            states << state;
            if (state == TransferState::Error || state == TransferState::ResponseCompleted)
                ++ends;
        });
        QObject::connect(&client, &TransferClient::progress,
                         [this](qint64 received) { counts << received; });
        QObject::connect(&client, &TransferClient::dataReceived,
                         [this](const QByteArray& piece) { body += piece; });
    }
    bool waitForEnd()
    {
        return waitUntil([this] { return ends > 0; });
    }
    int last() const { return states.isEmpty() ? 0 : states.last(); }

    QList<int> states;
    QList<qint64> counts;
    QByteArray body;
    int ends = 0;
};

class TransferTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.ok()) << "the loopback HTTP server did not start";
        ASSERT_TRUE(TransferClient::available());
    }
    QString target() const { return folder.filePath(QStringLiteral("book.txt")); }
    QStringList leftovers() const
    {
        return QDir(folder.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    // Runs one transfer into the target file (or to memory) to its end.
    void run(const QString& url, bool toFile = true)
    {
        ASSERT_TRUE(client.Execute(url, toFile ? target() : QString()))
            << client.ResponseInfo().toStdString();
        ASSERT_TRUE(record.waitForEnd()) << "the transfer never ended";
    }

    HttpTestServer server;
    QTemporaryDir folder;
    TransferClient client;
    Recorder record{client};
};

TEST_F(TransferTest, SavesTheBodyAndPassesThroughTheStatesInOrder)
{
    run(server.url("/file?size=300000"));
    EXPECT_EQ(record.last(), TransferState::ResponseCompleted);
    EXPECT_EQ(readBytes(target()), patternBody(300000));
    EXPECT_EQ(leftovers(), QStringList{"book.txt"});
    EXPECT_EQ(record.states, (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 12}));
    // Real byte counts, growing, ending at the size.
    ASSERT_FALSE(record.counts.isEmpty());
    EXPECT_EQ(record.counts.last(), 300000);
    EXPECT_TRUE(std::is_sorted(record.counts.begin(), record.counts.end()));
    EXPECT_EQ(client.GetHeader("content-length"), "300000");
    EXPECT_EQ(client.contentLength(), 300000);
    EXPECT_EQ(client.statusCode(), 200);
    // Requests say who they are.
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_EQ(server.requests().first(), "GET /file?size=300000 " + TransferClient::userAgent());
    EXPECT_TRUE(TransferClient::userAgent().startsWith("Parlo/"));
}

TEST_F(TransferTest, BodiesWithoutLengthOrEmptyArriveWhole)
{
    run(server.url("/nolength?size=70001"));
    EXPECT_EQ(record.last(), TransferState::ResponseCompleted);
    EXPECT_EQ(client.contentLength(), -1);
    EXPECT_EQ(client.GetHeader("Content-Length"), "");
    EXPECT_EQ(readBytes(target()), patternBody(70001));

    record.ends = 0;
    run(server.url("/empty"));
    EXPECT_EQ(record.last(), TransferState::ResponseCompleted);
    EXPECT_TRUE(QFileInfo::exists(target()));
    EXPECT_EQ(QFileInfo(target()).size(), 0);
}

TEST_F(TransferTest, ErrorPagesFailAndLeaveNoFile)
{
    run(server.url("/missing"));
    EXPECT_EQ(record.last(), TransferState::Error);
    EXPECT_EQ(client.ResponseInfo(), "HTTP 404 Not Found");
    EXPECT_EQ(client.errorNumber(), TransferError::Failed);
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(',').toStdString();

    record.ends = 0;
    run(server.url("/busy"));
    EXPECT_EQ(client.ResponseInfo(), "HTTP 429 Too Many Requests");
    EXPECT_EQ(client.GetHeader("Retry-After"), "120");
    EXPECT_TRUE(leftovers().isEmpty());

    // Into memory, an error page is no content either.
    record.ends = 0;
    run(server.url("/missing"), false);
    EXPECT_EQ(record.last(), TransferState::Error);
    EXPECT_TRUE(record.body.isEmpty());
}

TEST_F(TransferTest, BrokenTransfersLeaveNoFile)
{
    run(server.url("/reset?size=500000&after=100000"));
    EXPECT_EQ(record.last(), TransferState::Error);
    EXPECT_EQ(client.errorNumber(), TransferError::Failed);
    EXPECT_FALSE(client.ResponseInfo().isEmpty());
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(',').toStdString();

    record.ends = 0;
    run(server.url("/loop"));
    EXPECT_EQ(record.last(), TransferState::Error);
    EXPECT_TRUE(client.ResponseInfo().contains("redirect", Qt::CaseInsensitive))
        << client.ResponseInfo().toStdString();
    EXPECT_LE(server.requests().size(), 1 + 1 + 10);
    EXPECT_TRUE(leftovers().isEmpty());
}

TEST_F(TransferTest, FollowsARedirectToAnotherServer)
{
    HttpTestServer other;
    ASSERT_TRUE(other.ok());
    run(server.url("/redirect?to=" + other.url("/file%3Fsize%3D5000")));
    EXPECT_EQ(record.last(), TransferState::ResponseCompleted);
    EXPECT_EQ(readBytes(target()), patternBody(5000));
    EXPECT_EQ(client.statusCode(), 200);
    EXPECT_EQ(other.requests().size(), 1);
}

TEST_F(TransferTest, AnAnswerlessServerAsksForOneRetry)
{
    run(server.url("/nothing"));
    EXPECT_EQ(record.last(), TransferState::Error);
    EXPECT_EQ(client.errorNumber(), TransferError::RequestFailedRetry);
    EXPECT_TRUE(leftovers().isEmpty());
}

TEST_F(TransferTest, NothingListeningIsAnError)
{
    HttpTestServer gone;
    ASSERT_TRUE(gone.ok());
    const QString url = gone.url("/file");
    gone.stop();
    run(url);
    EXPECT_EQ(record.last(), TransferState::Error);
    EXPECT_FALSE(client.ResponseInfo().isEmpty());
    EXPECT_TRUE(leftovers().isEmpty());
}

// A listening socket whose queue is full: connections to it never complete.
class FullQueue {
public:
    FullQueue()
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_listener, 0);
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
        for (int& fd : m_fillers) {
            fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        }
    }
    ~FullQueue()
    {
        for (int fd : m_fillers)
            ::close(fd);
        ::close(m_listener);
    }
    int port = 0;

private:
    int m_listener = -1;
    int m_fillers[4] = {-1, -1, -1, -1};
};

TEST_F(TransferTest, AConnectionThatNeverCompletesTimesOut)
{
    FullQueue queue;
    ASSERT_GT(queue.port, 0);
    client.RequestTimeout = 1;
    run(QStringLiteral("http://127.0.0.1:%1/file").arg(queue.port));
    EXPECT_EQ(record.last(), TransferState::Error);
    EXPECT_EQ(client.errorNumber(), TransferError::TimedOut) << client.ResponseInfo().toStdString();
    EXPECT_TRUE(leftovers().isEmpty());
}

TEST_F(TransferTest, CancelStopsAStalledTransferAtOnceAndRemovesWhatItWrote)
{
    ASSERT_TRUE(client.Execute(server.url("/stall?size=1000000&after=200000"), target()));
    ASSERT_TRUE(waitUntil([&] { return !record.counts.isEmpty() && record.counts.last() > 0; }));
    EXPECT_TRUE(client.StillExecuting());
    EXPECT_FALSE(QFileInfo::exists(target())) << "a partial file under the book's name";

    QElapsedTimer clock;
    clock.start();
    client.Cancel();
    // A stalled transfer waits ten seconds between looks unless Cancel wakes it.
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_FALSE(client.StillExecuting());
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(',').toStdString();
    const auto seen = record.states.size();
    QCoreApplication::processEvents();
    EXPECT_EQ(record.states.size(), seen) << "no state may follow a cancel";
    EXPECT_EQ(record.ends, 0);

    // The client is free for the next transfer.
    run(server.url("/file?size=10"));
    EXPECT_EQ(record.last(), TransferState::ResponseCompleted);
}

TEST_F(TransferTest, HttpsCertificatesAreChecked)
{
    QTemporaryDir keys;
    const QString cert = keys.filePath("cert.pem"), key = keys.filePath("key.pem");
    QProcess openssl;
    openssl.setStandardOutputFile(QProcess::nullDevice());
    openssl.setStandardErrorFile(QProcess::nullDevice());
    openssl.start("openssl",
                  {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                   "-nodes", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                   "-days", "1", "-keyout", key, "-out", cert});
    ASSERT_TRUE(openssl.waitForFinished(60000));
    ASSERT_EQ(openssl.exitCode(), 0);
    HttpTestServer secure(cert, key);
    ASSERT_TRUE(secure.ok());
    // A certificate no authority in the system's store signed is refused.
    run(secure.url("/file?size=100"));
    EXPECT_EQ(record.last(), TransferState::Error);
    EXPECT_TRUE(client.ResponseInfo().contains("certificate", Qt::CaseInsensitive))
        << client.ResponseInfo().toStdString();
    EXPECT_TRUE(leftovers().isEmpty());
    EXPECT_TRUE(secure.requests().isEmpty());

    // Trusted, it answers; but what was asked for over HTTPS is not fetched in the clear.
    client.CertificateAuthorities = cert;
    record.ends = 0;
    run(secure.url("/file?size=100"));
    EXPECT_EQ(record.last(), TransferState::ResponseCompleted)
        << client.ResponseInfo().toStdString();
    record.ends = 0;
    run(secure.url("/redirect?to=" + server.url("/file%3Fsize%3D10")));
    EXPECT_EQ(record.last(), TransferState::Error);
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(TransferTest, OneTransferAtATime)
{
    ASSERT_TRUE(client.Execute(server.url("/stall?size=100&after=10"), target()));
    EXPECT_FALSE(client.Execute(server.url("/file"), target()));
    EXPECT_EQ(client.errorNumber(), TransferError::StillExecuting);
    client.Cancel();
    EXPECT_FALSE(client.Execute("mailto:someone@example.org"));
}

TEST_F(TransferTest, BodyIntoMemoryComesInPieces)
{
    run(server.url("/file?size=123457"), false);
    EXPECT_EQ(record.last(), TransferState::ResponseCompleted);
    EXPECT_EQ(record.body, patternBody(123457));
    EXPECT_TRUE(leftovers().isEmpty());
}

TEST_F(TransferTest, FtpFilesArrive)
{
    QTemporaryDir served;
    QDir(served.path()).mkpath("dir");
    writeBytes(served.filePath("dir/file.txt"), patternBody(40000));
    FtpTestServer ftp(served.path());
    ASSERT_TRUE(ftp.ok()) << "the loopback FTP server did not start";
    run(QStringLiteral("ftp://127.0.0.1:%1/dir/file.txt").arg(ftp.port()));
    EXPECT_EQ(record.last(), TransferState::ResponseCompleted)
        << client.ResponseInfo().toStdString();
    EXPECT_EQ(readBytes(target()), patternBody(40000));
    EXPECT_EQ(client.contentLength(), 40000);

    record.ends = 0;
    run(QStringLiteral("ftp://127.0.0.1:%1/dir/none.txt").arg(ftp.port()));
    EXPECT_EQ(record.last(), TransferState::Error);
    EXPECT_TRUE(leftovers() == QStringList{"book.txt"});
}

class ProxyTransferTest : public TransferTest {
protected:
    void SetUp() override
    {
        TransferTest::SetUp();
        ASSERT_TRUE(proxy.ok()) << "tinyproxy did not start";
    }
    bool proxied(const QString& path) { return proxy.log().contains("GET " + server.url(path)); }

    ProxyTestServer proxy{"reader", "s3cr.t-pw"};
};

TEST_F(ProxyTransferTest, NamedProxyWithCredentialsCarriesTheRequest)
{
    client.AccessType = TransferClient::NamedProxy;
    client.Proxy = proxy.address();
    client.UserName = "reader";
    client.Password = "s3cr.t-pw";
    run(server.url("/file?size=2000"));
    EXPECT_EQ(record.last(), TransferState::ResponseCompleted)
        << client.ResponseInfo().toStdString();
    EXPECT_EQ(readBytes(target()), patternBody(2000));
    EXPECT_TRUE(proxied("/file?size=2000")) << proxy.log().toStdString();

    record.ends = 0;
    client.Password = "wrong";
    run(server.url("/file?size=3000"));
    // tinyproxy refuses with 401 rather than 407.
    EXPECT_TRUE(client.ResponseInfo().startsWith("HTTP 40")) << client.ResponseInfo().toStdString();
    EXPECT_EQ(readBytes(target()), patternBody(2000)) << "a failure replaced the earlier file";
}

TEST_F(ProxyTransferTest, SystemDefaultTakesTheEnvironmentsProxyAndDirectIgnoresIt)
{
    const QByteArray saved = qgetenv("http_proxy");
    const QByteArray savedNo = qgetenv("no_proxy");
    qputenv("http_proxy", "http://reader:s3cr.t-pw@" + proxy.address().toUtf8());
    qunsetenv("no_proxy");

    client.AccessType = TransferClient::SystemDefault;
    run(server.url("/file?size=100"));
    EXPECT_EQ(record.last(), TransferState::ResponseCompleted)
        << client.ResponseInfo().toStdString();
    EXPECT_TRUE(proxied("/file?size=100"));

    record.ends = 0;
    client.AccessType = TransferClient::Direct;
    run(server.url("/file?size=101"));
    EXPECT_EQ(record.last(), TransferState::ResponseCompleted);
    EXPECT_FALSE(proxied("/file?size=101"));

    if (saved.isNull())
        qunsetenv("http_proxy");
    else
        qputenv("http_proxy", saved);
    if (!savedNo.isNull())
        qputenv("no_proxy", savedNo);
}

} // namespace
