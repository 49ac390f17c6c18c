#include "settings/readermemory.h"
#include "settings/recentbooks.h"
#include "settingstest.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// Each store is what one run of the program holds; save() is its orderly exit.
class Memory : public ::testing::Test {
protected:
    std::unique_ptr<cSHAREDSettings> nextRun()
    {
        auto store = std::make_unique<cSHAREDSettings>();
        store->LoadSettings(file());
        return store;
    }
    void save(cSHAREDSettings& store) { ASSERT_TRUE(store.SaveSettings(file())); }
    QString file() const { return home.file("Parlo.ini"); }
    QString book(const char* name) const { return home.file(QString::fromLatin1(name)); }

    ScopedProgramHome home;
    RecordingPrompt prompt;
};

} // namespace

TEST_F(Memory, RecentBooksAreNewestFirstOnceEachAndAtMostTen)
{
    auto run = nextRun();
    cRecentBooks recent(*run);
    EXPECT_TRUE(recent.books().isEmpty());
    for (int i = 1; i <= 12; ++i)
        recent.add(book(qPrintable(QStringLiteral("b%1.txt").arg(i))));
    QStringList books = recent.books();
    ASSERT_EQ(books.size(), cRecentBooks::Most);
    EXPECT_EQ(books.first(), book("b12.txt"));
    EXPECT_EQ(books.last(), book("b3.txt"));
    // Opened again, by another spelling of its path: moved to the top, not listed twice.
    recent.add('"' + home.path() + "/./sub/../b5.txt" + '"');
    books = recent.books();
    EXPECT_EQ(books.size(), cRecentBooks::Most);
    EXPECT_EQ(books.first(), book("b5.txt"));
    EXPECT_EQ(books.count(book("b5.txt")), 1);
    // Paths tell books apart by letter case, as the file system does.
    recent.add(book("B5.txt"));
    EXPECT_EQ(recent.books().mid(0, 2), QStringList({book("B5.txt"), book("b5.txt")}));
    // What the file cannot hold is not kept.
    recent.add(QStringLiteral("/books/two\nlines.txt"));
    recent.add(QString());
    EXPECT_EQ(recent.books().first(), book("B5.txt"));

    recent.remove(book("b5.txt"));
    EXPECT_FALSE(recent.books().contains(book("b5.txt")));
    EXPECT_EQ(recent.books().size(), cRecentBooks::Most - 1);
    save(*run);

    // The next run finds the list as it was left; RECENT_1 is the newest.
    auto next = nextRun();
    EXPECT_EQ(cRecentBooks(*next).books(), recent.books());
    EXPECT_EQ(next->RetrieveSetting("RECENT_1").toString(), book("B5.txt"));
    EXPECT_EQ(next->LastIndexInSet("RECENT"), cRecentBooks::Most - 1);
    cRecentBooks(*next).clear();
    EXPECT_TRUE(cRecentBooks(*next).books().isEmpty());
    EXPECT_FALSE(next->IsSettingPresent("RECENT_1"));
}

TEST_F(Memory, AHandEditedRecentListIsReadSensibly)
{
    // Gaps, a repeat, a path with a comma (values keep everything after the first comma).
    writeBytes(file(),
               "RECENT_INDEX, 5 \r\nRECENT_1,/books/Smith, John.txt\r\n"
               "RECENT_3,/books/a.txt\r\nRECENT_4,/books/a.txt\r\nRECENT_5,/books/b.txt\r\n");
    auto run = nextRun();
    cRecentBooks recent(*run);
    EXPECT_EQ(recent.books(),
              QStringList({"/books/Smith, John.txt", "/books/a.txt", "/books/b.txt"}));
    recent.add(QStringLiteral("/books/b.txt"));
    EXPECT_EQ(recent.books(),
              QStringList({"/books/b.txt", "/books/Smith, John.txt", "/books/a.txt"}));
    EXPECT_EQ(run->LastIndexInSet("RECENT"), 3);
}

TEST_F(Memory, SpeechTextSizeAndPlaceSurviveARestart)
{
    auto run = nextRun();
    // Nothing stored: the engine's normal speech, no size, no place.
    EXPECT_EQ(ReaderMemory::speech(*run), cSpeechChoice{});
    EXPECT_FALSE(ReaderMemory::fontSize(*run));
    EXPECT_FALSE(ReaderMemory::windowPlace(*run));

    const cSpeechChoice chosen{"Chinese (Mandarin, latin as English)", "f3", -4, 7};
    ReaderMemory::storeSpeech(*run, chosen);
    ReaderMemory::storeFontSize(*run, 13.5);
    ReaderMemory::storeWindowPlace(*run, {QRect(-20, 30, 800, 600), true});
    save(*run);

    auto next = nextRun();
    EXPECT_EQ(ReaderMemory::speech(*next), chosen);
    EXPECT_EQ(ReaderMemory::fontSize(*next), 13.5);
    const auto place = ReaderMemory::windowPlace(*next);
    ASSERT_TRUE(place);
    EXPECT_EQ(place->geometry, QRect(-20, 30, 800, 600));
    EXPECT_TRUE(place->maximized);
    // Numbers are printed as the settings file prints them.
    EXPECT_TRUE(readBytes(file()).contains("LASTRATE,-4 \r\nLASTPITCH, 7 \r\n"));
}

TEST_F(Memory, ValuesThatMakeNoSenseAreLeftAlone)
{
    writeBytes(file(), "LASTRATE, 99 \r\nLASTPITCH,high\r\nFONTSIZE,0\r\n"
                       "WINDOWLEFT,10\r\nWINDOWTOP,10\r\nWINDOWWIDTH,-5\r\nWINDOWHEIGHT,300\r\n");
    auto run = nextRun();
    const cSpeechChoice speech = ReaderMemory::speech(*run);
    EXPECT_EQ(speech.rate, 10);
    EXPECT_EQ(speech.pitch, 0);
    EXPECT_FALSE(ReaderMemory::fontSize(*run));
    EXPECT_FALSE(ReaderMemory::windowPlace(*run));
    writeBytes(file(), "FONTSIZE,1e9\r\n");
    EXPECT_FALSE(ReaderMemory::fontSize(*nextRun()));
}

TEST(SpeechChoice, TextFormKeepsVoiceNamesWithCommasAndRefusesOthers)
{
    const cSpeechChoice choice{"Chinese (Mandarin, latin as English)", "Mr serious", 3, -2};
    EXPECT_EQ(choice.toText(), "3,-2,Mr serious,Chinese (Mandarin, latin as English)");
    EXPECT_EQ(cSpeechChoice::fromText(choice.toText()), choice);
    EXPECT_EQ(cSpeechChoice::fromText(" 0 , 0 ,,Voice A"), (cSpeechChoice{"Voice A", "", 0, 0}));
    EXPECT_EQ(cSpeechChoice::fromText("50,-50,,V")->rate, 10);
    EXPECT_EQ(cSpeechChoice::fromText("50,-50,,V")->pitch, -10);
    for (const char* bad : {"", "3,4,f3", "fast,0,,V", " 125 "})
        EXPECT_FALSE(cSpeechChoice::fromText(QString::fromLatin1(bad))) << bad;
}

TEST(WindowPlace, AStoredPlaceOffEveryScreenIsIgnoredAndOthersAreFitted)
{
    const QRect left(0, 0, 1920, 1080);
    const QRect right(1920, 0, 1280, 1024);
    const QList<QRect> both{left, right};
    // Where it was, on either screen.
    EXPECT_EQ(ReaderMemory::fitToScreens(QRect(100, 100, 800, 600), both),
              QRect(100, 100, 800, 600));
    EXPECT_EQ(ReaderMemory::fitToScreens(QRect(2000, 50, 800, 600), both),
              QRect(2000, 50, 800, 600));
    // The right-hand screen has gone: nothing of the window would show.
    EXPECT_TRUE(ReaderMemory::fitToScreens(QRect(2000, 50, 800, 600), {left}).isNull());
    EXPECT_TRUE(ReaderMemory::fitToScreens(QRect(-5000, -5000, 800, 600), both).isNull());
    // A sliver that cannot be taken hold of counts as off the screen.
    EXPECT_TRUE(ReaderMemory::fitToScreens(QRect(1900, 100, 800, 600), {left}).isNull());
    EXPECT_TRUE(ReaderMemory::fitToScreens(QRect(100, 1070, 800, 600), {left}).isNull());
    // Mostly on a screen: moved inside it, and made smaller where it is larger.
    EXPECT_EQ(ReaderMemory::fitToScreens(QRect(1500, -100, 800, 600), {left}),
              QRect(1120, 0, 800, 600));
    EXPECT_EQ(ReaderMemory::fitToScreens(QRect(2500, 100, 3000, 2000), both),
              QRect(1920, 0, 1280, 1024));
    EXPECT_TRUE(ReaderMemory::fitToScreens(QRect(100, 100, 0, 600), both).isNull());
    EXPECT_TRUE(ReaderMemory::fitToScreens(QRect(100, 100, 800, 600), {}).isNull());
}
