#include "platform/voice/espeakvoice.h"

#include "platform/voice/audiooutput.h"
#include "platform/voice/espeakengine.h"
#include "platform/voice/wavwriter.h"

#include <QEventLoop>

#include <algorithm>
#include <cmath>

namespace {

// The engine's slowest speed, and how much longer than normal speech takes at it.
constexpr double SlowestWordsPerMinute = 80.0;
constexpr double SlowestDurationFactor = 2.125;
// One unit of word gap at the slowest speed, as a share of a word's normal duration.
constexpr double GapUnitPerWord = 30.0 / 275.0;

} // namespace

std::unique_ptr<cEspeakVoice> cEspeakVoice::create(Failure& failure)
{
    return create(failure, QString());
}

std::unique_ptr<cEspeakVoice> cEspeakVoice::create(Failure& failure, const QString& language)
{
    cEspeakEngine* engine = cEspeakEngine::instance(failure);
    if (!engine)
        return nullptr;
    QList<cEspeakVoiceInfo> voices =
        engine->voices(language.isEmpty() ? cEspeakEngine::userLanguage() : language);
    if (voices.isEmpty()) {
        failure.number = Err::NoVoices;
        failure.description = Err::description(Err::NoVoices);
        failure.source = QStringLiteral("InitEngine");
        return nullptr;
    }
    return std::unique_ptr<cEspeakVoice>(new cEspeakVoice(engine, std::move(voices)));
}

cEspeakVoice::cEspeakVoice(cEspeakEngine* engine, QList<cEspeakVoiceInfo> voices)
    : m_engine(engine), m_voices(std::move(voices)), m_output(new cAudioOutput(this))
{
    m_channel = m_engine->openChannel([this](cSynthChunk&& chunk) {
        QMetaObject::invokeMethod(
            this, [this, chunk = std::move(chunk)] { onChunk(chunk); }, Qt::QueuedConnection);
    });
    connect(m_output, &cAudioOutput::eventReached, this, &cEspeakVoice::onEvent);
    // Found in the middle of handing audio over, where a handler must not speak or purge.
    connect(m_output, &cAudioOutput::silentChanged, this, &cSpeechVoice::silentOutputChanged,
            Qt::QueuedConnection);
    connect(m_output, &cAudioOutput::samplesPlayed, this,
            [this](qint64 count) { m_engine->played(*m_channel, count); });
}

cEspeakVoice::~cEspeakVoice()
{
    // After this the synthesis thread no longer posts to this object.
    m_engine->closeChannel(m_channel);
    if (m_wav)
        m_wav->close();
}

QStringList cEspeakVoice::voiceDescriptions() const
{
    QStringList list;
    list.reserve(m_voices.size());
    for (const auto& v : m_voices)
        list << v.description;
    return list;
}

bool cEspeakVoice::selectVoice(int index)
{
    if (index < 0 || index >= m_voices.size())
        return false;
    m_voice = index;
    return true;
}

int cEspeakVoice::currentVoice() const
{
    return m_voice;
}

QString cEspeakVoice::voiceLanguage() const
{
    if (m_voice < 0 || m_voice >= m_voices.size())
        return {};
    // The identifier is the voice file's path, as "gmw/en-US"; its name is the language.
    return QString::fromLatin1(m_voices[m_voice].identifier).section(u'/', -1).toLower();
}

QList<cVoiceVariant> cEspeakVoice::variants() const
{
    return m_engine->variants();
}

bool cEspeakVoice::selectVariant(const QString& key)
{
    if (!key.isEmpty()) {
        const QList<cVoiceVariant> known = m_engine->variants();
        if (std::none_of(known.begin(), known.end(),
                         [&](const cVoiceVariant& v) { return v.key == key; }))
            return false;
    }
    m_variant = key;
    return true;
}

QStringList cEspeakVoice::audioOutputs() const
{
    QStringList list;
    for (const QAudioDevice& device : cAudioOutput::devices())
        list << device.description();
    return list;
}

bool cEspeakVoice::selectOutput(int index)
{
    const QList<QAudioDevice> devices = cAudioOutput::devices();
    if (index < 0 || index >= devices.size())
        return false;
    m_output->setDevice(devices.at(index));
    return true;
}

int cEspeakVoice::speak(const QString& text, int flags)
{
    if (flags & PurgeBeforeSpeak) {
        purge();
        if (text.isEmpty())
            return 0;
    }
    const auto [wordsPerMinute, wordGap] = engineRate(m_rate);
    cSynthJob job;
    job.channel = m_channel;
    job.generation = m_generation;
    job.stream = m_nextStream++;
    job.text = toEngineText(text);
    job.voiceName = cEspeakEngine::voiceSpec(m_voices.at(m_voice), m_variant);
    job.wordsPerMinute = wordsPerMinute;
    job.wordGap = wordGap;
    const int stream = job.stream;
    m_unfinished.push_back({job});
    m_engine->submit(std::move(job));

    if (!(flags & Async)) {
        QEventLoop loop;
        connect(this, &cSpeechVoice::endStream, &loop, [&loop, stream](int ended) {
            if (ended == stream)
                loop.quit();
        });
        connect(this, &cEspeakVoice::purged, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return stream;
}

void cEspeakVoice::purge()
{
    m_output->clear();
    m_generation = m_engine->purge(*m_channel);
    m_unfinished.clear();
    Q_EMIT purged();
}

void cEspeakVoice::respeakFromHeardWords()
{
    // A file is written far ahead of any listener: the new rate starts with the next text.
    if (m_wav || m_unfinished.empty())
        return;
    m_output->clear();
    m_generation = m_engine->purge(*m_channel);
    const auto [wordsPerMinute, wordGap] = engineRate(m_rate);
    for (Unfinished& u : m_unfinished) {
        u.job.generation = m_generation;
        u.job.wordsPerMinute = wordsPerMinute;
        u.job.wordGap = wordGap;
        cSynthJob job = u.job;
        if (u.heardWord >= 0)
            job.text = job.text.from(job.text.indexOf(u.heardWord));
        job.audioStarted = u.audioStarted;
        m_engine->submit(std::move(job));
    }
}

void cEspeakVoice::pause()
{
    m_output->pause();
}

void cEspeakVoice::resume()
{
    m_output->resume();
}

int cEspeakVoice::rate() const
{
    return m_rate;
}

bool cEspeakVoice::setRate(int rate)
{
    if (rate < -10 || rate > 10)
        return false;
    if (rate != m_rate) {
        m_rate = rate;
        respeakFromHeardWords();
    }
    return true;
}

std::pair<int, int> cEspeakVoice::engineRate(int rate)
{
    const double wordsPerMinute = cSpeechVoice::wordsPerMinute(rate);
    if (wordsPerMinute >= SlowestWordsPerMinute)
        return {static_cast<int>(std::lround(wordsPerMinute)), 0};
    // The engine speaks no slower than its slowest speed; pauses between words make up
    // the rest of the time.
    const double missing = cSpeechVoice::wordsPerMinute(0) / wordsPerMinute - SlowestDurationFactor;
    return {static_cast<int>(SlowestWordsPerMinute),
            std::max(0, static_cast<int>(std::lround(missing / GapUnitPerWord)))};
}

bool cEspeakVoice::openWavFile(const QString& path)
{
    auto wav = std::make_shared<cWavWriter>(cWavWriter::configuredLimit());
    wav->setTags(m_wavTags);
    if (!wav->open(path))
        return false;
    if (m_wav)
        m_wav->close();
    m_wav = wav;
    m_wavFullSaid = false;
    m_engine->setWav(*m_channel, wav);
    return true;
}

bool cEspeakVoice::closeWavFile(QString* why)
{
    if (!m_wav)
        return false;
    m_engine->setWav(*m_channel, nullptr);
    const bool completed = m_wav->close();
    if (!completed && why)
        *why = m_wav->error();
    m_wav.reset();
    return completed;
}

bool cEspeakVoice::wavFileOpen() const
{
    return m_wav != nullptr;
}

qint64 cEspeakVoice::playedSamples() const
{
    return m_output->playedSamples();
}

bool cEspeakVoice::silentOutput() const
{
    return m_output->isSilent();
}

void cEspeakVoice::onChunk(const cSynthChunk& chunk)
{
    // Chunks posted before a purge arrive after it; they belong to nothing any more.
    if (chunk.generation != m_generation)
        return;
    // Said before the chunk's events, so that a reading hears of it before its end.
    if (chunk.toWav && m_wav && m_wav->isFull() && !std::exchange(m_wavFullSaid, true)) {
        Q_EMIT wavFileFull();
        // The handler may have stopped the reading.
        if (chunk.generation != m_generation)
            return;
    }
    if (chunk.startsAudio)
        m_output->enqueueEvent({cVoiceEvent::AudioStarted, chunk.stream, 0, 0, !chunk.toWav});
    qsizetype offset = 0;
    for (const cSynthEvent& e : chunk.events) {
        if (!chunk.toWav) {
            const qsizetype upTo =
                qBound<qsizetype>(offset, (e.sample - chunk.firstSample) * 2, chunk.pcm.size());
            if (upTo > offset)
                m_output->enqueueAudio(chunk.pcm.mid(offset, upTo - offset));
            offset = upTo;
        }
        const auto kind = e.kind == cSynthEvent::End ? cVoiceEvent::End : cVoiceEvent::Word;
        m_output->enqueueEvent({kind, chunk.stream, e.position, e.length, !chunk.toWav});
    }
    if (offset < chunk.pcm.size())
        m_output->enqueueAudio(offset == 0 ? chunk.pcm : chunk.pcm.mid(offset));
    m_output->deliverDue();
}

void cEspeakVoice::onEvent(const cVoiceEvent& event)
{
    const auto unfinished =
        std::find_if(m_unfinished.begin(), m_unfinished.end(),
                     [&](const Unfinished& u) { return u.job.stream == event.stream; });
    switch (event.kind) {
    case cVoiceEvent::AudioStarted:
        if (unfinished != m_unfinished.end())
            unfinished->audioStarted = true;
        Q_EMIT audioStarted(event.stream);
        break;
    case cVoiceEvent::Word:
        if (unfinished != m_unfinished.end())
            unfinished->heardWord = event.position;
        Q_EMIT wordBoundary(event.stream, event.position, event.length);
        break;
    case cVoiceEvent::End:
        if (unfinished != m_unfinished.end())
            m_unfinished.erase(unfinished);
        if (event.fromAudio)
            m_engine->pieceFinished(*m_channel);
        Q_EMIT endStream(event.stream);
        break;
    }
}

qint64 cEspeakVoice::bufferedSamples() const
{
    return m_output->queuedSamples();
}
