#include "fakevoice.h"
#include "speech/clsdict.h"
#include "speech/clsstore.h"
#include "speech/clstalker.h"
#include "speech/voicemarkers.h"
#include "testsupport.h"

#include <gtest/gtest.h>

// The words the voice reports, led back through the pronunciations, the clean-up, the
// markers and the pitch element to the letters of the text the Talker was given.
namespace {

class WordPositionsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        PronDict().ClearWords();
        talker = std::make_unique<clsTalker>([this](Failure&) {
            auto made = std::make_unique<FakeVoice>();
            voice = made.get();
            return made;
        });
        Failure failure;
        ASSERT_TRUE(talker->InitEngine(failure));
        QObject::connect(talker.get(), &clsTalker::wordSpoken,
                         [this](int position, int length) { words << text.mid(position, length); });
    }
    void TearDown() override { PronDict().ClearWords(); }

    void pair(const QString& original, const QString& spoken)
    {
        auto p = std::make_shared<clsWordPair>();
        p->OriginalWord = original;
        p->NewWord = spoken;
        PronDict().AddWordPair(p);
    }
    void read(const QString& what, const cVoiceMarkers& markers = {})
    {
        text = what;
        talker->StoreTextFile(what, markers);
        talker->ReadText();
    }
    // Reports every word of the stream being spoken as the voice finds them: runs of
    // letters and digits, and each markup element as a whole (a voice reports no word
    // there, but one in it must lead nowhere).
    void reportAllWords()
    {
        const QString spoken = voice->spoken.last();
        for (qsizetype i = 0; i < spoken.size();) {
            if (!spoken[i].isLetterOrNumber()) {
                ++i;
                continue;
            }
            qsizetype end = i;
            while (end < spoken.size() && spoken[end].isLetterOrNumber())
                ++end;
            voice->reportWord(int(i), int(end - i));
            i = end;
        }
    }

    ScopedProgramHome home;
    FakeVoice* voice = nullptr;
    std::unique_ptr<clsTalker> talker;
    QString text;
    QStringList words;
};

} // namespace

TEST_F(WordPositionsTest, PronunciationsLeadBackToTheWordsTheyReplaced)
{
    pair("Dr", "Doctor");
    pair("colour", "kuller");
    read("Dr Who likes the colour red.");
    ASSERT_EQ(voice->spoken, QStringList({"Doctor Who likes the kuller red."}));
    reportAllWords();
    EXPECT_EQ(words, QStringList({"Dr", "Who", "likes", "the", "colour", "red"}));
}

TEST_F(WordPositionsTest, AChainOfPronunciationsAndAShorterOneStillLeadBack)
{
    pair("one", "two");
    pair("two", "three");
    pair("television", "TV");
    read("One more television, one.");
    ASSERT_EQ(voice->spoken, QStringList({"three more TV, three."}));
    reportAllWords();
    EXPECT_EQ(words, QStringList({"One", "more", "television", "one"}));
}

TEST_F(WordPositionsTest, LettersBeyondAsciiLeadBackToo)
{
    pair(QStringLiteral("Straße"), QStringLiteral("Schtrasse"));
    read(QStringLiteral("Die STRASSE und die straße sind lang."));
    ASSERT_EQ(voice->spoken,
              QStringList({QStringLiteral("Die STRASSE und die Schtrasse sind lang.")}));
    reportAllWords();
    EXPECT_EQ(words, QStringList({"Die", "STRASSE", "und", "die", QStringLiteral("straße"), "sind",
                                  "lang"}));
}

TEST(TracedTranslation, TheReferenceRuleTracesAsTheQuickOneDoes)
{
    clsDict dict;
    for (const auto& [original, spoken] :
         {std::pair<QString, QString>{"a", "alpha"}, {"alpha", "A"}, {"be", ""}, {"", "x"}}) {
        auto p = std::make_shared<clsWordPair>();
        p->OriginalWord = original;
        p->NewWord = spoken;
        dict.AddWordPair(p);
    }
    const QString sentence = "A be, a (be) alpha-a a a.";
    const cTracedText quick = dict.TranslateText(cTracedText(sentence, 10));
    cTracedText reference(sentence, 10);
    reference.prepend(u" ");
    reference.append(u" ");
    const QString slow = dict.translateSlowly(" " + sentence + " ", &reference).chopped(1);
    reference.chop(1);
    ASSERT_EQ(quick.text(), dict.TranslateText(sentence));
    ASSERT_EQ(reference.text(), slow);
    ASSERT_EQ(quick.text(), slow);
    for (qsizetype i = 0; i < slow.size(); ++i)
        EXPECT_EQ(quick.source(i, 1), reference.source(i, 1)) << i;
}

TEST_F(WordPositionsTest, TheCleanUpAndThePitchElementShiftNothing)
{
    talker->ChangePitch(-3);
    read(QStringLiteral("Note: this \u2014 and that; done."));
    ASSERT_EQ(voice->spoken.size(), 1);
    EXPECT_TRUE(voice->spoken[0].startsWith("<pitch middle=\"-3\">"));
    EXPECT_TRUE(voice->spoken[0].contains("Note,     this   and that,     done."));
    reportAllWords();
    // The pitch element's words lead nowhere.
    EXPECT_EQ(words, QStringList({"Note", "this", "and", "that", "done"}));
}

TEST_F(WordPositionsTest, SentencesFurtherOnCountFromTheStartOfTheText)
{
    read("  First one here.\n\n - Second one there!");
    reportAllWords();
    voice->finishNext();
    ASSERT_EQ(voice->spoken, QStringList({"First one here.", "Second one there!"}));
    reportAllWords();
    EXPECT_EQ(words, QStringList({"First", "one", "here", "Second", "one", "there"}));
}

TEST_F(WordPositionsTest, MarkersReachTheVoiceAndItsWordsLeadBackToTheText)
{
    // "It was very good. So it was." with emphasis on "very good. So".
    read("It was very good. So it was.", {{7, "<emph>"}, {20, "</emph>"}});
    ASSERT_EQ(voice->spoken, QStringList({"It was <emph>very good."}));
    reportAllWords();
    voice->finishNext();
    // The emphasis carries on into the next sentence, which closes it.
    ASSERT_EQ(voice->spoken.last(), "<emph>So</emph> it was.");
    reportAllWords();
    // "emph" in the markup is no word of the text.
    EXPECT_EQ(words, QStringList({"It", "was", "very", "good", "So", "it", "was"}));
}

TEST_F(WordPositionsTest, AClosingMarkerAfterTheLastLetterStaysWithItsSentence)
{
    read("He said no. Then left.", {{8, "<emph>"}, {11, "</emph>"}});
    EXPECT_EQ(voice->spoken, QStringList({"He said <emph>no.</emph>"}));
    voice->finishNext();
    EXPECT_EQ(voice->spoken.last(), "Then left.");
}

TEST_F(WordPositionsTest, AHiddenVoiceTagSwitchesTheVoiceAndTheWordsStillLeadBack)
{
    QStringList sentences;
    QObject::connect(talker.get(), &clsTalker::SpeakingSentence,
                     [&](const QString& s) { sentences << s; });
    read("Hi there again.", {{3, "[v:2]"}});
    EXPECT_EQ(sentences, QStringList({"Hi ", "there again."}));
    ASSERT_EQ(voice->spoken, QStringList({"Hi", "there again."}));
    EXPECT_EQ(voice->spokenVoices, QList<int>({0, 1}));
    voice->reportWord(0, 2);
    voice->finishNext();
    reportAllWords();
    EXPECT_EQ(words, QStringList({"Hi", "there", "again"}));
}

TEST_F(WordPositionsTest, AWordOfAnEndedOrPurgedStreamLeadsNowhere)
{
    read("One. Two.");
    const int first = voice->current();
    voice->finishNext();
    Q_EMIT voice->wordBoundary(first, 0, 3);
    talker->StopSpeaking();
    voice->reportWord(0, 3);
    EXPECT_TRUE(words.isEmpty());
}

TEST_F(WordPositionsTest, TurnedOffTheTalkerReportsOnlyTheVoicesOwnPositions)
{
    QList<int> voicePositions;
    QObject::connect(talker.get(), &clsTalker::SpeakingWord,
                     [&](int position, int) { voicePositions << position; });
    talker->setFollowWords(false);
    pair("Dr", "Doctor");
    read("Dr Who.");
    reportAllWords();
    EXPECT_TRUE(words.isEmpty());
    EXPECT_EQ(voicePositions, QList<int>({0, 7}));
}

TEST(VoiceMarkers, TakenOutAndPutBackWhereTheyStood)
{
    const QString marked = "A <emph>bold</emph> [v:2]move [v:]then [v:12]not.";
    QString text = marked;
    const cVoiceMarkers markers = VoiceMarkers::extract(text, true);
    EXPECT_EQ(text, "A bold move then [v:12]not.");
    EXPECT_EQ(markers, cVoiceMarkers({{2, "<emph>"}, {6, "</emph>"}, {7, "[v:2]"}, {12, "[v:]"}}));
    EXPECT_EQ(VoiceMarkers::insert(text, markers), marked);

    QString plain = marked;
    const cVoiceMarkers emphasisOnly = VoiceMarkers::extract(plain, false);
    EXPECT_EQ(plain, "A bold [v:2]move [v:]then [v:12]not.");
    EXPECT_EQ(emphasisOnly.size(), 2);

    QString none = "Nothing here.";
    EXPECT_TRUE(VoiceMarkers::extract(none, true).isEmpty());
    EXPECT_EQ(none, "Nothing here.");
}

TEST(VoiceMarkers, AReadingFromTheMiddleKeepsAnOpenEmphasis)
{
    const cVoiceMarkers markers{{2, "<emph>"}, {6, "</emph>"}, {10, "<emph>"}, {20, "</emph>"}};
    EXPECT_EQ(VoiceMarkers::from(markers, 12), cVoiceMarkers({{0, "<emph>"}, {8, "</emph>"}}));
    EXPECT_EQ(VoiceMarkers::from(markers, 7), cVoiceMarkers({{3, "<emph>"}, {13, "</emph>"}}));
}

TEST(VoiceMarkers, PositionsInTheMarkedTextBecomeShownOnes)
{
    // "A <emph>bold</emph> move": "bold" at 8, "move" at 20 in the marked text.
    const cVoiceMarkers markers{{2, "<emph>"}, {6, "</emph>"}};
    EXPECT_EQ(VoiceMarkers::shownPosition(markers, 0), 0);
    EXPECT_EQ(VoiceMarkers::shownPosition(markers, 8), 2);
    EXPECT_EQ(VoiceMarkers::shownPosition(markers, 20), 7);
    // Inside a marker: where it stands.
    EXPECT_EQ(VoiceMarkers::shownPosition(markers, 4), 2);
}

TEST(StoreStarts, EachSentenceKnowsWhereItStartsAfterTrimming)
{
    clsStore store;
    const QString text = "  One.\r\n- Two -\n\n  \"Three\"";
    store.StoreInSentences(text);
    QStringList found;
    qsizetype start = 0;
    for (QString s = store.NextSentence(start); !s.isEmpty(); s = store.NextSentence(start)) {
        EXPECT_EQ(text.mid(start, s.size()), s);
        found << s;
    }
    EXPECT_EQ(found, QStringList({"One.", "Two", "\"Three\""}));
}
