// The mark of the word being spoken, in the reader window, offscreen:
//  1. following a whole 3 MB book at the highest speed with the word mark, against the
//     sentence highlight alone, in turns in one run. The voice speaks at once and reports
//     every word, so the window does all its work back to back: no speed of the voice asks
//     more of it (ratio, target at most 1.10);
//  2. with the espeak-ng voice, how long after its audio the first word of a reading is
//     marked: the audio output's own count of played samples says when the word was heard
//     (median, target at most 50 ms).
// Uses the corpus book when it is there, made-up text otherwise.
#include "../benchapp.h"
#include "benchutil.h"
#include "platform/voice/audiooutput.h"
#include "reader/frmMain.h"
#include "reader/wordmark.h"
#include "readerbench.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>

namespace {

using readerbench::settle;
using readerbench::threeMegabyteBook;
using readerbench::write;

// Speaks everything at once: each text's words, then its end, from the event loop, as the
// espeak-ng voice reports them.
class InstantVoice : public cSpeechVoice {
public:
    QStringList voiceDescriptions() const override { return {QStringLiteral("Instant")}; }
    bool selectVoice(int index) override { return index == 0; }
    int currentVoice() const override { return 0; }
    QStringList audioOutputs() const override { return {QStringLiteral("None")}; }
    bool selectOutput(int index) override { return index == 0; }
    int speak(const QString& text, int flags) override
    {
        if (flags & PurgeBeforeSpeak) {
            ++m_generation;
            if (text.isEmpty())
                return 0;
        }
        const int stream = m_next++;
        const quint64 generation = m_generation;
        QMetaObject::invokeMethod(
            this,
            [this, text, stream, generation] {
                for (qsizetype i = 0; i < text.size() && generation == m_generation;) {
                    if (text[i] == u'<') {
                        const qsizetype close = text.indexOf(u'>', i);
                        i = close < 0 ? text.size() : close + 1;
                    } else if (text[i].isLetterOrNumber()) {
                        qsizetype end = i;
                        while (end < text.size() && text[end].isLetterOrNumber())
                            ++end;
                        Q_EMIT wordBoundary(stream, int(i), int(end - i));
                        i = end;
                    } else {
                        ++i;
                    }
                }
                if (generation == m_generation)
                    Q_EMIT endStream(stream);
            },
            Qt::QueuedConnection);
        return stream;
    }
    void pause() override {}
    void resume() override {}
    int rate() const override { return m_rate; }
    bool setRate(int rate) override
    {
        m_rate = rate;
        return rate >= -10 && rate <= 10;
    }
    bool openWavFile(const QString&) override { return false; }
    bool closeWavFile(QString* = nullptr) override { return false; }
    bool wavFileOpen() const override { return false; }

private:
    quint64 m_generation = 0;
    int m_next = 1;
    int m_rate = 0;
};

std::unique_ptr<frmMain> startWindow(clsTalker::VoiceFactory factory)
{
    frmMain::Options options;
    options.showSplash = false;
    options.voiceFactory = std::move(factory);
    auto window = std::make_unique<frmMain>(options);
    if (!window->startUp())
        return nullptr;
    window->show();
    return window;
}

void setMarking(frmMain& window, bool on)
{
    auto* action = window.findChild<QAction*>(QStringLiteral("mnuMarkWord"));
    if (action->isChecked() != on)
        action->trigger();
}

// Milliseconds of this thread's processor time: all the window's work is done here, and
// a machine busy with other work does not count against it.
double threadMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Milliseconds of processor time to read the whole book from its top.
double followBookMs(frmMain& window)
{
    auto* box = window.findChild<QTextEdit*>(QStringLiteral("RichTextBox1"));
    QTextCursor top(box->document());
    box->setTextCursor(top);
    QEventLoop loop;
    const auto done =
        QObject::connect(window.Talker(), &clsTalker::ReadingFinished, &loop, &QEventLoop::quit);
    const double before = threadMs();
    window.findChild<QPushButton*>(QStringLiteral("cmdRead"))->click();
    if (window.Talker()->isBusy())
        loop.exec();
    const double ms = threadMs() - before;
    QObject::disconnect(done);
    window.StopReading();
    return ms;
}

// Milliseconds from the audio of a reading's first word to its mark; -1 when none came.
double firstWordLateMs(frmMain& window)
{
    auto* output = window.Talker()->voice()->findChild<cAudioOutput*>();
    auto* mark = window.findChild<cWordMark*>(QStringLiteral("wordMark"));
    if (!output || !mark)
        return -1;
    QElapsedTimer clock;
    clock.start();
    qint64 updatedAt = 0;
    qint64 playedThen = output->playedSamples();
    double audioStartNs = -1;
    double late = -1;
    QEventLoop loop;
    const auto played = QObject::connect(output, &cAudioOutput::samplesPlayed, &loop, [&] {
        updatedAt = clock.nsecsElapsed();
        playedThen = output->playedSamples();
    });
    // Connected after the voice, so the window has had the word when this runs.
    const auto reached =
        QObject::connect(output, &cAudioOutput::eventReached, &loop, [&](const cVoiceEvent& e) {
            if (e.kind == cVoiceEvent::AudioStarted && audioStartNs < 0)
                audioStartNs = double(clock.nsecsElapsed());
            if (e.kind != cVoiceEvent::Word || late >= 0 || mark->markedStart() < 0 ||
                mark->isHidden())
                return;
            // When the word was heard, by the output's count as it stood at its last update.
            const double heardNs =
                double(updatedAt) - double(playedThen - e.sample) * 1e9 / cAudioOutput::SampleRate;
            late = (double(clock.nsecsElapsed()) - heardNs) / 1e6;
            loop.quit();
        });
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    window.findChild<QPushButton*>(QStringLiteral("cmdRead"))->click();
    loop.exec();
    QObject::disconnect(played);
    QObject::disconnect(reached);
    window.StopReading();
    return late;
}

} // namespace

int main(int argc, char** argv)
{
    benchapp::Application app(argc, argv);
    const QTemporaryDir& home = app.home;
    const QString book = home.filePath(QStringLiteral("book.txt"));
    write(book, threeMegabyteBook());

    // 1. The whole book, marking words and not, in turns.
    double ratio = 0;
    {
        auto window = startWindow([](Failure&) { return std::make_unique<InstantVoice>(); });
        if (!window) {
            std::fprintf(stderr, "the reader window could not start\n");
            return 1;
        }
        for (int step = 0; step < 10; ++step)
            window->Talker()->Faster();
        window->OpenDocument(book);
        std::vector<double> times[2];
        for (int run = 0; run < 5; ++run) {
            for (const bool marking : {false, true}) {
                setMarking(*window, marking);
                times[marking].push_back(followBookMs(*window));
            }
        }
        const double sentenceMs = median(times[0]);
        const double wordMs = median(times[1]);
        ratio = wordMs / sentenceMs;
        std::printf("follow 3 MB at the highest speed: sentence highlight alone %8.1f ms, with the "
                    "word mark %8.1f ms   ratio %.3f (target <= 1.10)\n",
                    sentenceMs, wordMs, ratio);
        setMarking(*window, true);
        window->ShutDown();
    }

    // 2. The first word of a reading, with the real voice.
    const QString short_ = home.filePath(QStringLiteral("short.txt"));
    write(short_, "It was a bright cold day in April, and the clocks were striking thirteen. "
                  "Nobody knew why.");
    std::vector<double> lates;
    {
        auto window = startWindow({});
        if (!window) {
            std::fprintf(stderr, "the reader window could not start (no voice?)\n");
            return 1;
        }
        window->OpenDocument(short_);
        for (int run = 0; run < 9; ++run) {
            const double late = firstWordLateMs(*window);
            if (late >= 0)
                lates.push_back(late);
            settle(100);
        }
        window->ShutDown();
    }
    const double lateMs = lates.empty() ? 1e9 : median(lates);
    std::printf("first word marked after its audio: median %6.1f ms over %zu readings (target "
                "<= 50 ms)\n",
                lateMs, lates.size());
    const bool ok = ratio <= 1.10 && lates.size() >= 5 && lateMs <= 50;
    std::printf("%s\n", ok ? "PASS" : "FAIL");
    return ok ? 0 : 1;
}
