#include "reader/wordmark.h"
#include "readerfixture.h"

#include <QAction>
#include <QPushButton>

// The mark of the word being spoken, in the reader window on a fake voice.
namespace {

class WordMark : public ReaderWindow {
protected:
    static cWordMark* mark(frmMain& window) { return child<cWordMark>(window, "wordMark"); }
    static QAction* setting(frmMain& window) { return child<QAction>(window, "mnuMarkWord"); }
    // Reports the word of the piece being spoken that starts with `word`.
    void report(const QString& word)
    {
        const QString spoken = m_voice->spoken.last();
        const qsizetype at = spoken.indexOf(word);
        ASSERT_GE(at, 0) << spoken.toStdString();
        m_voice->reportWord(int(at), int(word.size()));
    }
};

} // namespace

TEST_F(WordMark, FollowsTheVoicesWordsThroughPronunciationsAndHiddenEmphasis)
{
    writeBytes(home.file("pl2Dict.txt"), "Dr,Doctor\r\n");
    auto window = start();
    writeBytes(home.file("who.htm"),
               "<p>First part here. Dr <b>Who</b> came back.</p>\n<p>Then went.</p>");
    ASSERT_TRUE(window->OpenDocument(home.file("who.htm")));
    const QString shown = box(*window)->toPlainText();
    ASSERT_TRUE(shown.startsWith("First part here. Dr Who came back.")) << shown.toStdString();
    EXPECT_EQ(setting(*window)->isChecked(), true);
    EXPECT_EQ(mark(*window)->markedStart(), -1);

    setCursor(*window, int(shown.indexOf("Dr")));
    child<QPushButton>(*window, "cmdRead")->click();
    // The voice gets the emphasis the box does not show, and the highlight is the sentence.
    ASSERT_EQ(m_voice->spoken, QStringList({"Doctor <emph>Who</emph> came back."}));
    EXPECT_EQ(selected(*window), "Dr Who came back.");

    report("Who");
    const int who = int(shown.indexOf("Who"));
    EXPECT_EQ(mark(*window)->markedStart(), who);
    EXPECT_EQ(mark(*window)->markedLength(), 3);
    // The first word is marked at once, under the word.
    EXPECT_FALSE(mark(*window)->isHidden());
    QTextCursor at(box(*window)->document());
    at.setPosition(who);
    const QRect word = box(*window)->cursorRect(at);
    EXPECT_EQ(mark(*window)->geometry().left(), word.left());
    EXPECT_EQ(mark(*window)->geometry().bottom(), word.bottom());
    EXPECT_GT(mark(*window)->width(), 1);

    report("Doctor");
    EXPECT_EQ(mark(*window)->markedStart(), shown.indexOf("Dr"));
    EXPECT_EQ(mark(*window)->markedLength(), 2);

    ASSERT_TRUE(m_voice->finishNext());
    EXPECT_EQ(selected(*window), "Then went.");
    report("went");
    EXPECT_EQ(mark(*window)->markedStart(), shown.indexOf("went"));

    child<QPushButton>(*window, "cmdStopReading")->click();
    EXPECT_EQ(mark(*window)->markedStart(), -1);
    EXPECT_TRUE(mark(*window)->isHidden());
    window->ShutDown();
}

TEST_F(WordMark, TheSettingTurnsItOffAndIsKept)
{
    const QString path = home.file("a.txt");
    writeBytes(path, "One two three. Four five.");
    {
        auto window = start();
        ASSERT_TRUE(setting(*window)->isChecked());
        setting(*window)->trigger();
        EXPECT_FALSE(setting(*window)->isChecked());
        window->OpenDocument(path);
        child<QPushButton>(*window, "cmdRead")->click();
        report("two");
        EXPECT_EQ(mark(*window)->markedStart(), -1);
        EXPECT_TRUE(mark(*window)->isHidden());
        window->ShutDown();
    }
    const QString ini = QString::fromUtf8(readBytes(home.file("Parlo.ini")));
    EXPECT_TRUE(ini.contains("MarkSpokenWord, 0 \r\n", Qt::CaseInsensitive)) << ini.toStdString();

    auto window = start();
    EXPECT_FALSE(setting(*window)->isChecked());
    EXPECT_FALSE(window->Talker()->followsWords());
    setting(*window)->trigger();
    window->OpenDocument(path);
    setCursor(*window, 0);
    child<QPushButton>(*window, "cmdRead")->click();
    report("two");
    EXPECT_EQ(mark(*window)->markedStart(), 4);
    // Turned off while reading, the mark goes at once.
    setting(*window)->trigger();
    EXPECT_TRUE(mark(*window)->isHidden());
    window->ShutDown();
}
