#include "fakevoice.h"
#include "speech/clsdict.h"
#include "speech/clstalker.h"
#include "testsupport.h"

#include <QComboBox>

#include <gtest/gtest.h>

namespace {

// A Talker on a fake voice; the Talker's own events go into the voice's call log, so the
// order of "sentence" and "speak" entries is the order in which they happened.
class TalkerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        PronDict().ClearWords();
        talker = std::make_unique<clsTalker>([this](Failure&) {
            auto made = std::make_unique<FakeVoice>(&log);
            voice = made.get();
            return made;
        });
        Failure failure;
        ASSERT_TRUE(talker->InitEngine(failure));
        QObject::connect(talker.get(), &clsTalker::SpeakingSentence,
                         [this](const QString& s) { log << "sentence " + s; });
        QObject::connect(talker.get(), &clsTalker::ReadingFinished,
                         [this] { log << QStringLiteral("finished"); });
    }
    void TearDown() override { PronDict().ClearWords(); }

    void read(const QString& text)
    {
        talker->StoreTextFile(text);
        talker->ReadText();
    }
    QStringList entries(const QString& prefix) const
    {
        QStringList out;
        for (const QString& entry : log)
            if (entry.startsWith(prefix))
                out << entry.mid(prefix.size());
        return out;
    }

    ScopedProgramHome home;
    QStringList log;
    FakeVoice* voice = nullptr;
    std::unique_ptr<clsTalker> talker;
};

} // namespace

TEST_F(TalkerTest, ReadsSentenceAfterSentenceDrivenByEndOfStream)
{
    read("Hello. How are you? Fine!");
    // One sentence at a time: the next waits for the voice to finish the first.
    EXPECT_EQ(voice->spoken, QStringList({"Hello."}));
    EXPECT_TRUE(talker->IsReading());
    voice->finishNext();
    EXPECT_EQ(voice->spoken, QStringList({"Hello.", "How are you?"}));
    voice->finishAll();
    EXPECT_EQ(voice->spoken, QStringList({"Hello.", "How are you?", "Fine!"}));
    EXPECT_FALSE(talker->IsReading());
    EXPECT_FALSE(talker->isBusy());
    EXPECT_EQ(log,
              QStringList({"sentence Hello.", "speak Hello.", "sentence How are you?",
                           "speak How are you?", "sentence Fine!", "speak Fine!", "finished"}));
}

TEST_F(TalkerTest, NothingToReadOrReadingAgainAfterTheEnd)
{
    read("...");
    EXPECT_TRUE(voice->spoken.isEmpty());
    EXPECT_FALSE(talker->IsReading());

    read("Once.");
    voice->finishAll();
    log.clear();
    // The store is only refilled by StoreTextFile.
    talker->ReadText();
    EXPECT_FALSE(talker->IsReading());
    EXPECT_EQ(entries("speak "), QStringList());
}

TEST_F(TalkerTest, VoiceTagsSplitTheSentenceAndSwitchVoices)
{
    read("Hi [v:2]there[v:1] again.");
    EXPECT_EQ(entries("sentence "), QStringList({"Hi ", "there", " again."}));
    EXPECT_EQ(voice->spoken, QStringList({"Hi", "there", "again."}));
    EXPECT_EQ(voice->spokenVoices, QList<int>({0, 1, 0}));
    // Each voice change comes before the piece it is meant for.
    EXPECT_EQ(log.mid(0, 4),
              QStringList({"sentence Hi ", "speak Hi", "select 1", "sentence there"}));
}

TEST_F(TalkerTest, VoiceChangeOutlastsTheSentence)
{
    read("[v:3]First. Second.");
    voice->finishAll();
    EXPECT_EQ(voice->spoken, QStringList({"First.", "Second."}));
    EXPECT_EQ(voice->spokenVoices, QList<int>({2, 2}));
}

TEST_F(TalkerTest, TagsThatAreNotRecognised)
{
    read(QString::fromUtf8("[v:12]x. [v:]y. [v:9]z. 2] stays. [v:\u0663]w."));
    voice->finishAll();
    // Two digits are text; an empty or out-of-range number leaves the voice alone; a
    // sentence that merely starts like a tag's end keeps its words.
    EXPECT_EQ(voice->spoken, QStringList({"12]x.", "y.", "z.", "2] stays.", "w."}));
    EXPECT_EQ(voice->voice, 0);
    EXPECT_EQ(entries("select "), QStringList({"-1", "8", "-1"}));
    // Tags are case-sensitive; the colon of one that is not a tag is cleaned like any.
    read("[V:2]upper.");
    EXPECT_EQ(voice->spoken.last(), "[V     2]upper.");
}

TEST_F(TalkerTest, SentenceInPiecesStartsOneSentencePerEndedStream)
{
    read("A [v:2]b. C. D. E.");
    EXPECT_EQ(voice->spoken, QStringList({"A", "b."}));
    voice->finishNext();
    voice->finishNext();
    // Both pieces' ends started a sentence; they queue behind each other.
    EXPECT_EQ(voice->spoken, QStringList({"A", "b.", "C.", "D."}));
    voice->finishAll();
    EXPECT_EQ(voice->spoken, QStringList({"A", "b.", "C.", "D.", "E."}));
    EXPECT_EQ(entries("finished"), QStringList({""}));
}

TEST_F(TalkerTest, ReadAheadKeepsTheVoiceQueueFilledInOrder)
{
    talker->setReadAhead(2);
    read("A [v:2]b. C. D. E. F.");
    // The two pieces of the first sentence, then one more sentence.
    EXPECT_EQ(voice->spoken, QStringList({"A", "b.", "C."}));
    voice->finishNext();
    EXPECT_EQ(voice->spoken, QStringList({"A", "b.", "C.", "D."}));
    voice->finishAll();
    EXPECT_EQ(voice->spoken, QStringList({"A", "b.", "C.", "D.", "E.", "F."}));
    EXPECT_EQ(voice->spokenVoices, QList<int>({0, 1, 1, 1, 1, 1}));
    EXPECT_EQ(entries("finished"), QStringList({""}));
}

TEST_F(TalkerTest, SentenceOfOnlyTagsDoesNotStallTheReading)
{
    read("One. [v:2]");
    voice->finishAll();
    EXPECT_EQ(voice->spoken, QStringList({"One."}));
    EXPECT_EQ(voice->voice, 1);
    EXPECT_FALSE(talker->isBusy());
    EXPECT_EQ(entries("finished"), QStringList({""}));
}

TEST_F(TalkerTest, StopPurgesAndStaleStreamEndsStartNothing)
{
    read("One. Two. Three.");
    const int stale = voice->current();
    talker->StopSpeaking();
    EXPECT_FALSE(talker->IsReading());
    EXPECT_TRUE(log.contains("purge"));
    // A late end-of-stream of the purged sentence must not start the next one, not even
    // in a new reading.
    read("New.");
    Q_EMIT voice->endStream(stale);
    EXPECT_EQ(voice->spoken, QStringList({"One.", "New."}));
    voice->finishAll();
    EXPECT_EQ(voice->spoken, QStringList({"One.", "New."}));
}

TEST_F(TalkerTest, StopFromTheSentenceHandlerSpeaksNothingMore)
{
    QObject::connect(talker.get(), &clsTalker::SpeakingSentence, talker.get(),
                     [this](const QString& s) {
                         if (s == "b")
                             talker->StopSpeaking();
                     });
    read("a [v:1]b[v:1]c. Next.");
    voice->finishAll();
    EXPECT_EQ(voice->spoken, QStringList({"a"}));
    EXPECT_FALSE(talker->isBusy());
}

TEST_F(TalkerTest, RefusingVoiceEndsTheReading)
{
    voice->refuseSpeech = true;
    read("One. Two.");
    EXPECT_FALSE(talker->IsReading());
    EXPECT_EQ(entries("sentence "), QStringList({"One."}));
}

TEST_F(TalkerTest, PauseAndContinueLeaveTheReadingOn)
{
    read("One. Two.");
    talker->Pause();
    EXPECT_TRUE(voice->paused);
    EXPECT_TRUE(talker->IsReading());
    talker->Continue();
    EXPECT_FALSE(voice->paused);
    voice->finishAll();
    EXPECT_EQ(voice->spoken.size(), 2);
}

TEST_F(TalkerTest, RateStepsWithinLimitsAndKeepsSpeaking)
{
    talker->Faster();
    EXPECT_EQ(talker->TalkSpeed(), 1);
    EXPECT_EQ(log.mid(log.size() - 3), QStringList({"pause", "rate 1", "resume"}));
    for (int i = 0; i < 15; ++i)
        talker->Faster();
    EXPECT_EQ(talker->TalkSpeed(), 10);
    EXPECT_FALSE(voice->paused);
    EXPECT_EQ(log.mid(log.size() - 4), QStringList({"pause", "rate 11", "rate 10", "resume"}));
    for (int i = 0; i < 25; ++i)
        talker->Slower();
    EXPECT_EQ(talker->TalkSpeed(), -10);
    EXPECT_FALSE(voice->paused);
}

TEST_F(TalkerTest, PitchTagOpensEveryPieceFromTheNextOn)
{
    read("Low. High [v:1]there.");
    EXPECT_EQ(voice->spoken, QStringList({"Low."}));
    talker->ChangePitch(-3);
    EXPECT_EQ(talker->PitchTag(), "<pitch middle=\"-3\"> ");
    voice->finishAll();
    EXPECT_EQ(voice->spoken, QStringList({"Low.", "<pitch middle=\"-3\">   High",
                                          "<pitch middle=\"-3\">   there."}));
    talker->ChangePitch(7);
    talker->Say("as is");
    EXPECT_EQ(voice->spoken.last(), "as is");
}

TEST_F(TalkerTest, PronunciationAndCleanUpOnlyReachTheVoice)
{
    auto pair = std::make_shared<clsWordPair>();
    pair->OriginalWord = "Hm";
    pair->NewWord = "Hum: sir";
    PronDict().AddWordPair(pair);
    read(QString::fromUtf8("Hm. Who\u2014and what; Hm"));
    voice->finishAll();
    // The owner sees the text as written; the voice gets it translated and cleaned.
    EXPECT_EQ(entries("sentence "),
              QStringList({"Hm.", QString::fromUtf8("Who\u2014and what; Hm")}));
    EXPECT_EQ(voice->spoken, QStringList({"Hum,     sir.", "Who and what,     Hum,     sir"}));
}

TEST_F(TalkerTest, SayBypassesEverything)
{
    auto pair = std::make_shared<clsWordPair>();
    pair->OriginalWord = "a";
    pair->NewWord = "b";
    PronDict().AddWordPair(pair);
    talker->ChangePitch(2);
    talker->Say(" a: b ");
    EXPECT_EQ(voice->spoken, QStringList({" a: b "}));
    EXPECT_TRUE(entries("sentence ").isEmpty());
    EXPECT_FALSE(talker->IsReading());
}

TEST_F(TalkerTest, WordReportsPassStraightThrough)
{
    QList<QPair<int, int>> words;
    QObject::connect(talker.get(), &clsTalker::SpeakingWord, [&](int position, int length) {
        words.append({position, length});
    });
    read("Hello there.");
    voice->reportWord(0, 5);
    voice->reportWord(6, 6);
    EXPECT_EQ(words, (QList<QPair<int, int>>{{0, 5}, {6, 6}}));
}

TEST_F(TalkerTest, WavOutputOpensAndStopClosesIt)
{
    Failure failure;
    ASSERT_TRUE(talker->SetWavOutput(home.file("out.wav"), failure));
    EXPECT_EQ(voice->wavPath, home.file("out.wav"));
    read("Into the file.");
    talker->StopSpeaking();
    EXPECT_FALSE(voice->wavFileOpen());
    // Without a file, closing is a failure for direct callers and nothing for a stop.
    EXPECT_FALSE(talker->CancelWav(failure));
    EXPECT_EQ(failure.source, "CancelWav");
    talker->StopSpeaking();

    voice->refuseWav = true;
    EXPECT_FALSE(talker->SetWavOutput("/nonexistent/dir/out.wav", failure));
    EXPECT_EQ(failure.number, Err::PathFileAccess);
    EXPECT_EQ(failure.source, "SetWavOutput");
}

TEST_F(TalkerTest, SecondWavFileCompletesTheFirst)
{
    Failure failure;
    ASSERT_TRUE(talker->SetWavOutput(home.file("a.wav"), failure));
    ASSERT_TRUE(talker->SetWavOutput(home.file("b.wav"), failure));
    EXPECT_EQ(entries("close wav").size(), 1);
    EXPECT_EQ(voice->wavPath, home.file("b.wav"));
}

TEST_F(TalkerTest, VoiceAndOutputLists)
{
    QComboBox voices;
    talker->FillEngine(&voices);
    EXPECT_EQ(voices.count(), 3);
    EXPECT_EQ(voices.itemText(1), "Voice B");

    talker->SelectVoice(2);
    EXPECT_EQ(talker->currentVoice(), 2);
    talker->SelectVoice(3);
    EXPECT_EQ(talker->currentVoice(), 2);

    QComboBox outputs;
    talker->FillOutputs(&outputs);
    EXPECT_TRUE(outputs.isEnabled());
    EXPECT_EQ(outputs.currentText(), "Speakers");
    voice->outputs.clear();
    talker->FillOutputs(&outputs);
    EXPECT_EQ(outputs.count(), 1);
    EXPECT_EQ(outputs.currentText(), "No audio ouput");
    EXPECT_FALSE(outputs.isEnabled());

    Failure failure;
    EXPECT_FALSE(talker->SetOutput(0, failure));
    EXPECT_EQ(failure.source, "SetOutput");
}

TEST(TalkerEngine, CreationFailuresGoToTheCaller)
{
    for (const int number : {int(Err::NoVoices), int(Err::CannotCreateObject)}) {
        clsTalker talker([number](Failure& failure) {
            failure.number = number;
            failure.description = "no engine";
            return std::unique_ptr<cSpeechVoice>();
        });
        Failure failure;
        EXPECT_FALSE(talker.InitEngine(failure));
        EXPECT_EQ(failure.number, number);
        EXPECT_EQ(failure.description, "no engine");
        EXPECT_EQ(failure.source, "InitEngine");
        // Without a voice every other member quietly does nothing.
        talker.StoreTextFile("Hello.");
        talker.ReadText();
        talker.Faster();
        talker.Say("x");
        EXPECT_FALSE(talker.IsReading());
        EXPECT_EQ(talker.TalkSpeed(), 0);
    }
    clsTalker silent([](Failure&) { return std::unique_ptr<cSpeechVoice>(); });
    Failure failure;
    EXPECT_FALSE(silent.InitEngine(failure));
    EXPECT_EQ(failure.number, Err::CannotCreateObject);
}
