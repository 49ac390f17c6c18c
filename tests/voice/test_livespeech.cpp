#include "platform/voice/espeakengine.h"
#include "platform/voice/espeakvoice.h"
#include "voicetestsupport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>

// Voices speaking to a listener: what a pause or a new rate does to the text being heard.
// Each test runs its DISABLED_ twin in a child process with a sound system of its own.

namespace {

std::vector<int> wordPositions(const VoiceLog& log, int stream, size_t from = 0)
{
    std::vector<int> positions;
    for (size_t i = from; i < log.entries.size(); ++i) {
        const auto& e = log.entries[i];
        if (e.kind == VoiceLog::Entry::Word && e.stream == stream)
            positions.push_back(e.position);
    }
    return positions;
}

// What the voice makes of the text at its present rate, written to a file: the samples and
// the words.
struct Rendering {
    qint64 samples = 0;
    std::vector<int> words;
};

Rendering render(cEspeakVoice& voice, const QString& text)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rendering.wav"));
    VoiceLog log(voice);
    EXPECT_TRUE(voice.openWavFile(path));
    const int stream = voice.speak(text, cSpeechVoice::Async);
    EXPECT_TRUE(waitUntil([&] { return log.ended(stream); }, 60000));
    EXPECT_TRUE(voice.closeWavFile());
    return {qint64(readWav(path).samples.size()), wordPositions(log, stream)};
}

// The words in text order: the engine reports a sentence's first word once more, late.
std::vector<int> inOrder(const std::vector<int>& positions)
{
    std::vector<int> kept;
    for (int p : positions) {
        if (kept.empty() || p > kept.back())
            kept.push_back(p);
    }
    return kept;
}

bool strictlyRising(const std::vector<int>& v)
{
    return std::adjacent_find(v.begin(), v.end(), std::greater_equal<int>()) == v.end();
}

// Speaks text, presses the rate button the given number of times (pause, set, resume, as
// the reader does) when the third word is heard, and returns the samples the text took.
qint64 speakChangingRate(cEspeakVoice& voice, const QString& text, int presses,
                         const Rendering& before)
{
    VoiceLog log(voice);
    const qint64 start = voice.playedSamples();
    const int stream = voice.speak(text, cSpeechVoice::Async);
    int heard = -1;
    size_t changedAt = 0;
    QObject context;
    QObject::connect(&voice, &cSpeechVoice::wordBoundary, &context, [&](int, int position) {
        if (heard >= 0 || log.words(stream) < 3)
            return;
        heard = position;
        changedAt = log.entries.size();
        for (int i = 0; i < std::abs(presses); ++i) {
            voice.pause();
            EXPECT_TRUE(voice.setRate(voice.rate() + (presses > 0 ? 1 : -1)));
            voice.resume();
        }
    });
    EXPECT_TRUE(waitUntil([&] { return log.ended(stream); }, 60000));
    const qint64 took = voice.playedSamples() - start;

    // The sentence goes on from the word being heard, and to its end.
    const std::vector<int> after = wordPositions(log, stream, changedAt);
    EXPECT_FALSE(after.empty());
    if (!after.empty()) {
        EXPECT_EQ(after.front(), heard);
        EXPECT_TRUE(strictlyRising(after));
        EXPECT_EQ(after.back(), before.words.back());
    }
    return took;
}

} // namespace

TEST(LiveSpeech, APausedVoiceLeavesTheEngineToTheOthers)
{
    runChildWithNullSink(QStringLiteral("LiveSpeechChild.DISABLED_PausedVoice"), "paused");
}

TEST(LiveSpeech, ANewRateReachesTheSentenceBeingSpoken)
{
    runChildWithoutSoundServer(QStringLiteral("LiveSpeechChild.DISABLED_NewRate"), "rate");
}

TEST(LiveSpeechChild, DISABLED_PausedVoice)
{
    if (!childMode("paused"))
        GTEST_SKIP() << "runs inside LiveSpeech.APausedVoiceLeavesTheEngineToTheOthers";
    auto reader = englishVoice();
    auto editor = englishVoice();
    ASSERT_TRUE(reader && editor);
    const QString book = LongSentence + LongSentence + LongSentence;
    const Rendering whole = render(*reader, book);
    ASSERT_GT(whole.samples, 2 * cEspeakEngine::MaxSamplesAhead);
    ASSERT_NO_FATAL_FAILURE(selectNullOutput(*reader));
    ASSERT_NO_FATAL_FAILURE(selectNullOutput(*editor));

    // The reader pauses on a word, and its synthesis fills all the lead it may take.
    VoiceLog readerLog(*reader), editorLog(*editor);
    const int reading = reader->speak(book, cSpeechVoice::Async);
    ASSERT_TRUE(waitUntil([&] { return readerLog.words(reading) >= 3; }, 30000));
    reader->pause();
    ASSERT_TRUE(waitUntil(
        [&] {
            return reader->bufferedSamples() >
                   cEspeakEngine::MaxSamplesAhead - cEspeakEngine::SampleRate;
        },
        30000));
    const int wordsWhenPaused = readerLog.words(reading);

    // Another voice is heard meanwhile, and the paused one stays where it is.
    const int test = editor->speak(QStringLiteral("Tomato."), cSpeechVoice::Async);
    ASSERT_TRUE(waitUntil([&] { return editorLog.ended(test); }, 30000));
    EXPECT_TRUE(editorLog.started(test));
    EXPECT_GT(editorLog.words(test), 0);
    EXPECT_FALSE(editor->silentOutput());
    EXPECT_EQ(readerLog.words(reading), wordsWhenPaused);

    // Resumed, the reading carries on to its end with every word once, none lost.
    reader->resume();
    ASSERT_TRUE(waitUntil([&] { return readerLog.ended(reading); }, 60000));
    EXPECT_EQ(inOrder(wordPositions(readerLog, reading)), inOrder(whole.words));
}

TEST(LiveSpeechChild, DISABLED_NewRate)
{
    if (!childMode("rate"))
        GTEST_SKIP() << "runs inside LiveSpeech.ANewRateReachesTheSentenceBeingSpoken";
    auto voice = englishVoice();
    ASSERT_TRUE(voice);
    const QString text = LongSentence.trimmed();
    const Rendering normal = render(*voice, text);
    ASSERT_TRUE(voice->setRate(10));
    const Rendering fastest = render(*voice, text);
    ASSERT_TRUE(voice->setRate(-5));
    const Rendering slow = render(*voice, text);
    ASSERT_TRUE(voice->setRate(0));
    ASSERT_GT(normal.words.size(), 12u);
    ASSERT_LT(fastest.samples, normal.samples * 2 / 3);
    ASSERT_GT(slow.samples, normal.samples * 3 / 2);

    // Ten presses of Faster on the third word: the rest of the sentence goes at the new rate.
    const qint64 faster = speakChangingRate(*voice, text, 10, normal);
    EXPECT_EQ(voice->rate(), 10);
    EXPECT_LT(faster, normal.samples * 3 / 4);
    EXPECT_GT(faster, fastest.samples);

    ASSERT_TRUE(voice->setRate(0));
    const qint64 slower = speakChangingRate(*voice, text, -5, normal);
    EXPECT_GT(slower, normal.samples * 5 / 4);
    // Nothing is spoken twice but the word being heard.
    EXPECT_LT(slower, slow.samples + cEspeakEngine::SampleRate / 2);
}
