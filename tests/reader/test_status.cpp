// The reader's status bar: its figures worked out without a window, the bar in the window
// in three languages, and the word it gives when no audio device plays the reading.

#include "platform/voice/espeakvoice.h"
#include "reader/readingstatus.h"
#include "readerfixture.h"
#include "voicetestsupport.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <algorithm>

#include <csignal>

namespace {
// Before the test program's QApplication exists: every window here is drawn at twice the size.
const bool kDoubled = qputenv("QT_SCALE_FACTOR", "2");
} // namespace

// ---- The figures -------------------------------------------------------------------

TEST(ReadingStatusFigures, PercentAndChapterFollowThePlace)
{
    cReadingStatus status;
    EXPECT_EQ(status.percent(), 0);
    status.setBook(2000, {{"Two", 1200}, {"One", 200}, {"Three", 1900}});
    EXPECT_EQ(status.percent(), 0);
    EXPECT_EQ(status.chapter(), "");
    status.setPosition(199);
    EXPECT_EQ(status.chapter(), "") << "before the first chapter";
    status.setPosition(200);
    EXPECT_EQ(status.chapter(), "One");
    status.setPosition(1199);
    EXPECT_EQ(status.percent(), 59);
    EXPECT_EQ(status.chapter(), "One");
    status.setPosition(1200);
    EXPECT_EQ(status.percent(), 60);
    EXPECT_EQ(status.chapter(), "Two");
    status.setPosition(1999);
    EXPECT_EQ(status.percent(), 99);
    EXPECT_EQ(status.chapter(), "Three");
    status.setPosition(5000);
    EXPECT_EQ(status.position(), 2000);
    EXPECT_EQ(status.percent(), 100);
    EXPECT_EQ(status.secondsLeft(), 0);
    status.setPosition(-3);
    EXPECT_EQ(status.position(), 0);

    // Another book starts at its beginning, with its own chapters.
    status.setPosition(1500);
    status.setBook(100, {});
    EXPECT_EQ(status.position(), 0);
    status.setPosition(50);
    EXPECT_EQ(status.chapter(), "");
    EXPECT_EQ(status.percent(), 50);
}

TEST(ReadingStatusFigures, BeforeAnyReadingTheTimeLeftComesFromTheRate)
{
    cReadingStatus status;
    // An hour of English at the normal rate.
    status.setBook(61200, {});
    EXPECT_FALSE(status.measured());
    EXPECT_EQ(status.secondsLeft(), 3600);
    EXPECT_EQ(cReadingStatus::wordsPerMinute(0), 175);
    // Ten steps faster is three times the speed, ten slower a third.
    status.setRate(10);
    EXPECT_EQ(cReadingStatus::wordsPerMinute(10), 525);
    EXPECT_EQ(status.secondsLeft(), 1200);
    status.setRate(-10);
    EXPECT_EQ(cReadingStatus::wordsPerMinute(-10), 58);
    EXPECT_EQ(status.secondsLeft(), 10800);
    status.setRate(0);
    status.setPosition(30600);
    EXPECT_EQ(status.secondsLeft(), 1800);
}

TEST(ReadingStatusFigures, TheSpeedMeasuredWhileReadingTakesOver)
{
    cReadingStatus status;
    status.setBook(1000000, {});
    // A voice reading 30 characters a second, sentences of 300 characters: after a minute
    // the figure has moved well towards it, after an hour it is all but that.
    qsizetype at = 0;
    qint64 ms = 5000;
    auto readFor = [&](int sentences) {
        for (int i = 0; i < sentences; ++i) {
            status.sentenceHeard(at, ms);
            at += 300;
            ms += 10000;
        }
    };
    readFor(7);
    EXPECT_TRUE(status.measured());
    EXPECT_GT(status.charactersPerSecond(), 25.0);
    EXPECT_LT(status.charactersPerSecond(), 30.0);
    readFor(360);
    EXPECT_NEAR(status.charactersPerSecond(), 30.0, 0.1);
    status.setPosition(1000000 - 30 * 600);
    EXPECT_NEAR(status.secondsLeft(), 600, 2);

    // At a faster rate the measured speed grows as the voice's does.
    status.setRate(10);
    EXPECT_NEAR(status.charactersPerSecond(), 90.0, 0.3);
    status.setRate(0);

    // A pause is no reading time; nor is a jump ahead or back by the user.
    const double before = status.charactersPerSecond();
    status.sentenceHeard(at, ms);
    status.interrupt();
    status.sentenceHeard(at + 300, ms + 600000);
    status.sentenceHeard(at + 300 + 200000, ms + 610000);
    status.sentenceHeard(at, ms + 620000);
    status.sentenceHeard(at, ms + 620000);
    EXPECT_DOUBLE_EQ(status.charactersPerSecond(), before);

    // A sentence heard across a change of rate is not counted at either.
    status.sentenceHeard(at, ms);
    status.setRate(-10);
    status.sentenceHeard(at + 300, ms + 100);
    status.setRate(0);
    EXPECT_DOUBLE_EQ(status.charactersPerSecond(), before);

    // The speed belongs to the voice, not to the book.
    status.setBook(3000, {});
    EXPECT_NEAR(status.secondsLeft(), 100, 1);
}

// ---- The bar in the window -------------------------------------------------------------

namespace {

class StatusBar : public ReaderWindow {
protected:
    // About half an hour of reading at the normal rate, CHAPTER II past its middle.
    QString halfHourBook()
    {
        const QString sentence = QStringLiteral(
            "Sentence %1 of the book is written to fill a known share of the text box. ");
        QString text = QStringLiteral("A preface.\n\nCHAPTER I\n\n");
        // Of 76 characters each; with the headings and paragraph breaks, 30,611 in all.
        const int count = 401;
        for (int i = 0; i < count; ++i) {
            if (i == count / 2 - 10)
                text += QStringLiteral("\n\nCHAPTER II\n\n");
            else if (i % 8 == 7)
                text += QStringLiteral("\n\n");
            text += sentence.arg(1000 + i);
        }
        const QString path = home.file("Half hour.txt");
        writeBytes(path, text.toUtf8());
        return path;
    }

    static QLabel* label(frmMain& window, const char* name)
    {
        QLabel* found = window.statusBar()->findChild<QLabel*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    // The bar shows a change within half a second; a busy machine may take longer.
    static void expectShown(frmMain& window, const char* name, const QString& text)
    {
        QLabel* shown = label(window, name);
        ASSERT_NE(shown, nullptr);
        EXPECT_TRUE(waitUntil([&] { return shown->isVisibleTo(&window) && shown->text() == text; }))
            << name << ": " << shown->text().toStdString() << " instead of " << text.toStdString();
    }
    static void expectHidden(frmMain& window, const char* name)
    {
        QLabel* hidden = label(window, name);
        ASSERT_NE(hidden, nullptr);
        EXPECT_TRUE(waitUntil([&] { return !hidden->isVisibleTo(&window); }))
            << name << ": " << hidden->text().toStdString();
    }
    static int language(frmMain& window, const QString& title)
    {
        const int index = languageIndex(window, title);
        if (index < 0)
            ADD_FAILURE() << title.toStdString();
        return std::max(index, 0);
    }
};

} // namespace

TEST_F(StatusBar, ShowsThePlaceTheTimeLeftTheSpeedAndThePitch)
{
    const QString book = halfHourBook();
    auto window = start();
    ASSERT_TRUE(m_started);
    window->show();
    expectShown(*window, "lblStatusSpeed", "Speed: 175 words/min");
    expectShown(*window, "lblStatusPitch", "Pitch: 0");
    expectHidden(*window, "lblStatusPosition");
    expectHidden(*window, "lblStatusTimeLeft");
    expectHidden(*window, "lblStatusAudio");

    ASSERT_TRUE(window->OpenDocument(book));
    const int length = box(*window)->document()->characterCount() - 1;
    // Within five seconds of it, so that no figure below is near the next minute.
    ASSERT_GT(length, 17 * (30 * 60 - 5));
    ASSERT_LT(length, 17 * (30 * 60 + 5));
    expectShown(*window, "lblStatusPosition", "Position: 0%");
    expectHidden(*window, "lblStatusChapter");
    expectShown(*window, "lblStatusTimeLeft", "Time left: 30 min");

    // The place is the cursor's until a reading starts.
    setCursor(*window, length / 2 + 1);
    expectShown(*window, "lblStatusPosition", "Position: 50%");
    expectShown(*window, "lblStatusChapter", "Chapter: CHAPTER II");
    expectShown(*window, "lblStatusTimeLeft", "Time left: 15 min");

    // Ten steps slower reads at a third of the speed, ten faster at three times.
    for (int i = 0; i < 10; ++i)
        child<QPushButton>(*window, "cmdSlower")->click();
    expectShown(*window, "lblStatusSpeed", "Speed: 58 words/min");
    expectShown(*window, "lblStatusTimeLeft", "Time left: 45 min");
    setCursor(*window, 0);
    expectShown(*window, "lblStatusTimeLeft", "Time left: 1 h 30 min");
    for (int i = 0; i < 20; ++i)
        child<QPushButton>(*window, "cmdFaster")->click();
    expectShown(*window, "lblStatusSpeed", "Speed: 525 words/min");
    expectShown(*window, "lblStatusTimeLeft", "Time left: 10 min");
    child<QComboBox>(*window, "cmbPitch")->setCurrentText("3");
    expectShown(*window, "lblStatusPitch", "Pitch: +3");
    child<QComboBox>(*window, "cmbPitch")->setCurrentText("-2");
    expectShown(*window, "lblStatusPitch", "Pitch: -2");

    // While reading, the place is the sentence being read.
    child<QPushButton>(*window, "cmdRead")->click();
    expectHidden(*window, "lblStatusChapter");
    ASSERT_TRUE(m_voice->finishNext());
    ASSERT_EQ(selected(*window), "CHAPTER I");
    expectShown(*window, "lblStatusChapter", "Chapter: CHAPTER I");
    expectShown(*window, "lblStatusPosition", "Position: 0%");

    // Made in the language chosen, and again at each change.
    window->chooseLanguage(language(*window, "Deutsch"));
    expectShown(*window, "lblStatusPosition", "Position: 0 %");
    expectShown(*window, "lblStatusChapter", "Kapitel: CHAPTER I");
    expectShown(*window, "lblStatusTimeLeft", "Restzeit: 10 Min.");
    expectShown(*window, "lblStatusSpeed", "Tempo: 525 Wörter/Min.");
    expectShown(*window, "lblStatusPitch", "Tonhöhe: -2");
    window->chooseLanguage(language(*window, "Español"));
    expectShown(*window, "lblStatusTimeLeft", "Tiempo restante: 10 min");
    expectShown(*window, "lblStatusSpeed", "Velocidad: 525 palabras/min");
    window->StopReading();
    window->ShutDown();
}

TEST_F(StatusBar, SaysSoWhenTheVoiceReadsSilentlyInEveryLanguage)
{
    auto window = start();
    ASSERT_TRUE(m_started);
    window->show();
    expectHidden(*window, "lblStatusAudio");
    Q_EMIT m_voice->silentOutputChanged(true);
    expectShown(*window, "lblStatusAudio", "No audio output: reading silently");
    window->chooseLanguage(language(*window, "Deutsch"));
    expectShown(*window, "lblStatusAudio", "Keine Audioausgabe: Es wird lautlos gelesen");
    window->chooseLanguage(language(*window, "Español"));
    expectShown(*window, "lblStatusAudio", "Sin salida de audio: lectura en silencio");
    // A device found again.
    Q_EMIT m_voice->silentOutputChanged(false);
    expectHidden(*window, "lblStatusAudio");
    window->ShutDown();
}

TEST_F(StatusBar, FitsTheSmallestWindowAtDoubleSizeInEveryLanguage)
{
    ASSERT_TRUE(kDoubled);
    ASSERT_EQ(qApp->devicePixelRatio(), 2.0);
    const QString book = halfHourBook();
    auto window = start();
    ASSERT_TRUE(m_started);
    window->show();
    ASSERT_TRUE(window->OpenDocument(book));
    setCursor(*window, box(*window)->document()->characterCount() / 2);
    for (int i = 0; i < 10; ++i)
        child<QPushButton>(*window, "cmdSlower")->click();
    Q_EMIT m_voice->silentOutputChanged(true);
    for (const QString title : {"English", "Deutsch", "Español"}) {
        SCOPED_TRACE(title.toStdString());
        window->chooseLanguage(language(*window, title));
        expectShown(*window, "lblStatusChapter",
                    title == "English"   ? "Chapter: CHAPTER II"
                    : title == "Deutsch" ? "Kapitel: CHAPTER II"
                                         : "Capítulo: CHAPTER II");
        window->resize(window->minimumSize());
        for (int pass = 0; pass < 8; ++pass)
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        EXPECT_EQ(window->size(), window->minimumSize());
        EXPECT_GT(box(*window)->height(), 0);
        const QRect inside = window->rect();
        for (QLabel* figure : window->statusBar()->findChildren<QLabel*>()) {
            if (!figure->isVisibleTo(window.get()))
                continue;
            const QRect at(figure->mapTo(window.get(), QPoint(0, 0)), figure->size());
            EXPECT_TRUE(inside.contains(at)) << figure->text().toStdString();
            EXPECT_GE(figure->width(), figure->fontMetrics().horizontalAdvance(figure->text()))
                << figure->text().toStdString();
        }
    }
    window->ShutDown();
}

TEST_F(StatusBar, FollowsTheReadingAFewTimesASecondNotAtEverySentence)
{
    const QString book = halfHourBook();
    auto window = start();
    ASSERT_TRUE(m_started);
    window->show();
    ASSERT_TRUE(window->OpenDocument(book));
    child<QPushButton>(*window, "cmdRead")->click();
    QLabel* position = label(*window, "lblStatusPosition");
    // Half the book goes by, a quarter of a percent a sentence: shown at every sentence,
    // the place would take fifty values.
    QStringList seen;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(m_voice->finishNext());
        if (!seen.contains(position->text()))
            seen << position->text();
    }
    EXPECT_LE(seen.size(), 2 + clock.elapsed() / 500) << seen.join(", ").toStdString();
    // The last change is shown all the same.
    expectShown(*window, "lblStatusPosition", "Position: 49%");
    window->StopReading();
    window->ShutDown();
}

TEST_F(StatusBar, ScreenReadersFindTheBarAndReadItsFigures)
{
    auto window = start();
    ASSERT_TRUE(m_started);
    window->show();
    QStatusBar* bar = window->statusBar();
    QAccessibleInterface* access = QAccessible::queryAccessibleInterface(bar);
    ASSERT_NE(access, nullptr);
    EXPECT_EQ(access->role(), QAccessible::StatusBar);
    EXPECT_EQ(access->text(QAccessible::Name), "Reading status");
    expectShown(*window, "lblStatusSpeed", "Speed: 175 words/min");
    // Each figure says what it is.
    QLabel* speed = label(*window, "lblStatusSpeed");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(speed)->text(QAccessible::Name),
              "Speed: 175 words/min");
    window->chooseLanguage(language(*window, "Deutsch"));
    EXPECT_EQ(access->text(QAccessible::Name), "Vorlesestatus");
    window->ShutDown();
}

// ---- A real voice without and with a sound server ----------------------------------------

TEST(StatusBarAudio, NoSoundServerIsReportedAndTheReadingGoesOn)
{
    runChildWithoutSoundServer(QStringLiteral("StatusBarChild.DISABLED_NoServer"), "none");
}

TEST(StatusBarAudio, ASoundServerLostWhileReadingIsReported)
{
    runChildWithNullSink(QStringLiteral("StatusBarChild.DISABLED_ServerLost"), "sink");
}

namespace {

class StatusBarChild : public StatusBar {
protected:
    std::unique_ptr<frmMain> readAloud(const QString& text)
    {
        const QString path = home.file("Aloud.txt");
        writeBytes(path, text.toUtf8());
        auto window = start(-1);
        EXPECT_TRUE(m_started);
        if (!m_started)
            return window;
        window->show();
        EXPECT_TRUE(window->OpenDocument(path));
        child<QPushButton>(*window, "cmdRead")->click();
        return window;
    }
};

} // namespace

TEST_F(StatusBarChild, DISABLED_NoServer)
{
    if (!childMode("none"))
        GTEST_SKIP() << "runs inside StatusBarAudio.NoSoundServerIsReportedAndTheReadingGoesOn";
    auto window = readAloud("Nobody hears this. It is read all the same.");
    ASSERT_TRUE(m_started);
    expectShown(*window, "lblStatusAudio", "No audio output: reading silently");
    EXPECT_TRUE(waitUntil([&] { return selected(*window) == "It is read all the same."; }));
    EXPECT_TRUE(waitUntil([&] { return !window->Talker()->isBusy(); }));
    window->ShutDown();
}

TEST_F(StatusBarChild, DISABLED_ServerLost)
{
    if (!childMode("sink"))
        GTEST_SKIP() << "runs inside StatusBarAudio.ASoundServerLostWhileReadingIsReported";
    auto window = readAloud(LongSentence + LongSentence + QStringLiteral("The end."));
    ASSERT_TRUE(m_started);
    // Heard through the server's null sink: nothing to say.
    auto* voice = static_cast<cEspeakVoice*>(window->Talker()->voice());
    ASSERT_TRUE(waitUntil([&] { return voice->playedSamples() > 0; }));
    EXPECT_FALSE(label(*window, "lblStatusAudio")->isVisibleTo(window.get()));
    ASSERT_EQ(::kill(static_cast<pid_t>(qEnvironmentVariableIntValue("PARLO_PULSE_PID")), SIGKILL),
              0);
    expectShown(*window, "lblStatusAudio", "No audio output: reading silently");
    // Some fifteen seconds of speech, heard or not.
    EXPECT_TRUE(waitUntil([&] { return selected(*window) == "The end."; }, 90000));
    window->ShutDown();
}
