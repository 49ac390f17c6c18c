#include "audiobook/audiobookworker.h"

#include "platform/voice/wavwriter.h"
#include "speech/clsdict.h"
#include "speech/clstalker.h"

#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QtEndian>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>

#include <sys/prctl.h>

namespace {

void say(const QByteArray& line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Kilobytes of the process's memory now and at its peak, from the kernel's own account.
QByteArray memory()
{
    QFile status(QStringLiteral("/proc/self/status"));
    QByteArray now("0");
    QByteArray peak("0");
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            const QList<QByteArray> words = line.simplified().split(' ');
            if (words.size() >= 2 && words[0] == "VmRSS:")
                now = words[1];
            else if (words.size() >= 2 && words[0] == "VmHWM:")
                peak = words[1];
        }
    }
    return now + ' ' + peak;
}

cAudioTags tagsOf(const QJsonObject& job)
{
    cAudioTags tags;
    tags.title = job.value(QLatin1String("title")).toString();
    tags.artist = job.value(QLatin1String("artist")).toString();
    tags.album = job.value(QLatin1String("album")).toString();
    tags.track = job.value(QLatin1String("track")).toInt();
    return tags;
}

enum class Outcome { Done, Full, Failed };

Outcome speak(clsTalker& talker, const QByteArray& id, const QJsonObject& job, QString& why)
{
    QFile file(job.value(QLatin1String("text")).toString());
    if (!file.open(QIODevice::ReadOnly)) {
        why = QStringLiteral("cannot read ") + file.fileName();
        return Outcome::Failed;
    }
    const QString text = QString::fromUtf8(file.readAll());
    file.close();
    const QString out = job.value(QLatin1String("out")).toString();
    talker.setWavTags(tagsOf(job));
    Failure failure;
    if (!talker.SetWavOutput(out, failure)) {
        why = QStringLiteral("cannot write ") + out;
        return Outcome::Failed;
    }
    QEventLoop loop;
    bool full = false;
    const auto finished =
        QObject::connect(&talker, &clsTalker::ReadingFinished, &loop, &QEventLoop::quit);
    const auto cut = QObject::connect(&talker, &clsTalker::WavFull, &loop, [&] {
        full = true;
        loop.quit();
    });
    QTimer progress;
    QObject::connect(&progress, &QTimer::timeout, [&] {
        const int total = std::max(1, talker.Store().count());
        const int done = std::min(total, talker.Store().NextIndex());
        say("progress " + id + ' ' + QByteArray::number(qint64(done) * 1000 / total));
    });
    progress.start(500);
    cVoiceMarkers markers;
    for (const QJsonValue& marker : job.value(QLatin1String("markers")).toArray()) {
        const QJsonArray pair = marker.toArray();
        markers.append({pair.at(0).toInt(), pair.at(1).toString()});
    }
    talker.StoreTextFile(text, markers);
    talker.ReadText();
    if (talker.isBusy())
        loop.exec();
    progress.stop();
    QObject::disconnect(finished);
    QObject::disconnect(cut);
    if (full) {
        talker.StopSpeaking();
        return Outcome::Full;
    }
    if (!talker.CancelWav(failure)) {
        why = QStringLiteral("cannot complete ") + out + QStringLiteral(": ") + failure.description;
        return Outcome::Failed;
    }
    return Outcome::Done;
}

// Where a WAV file's samples start and how many bytes they take; false when it is none.
bool findSamples(QFile& file, qint64& bytes)
{
    const QByteArray head = file.read(12);
    if (head.size() != 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE")
        return false;
    for (;;) {
        const QByteArray chunk = file.read(8);
        if (chunk.size() != 8)
            return false;
        const quint32 size = qFromLittleEndian<quint32>(chunk.constData() + 4);
        if (chunk.startsWith("data")) {
            bytes = size;
            return true;
        }
        if (!file.seek(file.pos() + size + (size & 1)))
            return false;
    }
}

Outcome join(const QJsonObject& job, QString& why)
{
    const QString out = job.value(QLatin1String("out")).toString();
    cWavWriter writer(cWavWriter::configuredLimit());
    writer.setTags(tagsOf(job));
    if (!writer.open(out)) {
        why = QStringLiteral("cannot write ") + out;
        return Outcome::Failed;
    }
    QByteArray block;
    for (const QJsonValue& piece : job.value(QLatin1String("pieces")).toArray()) {
        QFile file(piece.toString());
        qint64 left = 0;
        if (!file.open(QIODevice::ReadOnly) || !findSamples(file, left)) {
            why = QStringLiteral("cannot read ") + file.fileName();
            return Outcome::Failed;
        }
        while (left > 1) {
            block = file.read(std::min<qint64>(left, 1 << 18));
            if (block.size() < 2)
                break;
            left -= block.size();
            if (!writer.append(reinterpret_cast<const int16_t*>(block.constData()),
                               block.size() / 2)) {
                const bool full = writer.isFull();
                writer.close();
                if (full)
                    return Outcome::Full;
                why = QStringLiteral("cannot write ") + out + QStringLiteral(": ") + writer.error();
                return Outcome::Failed;
            }
        }
    }
    if (!writer.close()) {
        why = QStringLiteral("cannot complete ") + out + QStringLiteral(": ") + writer.error();
        return Outcome::Failed;
    }
    return Outcome::Done;
}

} // namespace

QStringList cVoiceChoice::arguments() const
{
    QStringList options{QStringLiteral("--voice-name"), voiceName,
                        QStringLiteral("--rate"),       QString::number(rate),
                        QStringLiteral("--pitch"),      QString::number(pitch)};
    if (!variant.isEmpty())
        options << QStringLiteral("--variant") << variant;
    return options;
}

void cVoiceChoice::applyTo(clsTalker& talker) const
{
    talker.SelectVoice(clsTalker::findStoredVoice(talker.voiceList(), voiceName, 0));
    if (!variant.isEmpty())
        talker.SelectVariant(variant);
    talker.SetTalkSpeed(rate);
    if (pitch != 0)
        talker.ChangePitch(pitch);
}

namespace AudiobookWorker {

int run(const cVoiceChoice& voice)
{
    // Ctrl+C reaches the whole process group; the parent decides, and ends the workers.
    std::signal(SIGINT, SIG_IGN);
    // A parent that dies leaves no worker behind.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    clsTalker talker;
    Failure failure;
    if (!talker.InitEngine(failure)) {
        say("failed 0 speech is not available: " + failure.description.toUtf8());
        return 1;
    }
    voice.applyTo(talker);
    // Nobody watches the sentences go by, so the engine may run ahead of the event loop.
    talker.setReadAhead(3);
    talker.setFollowWords(false);
    PronDict().LoadWords();

    std::string line;
    while (std::getline(std::cin, line)) {
        const QJsonObject job = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
        const QByteArray id = QByteArray::number(job.value(QLatin1String("id")).toInt());
        QString why;
        const Outcome outcome =
            job.contains(QLatin1String("pieces")) ? join(job, why) : speak(talker, id, job, why);
        switch (outcome) {
        case Outcome::Done:
            say("done " + id + ' ' + memory());
            break;
        case Outcome::Full:
            say("full " + id);
            break;
        case Outcome::Failed:
            say("failed " + id + ' ' + why.toUtf8());
            break;
        }
    }
    return 0;
}

} // namespace AudiobookWorker
