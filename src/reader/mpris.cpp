#include "reader/mpris.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFileInfo>
#include <QStringList>
#include <QTimer>
#include <QUrl>

namespace {

const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
// Desktop applets show a title on one line; a sentence can run to a whole page.
constexpr int kLongestTitle = 200;

} // namespace

class MprisRootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ yes)
    Q_PROPERTY(bool CanRaise READ yes)
    Q_PROPERTY(bool HasTrackList READ no)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ uriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ mimeTypes)
public:
    explicit MprisRootAdaptor(cMprisPlayer* player) : QDBusAbstractAdaptor(player), m_player(player)
    {
    }
    bool yes() const { return true; }
    bool no() const { return false; }
    QString identity() const { return QStringLiteral("Parlo"); }
    QString desktopEntry() const { return QStringLiteral("parlo"); }
    QStringList uriSchemes() const { return {QStringLiteral("file")}; }
    QStringList mimeTypes() const
    {
        return {QStringLiteral("text/plain"), QStringLiteral("text/html"),
                QStringLiteral("application/rtf"), QStringLiteral("text/rtf"),
                QStringLiteral("application/epub+zip")};
    }

public Q_SLOTS:
    void Raise() { m_player->request(&cMprisPlayer::raiseRequested); }
    void Quit() { m_player->request(&cMprisPlayer::quitRequested); }

private:
    cMprisPlayer* m_player;
};

class MprisPlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(double Rate READ one WRITE setOne)
    Q_PROPERTY(double MinimumRate READ one)
    Q_PROPERTY(double MaximumRate READ one)
    Q_PROPERTY(double Volume READ one WRITE setOne)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanGoNext READ yes)
    Q_PROPERTY(bool CanGoPrevious READ yes)
    Q_PROPERTY(bool CanPlay READ yes)
    Q_PROPERTY(bool CanPause READ yes)
    Q_PROPERTY(bool CanSeek READ no)
    Q_PROPERTY(bool CanControl READ yes)
public:
    explicit MprisPlayerAdaptor(cMprisPlayer* player)
        : QDBusAbstractAdaptor(player), m_player(player)
    {
    }
    QString playbackStatus() const { return m_player->playbackStatus(); }
    QVariantMap metadata() const { return m_player->metadata(); }
    // The speed and volume belong to the voice and the sound server; a request to change
    // them here is ignored, as MPRIS allows for a player whose rates are 1.0 only.
    double one() const { return 1.0; }
    void setOne(double) {}
    qlonglong position() const { return 0; }
    bool yes() const { return true; }
    bool no() const { return false; }

public Q_SLOTS:
    void Play() { m_player->request(&cMprisPlayer::playRequested); }
    void Pause() { m_player->request(&cMprisPlayer::pauseRequested); }
    void PlayPause() { m_player->request(&cMprisPlayer::playPauseRequested); }
    void Stop() { m_player->request(&cMprisPlayer::stopRequested); }
    void Next() { m_player->request(&cMprisPlayer::nextRequested); }
    void Previous() { m_player->request(&cMprisPlayer::previousRequested); }
    void Seek(qlonglong) {}
    void SetPosition(const QDBusObjectPath&, qlonglong) {}
    void OpenUri(const QString& uri)
    {
        const QUrl url(uri);
        if (!url.isLocalFile())
            return;
        const QString path = url.toLocalFile();
        QTimer::singleShot(0, m_player,
                           [player = m_player, path] { Q_EMIT player->openRequested(path); });
    }

private:
    cMprisPlayer* m_player;
};

cMprisPlayer::cMprisPlayer(QObject* parent) : QObject(parent)
{
    new MprisRootAdaptor(this);
    new MprisPlayerAdaptor(this);
    m_connection = QStringLiteral("parlo-mpris-%1").arg(quintptr(this), 0, 16);
}

cMprisPlayer::~cMprisPlayer()
{
    if (isRegistered()) {
        QDBusConnection bus(m_connection);
        bus.unregisterObject(QString::fromLatin1(kPath));
        bus.unregisterService(m_service);
    }
    QDBusConnection::disconnectFromBus(m_connection);
}

bool cMprisPlayer::start()
{
    if (isRegistered())
        return true;
    // Read now rather than once per process, so each player finds the bus of its time.
    const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    QDBusConnection bus =
        address.isEmpty() ? QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_connection)
                          : QDBusConnection::connectToBus(address, m_connection);
    if (!bus.isConnected() ||
        !bus.registerObject(QString::fromLatin1(kPath), this, QDBusConnection::ExportAdaptors)) {
        QDBusConnection::disconnectFromBus(m_connection);
        return false;
    }
    const QString own = QString::fromLatin1(kService);
    const QString instance =
        own + QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid());
    for (const QString& name : {own, instance}) {
        if (bus.registerService(name)) {
            m_service = name;
            return true;
        }
    }
    bus.unregisterObject(QString::fromLatin1(kPath));
    QDBusConnection::disconnectFromBus(m_connection);
    return false;
}

void cMprisPlayer::request(void (cMprisPlayer::*signal)())
{
    QTimer::singleShot(0, this, [this, signal] { Q_EMIT(this->*signal)(); });
}

QString cMprisPlayer::playbackStatus() const
{
    switch (m_status) {
    case Status::Playing:
        return QStringLiteral("Playing");
    case Status::Paused:
        return QStringLiteral("Paused");
    case Status::Stopped:
        break;
    }
    return QStringLiteral("Stopped");
}

void cMprisPlayer::setStatus(Status status)
{
    if (status == m_status)
        return;
    m_status = status;
    propertiesChanged({{QStringLiteral("PlaybackStatus"), playbackStatus()}});
}

void cMprisPlayer::setTrack(const QString& book, const QString& sentence, int position)
{
    QVariantMap track;
    if (!book.isEmpty()) {
        QString title = sentence.simplified();
        if (title.size() > kLongestTitle)
            title = title.left(kLongestTitle - 1) + QChar(0x2026);
        track.insert(QStringLiteral("mpris:trackid"),
                     QVariant::fromValue(QDBusObjectPath(
                         QStringLiteral("/org/parlo/sentence/%1").arg(qMax(0, position)))));
        track.insert(QStringLiteral("xesam:title"), title.isEmpty() ? book : title);
        track.insert(QStringLiteral("xesam:album"), book);
    }
    if (track == m_metadata)
        return;
    m_metadata = track;
    propertiesChanged({{QStringLiteral("Metadata"), m_metadata}});
}

void cMprisPlayer::propertiesChanged(const QVariantMap& changed)
{
    if (!isRegistered())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(
        QString::fromLatin1(kPath), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    signal << kPlayerInterface << changed << QStringList();
    QDBusConnection(m_connection).send(signal);
}

QString cMprisPlayer::bookTitle(const QString& path, QStringView text)
{
    // Project Gutenberg puts the header, with its "Title:" line, in the first few lines.
    const QStringView head = text.left(4000);
    qsizetype at = 0;
    while (at < head.size()) {
        qsizetype end = head.indexOf(u'\n', at);
        if (end < 0)
            end = head.size();
        const QStringView line = head.mid(at, end - at).trimmed();
        if (line.startsWith(u"Title:", Qt::CaseInsensitive)) {
            const QString title = line.mid(6).trimmed().toString();
            if (!title.isEmpty())
                return title;
        }
        at = end + 1;
    }
    return path.isEmpty() ? QString() : QFileInfo(path).completeBaseName();
}

#include "mpris.moc"
