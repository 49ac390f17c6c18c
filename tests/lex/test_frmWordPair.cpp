#include "fakevoice.h"
#include "lextest.h"
#include "testsupport.h"
#include "wavinfo.h"

#include "speech/clsdict.h"
#include "speech/editor/frmLex.h"
#include "speech/editor/frmWordPair.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

// The pair window on its own: its flag, its boxes and the Test voice.
namespace {

class WordPairTest : public ::testing::Test {
protected:
    FakeVoice* voiceOf(const frmWordPair& pair)
    {
        return pair.Talker() ? static_cast<FakeVoice*>(pair.Talker()->voice()) : nullptr;
    }

    ScopedProgramHome home;
    RecordingPrompt prompt;
    QStringList voiceLog;
};

TEST_F(WordPairTest, OkAndCancelSetTheFlagAndOnlyHide)
{
    frmWordPair pair(nullptr, fakeVoiceFactory(&voiceLog));
    EXPECT_EQ(pair.windowTitle(), "Word pair setup");
    EXPECT_EQ(pair.lblSay->text(), "Say");
    EXPECT_EQ(pair.lblAs->text(), "as");
    EXPECT_FALSE(pair.Cancelled);

    pair.show();
    pair.setWords("gaol", "jail");
    pair.cmdCancel->click();
    EXPECT_TRUE(pair.Cancelled);
    EXPECT_FALSE(pair.isVisible());
    EXPECT_EQ(pair.originalWord(), "gaol");

    pair.show();
    pair.cmdOK->click();
    EXPECT_FALSE(pair.Cancelled);
    EXPECT_FALSE(pair.isVisible());
    EXPECT_EQ(pair.newWord(), "jail");

    pair.show();
    pair.close();
    EXPECT_TRUE(pair.Cancelled);
}

TEST_F(WordPairTest, TestSaysEachBoxInLowerCaseAndNothingForAnEmptyBox)
{
    frmWordPair pair(nullptr, fakeVoiceFactory(&voiceLog));
    FakeVoice* voice = voiceOf(pair);
    ASSERT_NE(voice, nullptr);
    // The dictionary never applies to Test.
    auto rule = std::make_shared<clsWordPair>();
    rule->OriginalWord = "gaol";
    rule->NewWord = "WRONG";
    PronDict().AddWordPair(rule);

    pair.setWords("GAOL Street", "");
    pair.cmdTest[1]->click();
    EXPECT_TRUE(voice->spoken.isEmpty());
    pair.txtNewWord->setText("   ");
    pair.cmdTest[1]->click();
    EXPECT_TRUE(voice->spoken.isEmpty());

    pair.cmdTest[0]->click();
    pair.txtNewWord->setText("Jail, ÉTÉ");
    pair.cmdTest[1]->click();
    EXPECT_EQ(voice->spoken, (QStringList{"gaol street", "jail, été"}));
    // Test leaves the boxes as typed.
    EXPECT_EQ(pair.originalWord(), "GAOL Street");
    PronDict().ClearWords();
}

TEST_F(WordPairTest, AnOriginalWordWithACommaIsRefused)
{
    frmWordPair pair(nullptr, fakeVoiceFactory(&voiceLog));
    pair.show();
    pair.setWords("Smith, J", "john smith");
    pair.cmdOK->click();
    ASSERT_EQ(prompt.messages.size(), 1);
    EXPECT_TRUE(pair.isVisible());
    pair.txtOriginalWord->setText("J Smith");
    pair.cmdOK->click();
    EXPECT_FALSE(pair.isVisible());
    EXPECT_FALSE(pair.Cancelled);
    EXPECT_EQ(prompt.messages.size(), 1);
}

TEST_F(WordPairTest, PastedLineBreaksBecomeSpaces)
{
    frmWordPair pair(nullptr, fakeVoiceFactory(&voiceLog));
    QApplication::clipboard()->setText("Her\r\nmy\noh\u2029nee");
    pair.txtNewWord->setText("[]");
    pair.txtNewWord->setCursorPosition(1);
    pair.txtNewWord->paste();
    EXPECT_EQ(pair.newWord(), "[Her  my oh nee]");
    EXPECT_EQ(pair.txtNewWord->cursorPosition(), 15);
    pair.setWords("two\nlines", "");
    EXPECT_EQ(pair.originalWord(), "two lines");
}

TEST_F(WordPairTest, WithoutAVoiceTestIsUnavailableButEditingWorks)
{
    clsTalker::VoiceFactory none = [](Failure& failure) -> std::unique_ptr<cSpeechVoice> {
        failure.number = Err::CannotCreateObject;
        failure.description = "no engine";
        return nullptr;
    };
    frmWordPair pair(nullptr, none);
    EXPECT_EQ(pair.Talker(), nullptr);
    EXPECT_FALSE(pair.cmdTest[0]->isEnabled());
    EXPECT_FALSE(pair.cmdTest[1]->isEnabled());
    pair.setWords("a", "b");
    pair.cmdTest[0]->click();
    pair.show();
    pair.cmdOK->click();
    EXPECT_FALSE(pair.Cancelled);
    EXPECT_TRUE(prompt.messages.isEmpty());
}

// Test through the real espeak-ng voice, from the Add button of the list window: the word
// is heard (here: written into a WAV file) while the pair window is open.
TEST_F(WordPairTest, TestSpeaksThroughTheRealVoice)
{
    const QString wav = home.file("test.wav");
    bool heard = false;
    whenPairShown([&](frmWordPair& pair) {
        clsTalker* talker = pair.Talker();
        ASSERT_NE(talker, nullptr);
        Failure failure;
        ASSERT_TRUE(talker->SetWavOutput(wav, failure)) << failure.description.toStdString();
        pair.txtOriginalWord->setText("Hermione");
        pair.txtNewWord->setText("Her my oh nee");
        QTest::mouseClick(pair.cmdTest[1], Qt::LeftButton);
        EXPECT_TRUE(talker->isBusy());
        QElapsedTimer clock;
        clock.start();
        while (talker->isBusy() && clock.elapsed() < 20000)
            QTest::qWait(10);
        heard = !talker->isBusy();
        EXPECT_TRUE(talker->CancelWav(failure));
        pair.cmdOK->click();
    });
    auto lex = std::make_unique<frmLex>();
    lex->show();
    lex->cmdAdd->click();
    EXPECT_TRUE(heard);
    const WavInfo info = WavInfo::read(readBytes(wav));
    ASSERT_TRUE(info.valid);
    EXPECT_TRUE(info.sizesAgree);
    EXPECT_GT(info.peak, 1000);
    EXPECT_GT(info.seconds(), 0.5);
    EXPECT_LT(info.seconds(), 5.0);
    ASSERT_EQ(lex->ListView1->topLevelItemCount(), 1);
    EXPECT_EQ(lex->ListView1->topLevelItem(0)->text(1), "Her my oh nee");
}

} // namespace
