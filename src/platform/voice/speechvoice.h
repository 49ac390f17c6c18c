#pragma once

#include "platform/voice/audioformat.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <cmath>

// A variant changes how a voice sounds (female, male, whispering ...) without changing its
// language. The key names it to the engine and in stored settings; the name is shown.
struct cVoiceVariant {
    QString key;
    QString name;
};

// The speech voice the Talker drives: a voice list, asynchronous speaking with a queue,
// purge, pause and resume, rate, a leading pitch element, word and end-of-stream events,
// audio outputs and a WAV file output. The espeak-ng voice implements it; tests use a fake.
// Every event arrives on the thread that owns the object (the UI thread).
class cSpeechVoice : public QObject {
    Q_OBJECT
public:
    // Speak flags, as the described voice numbers them.
    enum SpeakFlag : int {
        Async = 1,
        PurgeBeforeSpeak = 2,
    };

    using QObject::QObject;
    ~cSpeechVoice() override = default;

    // Voices, ordered with the user's language first; descriptions are readable names.
    virtual QStringList voiceDescriptions() const = 0;
    // False (voice unchanged) when index is out of range.
    virtual bool selectVoice(int index) = 0;
    virtual int currentVoice() const = 0;
    // The language the current voice speaks, as "en" or "de-de"; empty when unknown.
    virtual QString voiceLanguage() const { return {}; }

    // The variants any voice can be spoken in; empty when the engine has none.
    virtual QList<cVoiceVariant> variants() const { return {}; }
    // An empty key is the voice's own sound; false (variant unchanged) for an unknown key.
    virtual bool selectVariant(const QString& key) { return key.isEmpty(); }
    virtual QString currentVariant() const { return {}; }

    // Audio outputs; an empty list when the system has none.
    virtual QStringList audioOutputs() const = 0;
    virtual bool selectOutput(int index) = 0;

    // Queues text and returns at once (flags & Async), or waits until it has been spoken.
    // With PurgeBeforeSpeak everything queued or playing is dropped first, with its
    // pending events; an empty text with Async | PurgeBeforeSpeak only purges.
    // Returns the stream number of the queued text (0 when nothing was queued).
    virtual int speak(const QString& text, int flags) = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;

    // -10 .. 10, 0 the engine's normal speed; false (rate unchanged) outside that range.
    // A new rate reaches the text being heard, from about the word being spoken.
    virtual int rate() const = 0;
    virtual bool setRate(int rate) = 0;
    // The words a minute a rate stands for: 175 at 0, every step the tenth root of three.
    static double wordsPerMinute(int rate) { return 175.0 * std::pow(3.0, rate / 10.0); }

    // Speech goes into a 22,050 Hz, 16-bit mono WAV file (created or replaced) until the
    // file is closed; false when the file cannot be created.
    virtual bool openWavFile(const QString& path) = 0;
    // False when no WAV file was open or it could not be completed (why then says why);
    // either way speech returns to the audio output.
    virtual bool closeWavFile(QString* why = nullptr) = 0;
    virtual bool wavFileOpen() const = 0;
    // The tags of the files opened from now on; a voice that writes none ignores them.
    virtual void setWavTags(const cAudioTags& tags) { Q_UNUSED(tags) }
    // Whether speech goes into a silent stand-in, because no audio device could be opened
    // or the one playing failed; the reading goes on at the speed it would be heard.
    virtual bool silentOutput() const { return false; }

Q_SIGNALS:
    // Position (0-based) and length in the text passed to speak().
    void wordBoundary(int streamNumber, int position, int length);
    void endStream(int streamNumber);
    // The first audio of a stream was handed to the audio output or written to the WAV file.
    void audioStarted(int streamNumber);
    // The WAV file reached the largest size it can have and takes no more speech. Comes
    // before the end of the stream whose speech it refused.
    void wavFileFull();
    // silentOutput() changed: found when speech is first handed to the output, or when a
    // device fails or is found again.
    void silentOutputChanged(bool silent);
};
