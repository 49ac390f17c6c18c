#include "speech/clsdict.h"
#include "speech/clstalker.h"
#include "testsupport.h"
#include "wavinfo.h"

#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

// The Talker on the real espeak-ng voice, speaking into WAV files.
namespace {

// Runs events until the signal comes or the time is up; true when it came.
template <typename Signal>
bool waitFor(const typename QtPrivate::FunctionPointer<Signal>::Object* sender, Signal signal,
             int ms)
{
    QEventLoop loop;
    bool came = false;
    QObject::connect(sender, signal, &loop, [&] {
        came = true;
        loop.quit();
    });
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return came;
}

class EspeakTalkerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        PronDict().ClearWords();
        Failure failure;
        ASSERT_TRUE(talker.InitEngine(failure)) << failure.description.toStdString();
        ASSERT_GE(talker.voiceList().size(), 2);
    }
    void TearDown() override { PronDict().ClearWords(); }

    // Reads the text into a WAV file and returns what the file holds.
    WavInfo readInto(const QString& name, const QString& text, QStringList* sentences = nullptr,
                     const cVoiceMarkers& markers = {})
    {
        Failure failure;
        const QString path = home.file(name);
        EXPECT_TRUE(talker.SetWavOutput(path, failure)) << failure.description.toStdString();
        QStringList spoken;
        const auto connection = QObject::connect(&talker, &clsTalker::SpeakingSentence,
                                                 [&](const QString& s) { spoken << s; });
        talker.StoreTextFile(text, markers);
        talker.ReadText();
        if (talker.isBusy()) {
            EXPECT_TRUE(waitFor(&talker, &clsTalker::ReadingFinished, 30000));
        }
        QObject::disconnect(connection);
        EXPECT_TRUE(talker.CancelWav(failure));
        if (sentences)
            *sentences = spoken;
        return WavInfo::read(readBytes(path));
    }

    ScopedProgramHome home;
    clsTalker talker;
};

} // namespace

TEST_F(EspeakTalkerTest, ReadingIntoAWavFileGivesAFullValidFile)
{
    QStringList sentences;
    const WavInfo wav =
        readInto("a.wav", "Hello there. This is a reading test! Is it whole?", &sentences);
    EXPECT_EQ(sentences, QStringList({"Hello there.", "This is a reading test!", "Is it whole?"}));
    ASSERT_TRUE(wav.valid);
    EXPECT_EQ(wav.sampleRate, 22050);
    EXPECT_EQ(wav.bits, 16);
    EXPECT_EQ(wav.channels, 1);
    EXPECT_TRUE(wav.sizesAgree);
    EXPECT_GT(wav.peak, 1000);
    // Three short sentences: a few seconds, not a fragment.
    EXPECT_GT(wav.seconds(), 2.0);
    EXPECT_LT(wav.seconds(), 12.0);
}

TEST_F(EspeakTalkerTest, PronunciationListChangesWhatIsSpoken)
{
    const WavInfo plain = readInto("plain.wav", "Go now.");
    auto pair = std::make_shared<clsWordPair>();
    pair->OriginalWord = "go";
    pair->NewWord = "walk slowly and carefully along the winding road";
    PronDict().AddWordPair(pair);
    const WavInfo translated = readInto("translated.wav", "Go now.");
    EXPECT_GT(translated.seconds(), plain.seconds() * 2);
}

TEST_F(EspeakTalkerTest, SentencesEndByTheVoicesLanguage)
{
    int german = -1;
    for (int i = 0; i < talker.voiceList().size() && german < 0; ++i) {
        talker.SelectVoice(i);
        if (talker.voice()->voiceLanguage() == "de")
            german = i;
    }
    ASSERT_GE(german, 0);
    EXPECT_TRUE(talker.sentenceEnds().abbreviations().contains("z.B."));
    QStringList sentences;
    readInto("de.wav", "Es kam z.B. Hr. Maier. Dann ging er.", &sentences);
    EXPECT_EQ(sentences, QStringList({"Es kam z.B. Hr. Maier.", "Dann ging er."}));
}

TEST_F(EspeakTalkerTest, ColonsAndSemicolonsArePausesTheVoiceKeeps)
{
    const WavInfo plain = readInto("plain.wav", "Listen one thing then go.");
    const WavInfo marked = readInto("marked.wav", "Listen: one thing; then go.");
    // Two clause pauses; espeak-ng makes each of a comma about a fifth of a second.
    EXPECT_GT(marked.seconds(), plain.seconds() + 0.2);
}

TEST_F(EspeakTalkerTest, PitchRateAndVoiceTagsChangeTheSound)
{
    const QString text = QStringLiteral("A quiet evening by the river.");
    const WavInfo base = readInto("base.wav", text);
    talker.ChangePitch(8);
    readInto("high.wav", text);
    EXPECT_NE(readBytes(home.file("base.wav")), readBytes(home.file("high.wav")));
    talker.ChangePitch(0);
    for (int i = 0; i < 10; ++i)
        talker.Faster();
    EXPECT_EQ(talker.TalkSpeed(), 10);
    const WavInfo fast = readInto("fast.wav", text);
    EXPECT_LT(fast.seconds(), base.seconds() * 0.7);
    for (int i = 0; i < 10; ++i)
        talker.Slower();
    talker.SelectVoice(0);
    readInto("tagged.wav", "[v:2]" + text);
    EXPECT_EQ(talker.currentVoice(), 1);
    EXPECT_NE(readBytes(home.file("base.wav")), readBytes(home.file("tagged.wav")));
}

TEST_F(EspeakTalkerTest, StopClosesTheFileMidway)
{
    Failure failure;
    QString book;
    for (int i = 0; i < 200; ++i)
        book += QStringLiteral("This sentence is one of very many in a long text. ");
    ASSERT_TRUE(talker.SetWavOutput(home.file("stopped.wav"), failure));
    talker.StoreTextFile(book);
    talker.ReadText();
    EXPECT_TRUE(waitFor(&talker, &clsTalker::SpeakingWord, 10000));
    talker.StopSpeaking();
    EXPECT_FALSE(talker.isBusy());
    EXPECT_FALSE(talker.CancelWav(failure));
    const WavInfo wav = WavInfo::read(readBytes(home.file("stopped.wav")));
    EXPECT_TRUE(wav.valid);
    EXPECT_TRUE(wav.sizesAgree);
    EXPECT_LT(talker.Store().NextIndex(), 200);
}

TEST_F(EspeakTalkerTest, TheVoicesWordsLeadBackToTheWordsOfTheText)
{
    auto doctor = std::make_shared<clsWordPair>();
    doctor->OriginalWord = "Dr";
    doctor->NewWord = "Doctor";
    PronDict().AddWordPair(doctor);
    talker.ChangePitch(2);
    const QString text = QStringLiteral("Dr Smith met the colour: red \u2014 it was very good.");
    const int very = int(text.indexOf("very"));
    QStringList words;
    QObject::connect(&talker, &clsTalker::wordSpoken,
                     [&](int position, int length) { words << text.mid(position, length); });
    readInto("words.wav", text, nullptr, {{very, "<emph>"}, {very + 4, "</emph>"}});
    EXPECT_EQ(words, QStringList({"Dr", "Smith", "met", "the", "colour", "red", "it", "was", "very",
                                  "good"}));
}
