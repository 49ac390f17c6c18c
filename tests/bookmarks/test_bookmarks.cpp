#include "reader/bookmarks.h"

#include "diagnostics/failure.h"
#include "diagnostics/log.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <memory>

namespace {

class Bookmarks : public ::testing::Test {
protected:
    // Each cBookmarks is what one run of the program holds.
    std::unique_ptr<cBookmarks> newRun() { return std::make_unique<cBookmarks>(); }
    QString file() const { return home.file("BookMarks.ini"); }
    static QString lastAction() { return cSharedLogging::instance().CurrentAction(); }

    ScopedProgramHome home;
    RecordingPrompt prompt;
};

TEST_F(Bookmarks, PositionsSurviveAnOrderlyExitAndOnlyThat)
{
    auto first = newRun();
    EXPECT_FALSE(first->Initialised());
    EXPECT_EQ(first->retrievebookmark("/books/a.txt"), 0);
    EXPECT_TRUE(first->Initialised());
    EXPECT_EQ(first->BookmarkFile(), file());
    first->storebookmark("/books/a.txt", 120);
    first->storebookmark("/books/b.txt", 7);
    first->storebookmark("/books/a.txt", 125); // replaces, keeps its place
    EXPECT_EQ(first->retrievebookmark("/books/a.txt"), 125);
    // Nothing reaches the disk before the exit.
    EXPECT_FALSE(QFile::exists(file()));
    first->savebookmarks();

    // The described file: upper-cased names in the order first stored, printed numbers.
    const QByteArray bytes = readBytes(file());
    EXPECT_TRUE(bytes.startsWith("A.TXT, 125 \r\n")) << bytes.constData();
    EXPECT_LT(bytes.indexOf("A.TXT, 125"), bytes.indexOf("B.TXT, 7 "));

    auto second = newRun();
    EXPECT_EQ(second->retrievebookmark("/books/a.txt"), 125);
    EXPECT_EQ(second->retrievebookmark("/books/b.txt"), 7);
    EXPECT_EQ(second->retrievebookmark("/books/never.txt"), 0);
    second->storebookmark("/books/b.txt", 8);
    // A run that ends without the orderly exit leaves the previous run's file.
    second.reset();
    EXPECT_EQ(newRun()->retrievebookmark("/books/b.txt"), 7);
    EXPECT_TRUE(prompt.messages.isEmpty() && prompt.errors.isEmpty());
}

TEST_F(Bookmarks, QuotedPathsBlanksAndNonAsciiNamesAreFoundAgain)
{
    const QString path = QString::fromUtf8("/home/ana/Mis libros/Ñandú und Öl – Teil 2.txt");
    auto first = newRun();
    // A command line passes a path with blanks in double quotes.
    first->storebookmark('"' + path + '"', 4711);
    EXPECT_EQ(first->retrievebookmark(path), 4711);
    first->storebookmark("/home/ana/Smith, John - Letters.txt", 33);
    first->savebookmarks();
    // Stored under the bare upper-cased name, without the quotes.
    EXPECT_TRUE(readBytes(file()).startsWith(
        QString::fromUtf8("ÑANDÚ UND ÖL – TEIL 2.TXT, 4711 \r\n").toUtf8()))
        << readBytes(file()).constData();

    auto second = newRun();
    EXPECT_EQ(second->retrievebookmark(path), 4711);
    EXPECT_EQ(second->retrievebookmark('"' + path + '"'), 4711);
    // The file cannot keep a comma in a name; the bookmark is found without it all the same.
    EXPECT_EQ(second->retrievebookmark("/home/ana/Smith, John - Letters.txt"), 33);
}

TEST_F(Bookmarks, NamesakesInDifferentFoldersKeepTheirOwnPlaces)
{
    auto first = newRun();
    first->storebookmark("/books/english/notes.txt", 500);
    // Opened for the first time it has no place of its own and gets its name's, as a moved
    // book must (the reader starts at the top when that lies beyond the text).
    EXPECT_EQ(first->retrievebookmark("/books/german/notes.txt"), 500);
    first->storebookmark("/books/german/NOTES.TXT", 30);
    EXPECT_EQ(first->retrievebookmark("/books/english/notes.txt"), 500);
    first->savebookmarks();

    auto second = newRun();
    EXPECT_EQ(second->retrievebookmark("/books/english/notes.txt"), 500);
    EXPECT_EQ(second->retrievebookmark("/books/german/NOTES.TXT"), 30);
    // Letter case does not tell bookmarks apart, as with every name in the settings file.
    EXPECT_EQ(second->retrievebookmark("/books/german/notes.txt"), 30);
}

TEST_F(Bookmarks, FileFromBeforePathsWereKeptStillWorks)
{
    writeBytes(file(), "MOBY DICK.TXT, 5000 \r\nEMMA.TXT,12\r\n");
    auto run = newRun();
    EXPECT_EQ(run->retrievebookmark("/anywhere/Moby Dick.txt"), 5000);
    EXPECT_EQ(run->retrievebookmark("emma.txt"), 12);
    run->storebookmark("/anywhere/Moby Dick.txt", 5100);
    EXPECT_EQ(run->retrievebookmark("/elsewhere/Moby Dick.txt"), 5100);
    run->savebookmarks();
    const QByteArray bytes = readBytes(file());
    EXPECT_TRUE(bytes.startsWith("MOBY DICK.TXT, 5100 \r\nEMMA.TXT,12\r\n")) << bytes.constData();
}

TEST_F(Bookmarks, AMovedBookOpensAtItsPlace)
{
    auto first = newRun();
    first->storebookmark("/home/ann/Downloads/emma.txt", 5000);
    first->storebookmark("/home/ann/Downloads/other/emma.txt", 80);
    first->storebookmark("/home/ann/Downloads/emma.txt", 5000);
    first->savebookmarks();

    // Moved from Downloads to Books: no entry for the new path, so its name's place.
    auto second = newRun();
    EXPECT_EQ(second->retrievebookmark("/home/ann/Books/emma.txt"), 5000);
    // The namesake keeps its own place.
    EXPECT_EQ(second->retrievebookmark("/home/ann/Downloads/other/emma.txt"), 80);
    second->storebookmark("/home/ann/Books/emma.txt", 5200);
    second->savebookmarks();
    auto third = newRun();
    EXPECT_EQ(third->retrievebookmark("/home/ann/Books/emma.txt"), 5200);
    EXPECT_EQ(third->retrievebookmark("/media/stick/emma.txt"), 5200);
    EXPECT_EQ(third->retrievebookmark("/home/ann/Downloads/other/emma.txt"), 80);
}

TEST_F(Bookmarks, ValuesThatAreNoPositionGiveTheStart)
{
    writeBytes(file(), "WORDS.TXT,abc\r\nHUGE.TXT, 99999999999 \r\nBACK.TXT,-5\r\n"
                       "FINE.TXT, 12 \r\nTRUE.TXT,True\r\nEMPTY.TXT,\r\n");
    auto run = newRun();
    EXPECT_EQ(run->retrievebookmark("/x/fine.txt"), 12);
    EXPECT_EQ(run->retrievebookmark("/x/words.txt"), 0);
    EXPECT_EQ(lastAction(),
              "Type mismatch (13) in function retrievebookmark of module mSHAREDBookmarks");
    EXPECT_EQ(run->retrievebookmark("/x/huge.txt"), 0);
    EXPECT_EQ(lastAction(), "Overflow (6) in function retrievebookmark of module mSHAREDBookmarks");
    EXPECT_EQ(run->retrievebookmark("/x/back.txt"), 0);
    EXPECT_EQ(run->retrievebookmark("/x/true.txt"), 0);
    EXPECT_EQ(run->retrievebookmark("/x/empty.txt"), 0);
    // Empty paths and folders are no documents.
    run->storebookmark("", 3);
    run->storebookmark("/x/", 3);
    run->storebookmark("\"\"", 3);
    EXPECT_EQ(run->BookmarkStore().SettingsCount(), 6);
}

TEST_F(Bookmarks, MissingFileIsCreatedAtExit)
{
    auto run = newRun();
    EXPECT_EQ(run->retrievebookmark("/x/a.txt"), 0);
    EXPECT_TRUE(prompt.messages.isEmpty() && prompt.errors.isEmpty());
    run->storebookmark("/x/a.txt", 1);
    run->savebookmarks();
    EXPECT_TRUE(readBytes(file()).startsWith("A.TXT, 1 \r\n"));
}

TEST_F(Bookmarks, AFullDiskKeepsTheFileAndAsksForSpace)
{
    SmallDisk disk(home.path());
    SKIP_WITHOUT_SMALL_DISK(disk);
    writeBytes(file(), "OLD.TXT, 9 \r\n");
    disk.fill();
    auto run = newRun();
    run->storebookmark("/x/old.txt", 12);
    run->savebookmarks();
    ASSERT_EQ(prompt.questions.size(), 1);
    EXPECT_TRUE(prompt.questions.first().startsWith("You've run out of disk space"));
    EXPECT_EQ(readBytes(file()), "OLD.TXT, 9 \r\n");
}

TEST_F(Bookmarks, ReadOnlyFileIsNeverLost)
{
    writeBytes(file(), "OLD.TXT, 9 \r\n");
    QFile::setPermissions(file(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    auto run = newRun();
    run->storebookmark("/x/new.txt", 4);
    // The store clears the read-only flag when it may; both bookmarks are kept.
    run->savebookmarks();
    EXPECT_TRUE(readBytes(file()).startsWith("OLD.TXT, 9 \r\nNEW.TXT, 4 \r\n"));

    // When the file cannot be written at all, the old one stays whole and the user is told.
    const QByteArray before = readBytes(file());
    run->BookmarkStore().setWriter(
        [](const QString&, const QByteArray&) { return int(Err::PathFileAccess); });
    QFile::setPermissions(file(), QFile::ReadOwner);
    run->storebookmark("/x/new.txt", 5);
    run->savebookmarks();
    EXPECT_EQ(readBytes(file()), before);
    EXPECT_FALSE(prompt.messages.isEmpty() && prompt.errors.isEmpty());
    EXPECT_EQ(run->retrievebookmark("/x/new.txt"), 5);
}

TEST_F(Bookmarks, TwoParlosRunningSideBySideKeepEachOthersBookmarks)
{
    auto left = newRun();
    auto right = newRun();
    EXPECT_EQ(left->retrievebookmark("/x/left.txt"), 0);
    EXPECT_EQ(right->retrievebookmark("/x/right.txt"), 0);
    right->storebookmark("/x/right.txt", 22);
    right->storebookmark("/x/only-right.txt", 44);
    right->savebookmarks();
    left->storebookmark("/x/left.txt", 11);
    // This one showed right.txt too and left it at the top; the later exit wins for it.
    left->storebookmark("/x/right.txt", 0);
    left->savebookmarks();
    auto next = newRun();
    EXPECT_EQ(next->retrievebookmark("/x/left.txt"), 11);
    EXPECT_EQ(next->retrievebookmark("/x/right.txt"), 0);
    EXPECT_EQ(next->retrievebookmark("/x/only-right.txt"), 44);

    // What a run loaded is kept even when the file has been emptied meanwhile.
    writeBytes(file(), "");
    next->storebookmark("/x/third.txt", 3);
    next->savebookmarks();
    auto last = newRun();
    EXPECT_EQ(last->retrievebookmark("/x/left.txt"), 11);
    EXPECT_EQ(last->retrievebookmark("/x/third.txt"), 3);
}

TEST_F(Bookmarks, TheProgramWideModuleServesTheReader)
{
    // One instance for the whole process: it keeps the program folder of its first use.
    mSharedBookmarks::storebookmark("/x/module.txt", 77);
    EXPECT_EQ(mSharedBookmarks::retrievebookmark("/x/module.txt"), 77);
    EXPECT_EQ(&mSharedBookmarks::instance(), &mSharedBookmarks::instance());
    EXPECT_TRUE(mSharedBookmarks::instance().BookmarkFile().endsWith("/BookMarks.ini"));
}

TEST_F(Bookmarks, EachBooksSpeechIsKeptBesideItsPlaceAndSurvivesARestart)
{
    auto first = newRun();
    EXPECT_FALSE(first->retrievespeech("/books/emma.txt"));
    first->storebookmark("/books/emma.txt", 125);
    const cSpeechChoice emma{"Chinese (Mandarin, latin as English)", "f3", 4, -2};
    first->storespeech("/books/emma.txt", emma);
    first->storebookmark("/books/other/notes.txt", 9);
    first->storespeech("/books/other/notes.txt", {"Voice B", "", -3, 0});
    first->savebookmarks();

    auto second = newRun();
    EXPECT_EQ(second->retrievebookmark("/books/emma.txt"), 125);
    EXPECT_EQ(second->retrievespeech("/books/emma.txt"), emma);
    // A moved book takes its name's speech, as it takes its name's place.
    EXPECT_EQ(second->retrievespeech("/elsewhere/Emma.txt"), emma);
    EXPECT_EQ(second->retrievespeech("/books/other/notes.txt")->voice, "Voice B");
    EXPECT_FALSE(second->retrievespeech("/books/never.txt"));
}

TEST_F(Bookmarks, OlderVersionsStillFindThePlacesInTheNewFileAndTheNewReadsTheOld)
{
    // A file from before speech was kept: places found, no speech.
    writeBytes(file(), "EMMA.TXT, 125 \r\n/books/emma.txt, 125 \r\nMOBY DICK.TXT,12\r\n");
    auto run = newRun();
    EXPECT_EQ(run->retrievebookmark("/books/emma.txt"), 125);
    EXPECT_EQ(run->retrievebookmark("/x/Moby Dick.txt"), 12);
    EXPECT_FALSE(run->retrievespeech("/books/emma.txt"));
    run->storespeech("/books/emma.txt", {"Voice A", "m3", 2, 1});
    run->storebookmark("/x/Moby Dick.txt", 40);
    run->storespeech("/x/Moby Dick.txt", {"Voice C", "", 0, 0});
    run->savebookmarks();

    // The places are the lines they always were, in their places; the speech comes after.
    const QByteArray bytes = readBytes(file());
    EXPECT_TRUE(
        bytes.startsWith("EMMA.TXT, 125 \r\n/BOOKS/EMMA.TXT, 125 \r\nMOBY DICK.TXT, 40 \r\n"))
        << bytes.constData();
    EXPECT_TRUE(bytes.contains("VOICE:/BOOKS/EMMA.TXT,2,1,m3,Voice A\r\n")) << bytes.constData();
    // How a version that knows nothing of speech reads the file: the settings store and
    // the two names of a bookmark.
    cSHAREDSettings old;
    old.LoadSettings(file());
    EXPECT_EQ(old.RetrieveSetting("/books/emma.txt", 0).toString().trimmed().toInt(), 125);
    EXPECT_EQ(old.RetrieveSetting("EMMA.TXT", 0).toString().trimmed().toInt(), 125);
    EXPECT_EQ(old.RetrieveSetting("MOBY DICK.TXT", 0).toString().trimmed().toInt(), 40);
    // Such a version saving the file keeps what it did not understand.
    old.StoreSetting("EMMA.TXT", 130);
    ASSERT_TRUE(old.SaveSettings(file()));
    auto next = newRun();
    EXPECT_EQ(next->retrievespeech("/books/emma.txt")->variant, "m3");
}

} // namespace
