#include "app/speechcommands.h"

#include "app/commandline.h"
#include "audiobook/audiobookplan.h"
#include "reader/documentloader.h"
#include "speech/clsdict.h"
#include "speech/clstalker.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

int fail(const QString& message)
{
    std::fprintf(stderr, "parlo: %s\n", qPrintable(message));
    return 1;
}

QString describe(const Failure& failure)
{
    return failure.description + " (" + QString::number(failure.number) + ")";
}

bool startEngine(clsTalker& talker, QString& problem)
{
    Failure failure;
    if (talker.InitEngine(failure))
        return true;
    problem = "speech is not available: " + describe(failure);
    return false;
}

} // namespace

QString SpeechCommands::whyRefused(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return "cannot read " + path + ": no such file";
    if (info.isDir())
        return "cannot read " + path + ": it is a folder";
    QString why;
    switch (cDocumentLoader::refusal(path, &why)) {
    case cDocumentLoader::Refusal::NotText:
        return "cannot read " + path + ": not a text document";
    case cDocumentLoader::Refusal::Protected:
    case cDocumentLoader::Refusal::Broken:
        return "cannot read " + path + ": " + why;
    default:
        break;
    }
    return {};
}

namespace {

// Why a document cannot be read, or empty when it can.
QString unreadable(const QString& path, QString& text, cVoiceMarkers* markers = nullptr)
{
    if (QString why = SpeechCommands::whyRefused(path); !why.isEmpty())
        return why;
    // Converted exactly as the reader window shows it, so HTML and RTF books sound alike
    // read aloud and read into a file.
    if (!cDocumentLoader::loadText(path, text, markers))
        return "cannot read " + path + ": permission denied or read error";
    return {};
}

// A progress bar on stderr, redrawn a few times a second while the reading runs.
class ProgressBar {
public:
    explicit ProgressBar(const clsStore& store) : m_store(store)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { draw(); });
        m_timer.start(250);
    }
    void finish()
    {
        m_timer.stop();
        draw();
        std::fputc('\n', stderr);
    }

private:
    void draw()
    {
        const int total = std::max(1, m_store.count());
        const int done = std::min(total, m_store.NextIndex());
        const int width = 40;
        const int filled = int(qint64(done) * width / total);
        std::fprintf(stderr, "\r[%s%s] %3d%%  sentence %d of %d",
                     QByteArray(filled, '#').constData(),
                     QByteArray(width - filled, '-').constData(), int(qint64(done) * 100 / total),
                     done, total);
        std::fflush(stderr);
    }
    const clsStore& m_store;
    QTimer m_timer;
};

} // namespace

namespace SpeechCommands {

QString chooseVoice(clsTalker& talker, const CommandLine& command)
{
    const int voiceCount = int(talker.voiceList().size());
    if (command.voice > voiceCount)
        return QStringLiteral("voice %1 is out of range: there are %2 voices (see "
                              "--list-voices)")
            .arg(command.voice)
            .arg(voiceCount);
    if (command.voice >= 1)
        talker.SelectVoice(command.voice - 1);
    if (command.voiceVariant.isEmpty() || talker.SelectVariant(command.voiceVariant))
        return {};
    QStringList keys;
    for (const cVoiceVariant& known : talker.variantList())
        keys << known.key;
    return "voice variant " + command.voiceVariant + " is unknown; espeak-ng has " +
           keys.join(", ");
}

int listVoices()
{
    clsTalker talker;
    QString problem;
    if (!startEngine(talker, problem))
        return fail(problem);
    const QStringList voices = talker.voiceList();
    const int width = int(QString::number(voices.size()).size());
    for (int i = 0; i < voices.size(); ++i)
        std::printf("%*d  %s\n", width, i + 1, qPrintable(voices[i]));
    return 0;
}

int readIntoWav(const CommandLine& command)
{
    QString text;
    cVoiceMarkers markers;
    QString problem = unreadable(command.document, text, &markers);
    if (!problem.isEmpty())
        return fail(problem);

    clsTalker talker;
    if (!startEngine(talker, problem))
        return fail(problem);
    problem = chooseVoice(talker, command);
    if (!problem.isEmpty())
        return fail(problem);
    talker.SetTalkSpeed(command.rate);
    if (command.pitchGiven)
        talker.ChangePitch(command.pitch);
    PronDict().LoadWords();

    const cBookInfo book = BookInfo::of(command.document, text, false);
    talker.setWavTags({book.title, book.author, book.title, 0});
    Failure failure;
    if (!talker.SetWavOutput(command.wavFile, failure))
        return fail("cannot write " + command.wavFile + ": " + describe(failure));

    QEventLoop loop;
    QObject::connect(&talker, &clsTalker::ReadingFinished, &loop, &QEventLoop::quit);
    // A WAV file cannot hold more than 4 GB (about 27 hours of speech); a longer book is cut
    // short and said to be, rather than silently truncated.
    bool full = false;
    QObject::connect(&talker, &clsTalker::WavFull, &loop, [&] {
        full = true;
        loop.quit();
    });
    std::unique_ptr<ProgressBar> progress;
    if (isatty(fileno(stderr)))
        progress = std::make_unique<ProgressBar>(talker.Store());
    // Nobody watches the sentences go by, so the engine may run ahead of the event loop.
    talker.setReadAhead(3);
    talker.setFollowWords(false);
    talker.StoreTextFile(text, markers);
    text.clear();
    talker.ReadText();
    if (talker.isBusy())
        loop.exec();
    if (progress)
        progress->finish();
    if (full) {
        const int total = talker.Store().count();
        const int reached = std::min(talker.Store().NextIndex(), total);
        talker.StopSpeaking();
        return fail(QStringLiteral("%1 is full: a WAV file holds at most 4 GB of speech; it "
                                   "ends near sentence %2 of %3")
                        .arg(command.wavFile)
                        .arg(reached)
                        .arg(total));
    }
    if (!talker.CancelWav(failure))
        return fail("cannot complete " + command.wavFile + ": " + describe(failure));
    return 0;
}

int printText(const CommandLine& command)
{
    QString text;
    const QString problem = unreadable(command.document, text);
    if (!problem.isEmpty())
        return fail(problem);
    if (!text.isEmpty() && !text.endsWith(u'\n'))
        text += u'\n';
    const QByteArray bytes = text.toUtf8();
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) != size_t(bytes.size()) ||
        std::fflush(stdout) != 0)
        return fail(QStringLiteral("cannot write the text: ") +
                    QString::fromLocal8Bit(std::strerror(errno)));
    return 0;
}

} // namespace SpeechCommands
