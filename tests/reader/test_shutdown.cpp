// Ending the program from inside work that lets events run: the work unwinds first, and
// what is saved is what was there before it began.
#include "reader/bookmarks.h"
#include "readerfixture.h"

#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QThread>

#include <functional>

namespace {

// Runs `action` from the first pass of the event loop at which `ready` holds; dropped with
// `owner`.
void whenReady(QObject* owner, std::function<bool()> ready, std::function<void()> action)
{
    QMetaObject::invokeMethod(
        owner,
        [owner, ready, action] {
            if (ready())
                action();
            else
                whenReady(owner, ready, action);
        },
        Qt::QueuedConnection);
}

} // namespace

TEST_F(ReaderWindow, ATerminationWhileALargeBookLoadsKeepsTheStoredPlaces)
{
    const QString small = home.file("small.txt");
    writeBytes(small, "Alpha beta. Gamma delta. Epsilon zeta.");
    // Large enough to be read on a worker thread while the window lets events run.
    QByteArray text;
    while (text.size() < 3'000'000)
        text += "Another line of a long book that takes a moment to open.\n";
    const QString large = home.file("large.txt");
    writeBytes(large, text);

    auto window = start();
    mSharedBookmarks::storebookmark(large, 2'500'000);
    ASSERT_TRUE(window->OpenDocument(small));
    setCursor(*window, 12);

    // The first event handled once the box shows that the large book is opening: one
    // posted before the load began, so it comes before the load's own end.
    QObject owner;
    bool askedWhileLoading = false;
    whenReady(
        &owner, [&] { return !box(*window)->placeholderText().isEmpty(); },
        [&] {
            askedWhileLoading = true;
            window->ShutDown();
        });
    QSignalSpy finished(window.get(), &frmMain::shutDownFinished);
    window->OpenDocument(large);
    ASSERT_TRUE(askedWhileLoading);
    EXPECT_TRUE(!finished.isEmpty() || finished.wait(30000));
    EXPECT_TRUE(window->isShutDown());

    const QByteArray marks = readBytes(home.file("BookMarks.ini"));
    EXPECT_TRUE(marks.contains("LARGE.TXT, 2500000 \r\n")) << marks.toStdString();
    EXPECT_TRUE(marks.contains("SMALL.TXT, 12 \r\n")) << marks.toStdString();
    EXPECT_FALSE(marks.contains(", 0 \r\n")) << marks.toStdString();
}

TEST_F(ReaderWindow, AClosingFromInsideASentenceWaitsForTheTalkerToUnwind)
{
    const QString book = home.file("book.txt");
    writeBytes(book, "First sentence here. Second sentence there. Third one. Fourth one.");
    auto window = start();
    ASSERT_TRUE(window->OpenDocument(book));
    window->show();
    QPointer<clsTalker> talker = window->Talker();
    child<QPushButton>(*window, "cmdRead")->click();
    ASSERT_EQ(m_voice->queue.size(), 1u);

    // The voice ends the first sentence; the Talker, still inside that event, starts the
    // next one, and the window lets a close run while it highlights it. The window lets
    // events run at most every 40 ms, so it will then.
    QThread::msleep(50);
    bool inVoiceEvent = false;
    bool closedInside = false;
    bool destroyedInside = false;
    QObject::connect(talker, &QObject::destroyed, [&] { destroyedInside = inVoiceEvent; });
    QMetaObject::invokeMethod(
        window.get(),
        [&] {
            closedInside = inVoiceEvent;
            window->close();
        },
        Qt::QueuedConnection);
    QSignalSpy finished(window.get(), &frmMain::shutDownFinished);
    inVoiceEvent = true;
    m_voice->finishNext();
    inVoiceEvent = false;
    ASSERT_TRUE(closedInside);
    EXPECT_FALSE(destroyedInside) << "the Talker went while its own event was running";
    ASSERT_FALSE(destroyedInside);
    EXPECT_TRUE(!finished.isEmpty() || finished.wait(10000));
    EXPECT_TRUE(window->isShutDown());
    EXPECT_TRUE(talker.isNull());
    EXPECT_FALSE(window->isVisible());
    // The place is the sentence being read when the window was closed.
    EXPECT_TRUE(readBytes(home.file("BookMarks.ini")).contains("BOOK.TXT, 21 \r\n"))
        << readBytes(home.file("BookMarks.ini")).toStdString();
}
