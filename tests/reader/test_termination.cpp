#include "testsupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

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
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PARLO_HOME", home.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    parlo.setProcessEnvironment(env);
    parlo.start(QStringLiteral(PARLO_BINARY), {book});
    ASSERT_TRUE(parlo.waitForStarted(10000));

    QElapsedTimer clock;
    clock.start();
    while (!readBytes(home.file("log.txt")).contains("Startup Complete") && clock.elapsed() < 30000)
        QThread::msleep(50);
    ASSERT_TRUE(readBytes(home.file("log.txt")).contains("Startup Complete"))
        << parlo.readAllStandardError().toStdString();
    QThread::msleep(300);
    parlo.terminate();
    ASSERT_TRUE(parlo.waitForFinished(20000));
    EXPECT_EQ(parlo.exitStatus(), QProcess::NormalExit);

    EXPECT_TRUE(QFile::exists(home.file("Parlo.ini")));
    EXPECT_TRUE(readBytes(home.file("BookMarks.ini")).startsWith("LONG BOOK.TXT,"));
}
