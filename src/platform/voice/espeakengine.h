#pragma once

#include "diagnostics/failure.h"
#include "platform/voice/speechmarkup.h"
#include "platform/voice/speechvoice.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class cWavWriter;

struct cEspeakVoiceInfo {
    QByteArray name; // the engine's own name, which selects the voice
    QByteArray identifier;
    QString description;
};

// A word or the end of a stream, at a sample of that stream's audio.
struct cSynthEvent {
    enum Kind { Word, End };
    Kind kind = Word;
    qint64 sample = 0;
    int position = 0;
    int length = 0;
};

// What the synthesis thread hands to a voice: a stretch of one stream's audio (empty when
// it went into a WAV file) with the events that fall inside it.
struct cSynthChunk {
    quint64 generation = 0;
    int stream = 0;
    qint64 firstSample = 0;
    QByteArray pcm;
    std::vector<cSynthEvent> events;
    bool toWav = false;
    bool startsAudio = false;
    bool endsStream = false;
};

// One voice's share of the engine. Every field is guarded by the engine's mutex.
struct cSynthChannel {
    quint64 generation = 0;
    qint64 produced = 0; // samples made for the audio output in this generation
    qint64 consumed = 0; // of which the output has played
    int piecesAhead = 0; // streams synthesised for the audio output, not yet played out
    bool closed = false;
    std::shared_ptr<cWavWriter> wav;
    // Called on the synthesis thread; posts the chunk to the voice's thread.
    std::function<void(cSynthChunk&&)> deliver;
};

struct cSynthJob {
    std::shared_ptr<cSynthChannel> channel;
    quint64 generation = 0;
    int stream = 0;
    cEngineText text;
    QByteArray voiceName;
    int wordsPerMinute = 175;
    int wordGap = 0;
    // A job that carries on a stream: where in the stream's audio it starts, and whether
    // the stream's audio has already started.
    qint64 firstSample = 0;
    bool audioStarted = false;
};

// libespeak-ng keeps its state in process-wide variables, so one object owns it: it starts
// the engine once, lists the voices, and runs every synthesis on its own thread, one job
// at a time, for all the voices of the program. A job that has run far enough ahead of its
// output waits for it; when another voice has work, it stops at its last word instead and
// the rest of its text waits as a job of its own, so that a paused voice holds no other.
class cEspeakEngine {
public:
    static constexpr int SampleRate = 22050;
    // How far synthesis may run ahead of what the audio output has played.
    static constexpr qint64 MaxSamplesAhead = SampleRate * 8;
    static constexpr int MaxPiecesAhead = 3;

    // The engine, started on first use; nullptr with failure set (23458 when the engine's
    // data or voices are missing, 429 when it cannot be started). ESPEAK_DATA_PATH, when
    // set, must hold the data: the engine's own fall-back to the installed data is not used.
    static cEspeakEngine* instance(Failure& failure);

    // The user's language from the locale, as the engine names languages ("en" when the
    // locale names none).
    static QString userLanguage();

    // Voices for language (as "de-de" or "de") first, in the engine's preference, then all
    // the others in the engine's order.
    QList<cEspeakVoiceInfo> voices(const QString& language);
    // The variants in the engine's "!v" folder, ordered by name; the key is the file's name.
    QList<cVoiceVariant> variants() const { return m_variants; }
    // The name a job selects a voice with: the voice's name, with "+" and the variant's key
    // when there is one.
    static QByteArray voiceSpec(const cEspeakVoiceInfo& voice, const QString& variant);
    // The identifier of the voice espeak-ng last switched to, variant included
    // ("gmw/en-US+f3"); waits for a synthesis under way.
    QByteArray currentVoiceIdentifier();

    std::shared_ptr<cSynthChannel> openChannel(std::function<void(cSynthChunk&&)> deliver);
    // Stops the channel's synthesis and returns when the thread no longer uses it.
    void closeChannel(const std::shared_ptr<cSynthChannel>& channel);

    void submit(cSynthJob job);
    // Drops everything queued for the channel and stops its synthesis; returns the new
    // generation, which tells current chunks from stale ones.
    quint64 purge(cSynthChannel& channel);
    void played(cSynthChannel& channel, qint64 samples);
    void pieceFinished(cSynthChannel& channel);
    // The file that jobs starting from now on write into (nullptr: the audio output).
    void setWav(cSynthChannel& channel, std::shared_ptr<cWavWriter> wav);

    ~cEspeakEngine();

private:
    cEspeakEngine() = default;
    bool start(Failure& failure);
    void run();
    bool runnable(const cSynthJob& job) const;
    bool othersRunnable(const cSynthChannel& channel) const;
    void synthesise(cSynthJob& job, const std::shared_ptr<cWavWriter>& wav);
    void applySettings(const cSynthJob& job);
    friend struct cEspeakCallback;
    int onAudio(const short* wav, int count, const void* events);
    int onWavAudio(const short* wav, int count, std::vector<cSynthEvent> words);
    // Posts the chunk unless its job was dropped meanwhile; false then.
    bool deliver(cSynthChunk&& chunk);
    QList<cEspeakVoiceInfo> orderedVoices(const QString& language);
    void listVariants();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<cSynthJob> m_jobs;
    bool m_stopping = false;
    cSynthChannel* m_busy = nullptr;
    std::thread m_thread;

    // Engine calls outside the synthesis thread wait for the current synthesis.
    std::mutex m_engineMutex;
    QList<cEspeakVoiceInfo> m_allVoices;
    QList<cVoiceVariant> m_variants;
    std::mutex m_cacheMutex;
    std::map<QString, QList<cEspeakVoiceInfo>> m_orderCache;

    // State of the running synthesis, only touched by the synthesis thread.
    struct Running {
        cSynthJob* job = nullptr;
        std::shared_ptr<cWavWriter> wav;
        qint64 samples = 0;
        bool audioStarted = false;
        // For the audio output, the audio from the last word on is held back until the
        // next word starts, so that the synthesis can stop there and carry on later.
        cSynthChunk held;
        int heldFrom = 0; // the held word's first character in the job's text
        bool suspended = false;
    } m_running;
    QByteArray m_appliedVoice;
    int m_appliedRate = -1;
    int m_appliedGap = -1;
    int m_appliedPitch = -1;
};
