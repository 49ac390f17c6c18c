#include "diagnostics/log.h"
#include "reader/frmMain.h"
#include "readerfixture.h"
#include "settings/lang.h"
#include "settings/settings.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTextEdit>

#include <gtest/gtest.h>

TEST_F(ReaderWindow, FirstStartSelectsTheFirstVoiceAndLogsFreshly)
{
    auto window = start();
    ASSERT_TRUE(m_started);
    EXPECT_EQ(window->windowTitle(), "test_reader 0.1.0");
    auto* engines = child<QComboBox>(*window, "cmbEngine");
    EXPECT_EQ(engines->count(), 3);
    EXPECT_EQ(engines->currentIndex(), 0);
    EXPECT_EQ(m_voice->voice, 0);
    EXPECT_EQ(cSHAREDSettings::shared().RetrieveSetting("LASTENGINE", -1).toInt(), 0);
    auto* pitch = child<QComboBox>(*window, "cmbPitch");
    EXPECT_EQ(pitch->count(), 21);
    EXPECT_EQ(pitch->currentText(), "0");
    EXPECT_FALSE(child<QPushButton>(*window, "cmdReload")->isEnabled());

    const QString log = QString::fromUtf8(readBytes(home.file("log.txt")));
    EXPECT_TRUE(log.contains(", Log file created \r\n"));
    EXPECT_TRUE(log.contains(", Program startup.  test_reader 0.1.0\r\n"));
    EXPECT_TRUE(log.contains(", Startup Complete\r\n"));
    EXPECT_LT(log.indexOf("Initialising Talker"), log.indexOf("Startup Complete"));
}

TEST_F(ReaderWindow, ButtonsShowWordsWithAccessKeysWhateverTheFonts)
{
    auto window = start();
    const QList<QPushButton*> buttons =
        window->findChild<QWidget*>("Frame1")->findChildren<QPushButton*>();
    for (QPushButton* button : buttons) {
        SCOPED_TRACE(button->objectName().toStdString());
        const QKeySequence mnemonic = QKeySequence::mnemonic(button->text());
        EXPECT_FALSE(mnemonic.isEmpty());
        EXPECT_NE(button->font().family().toLower(), "webdings");
        EXPECT_NE(button->font().family().toLower(), "wingdings");
        EXPECT_GT(button->text().size(), 3) << "a word, not a symbol";
    }
    EXPECT_EQ(child<QPushButton>(*window, "cmdRead")->text(), "&Read");
    EXPECT_EQ(child<QPushButton>(*window, "cmdSpeakToWav")->text(), "Read to WA&V");
}

TEST_F(ReaderWindow, StoredVoiceIsFoundByNameThenByIndexWithinTheList)
{
    // The voice a start-up settles on, from the stored settings, with `voices` voices.
    const auto settledOn = [&](const QByteArray& stored, int voices) {
        cSHAREDSettings::shared().DeleteAllSettings();
        writeBytes(home.file("Parlo.ini"), stored);
        auto window = start(voices);
        EXPECT_TRUE(m_started);
        const int shown = child<QComboBox>(*window, "cmbEngine")->currentIndex();
        EXPECT_EQ(m_voice->voice, shown);
        EXPECT_EQ(cSHAREDSettings::shared().RetrieveSetting("LASTENGINE", -1).toInt(), shown);
        window->ShutDown();
        return shown;
    };
    EXPECT_EQ(settledOn("LASTENGINE, 7 \r\n", 2), 1);
    // The list was ordered differently when the voice was chosen (another locale).
    EXPECT_EQ(settledOn("LASTENGINE, 0\r\nLastEngineName, Voice C\r\n", 3), 2);
    // A name the list no longer has leaves the index to decide.
    EXPECT_EQ(settledOn("LASTENGINE, 1\r\nLastEngineName, Gone\r\n", 3), 1);

    // Choosing a voice stores its name beside its index.
    auto window = start(3);
    child<QComboBox>(*window, "cmbEngine")->setCurrentIndex(1);
    EXPECT_EQ(cSHAREDSettings::shared().RetrieveSetting("LastEngineName").toString(), "Voice B");
    window->ShutDown();
}

TEST_F(ReaderWindow, NoVoicesGivesTheInstallMessageAndShutsDown)
{
    auto window = start(0);
    EXPECT_FALSE(m_started);
    ASSERT_EQ(prompt.messages.size(), 1);
    EXPECT_TRUE(prompt.messages[0].startsWith(
        "You must install a Text To Speech engine to use this program.  Visit the Parlo page at "));
    EXPECT_TRUE(window->isShutDown());
    EXPECT_TRUE(QFile::exists(home.file("Parlo.ini")));
}

TEST_F(ReaderWindow, WindowShrinksToSmallScreensAndKeepsTheBookAndButtons)
{
    auto window = start();
    window->show();
    window->resize(200, 100);
    QApplication::processEvents();
    EXPECT_EQ(window->size(), QSize(480, 320)) << "no smaller than that, but that small";
    auto* box = child<QTextEdit>(*window, "RichTextBox1");
    auto* panel = window->findChild<QWidget*>("Frame1");
    EXPECT_GE(box->height(), box->fontMetrics().lineSpacing() * 2);
    EXPECT_GT(panel->y(), box->geometry().bottom());
    EXPECT_LE(panel->geometry().bottom(), window->centralWidget()->height());
    for (QPushButton* button : panel->findChildren<QPushButton*>()) {
        SCOPED_TRACE(button->objectName().toStdString());
        EXPECT_TRUE(panel->rect().contains(button->geometry()));
    }
    window->resize(900, 600);
    QApplication::processEvents();
    EXPECT_GT(box->width(), 800);
    window->ShutDown();
}

TEST_F(ReaderWindow, ShutDownSavesSettingsAndTheReadersPlace)
{
    const QString book = home.file("My Book.txt");
    writeBytes(book, "One. Two. Three. Four.");
    {
        auto window = start();
        ASSERT_TRUE(window->OpenDocument(book));
        EXPECT_EQ(window->windowTitle(), "Parlo - My Book.txt");
        auto* engines = child<QComboBox>(*window, "cmbEngine");
        engines->setCurrentIndex(2);
        auto* box = child<QTextEdit>(*window, "RichTextBox1");
        QTextCursor cursor = box->textCursor();
        cursor.setPosition(10);
        box->setTextCursor(cursor);
        window->close();
        EXPECT_TRUE(window->isShutDown());
    }
    EXPECT_TRUE(readBytes(home.file("Parlo.ini")).contains("LASTENGINE, 2 \r\n"));
    EXPECT_TRUE(readBytes(home.file("BookMarks.ini")).contains("MY BOOK.TXT, 10 \r\n"))
        << readBytes(home.file("BookMarks.ini")).toStdString();

    auto window = start();
    EXPECT_EQ(child<QComboBox>(*window, "cmbEngine")->currentIndex(), 2);
    ASSERT_TRUE(window->OpenDocument(book));
    EXPECT_EQ(child<QTextEdit>(*window, "RichTextBox1")->textCursor().position(), 10);
    window->ShutDown();
}

TEST_F(ReaderWindow, LanguageMenuTranslatesAndComesBack)
{
    auto window = start();
    auto* menu = window->findChild<QMenu*>("mnuLang");
    ASSERT_NE(menu, nullptr);
    const QList<QAction*> entries = menu->actions();
    int german = -1;
    for (int i = 0; i < entries.size(); ++i) {
        if (entries[i]->text() == "Deutsch")
            german = i;
    }
    ASSERT_GT(german, 0) << "the shipped languages are listed";
    auto* quit = child<QPushButton>(*window, "cmdQuit");
    window->chooseLanguage(german);
    EXPECT_NE(quit->toolTip(), "Quit");
    EXPECT_EQ(cSHAREDSettings::shared().RetrieveSetting("LangID").toString(), "Deutsch");
    window->chooseLanguage(0);
    EXPECT_EQ(quit->toolTip(), "Quit (Ctrl+Q)");

    // The choice survives a restart.
    window->chooseLanguage(german);
    const QString translated = quit->toolTip();
    window->ShutDown();
    window.reset();
    cSHAREDSettings::shared().DeleteAllSettings();
    cSharedLang::instance().RevertToEnglish();
    window = start();
    EXPECT_EQ(child<QPushButton>(*window, "cmdQuit")->toolTip(), translated);
    window->ShutDown();
}

TEST_F(ReaderWindow, CaptionsAreTranslatedAtStartUpAndBack)
{
    writeBytes(home.file("Parlo.ini"), "LANGID,Deutsch\r\n");
    auto window = start();
    ASSERT_TRUE(m_started);
    EXPECT_EQ(child<QPushButton>(*window, "cmdRead")->text(), "&Vorlesen");
    EXPECT_EQ(child<QPushButton>(*window, "cmdStopReading")->text(), "&Stopp");
    EXPECT_EQ(window->findChild<QMenu*>("mnuReading")->title(), "&Lesen");
    // And back, as the menu does it.
    window->chooseLanguage(0);
    EXPECT_EQ(child<QPushButton>(*window, "cmdRead")->text(), "&Read");
    EXPECT_EQ(child<QPushButton>(*window, "cmdStopReading")->text(), "&Stop");
    EXPECT_EQ(window->findChild<QMenu*>("mnuReading")->title(), "Readi&ng");
    window->ShutDown();
}

TEST_F(ReaderWindow, UnknownLanguageLeavesEnglish)
{
    writeBytes(home.file("Parlo.ini"), "LANGID,Klingon\r\n");
    auto window = start();
    ASSERT_TRUE(m_started);
    EXPECT_EQ(child<QPushButton>(*window, "cmdQuit")->toolTip(), "Quit (Ctrl+Q)");
    for (QAction* action : window->findChild<QMenu*>("mnuLang")->actions())
        EXPECT_FALSE(action->isChecked()) << action->text().toStdString();
    window->ShutDown();
}

TEST_F(ReaderWindow, ReadStartsAtTheCursorAndStopPurges)
{
    const QString book = home.file("b.txt");
    writeBytes(book, "First sentence. Second sentence. Third.");
    auto window = start();
    ASSERT_TRUE(window->OpenDocument(book));
    auto* box = child<QTextEdit>(*window, "RichTextBox1");
    QTextCursor cursor = box->textCursor();
    cursor.setPosition(16);
    box->setTextCursor(cursor);
    child<QPushButton>(*window, "cmdRead")->click();
    ASSERT_FALSE(m_voice->spoken.isEmpty());
    EXPECT_TRUE(m_voice->spoken.first().endsWith("Second sentence."));
    child<QPushButton>(*window, "cmdStopReading")->click();
    EXPECT_TRUE(m_voice->queue.empty());
    EXPECT_FALSE(window->Talker()->IsReading());
    window->ShutDown();
}

TEST_F(ReaderWindow, AMovedBookOpensAtItsPlaceAndOpeningAloneLosesNoPlace)
{
    QDir().mkpath(home.file("Books"));
    const QString moved = home.file("Books/Moved.txt");
    const QString shorter = home.file("Books/Short.txt");
    writeBytes(moved, "One. Two. Three. Four. Five. Six.");
    writeBytes(shorter, "Now much shorter.");
    // Left in Downloads before; a namesake elsewhere has a place of its own.
    writeBytes(home.file("BookMarks.ini"), "MOVED.TXT, 10 \r\n/home/ann/Downloads/Moved.txt, 10 "
                                           "\r\n/elsewhere/Moved.txt, 3 \r\nSHORT.TXT, 5000 \r\n");
    auto window = start();
    ASSERT_TRUE(window->OpenDocument(moved));
    EXPECT_EQ(box(*window)->textCursor().position(), 10);
    // A place beyond the end opens at the top; leaving without moving keeps the place.
    ASSERT_TRUE(window->OpenDocument(shorter));
    EXPECT_EQ(box(*window)->textCursor().position(), 0);
    ASSERT_TRUE(window->OpenDocument(moved));
    setCursor(*window, 0);
    window->ShutDown();

    const QByteArray saved = readBytes(home.file("BookMarks.ini"));
    EXPECT_TRUE(saved.contains("SHORT.TXT, 5000 \r\n")) << saved.toStdString();
    // No place under Short's path; the book's speech is an entry of its own.
    for (const QByteArray& line : saved.split('\n'))
        EXPECT_FALSE(line.startsWith('/') && line.contains("/SHORT.TXT,")) << line.toStdString();
    // Moved to the top by the reader: that is its place now.
    EXPECT_TRUE(saved.contains("MOVED.TXT, 0 \r\n")) << saved.toStdString();
    EXPECT_TRUE(saved.contains("/ELSEWHERE/MOVED.TXT, 3 \r\n")) << saved.toStdString();
}
