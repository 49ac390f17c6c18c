#include "platform/voice/espeakvoice.h"
#include "voicetestsupport.h"

#include <QElapsedTimer>
#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>

// Qt looks for the sound system once per process, so each of these tests runs the
// matching DISABLED_ test in a child process with a sound system of its own.

namespace {

constexpr qint64 Rate = 22050;

void pauseFor(int ms)
{
    waitUntil([] { return false; }, ms);
}

// The server's view of our playback streams: one "Corked: yes/no" per stream.
QStringList sinkInputs()
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("sink-inputs")});
    pactl.waitForFinished(10000);
    QStringList corked;
    for (const QString& line : QString::fromLocal8Bit(pactl.readAllStandardOutput()).split(u'\n')) {
        if (line.trimmed().startsWith(QStringLiteral("Corked:")))
            corked << line.section(u':', 1).trimmed();
    }
    return corked;
}

} // namespace

TEST(AudioPath, SpeechPlaysThroughARealSoundServer)
{
    runChildWithNullSink(QStringLiteral("AudioPathChild.DISABLED_NullSink"), "sink");
}

TEST(AudioPath, ReadingAdvancesWithoutAnySoundServer)
{
    runChildWithoutSoundServer(QStringLiteral("AudioPathChild.DISABLED_NoServer"), "none");
}

TEST(AudioPathChild, DISABLED_NullSink)
{
    if (!childMode("sink"))
        GTEST_SKIP() << "runs inside AudioPath.SpeechPlaysThroughARealSoundServer";
    auto voice = englishVoice();
    ASSERT_TRUE(voice);
    ASSERT_NO_FATAL_FAILURE(selectNullOutput(*voice));
    EXPECT_FALSE(voice->selectOutput(static_cast<int>(voice->audioOutputs().size())));

    VoiceLog log(*voice);
    std::vector<bool> silences;
    QObject::connect(voice.get(), &cSpeechVoice::silentOutputChanged,
                     [&](bool silent) { silences.push_back(silent); });
    QElapsedTimer clock;
    clock.start();
    const int reading =
        voice->speak(LongSentence + LongSentence + LongSentence, cSpeechVoice::Async);
    ASSERT_TRUE(waitUntil([&] { return log.words(reading) >= 4; }, 20000));
    EXPECT_TRUE(log.started(reading));
    EXPECT_FALSE(voice->silentOutput());
    // Words come as they are heard, not as fast as they are synthesised.
    EXPECT_GT(clock.elapsed(), 500);
    EXPECT_GT(voice->playedSamples(), Rate / 4);
    EXPECT_EQ(sinkInputs(), QStringList{QStringLiteral("no")});

    // Pause holds the played position and the words, and the server holds the stream.
    voice->pause();
    const qint64 heldAt = voice->playedSamples();
    const int wordsAt = log.words();
    pauseFor(800);
    EXPECT_EQ(voice->playedSamples(), heldAt);
    EXPECT_EQ(log.words(), wordsAt);
    EXPECT_EQ(sinkInputs(), QStringList{QStringLiteral("yes")});
    voice->resume();
    ASSERT_TRUE(waitUntil([&] { return log.words() > wordsAt + 1; }, 5000));
    EXPECT_GT(voice->playedSamples(), heldAt);
    EXPECT_FALSE(log.ended(reading));

    // A purge silences at once: the stream leaves the server, nothing more is reported.
    voice->speak(QString(), cSpeechVoice::Async | cSpeechVoice::PurgeBeforeSpeak);
    const size_t eventsAtPurge = log.entries.size();
    const qint64 playedAtPurge = voice->playedSamples();
    EXPECT_TRUE(waitUntil([] { return sinkInputs().isEmpty(); }, 300));
    pauseFor(500);
    EXPECT_EQ(log.entries.size(), eventsAtPurge);
    EXPECT_EQ(voice->playedSamples(), playedAtPurge);

    // Queued texts end one after another, in order, each after its audio was played.
    std::vector<int> streams;
    clock.restart();
    for (const char* text : {"One.", "Two.", "Three."})
        streams.push_back(voice->speak(QString::fromLatin1(text), cSpeechVoice::Async));
    ASSERT_TRUE(waitUntil([&] { return log.ended(streams.back()); }, 20000));
    EXPECT_EQ(log.ends(), streams);
    const double playedSeconds = double(voice->playedSamples() - playedAtPurge) / Rate;
    EXPECT_GT(playedSeconds, 1.0);
    EXPECT_GT(clock.elapsed() / 1000.0, playedSeconds * 0.8);

    // When the sound server goes away in the middle of a text, reading still goes on.
    const int lastWords = voice->speak(LongSentence, cSpeechVoice::Async);
    ASSERT_TRUE(waitUntil([&] { return log.words(lastWords) > 1; }, 20000));
    ASSERT_EQ(::kill(static_cast<pid_t>(qEnvironmentVariableIntValue("PARLO_PULSE_PID")), SIGKILL),
              0);
    ASSERT_TRUE(waitUntil([&] { return log.ended(lastWords); }, 30000));
    EXPECT_TRUE(voice->silentOutput());
    EXPECT_EQ(silences, std::vector<bool>{true}) << "said once, when the server went away";
}

TEST(AudioPathChild, DISABLED_NoServer)
{
    if (!childMode("none"))
        GTEST_SKIP() << "runs inside AudioPath.ReadingAdvancesWithoutAnySoundServer";
    auto voice = englishVoice();
    ASSERT_TRUE(voice);
    EXPECT_TRUE(voice->audioOutputs().isEmpty());
    EXPECT_FALSE(voice->selectOutput(0));

    VoiceLog log(*voice);
    std::vector<bool> silences;
    QObject::connect(voice.get(), &cSpeechVoice::silentOutputChanged,
                     [&](bool silent) { silences.push_back(silent); });
    EXPECT_FALSE(voice->silentOutput()) << "known once speech reaches the output";
    QElapsedTimer clock;
    clock.start();
    const int stream = voice->speak(LongSentence, cSpeechVoice::Async);
    std::vector<qint64> wordTimes;
    ASSERT_TRUE(waitUntil(
        [&] {
            while (wordTimes.size() < size_t(log.words(stream)))
                wordTimes.push_back(clock.elapsed());
            return log.ended(stream);
        },
        30000));
    EXPECT_TRUE(voice->silentOutput());
    EXPECT_EQ(silences, std::vector<bool>{true});
    const double seconds = double(voice->playedSamples()) / Rate;
    EXPECT_GT(seconds, 4.0);
    // The silent output keeps real time: the reading neither stalls nor races ahead.
    EXPECT_GT(clock.elapsed() / 1000.0, seconds * 0.9);
    ASSERT_GT(wordTimes.size(), 10u);
    EXPECT_LT(wordTimes.front(), 1000);
    EXPECT_GT(wordTimes.back(), clock.elapsed() / 2);

    // Synthesis runs only a little ahead of the output, for one long text and for many.
    auto bufferedWhileSpeaking = [&](int ms) {
        qint64 most = 0;
        waitUntil(
            [&] {
                most = std::max(most, voice->bufferedSamples());
                return false;
            },
            ms);
        return most;
    };
    QString book;
    for (int i = 0; i < 60; ++i)
        book += LongSentence;
    voice->speak(book, cSpeechVoice::Async);
    EXPECT_LT(bufferedWhileSpeaking(2500), 10 * Rate);
    voice->speak(QString(), cSpeechVoice::Async | cSpeechVoice::PurgeBeforeSpeak);
    EXPECT_EQ(voice->bufferedSamples(), 0);
    for (int i = 0; i < 60; ++i)
        voice->speak(LongSentence, cSpeechVoice::Async);
    EXPECT_LT(bufferedWhileSpeaking(2500), 10 * Rate);
    // The purge reached a synthesis that was waiting for the output.
    const int last =
        voice->speak(QStringLiteral("End."), cSpeechVoice::Async | cSpeechVoice::PurgeBeforeSpeak);
    ASSERT_TRUE(waitUntil([&] { return log.ended(last); }, 10000));
}
