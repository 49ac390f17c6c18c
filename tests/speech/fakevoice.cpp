#include "fakevoice.h"

#include <algorithm>

FakeVoice::FakeVoice(QStringList* log) : m_log(log ? log : &m_ownLog) {}

void FakeVoice::note(const QString& entry)
{
    m_log->append(entry);
}

bool FakeVoice::selectVoice(int index)
{
    note(QStringLiteral("select %1").arg(index));
    if (index < 0 || index >= voices.size())
        return false;
    voice = index;
    return true;
}

bool FakeVoice::selectVariant(const QString& key)
{
    note("variant " + key);
    if (!key.isEmpty() && std::none_of(variantList.begin(), variantList.end(),
                                       [&](const cVoiceVariant& v) { return v.key == key; }))
        return false;
    variant = key;
    return true;
}

bool FakeVoice::selectOutput(int index)
{
    if (index < 0 || index >= outputs.size())
        return false;
    output = index;
    return true;
}

int FakeVoice::speak(const QString& text, int flags)
{
    if (flags & PurgeBeforeSpeak) {
        note(QStringLiteral("purge"));
        queue.clear();
    }
    if (text.isEmpty() && (flags & PurgeBeforeSpeak))
        return 0;
    note("speak " + text);
    if (refuseSpeech)
        return 0;
    spoken << text;
    spokenVoices << voice;
    spokenVariants << variant;
    const int stream = m_nextStream++;
    queue.push_back(stream);
    return stream;
}

void FakeVoice::pause()
{
    note(QStringLiteral("pause"));
    paused = true;
}

void FakeVoice::resume()
{
    note(QStringLiteral("resume"));
    paused = false;
}

bool FakeVoice::setRate(int rate)
{
    note(QStringLiteral("rate %1").arg(rate));
    if (rate < -10 || rate > 10)
        return false;
    m_rate = rate;
    return true;
}

bool FakeVoice::openWavFile(const QString& path)
{
    note("wav " + path);
    if (refuseWav)
        return false;
    wavPath = path;
    return true;
}

bool FakeVoice::closeWavFile(QString*)
{
    if (wavPath.isEmpty())
        return false;
    note(QStringLiteral("close wav"));
    wavPath.clear();
    return true;
}

bool FakeVoice::finishNext()
{
    if (queue.empty())
        return false;
    const int stream = queue.front();
    queue.pop_front();
    Q_EMIT endStream(stream);
    return true;
}

int FakeVoice::finishAll(int limit)
{
    int ended = 0;
    while (ended < limit && finishNext())
        ++ended;
    return ended;
}
