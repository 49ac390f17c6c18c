#pragma once

#include <QObject>
#include <QString>
#include <QStringView>
#include <QVariantMap>

// The reader as media keys and the desktop's media controls see it: an MPRIS 2 player on
// the session bus. What the desktop asks for comes out as signals, always queued, so that a
// caller on the bus is answered before a reading starts or stops. Without a session bus
// nothing is registered and the reader works as before.
class cMprisPlayer : public QObject {
    Q_OBJECT
public:
    enum class Status { Stopped, Playing, Paused };
    static constexpr const char* kService = "org.mpris.MediaPlayer2.parlo";
    static constexpr const char* kPath = "/org/mpris/MediaPlayer2";

    explicit cMprisPlayer(QObject* parent = nullptr);
    ~cMprisPlayer() override;

    // Joins the session bus that DBUS_SESSION_BUS_ADDRESS names (the desktop's usual one
    // when it is unset) under kService, or under kService + ".instance<pid>" when another
    // Parlo holds that name. False when there is no bus to join.
    bool start();
    bool isRegistered() const { return !m_service.isEmpty(); }
    QString serviceName() const { return m_service; }

    Status status() const { return m_status; }
    QString playbackStatus() const;
    void setStatus(Status status);
    // The sentence being read as the track, in the book as its album; without a sentence
    // the track is the book. `position` (the sentence's place in the book) names the
    // track. An empty book clears the track.
    void setTrack(const QString& book, const QString& sentence, int position);
    QVariantMap metadata() const { return m_metadata; }

    // The name a book goes by: the "Title:" line of a Project Gutenberg header near its
    // top, else the file's name without its extension.
    static QString bookTitle(const QString& path, QStringView text);

Q_SIGNALS:
    void playRequested();
    void pauseRequested();
    void playPauseRequested();
    void stopRequested();
    void nextRequested();
    void previousRequested();
    void raiseRequested();
    void quitRequested();
    // A local file the desktop wants read.
    void openRequested(const QString& path);

private:
    friend class MprisRootAdaptor;
    friend class MprisPlayerAdaptor;
    // Emits the signal from the event loop, after the bus call has been answered.
    void request(void (cMprisPlayer::*signal)());
    void propertiesChanged(const QVariantMap& changed);

    QString m_connection;
    QString m_service;
    Status m_status = Status::Stopped;
    QVariantMap m_metadata;
};
