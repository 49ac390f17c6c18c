#pragma once

#include <QAudioDevice>
#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <deque>

class QAudioSink;
class QIODevice;

// Something a voice reports once the audio before it has been played.
struct cVoiceEvent {
    enum Kind { AudioStarted, Word, End };
    Kind kind = Word;
    int stream = 0;
    int position = 0;
    int length = 0;
    bool fromAudio = false; // the stream's audio went through this output
    // Where it stands in the samples handed to the device; set when it is handed over.
    qint64 sample = 0;
};

// Plays 22,050 Hz 16-bit mono speech through a QAudioSink, or, when the system has no
// audio device (or the device fails), through a silent output that takes the samples in
// real time. Events queued between the samples are reported when the samples before them
// have been played; an AudioStarted event when the samples after it are handed over.
class cAudioOutput : public QObject {
    Q_OBJECT
public:
    static constexpr int SampleRate = 22050;

    explicit cAudioOutput(QObject* parent = nullptr);
    ~cAudioOutput() override;

    static QList<QAudioDevice> devices();
    // A null device means the system's default output.
    void setDevice(const QAudioDevice& device);
    bool isSilent() const { return m_silent; }

    void enqueueAudio(const QByteArray& pcm);
    void enqueueEvent(const cVoiceEvent& event);
    // Hands over what the device can take and reports the events that are due; an event
    // with nothing unplayed before it is due at once, without waiting for the next tick.
    void deliverDue();

    void pause();
    void resume();
    bool isPaused() const { return m_paused; }
    // Silences the output at once and forgets everything queued.
    void clear();

    qint64 playedSamples() const { return m_played; }
    qint64 handedSamples() const { return m_handedSamples; }
    // Samples waiting to be handed to the device.
    qint64 queuedSamples() const { return m_queuedBytes / 2; }

Q_SIGNALS:
    void eventReached(const cVoiceEvent& event);
    void samplesPlayed(qint64 count);
    // isSilent() changed, when speech was first handed over after a (re)start of the output.
    void silentChanged(bool silent);

private:
    struct Item {
        QByteArray pcm;
        cVoiceEvent event;
        bool isEvent = false;
    };
    struct Handed {
        cVoiceEvent event;
        qint64 at = 0;
        bool atOnce = false;
    };

    void tick();
    bool ensureOpen();
    void dropSink();
    void updatePlayed();
    void feed();
    qint64 room() const;
    qint64 write(const char* data, qint64 bytes);
    void startTicking();

    QAudioDevice m_device;
    QPointer<QAudioSink> m_sink;
    QIODevice* m_io = nullptr;
    qint64 m_sinkStart = 0; // samples handed over before the sink was opened
    bool m_silent = false;
    bool m_open = false;
    bool m_deviceFailed = false;
    bool m_paused = false;

    std::deque<Item> m_queue;
    qsizetype m_frontOffset = 0;
    qint64 m_queuedBytes = 0;
    std::deque<Handed> m_handed;
    qint64 m_handedSamples = 0; // everything given to the device, padding included
    qint64 m_played = 0;
    QElapsedTimer m_clock;
    qint64 m_clockCredit = 0; // nanoseconds times the sample rate, not yet whole samples

    QTimer m_timer;
};
