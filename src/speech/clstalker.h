#pragma once

#include "diagnostics/failure.h"
#include "platform/voice/speechvoice.h"
#include "speech/clsstore.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <deque>
#include <functional>
#include <memory>

class QComboBox;

// The program's only way to the speech engine: owns one voice, cuts a text into sentences
// and speaks them one after another, each voice end-of-stream starting the next sentence.
// Inline "[v:N]" tags switch the voice; every piece goes through the pronunciation list
// and CleanForSpeech first. Everything runs on the UI thread.
class clsTalker : public QObject {
    Q_OBJECT
public:
    // Makes the voice; returns null and fills the failure when it cannot.
    using VoiceFactory = std::function<std::unique_ptr<cSpeechVoice>(Failure&)>;

    // The espeak-ng voice.
    explicit clsTalker(QObject* parent = nullptr);
    explicit clsTalker(VoiceFactory factory, QObject* parent = nullptr);
    ~clsTalker() override;

    // 0-based index into the voice list; out of range leaves the voice as it was.
    void SelectVoice(int index);
    void Pause();
    void Continue();
    // Creates the voice. Failures go to the caller with their own number (429 when the
    // engine cannot be created, 23458 when it has no voices) and the source "InitEngine".
    bool InitEngine(Failure& failure);
    // Ends the reading, empties the voice's queue at once and closes any WAV file.
    void StopSpeaking();
    void StoreTextFile(const QString& text);
    // Starts continuous reading of the stored text.
    void ReadText();
    void FillEngine(QComboBox* list);
    void FillOutputs(QComboBox* list);
    void Slower();
    void Faster();
    // Puts "<pitch middle="p"> " in front of every piece spoken from now on.
    void ChangePitch(int pitch);
    int TalkSpeed() const;
    // Beyond the described interface: a stored speed (-10 .. 10, kept within), and the
    // voice's variants (an empty key for the voice's own sound).
    void SetTalkSpeed(int rate);
    QList<cVoiceVariant> variantList() const;
    bool SelectVariant(const QString& key);
    QString currentVariant() const;
    // Speaks the text as it stands: no pronunciations, no clean-up, no SpeakingSentence.
    void Say(const QString& text);
    bool SetOutput(int index, Failure& failure);
    // Speech goes into a new 22 kHz 16-bit mono WAV file until CancelWav.
    bool SetWavOutput(const QString& path, Failure& failure);
    bool CancelWav(Failure& failure);

    // Beyond the described interface, for the command line and the tests.
    // Sentences kept queued beyond the one speaking, so the voice never waits for the UI
    // thread between sentences. SpeakingSentence then comes that many sentences early,
    // so only output that nobody follows (a WAV file from the command line) uses it.
    void setReadAhead(int sentences) { m_readAhead = std::max(0, sentences); }
    QStringList voiceList() const;
    int currentVoice() const;
    bool IsReading() const { return m_isReading; }
    // Reading, or streams still queued in the voice.
    bool isBusy() const { return m_isReading || !m_queued.empty(); }
    // The stream the voice is speaking or will speak next; 0 when none is queued.
    int speakingStream() const { return m_queued.empty() ? 0 : m_queued.front(); }
    const clsStore& Store() const { return m_store; }
    QString PitchTag() const { return m_pitchTag; }
    cSpeechVoice* voice() const { return m_voice.get(); }
    // The voice to use from a stored choice: the one named `name` where the list has it
    // (the list's order follows the user's language, so an index alone can mean another
    // voice after a change of locale), else `index`, kept within the list; 0 for none.
    static int findStoredVoice(const QStringList& voices, const QString& name, int index);
    // Where sentences end in the current voice's language.
    cSentenceEnds sentenceEnds() const;

Q_SIGNALS:
    // The piece about to be spoken, as it came from the store (tags removed).
    void SpeakingSentence(const QString& sentence);
    // Position (0-based) and length reported by the voice in the string it was given.
    void SpeakingWord(int position, int length);
    // A reading ran out of text and the voice has spoken all of it.
    void ReadingFinished();
    // The WAV file cannot grow any more: what follows is not in it. Comes before the
    // ReadingFinished of the reading it cut short.
    void WavFull();

private:
    void SpeakNextSentence();
    // Number of streams queued for the sentence's pieces; -1 when the voice refused them.
    int speakPieces(const QString& sentence);
    void ChangeRate(int delta);
    void SetPitchTag(int pitch);
    void Voice1_EndStream(int streamNumber);
    void Voice1_Word(int streamNumber, int position, int length);
    void finishIfDone();
    void topUp();

    VoiceFactory m_factory;
    std::unique_ptr<cSpeechVoice> m_voice;
    clsStore m_store;
    bool m_isReading = false;
    bool m_paused = false; // by Pause, until Continue
    // A reading started by ReadText that has not yet reported ReadingFinished.
    bool m_readingOpen = false;
    QString m_pitchTag;
    // Streams handed to the voice and not yet ended, oldest first. An end-of-stream for
    // any other stream (one purged by a stop) never starts a sentence.
    std::deque<int> m_queued;
    // Changes at every stop, so a handler that stopped the reading is noticed.
    quint64 m_generation = 0;
    int m_readAhead = 0;
};
