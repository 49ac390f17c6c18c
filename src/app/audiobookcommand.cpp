#include "app/audiobookcommand.h"

#include "app/commandline.h"
#include "app/speechcommands.h"
#include "audiobook/audiobookmaker.h"
#include "reader/documentloader.h"
#include "speech/clstalker.h"

#include <QDir>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTextDocument>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

int fail(const QString& message)
{
    std::fprintf(stderr, "parlo: %s\n", qPrintable(message));
    return 1;
}

int s_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto ignored = ::write(s_signalPipe[1], &byte, 1);
}

// Ctrl+C and a polite kill cancel the audiobook, so no half-written file stays behind.
class CancelOnSignal {
public:
    explicit CancelOnSignal(cAudiobookMaker& maker)
    {
        if (::pipe(s_signalPipe) != 0)
            return;
        m_notifier = std::make_unique<QSocketNotifier>(s_signalPipe[0], QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, &maker, [this, &maker] {
            char byte;
            [[maybe_unused]] const auto ignored = ::read(s_signalPipe[0], &byte, 1);
            signalled = true;
            maker.cancel();
        });
        struct sigaction action {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &m_oldInt);
        sigaction(SIGTERM, &action, &m_oldTerm);
    }
    ~CancelOnSignal()
    {
        if (!m_notifier)
            return;
        sigaction(SIGINT, &m_oldInt, nullptr);
        sigaction(SIGTERM, &m_oldTerm, nullptr);
        m_notifier.reset();
        ::close(s_signalPipe[0]);
        ::close(s_signalPipe[1]);
    }
    bool signalled = false;

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
    struct sigaction m_oldInt {};
    struct sigaction m_oldTerm {};
};

QString clock(double seconds)
{
    const qint64 s = qint64(seconds + 0.5);
    return s >= 3600 ? QStringLiteral("%1:%2:%3")
                           .arg(s / 3600)
                           .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
                           .arg(s % 60, 2, 10, QLatin1Char('0'))
                     : QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

namespace AudiobookCommand {

int run(const CommandLine& command)
{
    if (const QString why = SpeechCommands::whyRefused(command.document); !why.isEmpty())
        return fail(why);
    bool ok = false;
    const std::unique_ptr<QTextDocument> doc = cDocumentLoader::load(command.document, &ok);
    if (!ok)
        return fail("cannot read " + command.document + ": permission denied or read error");
    const QString text = doc->toPlainText();

    cVoiceChoice voice;
    {
        clsTalker talker;
        Failure failure;
        if (!talker.InitEngine(failure))
            return fail("speech is not available: " + failure.description);
        if (const QString why = SpeechCommands::chooseVoice(talker, command); !why.isEmpty())
            return fail(why);
        voice.voiceName = talker.voiceList().value(command.voice >= 1 ? command.voice - 1 : 0);
        voice.variant = command.voiceVariant;
    }
    voice.rate = command.rate;
    voice.pitch = command.pitch;

    const AudioFormat format =
        AudioFormats::fromName(command.audioFormat).value_or(AudioFormat::Mp3);
    const int cores = cAudiobookMaker::cores();
    // Tests cut short books into several pieces with it.
    const qsizetype pieceSize = qEnvironmentVariableIntValue("PARLO_AUDIOBOOK_PIECE");
    const cAudiobookPlan plan = cAudiobookPlan::make(
        text, cDocumentLoader::chapters(*doc), BookInfo::of(command.document, text), format,
        pieceSize > 0 ? pieceSize : cAudiobookPlan::pieceSizeFor(text.size(), cores));

    cAudiobookMaker maker;
    CancelOnSignal cancel(maker);
    QEventLoop loop;
    bool done = false;
    QString problem;
    QObject::connect(&maker, &cAudiobookMaker::finished, &loop,
                     [&](bool success, const QString& message) {
                         done = success;
                         problem = message;
                         loop.quit();
                     });
    const bool terminal = isatty(fileno(stderr));
    QObject::connect(&maker, &cAudiobookMaker::progress, [&](double fraction, double left) {
        if (!terminal)
            return;
        const int width = 30;
        const int filled = int(fraction * width);
        std::fprintf(stderr, "\r[%s%s] %3d%%  %s left   ", QByteArray(filled, '#').constData(),
                     QByteArray(width - filled, '-').constData(), int(fraction * 100),
                     left < 0 ? "?" : qPrintable(clock(left)));
        std::fflush(stderr);
    });
    // A benchmark follows each worker's memory over the book.
    if (qEnvironmentVariableIsSet("PARLO_AUDIOBOOK_MEMORY")) {
        QObject::connect(&maker, &cAudiobookMaker::workerMemory,
                         [](int worker, qint64 resident, qint64 peak) {
                             std::fprintf(stderr, "worker %d memory %lld kB peak %lld kB\n", worker,
                                          qlonglong(resident), qlonglong(peak));
                         });
    }
    QString why;
    if (!maker.start(text, cDocumentLoader::voiceMarkers(*doc), plan, command.audiobookFolder,
                     voice, &why))
        return fail(why);
    loop.exec();
    if (terminal)
        std::fputc('\n', stderr);
    if (cancel.signalled)
        return fail(QStringLiteral("cancelled; nothing was written"));
    if (!done)
        return fail(problem);
    return 0;
}

int worker(const CommandLine& command)
{
    cVoiceChoice voice;
    voice.voiceName = command.voiceName;
    voice.variant = command.voiceVariant;
    voice.rate = command.rate;
    voice.pitch = command.pitch;
    return AudiobookWorker::run(voice);
}

} // namespace AudiobookCommand
