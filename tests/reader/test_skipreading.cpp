// Skipping by sentence and paragraph in the reader window, while reading, paused and
// stopped, at the start and the end of the book.

#include "readerfixture.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QTest>

namespace {

const QByteArray kBook = "One. Two. Three.\r\n\r\nFour. Five.";

// Where words are in the book as shown, one character a line break.
int shownAt(const char* words)
{
    return int(QString::fromLatin1(kBook).replace("\r\n", "\n").indexOf(QLatin1String(words)));
}

class Skipping : public ReaderWindow {
protected:
    std::unique_ptr<frmMain> opened(const QByteArray& text = kBook)
    {
        writeBytes(home.file("book.txt"), text);
        auto window = start();
        EXPECT_TRUE(window->OpenDocument(home.file("book.txt")));
        // Bookmarks go by the file's name, and an earlier test may have left one.
        setCursor(*window, 0);
        return window;
    }
    void skip(frmMain& window, const char* name) { child<QAction>(window, name)->trigger(); }
    QString lastSpoken() const
    {
        return m_voice->spoken.isEmpty() ? QString() : m_voice->spoken.last();
    }
    bool busy(frmMain& window) const { return window.Talker()->isBusy(); }
};

} // namespace

TEST_F(Skipping, WhileReadingTheVoiceGoesOnFromTheNewSentence)
{
    auto window = opened();
    click(*window, "cmdRead");
    EXPECT_EQ(selected(*window), "One.");
    skip(*window, "mnuForwardSentence");
    EXPECT_EQ(selected(*window), "Two.");
    EXPECT_TRUE(lastSpoken().endsWith("Two."));
    skip(*window, "mnuForwardParagraph");
    EXPECT_EQ(selected(*window), "Four.");
    // The last sentence lies within the last five characters: a skip still reads it
    // rather than starting the book over.
    skip(*window, "mnuForwardSentence");
    EXPECT_EQ(selected(*window), "Five.");
    EXPECT_TRUE(lastSpoken().endsWith("Five."));
    skip(*window, "mnuBackParagraph");
    EXPECT_EQ(selected(*window), "Four.");
    skip(*window, "mnuBackSentence");
    EXPECT_EQ(selected(*window), "Three.");
    skip(*window, "mnuBackParagraph");
    EXPECT_EQ(selected(*window), "One.");
    // At the start, back stays on the first sentence and reads it again.
    const qsizetype spoken = m_voice->spoken.size();
    skip(*window, "mnuBackSentence");
    EXPECT_EQ(selected(*window), "One.");
    EXPECT_GT(m_voice->spoken.size(), spoken);
    EXPECT_TRUE(lastSpoken().endsWith("One."));
    EXPECT_EQ(m_voice->queue.size(), 1u) << "the voice was emptied before reading on";
    speakOn();
    EXPECT_EQ(selected(*window), "Two.");
    EXPECT_TRUE(busy(*window));
    window->ShutDown();
}

TEST_F(Skipping, WhilePausedTheReadingStaysPausedAtTheNewPlace)
{
    auto window = opened();
    click(*window, "cmdRead");
    click(*window, "cmdPause");
    ASSERT_TRUE(m_voice->paused);
    const qsizetype spoken = m_voice->spoken.size();
    skip(*window, "mnuForwardSentence");
    skip(*window, "mnuForwardSentence");
    EXPECT_EQ(selected(*window), "Three.");
    EXPECT_TRUE(window->IsPaused());
    EXPECT_TRUE(m_voice->paused);
    EXPECT_EQ(m_voice->spoken.size(), spoken) << "nothing is said while paused";
    skip(*window, "mnuBackSentence");
    EXPECT_EQ(selected(*window), "Two.");

    click(*window, "cmdPause");
    EXPECT_FALSE(window->IsPaused());
    EXPECT_FALSE(m_voice->paused);
    EXPECT_TRUE(lastSpoken().endsWith("Two."));
    EXPECT_EQ(selected(*window), "Two.");
    speakOn();
    EXPECT_EQ(selected(*window), "Three.");

    // A stop forgets the skip: pausing and resuming later starts nothing.
    click(*window, "cmdPause");
    skip(*window, "mnuForwardParagraph");
    EXPECT_EQ(selected(*window), "Four.");
    click(*window, "cmdStopReading");
    EXPECT_EQ(box(*window)->textCursor().position(), shownAt("Four."));
    click(*window, "cmdPause");
    click(*window, "cmdPause");
    EXPECT_FALSE(busy(*window));
    window->ShutDown();
}

TEST_F(Skipping, ForwardFromTheLastSentenceEndsTheReadingCleanly)
{
    for (const char* step : {"mnuForwardSentence", "mnuForwardParagraph"}) {
        for (bool paused : {false, true}) {
            SCOPED_TRACE(std::string(step) + (paused ? " paused" : " reading"));
            auto window = opened();
            setCursor(*window, shownAt("Four."));
            click(*window, "cmdRead");
            speakOn();
            ASSERT_EQ(selected(*window), "Five.");
            if (paused)
                click(*window, "cmdPause");
            skip(*window, step);
            EXPECT_FALSE(busy(*window));
            EXPECT_FALSE(window->Talker()->IsReading());
            EXPECT_FALSE(window->IsPaused());
            EXPECT_FALSE(m_voice->paused);
            EXPECT_TRUE(m_voice->queue.empty());
            EXPECT_EQ(selected(*window), "");
            EXPECT_EQ(box(*window)->textCursor().position(), box(*window)->toPlainText().size());
            // Read then starts the book over.
            click(*window, "cmdRead");
            EXPECT_EQ(selected(*window), "One.");
            window->ShutDown();
        }
    }
}

TEST_F(Skipping, WhileStoppedOnlyTheCaretMoves)
{
    auto window = opened();
    skip(*window, "mnuForwardSentence");
    EXPECT_EQ(box(*window)->textCursor().position(), shownAt("Two."));
    skip(*window, "mnuForwardParagraph");
    EXPECT_EQ(box(*window)->textCursor().position(), shownAt("Four."));
    skip(*window, "mnuBackSentence");
    EXPECT_EQ(box(*window)->textCursor().position(), shownAt("Three."));
    EXPECT_TRUE(m_voice->spoken.isEmpty());
    EXPECT_FALSE(busy(*window));
    click(*window, "cmdRead");
    EXPECT_EQ(selected(*window), "Three.");
    window->ShutDown();
}

TEST_F(Skipping, MenuItemsNameTheirKeysInEveryLanguageAndTheKeysWork)
{
    auto window = opened();
    QAction* forward = child<QAction>(*window, "mnuForwardSentence");
    EXPECT_EQ(forward->text(), "Forward a Sente&nce");
    EXPECT_EQ(forward->toolTip(),
              "On to the next sentence (" +
                  QKeySequence(Qt::ALT | Qt::Key_Right).toString(QKeySequence::NativeText) + ")");
    EXPECT_TRUE(child<QMenu>(*window, "mnuReading")->actions().contains(forward));
    window->chooseLanguage(languageIndex(*window, "Deutsch"));
    EXPECT_EQ(forward->text(), QString::fromUtf8("Nächster Sat&z"));
    EXPECT_TRUE(forward->toolTip().startsWith(QString::fromUtf8("Weiter zum nächsten Satz (")))
        << forward->toolTip().toStdString();
    window->chooseLanguage(0);
    EXPECT_EQ(child<QAction>(*window, "mnuBackParagraph")->text(), "Back a Paragrap&h");

    // The keys work with the focus in the book.
    window->show();
    window->activateWindow();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    box(*window)->setFocus();
    click(*window, "cmdRead");
    box(*window)->setFocus();
    QTest::keyClick(box(*window), Qt::Key_Right, Qt::AltModifier);
    EXPECT_EQ(selected(*window), "Two.");
    QTest::keyClick(box(*window), Qt::Key_Down, Qt::AltModifier);
    EXPECT_EQ(selected(*window), "Four.");
    QTest::keyClick(box(*window), Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(selected(*window), "One.");
    EXPECT_EQ(box(*window)->toPlainText(), QString::fromLatin1(kBook).replace("\r\n", "\n"));
    window->ShutDown();
}
