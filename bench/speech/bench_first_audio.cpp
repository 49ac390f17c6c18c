// From the start of a reading to the first audio handed to the output, for a 3 MB book
// started at its beginning and at its middle, against a reading of one short sentence.
#include "benchutil.h"
#include "files/filesubs.h"
#include "speech/clsstore.h"
#include "speech/clstalker.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <cstdio>

namespace {

const char* kCorpusBook = "/work/shared/corpus/books/2600-0.txt";

QString threeMegabytes()
{
    QString book;
    if (cSharedFileSubs::instance().LoadTextFile(QString::fromLatin1(kCorpusBook), book) &&
        book.size() >= 3000000)
        return book;
    const QString paragraph = QStringLiteral(
        "It was a bright cold day in the country, and the travellers went on. They spoke of "
        "the harvest, of the weather, and of the war! Who could say what would come?\r\n\r\n");
    book.clear();
    while (book.size() < 3000000)
        book += paragraph;
    return book;
}

// Milliseconds from handing the text to the Talker to the voice's first audio.
double firstAudio(clsTalker& talker, const QString& text)
{
    QEventLoop loop;
    QElapsedTimer timer;
    double elapsed = -1;
    const auto connection =
        QObject::connect(talker.voice(), &cSpeechVoice::audioStarted, &loop, [&](int stream) {
            // Only this reading's first stream counts, never a late one of the last run.
            if (elapsed < 0 && stream == talker.speakingStream())
                elapsed = double(timer.nsecsElapsed()) / 1e6;
            if (elapsed >= 0)
                loop.quit();
        });
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    timer.start();
    talker.StoreTextFile(text);
    talker.ReadText();
    if (elapsed < 0)
        loop.exec();
    QObject::disconnect(connection);
    talker.StopSpeaking();
    // Let the purge settle before the next run.
    QEventLoop settle;
    QTimer::singleShot(50, &settle, &QEventLoop::quit);
    settle.exec();
    return elapsed;
}

double medianFirstAudio(clsTalker& talker, const QString& text, int runs)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(firstAudio(talker, text));
    return median(times);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString book = threeMegabytes();
    const QString middle = book.mid(book.size() / 2);
    clsTalker talker;
    Failure failure;
    if (!talker.InitEngine(failure)) {
        std::fprintf(stderr, "no voice: %s\n", qPrintable(failure.description));
        return 2;
    }
    const int runs = 9;
    firstAudio(talker, QStringLiteral("Warming up."));
    const double reference = medianFirstAudio(talker, QStringLiteral("Hello there."), runs);
    const double fromStart = medianFirstAudio(talker, book, runs);
    const double fromMiddle = medianFirstAudio(talker, middle, runs);
    clsStore store;
    const double split = medianMicros(runs, [&] { store.StoreInSentences(book); }) / 1000.0;

    std::printf("First audio after StoreTextFile + ReadText, median of %d runs\n", runs);
    std::printf("  one sentence             %7.2f ms (reference)\n", reference);
    std::printf("  %.1f MB book, start       %7.2f ms  ratio %.2f\n", book.size() / 1e6, fromStart,
                fromStart / reference);
    std::printf("  %.1f MB book, middle      %7.2f ms  ratio %.2f\n", book.size() / 1e6, fromMiddle,
                fromMiddle / reference);
    std::printf("  splitting the book alone %7.2f ms (%d sentences)\n", split, store.count());
    const bool met = fromStart >= 0 && fromMiddle >= 0 && fromStart < 50 && fromMiddle < 50;
    std::printf("  target: both < 50 ms: %s\n", met ? "met" : "NOT MET");
    return met ? 0 : 1;
}
