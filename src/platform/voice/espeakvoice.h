#pragma once

#include "diagnostics/failure.h"
#include "platform/voice/speechvoice.h"

#include "platform/voice/espeakengine.h"

#include <QList>

#include <deque>
#include <memory>
#include <utility>

class cAudioOutput;
class cWavWriter;
struct cVoiceEvent;

// The speech voice over libespeak-ng: text is synthesised on the engine's thread and played
// through the selected audio output, or written into a WAV file; every event arrives on the
// thread that created the voice.
class cEspeakVoice : public cSpeechVoice {
    Q_OBJECT
public:
    // Nullptr with failure.number 23458 when the engine has no data or no voices, 429 when
    // the engine cannot be created.
    static std::unique_ptr<cEspeakVoice> create(Failure& failure);
    // Same, with the voices of language ("de-de" or "de") first instead of the user's.
    static std::unique_ptr<cEspeakVoice> create(Failure& failure, const QString& language);
    ~cEspeakVoice() override;

    QStringList voiceDescriptions() const override;
    bool selectVoice(int index) override;
    int currentVoice() const override;
    QString voiceLanguage() const override;
    QList<cVoiceVariant> variants() const override;
    bool selectVariant(const QString& key) override;
    QString currentVariant() const override { return m_variant; }
    QStringList audioOutputs() const override;
    bool selectOutput(int index) override;
    int speak(const QString& text, int flags) override;
    void pause() override;
    void resume() override;
    int rate() const override;
    // A new rate takes effect at once: the stream being heard goes on at it from the word
    // last reported, and the streams queued behind it are spoken at it too.
    bool setRate(int rate) override;
    bool openWavFile(const QString& path) override;
    bool closeWavFile(QString* why = nullptr) override;
    bool wavFileOpen() const override;
    void setWavTags(const cAudioTags& tags) override { m_wavTags = tags; }

    bool silentOutput() const override;
    // Samples the audio output has played so far.
    qint64 playedSamples() const;
    // Synthesised samples waiting for the audio output.
    qint64 bufferedSamples() const;

    // The engine's words per minute and gap between words (in its units) for a rate of
    // -10 .. 10: every step is the tenth root of three.
    static std::pair<int, int> engineRate(int rate);

Q_SIGNALS:
    // Everything queued was dropped; a synchronous speak() stops waiting.
    void purged();

private:
    cEspeakVoice(cEspeakEngine* engine, QList<cEspeakVoiceInfo> voices);
    void purge();
    void respeakFromHeardWords();
    void onChunk(const cSynthChunk& chunk);
    void onEvent(const cVoiceEvent& event);

    cEspeakEngine* m_engine;
    std::shared_ptr<cSynthChannel> m_channel;
    QList<cEspeakVoiceInfo> m_voices;
    cAudioOutput* m_output;
    std::shared_ptr<cWavWriter> m_wav;
    cAudioTags m_wavTags;
    // Streams handed to the engine and not yet ended, oldest first.
    struct Unfinished {
        cSynthJob job;
        int heardWord = -1; // position of the last word reported
        bool audioStarted = false;
    };
    std::deque<Unfinished> m_unfinished;
    bool m_wavFullSaid = false;
    quint64 m_generation = 0;
    int m_voice = 0;
    QString m_variant;
    int m_rate = 0;
    int m_nextStream = 1;
};
