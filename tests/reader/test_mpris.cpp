// The reader as the desktop's media player, driven through a session bus of the test's own.

#include "reader/mpris.h"
#include "readerfixture.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>

namespace {

const QString kService = QString::fromLatin1(cMprisPlayer::kService);
const QString kPath = QString::fromLatin1(cMprisPlayer::kPath);
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");

// DBUS_SESSION_BUS_ADDRESS set for the life of the object, then put back.
class ScopedBusAddress {
public:
    explicit ScopedBusAddress(const QByteArray& address)
        : m_had(qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS")),
          m_previous(qgetenv("DBUS_SESSION_BUS_ADDRESS"))
    {
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    }
    ~ScopedBusAddress()
    {
        if (m_had)
            qputenv("DBUS_SESSION_BUS_ADDRESS", m_previous);
        else
            qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    }

private:
    bool m_had;
    QByteArray m_previous;
};

// A session bus daemon of the test's own, and the test's connection to it.
class PrivateBus {
public:
    PrivateBus()
    {
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--session"), QStringLiteral("--nofork"),
                        QStringLiteral("--print-address=1")});
        waitUntil(
            [this] { return m_daemon.state() == QProcess::NotRunning || m_daemon.canReadLine(); });
        address = m_daemon.readLine().trimmed();
        if (address.isEmpty())
            return;
        m_env = std::make_unique<ScopedBusAddress>(address);
        client = QDBusConnection::connectToBus(QString::fromUtf8(address), QStringLiteral("test"));
    }
    ~PrivateBus()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("test"));
        m_env.reset();
        m_daemon.terminate();
        m_daemon.waitForFinished(30000);
    }
    bool up() const { return client.isConnected(); }

    // A call answered while the test's events run, as the player answers from them.
    QDBusMessage call(const QString& interface, const QString& method,
                      const QVariantList& arguments = {}, const QString& service = kService)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(service, kPath, interface, method);
        message.setArguments(arguments);
        return client.call(message, QDBus::BlockWithGui, 30000);
    }
    QDBusMessage player(const char* method) { return call(kPlayer, QString::fromLatin1(method)); }
    QVariant property(const QString& interface, const char* name)
    {
        const QDBusMessage reply =
            call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                 {interface, QString::fromLatin1(name)});
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return {};
        return reply.arguments().constFirst().value<QDBusVariant>().variant();
    }
    QString status() { return property(kPlayer, "PlaybackStatus").toString(); }
    QVariantMap metadata()
    {
        return qdbus_cast<QVariantMap>(property(kPlayer, "Metadata").value<QDBusArgument>());
    }

    QByteArray address;
    QDBusConnection client{QString()};

private:
    QProcess m_daemon;
    std::unique_ptr<ScopedBusAddress> m_env;
};

// What the player announced through PropertiesChanged, newest last.
class Announcements : public QObject {
    Q_OBJECT
public:
    explicit Announcements(QDBusConnection& bus)
    {
        bus.connect(QString(), kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                    QStringLiteral("PropertiesChanged"), this,
                    SLOT(changed(QString, QVariantMap, QStringList)));
    }
    QStringList statuses;
    QStringList titles;
    QString album;

public Q_SLOTS:
    void changed(const QString& interface, const QVariantMap& properties, const QStringList&)
    {
        if (interface != kPlayer)
            return;
        if (properties.contains(QStringLiteral("PlaybackStatus")))
            statuses << properties.value(QStringLiteral("PlaybackStatus")).toString();
        if (properties.contains(QStringLiteral("Metadata"))) {
            const QVariantMap track = qdbus_cast<QVariantMap>(
                properties.value(QStringLiteral("Metadata")).value<QDBusArgument>());
            titles << track.value(QStringLiteral("xesam:title")).toString();
            album = track.value(QStringLiteral("xesam:album")).toString();
        }
    }
};

class MediaControls : public ReaderWindow {
protected:
    std::unique_ptr<frmMain> opened()
    {
        writeBytes(home.file("pg99.txt"),
                   "Title: A Small Book\r\n\r\nOne is here. Two is there. Three is everywhere.");
        auto window = start();
        EXPECT_TRUE(window->OpenDocument(home.file("pg99.txt")));
        // Bookmarks go by the file's name, and an earlier test may have left one.
        setCursor(*window, 0);
        return window;
    }
    // Runs a command on the bus, letting the player answer while it waits.
    static int run(const QString& program, const QStringList& arguments)
    {
        QProcess process;
        process.start(program, arguments);
        if (!waitUntil([&] { return process.state() == QProcess::NotRunning; }))
            return -1;
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
};

} // namespace

TEST_F(MediaControls, PlayPauseSkipAndStopFromTheBus)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.up()) << "dbus-daemon could not be started";
    Announcements heard(bus.client);
    auto window = opened();
    ASSERT_TRUE(bus.client.interface()->isServiceRegistered(kService));
    EXPECT_EQ(bus.property("org.mpris.MediaPlayer2", "Identity").toString(), "Parlo");
    EXPECT_EQ(bus.property("org.mpris.MediaPlayer2", "DesktopEntry").toString(), "parlo");
    EXPECT_TRUE(bus.property(kPlayer, "CanGoNext").toBool());
    EXPECT_EQ(bus.status(), "Stopped");

    EXPECT_EQ(bus.player("Play").type(), QDBusMessage::ReplyMessage);
    ASSERT_TRUE(waitUntil([&] { return heard.statuses.contains("Playing"); }));
    EXPECT_TRUE(window->Talker()->isBusy());
    EXPECT_EQ(selected(*window), "Title: A Small Book");
    EXPECT_EQ(bus.status(), "Playing");
    QVariantMap track = bus.metadata();
    EXPECT_EQ(track.value("xesam:title").toString(), "Title: A Small Book");
    EXPECT_EQ(track.value("xesam:album").toString(), "A Small Book");
    EXPECT_EQ(track.value("mpris:trackid").value<QDBusObjectPath>().path(),
              "/org/parlo/sentence/0");

    bus.player("Next");
    ASSERT_TRUE(waitUntil([&] { return heard.titles.endsWith("One is here."); }));
    EXPECT_EQ(selected(*window), "One is here.");
    EXPECT_EQ(heard.album, "A Small Book");

    bus.player("Pause");
    ASSERT_TRUE(waitUntil([&] { return heard.statuses.endsWith("Paused"); }));
    EXPECT_TRUE(window->IsPaused());
    EXPECT_TRUE(m_voice->paused);
    // Skipped while paused, the reading stays paused at the new place.
    bus.player("Next");
    ASSERT_TRUE(waitUntil([&] { return heard.titles.endsWith("Two is there."); }));
    EXPECT_EQ(selected(*window), "Two is there.");
    EXPECT_TRUE(window->IsPaused());
    EXPECT_EQ(bus.status(), "Paused");

    bus.player("PlayPause");
    ASSERT_TRUE(waitUntil([&] { return heard.statuses.endsWith("Playing"); }));
    EXPECT_FALSE(window->IsPaused());
    EXPECT_TRUE(m_voice->spoken.last().endsWith("Two is there."));
    EXPECT_EQ(heard.titles.last(), "Two is there.");

    bus.player("Previous");
    ASSERT_TRUE(waitUntil([&] { return heard.titles.endsWith("One is here."); }));
    EXPECT_EQ(selected(*window), "One is here.");

    // Paused and resumed in the window, the desktop hears of it too.
    auto* pause = window->findChild<QPushButton*>("cmdPause");
    pause->click();
    ASSERT_TRUE(waitUntil([&] { return heard.statuses.endsWith("Paused"); }));
    pause->click();
    ASSERT_TRUE(waitUntil([&] { return heard.statuses.endsWith("Playing"); }));

    bus.player("Stop");
    ASSERT_TRUE(waitUntil([&] { return heard.statuses.endsWith("Stopped"); }));
    EXPECT_FALSE(window->Talker()->isBusy());
    // Stopped, the track is the book.
    EXPECT_EQ(bus.metadata().value("xesam:title").toString(), "A Small Book");

    // As a desktop user would do it.
    ASSERT_FALSE(QStandardPaths::findExecutable("playerctl").isEmpty()) << "playerctl missing";
    EXPECT_EQ(run("playerctl", {"-p", "parlo", "play"}), 0);
    ASSERT_TRUE(waitUntil([&] { return heard.statuses.endsWith("Playing"); }));
    EXPECT_EQ(run("playerctl", {"-p", "parlo", "pause"}), 0);
    ASSERT_TRUE(waitUntil([&] { return window->IsPaused(); }));
    EXPECT_EQ(run("playerctl", {"-p", "parlo", "status"}), 0);

    // Reading to its end stops the player.
    bus.player("PlayPause");
    ASSERT_TRUE(waitUntil([&] { return !window->IsPaused(); }));
    m_voice->finishAll();
    ASSERT_TRUE(waitUntil([&] { return heard.statuses.endsWith("Stopped"); }));

    window->ShutDown();
    window.reset();
    EXPECT_TRUE(waitUntil([&] { return !bus.client.interface()->isServiceRegistered(kService); }));
}

TEST_F(MediaControls, ASecondReaderTakesANameOfItsOwn)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.up());
    cMprisPlayer first;
    cMprisPlayer second;
    ASSERT_TRUE(first.start());
    ASSERT_TRUE(second.start());
    EXPECT_EQ(first.serviceName(), kService);
    EXPECT_EQ(second.serviceName(),
              kService + ".instance" + QString::number(QCoreApplication::applicationPid()));
    EXPECT_EQ(bus.property("org.mpris.MediaPlayer2", "Identity").toString(), "Parlo");
    bool asked = false;
    QObject::connect(&second, &cMprisPlayer::quitRequested, [&] { asked = true; });
    bus.call("org.mpris.MediaPlayer2", "Quit", {}, second.serviceName());
    EXPECT_TRUE(waitUntil([&] { return asked; }));
}

TEST_F(MediaControls, WithoutASessionBusTheReaderStartsAndReadsAsBefore)
{
    const ScopedBusAddress nowhere("unix:path=" + home.file("no-bus-here").toUtf8());
    cMprisPlayer player;
    EXPECT_FALSE(player.start());
    player.setStatus(cMprisPlayer::Status::Playing);
    player.setTrack("Book", "A sentence.", 3);

    auto window = opened();
    EXPECT_TRUE(m_started);
    child<QPushButton>(*window, "cmdRead")->click();
    EXPECT_EQ(selected(*window), "Title: A Small Book");
    child<QPushButton>(*window, "cmdPause")->click();
    EXPECT_TRUE(window->IsPaused());
    EXPECT_TRUE(prompt.messages.isEmpty()) << prompt.messages.join('\n').toStdString();
    EXPECT_TRUE(prompt.errors.isEmpty());
    window->ShutDown();
}

TEST(MediaTitles, AGutenbergHeaderNamesTheBookElseItsFile)
{
    EXPECT_EQ(cMprisPlayer::bookTitle("/b/pg2600.txt",
                                      u"The Project Gutenberg eBook of War and Peace\r\n\r\n"
                                      u"Title:   War and Peace  \r\n\r\nAuthor: Leo Tolstoy\r\n"),
              "War and Peace");
    const QString late = "Chapter 1.\n" + QString(4000, u'x') + "\nTitle: too late";
    EXPECT_EQ(cMprisPlayer::bookTitle("/b/My Book.v2.txt", late), "My Book.v2");
    EXPECT_EQ(cMprisPlayer::bookTitle("/b/x.txt", u"Title:\nText."), "x");
    EXPECT_EQ(cMprisPlayer::bookTitle(QString(), u"No header."), "");
}

#include "test_mpris.moc"
