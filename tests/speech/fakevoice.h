#pragma once

#include "platform/voice/speechvoice.h"

#include <deque>

// A voice that speaks nothing: it records every call in `log` (shared with the test, so the
// Talker's own events can be interleaved) and ends streams only when the test says so.
class FakeVoice : public cSpeechVoice {
    Q_OBJECT
public:
    explicit FakeVoice(QStringList* log = nullptr);

    QStringList voiceDescriptions() const override { return voices; }
    bool selectVoice(int index) override;
    int currentVoice() const override { return voice; }
    QList<cVoiceVariant> variants() const override { return variantList; }
    bool selectVariant(const QString& key) override;
    QString currentVariant() const override { return variant; }
    QStringList audioOutputs() const override { return outputs; }
    bool selectOutput(int index) override;
    int speak(const QString& text, int flags) override;
    void pause() override;
    void resume() override;
    int rate() const override { return m_rate; }
    bool setRate(int rate) override;
    bool openWavFile(const QString& path) override;
    bool closeWavFile(QString* why = nullptr) override;
    bool wavFileOpen() const override { return !wavPath.isEmpty(); }

    // Ends the oldest queued stream, as the engine would after speaking it.
    bool finishNext();
    // Ends streams until none is left (the Talker queues more as they end).
    int finishAll(int limit = 100000);
    // The stream the engine is speaking now, 0 when idle.
    int current() const { return queue.empty() ? 0 : queue.front(); }
    void reportWord(int position, int length) { Q_EMIT wordBoundary(current(), position, length); }

    QStringList voices{"Voice A", "Voice B", "Voice C"};
    QStringList outputs{"Speakers"};
    int voice = 0;
    QList<cVoiceVariant> variantList; // none unless a test gives some
    QString variant;
    int output = 0;
    bool paused = false;
    bool refuseSpeech = false;
    bool refuseWav = false;
    QString wavPath;
    // What was queued, and with which voice.
    QStringList spoken;
    QList<int> spokenVoices;
    QStringList spokenVariants;
    std::deque<int> queue;

private:
    void note(const QString& entry);
    QStringList* m_log;
    QStringList m_ownLog;
    int m_rate = 0;
    int m_nextStream = 1;
};
