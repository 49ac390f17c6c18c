// What the reader window keeps between runs: the speech, each book's own, the text size, the
// window's place and the recent books.

#include "platform/voice/espeakengine.h"
#include "reader/bookmarks.h"
#include "readerfixture.h"
#include "settings/readermemory.h"

#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>

#include <gtest/gtest.h>

namespace {

class Memory : public ReaderWindow {
protected:
    // A new run of the program over the same program folder.
    std::unique_ptr<frmMain> nextRun()
    {
        // The process-wide bookmarks read their file again, as a new process would.
        mSharedBookmarks::loadbookmarks();
        return start();
    }
    static void choose(frmMain& window, const char* list, const QVariant& data)
    {
        auto* combo = child<QComboBox>(window, list);
        const int index = combo->findData(data);
        ASSERT_GE(index, 0) << list;
        combo->setCurrentIndex(index);
    }
    static void pitch(frmMain& window, int value)
    {
        auto* combo = child<QComboBox>(window, "cmbPitch");
        combo->setCurrentIndex(combo->findText(QString::number(value)));
    }
    // Voice index, variant, speed and pitch as the voice and the window have them.
    QString speech(frmMain& window) const
    {
        return QStringLiteral("%1 %2 %3 %4")
            .arg(m_voice->voice)
            .arg(m_voice->variant.isEmpty() ? QStringLiteral("-") : m_voice->variant)
            .arg(m_voice->rate())
            .arg(child<QComboBox>(window, "cmbPitch")->currentText());
    }
    static QStringList recentEntries(frmMain& window)
    {
        auto* menu = child<QMenu>(window, "mnuRecent");
        Q_EMIT menu->aboutToShow();
        QStringList entries;
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator())
                entries << action->text() + (action->isEnabled() ? "" : " [off]");
        }
        return entries;
    }
    static QAction* recentEntry(frmMain& window, int index)
    {
        recentEntries(window);
        return child<QMenu>(window, "mnuRecent")->actions().value(index);
    }
    static qreal boxPointSize(frmMain& window)
    {
        return box(window)->document()->defaultFont().pointSizeF();
    }
};

} // namespace

TEST_F(Memory, SpeechTextSizeAndPlaceAreThoseLastChosenAfterARestart)
{
    variants = {{"f3", "female3"}, {"m2", "male2"}};
    const QString first = book("First.txt");
    const QString second = book("Second.txt");
    qreal enlarged = 0;
    const QRect place(40, 30, 600, 400);
    {
        auto window = start();
        window->show();
        window->setGeometry(place);
        ASSERT_TRUE(window->OpenDocument(first));
        child<QComboBox>(*window, "cmbEngine")->setCurrentIndex(1);
        choose(*window, "cmbVariant", "f3");
        click(*window, "cmdFaster");
        click(*window, "cmdFaster");
        pitch(*window, 3);
        click(*window, "cmdFontBigger");
        enlarged = box(*window)->textCursor().charFormat().fontPointSize();
        EXPECT_EQ(speech(*window), "1 f3 2 3");
        // A book never read before is read as the last choice, in the text size last chosen.
        ASSERT_TRUE(window->OpenDocument(second));
        EXPECT_EQ(speech(*window), "1 f3 2 3");
        EXPECT_DOUBLE_EQ(boxPointSize(*window), enlarged);
        child<QComboBox>(*window, "cmbEngine")->setCurrentIndex(2);
        choose(*window, "cmbVariant", QString());
        for (int i = 0; i < 3; ++i)
            click(*window, "cmdSlower");
        // The first book comes back with its own speech, and reads and writes with it.
        ASSERT_TRUE(window->OpenDocument(first));
        EXPECT_EQ(speech(*window), "1 f3 2 3");
        click(*window, "cmdRead");
        ASSERT_FALSE(m_voice->spoken.isEmpty());
        EXPECT_EQ(m_voice->spokenVoices.last(), 1);
        EXPECT_EQ(m_voice->spokenVariants.last(), "f3");
        EXPECT_TRUE(m_voice->spoken.last().startsWith("<pitch middle=\"3\">"));
        window->StopReading();
        wavChoice = home.file("out.wav");
        click(*window, "cmdSpeakToWav");
        EXPECT_EQ(m_voice->wavPath, wavChoice);
        EXPECT_EQ(m_voice->spokenVariants.last(), "f3");
        window->StopReading();
        window->ShutDown();
    }
    const QByteArray ini = readBytes(home.file("Parlo.ini"));
    EXPECT_TRUE(ini.contains("LASTENGINENAME,Voice C\r\n")) << ini.constData();
    EXPECT_TRUE(ini.contains("LASTRATE,-1 \r\n")) << ini.constData();

    // The last choice, not the first book's, is the next run's.
    auto window = nextRun();
    window->show();
    EXPECT_EQ(speech(*window), "2 - -1 3");
    EXPECT_EQ(window->geometry(), place);
    ASSERT_TRUE(window->OpenDocument(second));
    EXPECT_DOUBLE_EQ(boxPointSize(*window), enlarged);
    EXPECT_EQ(speech(*window), "2 - -1 3");
    ASSERT_TRUE(window->OpenDocument(first));
    EXPECT_EQ(speech(*window), "1 f3 2 3");
    window->ShutDown();
    mSharedBookmarks::loadbookmarks();
    EXPECT_EQ(mSharedBookmarks::instance().retrievespeech(first)->voice, "Voice B");
}

TEST_F(Memory, ABookWhoseVoiceIsGoneKeepsTheVoiceInUse)
{
    const QString path = book("Old.txt");
    writeBytes(home.file("BookMarks.ini"), "OLD.TXT, 4 \r\nVOICE:OLD.TXT,5,0,gone,Voice Z\r\n");
    auto window = start();
    child<QComboBox>(*window, "cmbEngine")->setCurrentIndex(2);
    ASSERT_TRUE(window->OpenDocument(path));
    EXPECT_EQ(box(*window)->textCursor().position(), 4);
    // The speed still applies; the voice and an unknown variant stay as they were.
    EXPECT_EQ(speech(*window), "2 - 5 0");
    window->ShutDown();
}

TEST_F(Memory, AStoredPlaceOffEveryScreenIsIgnored)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    writeBytes(home.file("Parlo.ini"),
               QStringLiteral("WINDOWLEFT, %1 \r\nWINDOWTOP, 10 \r\nWINDOWWIDTH, 500 \r\n"
                              "WINDOWHEIGHT, 350 \r\nWINDOWMAXIMIZED,-1 \r\n")
                   .arg(screen.right() + 3000)
                   .toUtf8());
    {
        auto window = start();
        window->show();
        EXPECT_TRUE(window->geometry().intersects(screen));
        EXPECT_NE(window->geometry().size(), QSize(500, 350));
        EXPECT_FALSE(window->isMaximized());
        window->ShutDown();
    }
    // Half off the screen's edge: brought inside it.
    writeBytes(home.file("Parlo.ini"),
               QStringLiteral("WINDOWLEFT, %1 \r\nWINDOWTOP, 10 \r\nWINDOWWIDTH, 500 \r\n"
                              "WINDOWHEIGHT, 350 \r\n")
                   .arg(screen.right() - 250)
                   .toUtf8());
    auto window = start();
    window->show();
    EXPECT_EQ(window->geometry(), QRect(screen.right() - 499, 10, 500, 350));
    window->ShutDown();
}

TEST_F(Memory, RecentBooksAreOfferedNewestFirstAndSurviveARestart)
{
    const QString a = book("a.txt");
    const QString b = book("b & c.txt");
    const QString notes1 = book("one/notes.txt");
    const QString notes2 = book("two/notes.txt");
    {
        auto window = start();
        EXPECT_EQ(recentEntries(*window), QStringList({"No recent books [off]"}));
        for (const QString& path : {a, b, notes1, notes2, a})
            ASSERT_TRUE(window->OpenDocument(path));
        // A book that cannot be opened is not offered.
        EXPECT_FALSE(window->OpenDocument(home.file("missing.txt")));
        QFile::remove(notes1);
        EXPECT_EQ(recentEntries(*window),
                  QStringList({"&1 a.txt",
                               "&2 notes.txt (" + QDir::toNativeSeparators(home.file("two")) + ")",
                               "&3 notes.txt (" + QDir::toNativeSeparators(home.file("one")) +
                                   ") (not found) [off]",
                               "&4 b && c.txt", "&Clear List"}));
        EXPECT_EQ(recentEntry(*window, 3)->toolTip(), QDir::toNativeSeparators(b));
        recentEntry(*window, 3)->trigger();
        EXPECT_EQ(window->CurrentFile(), b);
        EXPECT_TRUE(recentEntries(*window).first().startsWith("&1 b && c.txt"));
        // Gone between showing the menu and choosing it: taken off, and the user told.
        QAction* gone = recentEntry(*window, 1);
        QFile::remove(a);
        gone->trigger();
        EXPECT_EQ(window->CurrentFile(), b);
        ASSERT_EQ(prompt.messages.size(), 2) << prompt.messages.join('|').toStdString();
        EXPECT_EQ(prompt.messages.last(),
                  "This book is no longer there and has been taken off the recent books: " + a);
        EXPECT_EQ(recentEntries(*window).size(), 4);
        window->ShutDown();
    }
    auto window = start();
    const QStringList kept = recentEntries(*window);
    ASSERT_EQ(kept.size(), 4);
    EXPECT_EQ(kept[0], "&1 b && c.txt");
    recentEntry(*window, 4)->trigger(); // after the separator: Clear List
    EXPECT_EQ(recentEntries(*window), QStringList({"No recent books [off]"}));
    window->ShutDown();
}

TEST_F(Memory, ABookOpenedWithOthersShowsTheFirstAndOffersTheRest)
{
    QStringList books;
    for (int i = 1; i <= 12; ++i)
        books << book(QStringLiteral("b%1.txt").arg(i, 2, 10, QLatin1Char('0')));
    auto window = start();
    window->offerRecentBooks(books.mid(1));
    window->openFromCommandLine(books.first());
    EXPECT_EQ(window->CurrentFile(), books.first());
    const QStringList entries = recentEntries(*window);
    ASSERT_EQ(entries.size(), 11);
    EXPECT_EQ(entries.mid(0, 3), QStringList({"&1 b01.txt", "&2 b02.txt", "&3 b03.txt"}));
    EXPECT_EQ(entries[9], "1&0 b10.txt");
    window->ShutDown();
}

TEST_F(Memory, TheVariantListIsLabelledNextToTheVoiceAndTranslated)
{
    {
        // A voice without variants shows no list of them.
        auto window = start();
        EXPECT_FALSE(child<QComboBox>(*window, "cmbVariant")->isVisibleTo(window.get()));
        window->ShutDown();
    }
    variants = {{"f1", "female1"}};
    auto window = start();
    auto* list = child<QComboBox>(*window, "cmbVariant");
    EXPECT_TRUE(list->isVisibleTo(window.get()));
    EXPECT_EQ(list->itemText(0), "None");
    EXPECT_EQ(list->itemText(1), "female1");
    EXPECT_EQ(child<QComboBox>(*window, "cmbEngine")->nextInFocusChain(), list);
    auto* label = child<QLabel>(*window, "lblVariant");
    EXPECT_EQ(label->buddy(), list);
    const auto relations =
        QAccessible::queryAccessibleInterface(list)->relations(QAccessible::Label);
    ASSERT_EQ(relations.size(), 1);
    EXPECT_EQ(relations.first().first->object(), label);

    const int german = languageIndex(*window, "Deutsch");
    ASSERT_GT(german, 0);
    window->chooseLanguage(german);
    EXPECT_EQ(list->itemText(0), "Keine");
    EXPECT_EQ(list->itemText(1), "female1");
    EXPECT_EQ(label->text(), "Stimmv&ariante:");
    EXPECT_EQ(child<QMenu>(*window, "mnuRecent")->title(), "Zu&letzt gelesen");
    EXPECT_EQ(recentEntries(*window), QStringList({"Keine zuletzt gelesenen Bücher [off]"}));
    window->chooseLanguage(0);
    EXPECT_EQ(list->itemText(0), "None");
    window->ShutDown();
}

TEST_F(Memory, EspeakVariantsAreOfferedAndReadIntoAFile)
{
    const QString path = book("Short.txt", "A short book. It has two sentences.");
    auto window = start(-1);
    ASSERT_TRUE(m_started);
    auto* list = child<QComboBox>(*window, "cmbVariant");
    EXPECT_TRUE(list->isVisibleTo(window.get()));
    ASSERT_GE(list->findData("f3"), 0);
    EXPECT_EQ(list->itemText(list->findData("m1")), "male1");
    ASSERT_TRUE(window->OpenDocument(path));
    choose(*window, "cmbVariant", "f3");
    wavChoice = home.file("short.wav");
    click(*window, "cmdSpeakToWav");
    ASSERT_TRUE(waitUntil([&] { return !prompt.messages.isEmpty(); }, 60000));
    EXPECT_EQ(prompt.messages.last(), "The reading has been saved in the file " + wavChoice);
    Failure failure;
    cEspeakEngine* engine = cEspeakEngine::instance(failure);
    ASSERT_TRUE(engine);
    EXPECT_TRUE(engine->currentVoiceIdentifier().endsWith("+f3"))
        << engine->currentVoiceIdentifier().constData();
    window->ShutDown();
    EXPECT_EQ(ReaderMemory::speech(cSHAREDSettings::shared()).variant, "f3");
}
