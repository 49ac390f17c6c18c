#include "testsupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

namespace {

// The real program on the test's program folder, offscreen.
void startParlo(QProcess& parlo, const ScopedProgramHome& home, const QStringList& arguments)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PARLO_HOME", home.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    parlo.setProcessEnvironment(env);
    parlo.start(QStringLiteral(PARLO_BINARY), arguments);
    ASSERT_TRUE(parlo.waitForStarted(10000));
}

// Whether the program's log comes to hold the text; the time only bounds a failure.
bool logSays(const ScopedProgramHome& home, const QByteArray& text)
{
    QElapsedTimer clock;
    clock.start();
    while (!readBytes(home.file("log.txt")).contains(text) && clock.elapsed() < 30000)
        QThread::msleep(50);
    return readBytes(home.file("log.txt")).contains(text);
}

} // namespace

// The real program, ended by the system instead of the user, still keeps the reader's
// place and settings.
TEST(ReaderTermination, TerminateSignalSavesBookmarksAndSettings)
{
    ScopedProgramHome home;
    const QString book = home.file("Long book.txt");
    QByteArray text;
    for (int i = 0; i < 200; ++i)
        text += "This is sentence number " + QByteArray::number(i) + " of a long book. ";
    writeBytes(book, text);

    QProcess parlo;
    startParlo(parlo, home, {book});
    // "Startup Complete" comes before the book is opened; its reading is what counts here.
    ASSERT_TRUE(logSays(home, ("Reading " + book).toUtf8()))
        << parlo.readAllStandardError().toStdString();
    parlo.terminate();
    ASSERT_TRUE(parlo.waitForFinished(20000));
    EXPECT_EQ(parlo.exitStatus(), QProcess::NormalExit);

    EXPECT_TRUE(QFile::exists(home.file("Parlo.ini")));
    EXPECT_TRUE(readBytes(home.file("BookMarks.ini")).startsWith("LONG BOOK.TXT,"));
}

// A file manager opening several books at once: the first is read, the others are offered
// in the recent books, in the order given.
TEST(ReaderTermination, BooksOpenedTogetherShowTheFirstAndOfferTheRest)
{
    ScopedProgramHome home;
    QStringList books;
    for (const char* name : {"first.txt", "second.txt", "third.txt"}) {
        books << home.file(QString::fromLatin1(name));
        writeBytes(books.last(), "One sentence. Another one.");
    }
    QProcess parlo;
    startParlo(parlo, home, books);
    ASSERT_TRUE(logSays(home, ("Reading " + books.first()).toUtf8()))
        << parlo.readAllStandardError().toStdString();
    parlo.terminate();
    ASSERT_TRUE(parlo.waitForFinished(20000));

    const QByteArray ini = readBytes(home.file("Parlo.ini"));
    EXPECT_TRUE(ini.contains(
        ("RECENT_1," + books[0] + "\r\nRECENT_2," + books[1] + "\r\nRECENT_3," + books[2] + "\r\n")
            .toUtf8()))
        << ini.constData();
}
