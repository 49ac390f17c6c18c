#include "platform/voice/espeakengine.h"

#include "platform/voice/wavwriter.h"

#include <espeak-ng/espeak_ng.h>

#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <set>
#include <system_error>

namespace {

std::mutex s_instanceMutex;
std::unique_ptr<cEspeakEngine> s_engine;
cEspeakEngine* s_callbackTarget = nullptr;

bool holdsData(const QString& dir)
{
    return !dir.isEmpty() && QFileInfo(QDir(dir).filePath(QStringLiteral("phontab"))).isFile();
}

void fail(Failure& failure, int number, const QString& detail = {})
{
    failure.number = number;
    failure.description = Err::description(number);
    if (!detail.isEmpty())
        failure.description += QStringLiteral(": ") + detail;
    failure.source = QStringLiteral("InitEngine");
}

QString statusText(espeak_ng_STATUS status)
{
    char buffer[512] = {};
    espeak_ng_GetStatusCodeMessage(status, buffer, sizeof buffer);
    return QString::fromLocal8Bit(buffer);
}

} // namespace

struct cEspeakCallback {
    // The engine's C callback: it must never let an exception through.
    static int call(short* wav, int count, espeak_EVENT* events) noexcept
    {
        try {
            return s_callbackTarget ? s_callbackTarget->onAudio(wav, count, events) : 1;
        } catch (...) {
            return 1;
        }
    }
};

QString cEspeakEngine::userLanguage()
{
    const QLocale locale = QLocale::system();
    if (locale.language() == QLocale::C || locale.language() == QLocale::AnyLanguage)
        return QStringLiteral("en");
    return locale.name().toLower().replace(u'_', u'-');
}

cEspeakEngine* cEspeakEngine::instance(Failure& failure)
{
    std::lock_guard lock(s_instanceMutex);
    QString dataDir;
    const QString fromEnvironment = qEnvironmentVariable("ESPEAK_DATA_PATH");
    if (!fromEnvironment.isEmpty()) {
        for (const QString& candidate :
             {QDir(fromEnvironment).filePath(QStringLiteral("espeak-ng-data")), fromEnvironment}) {
            if (holdsData(candidate)) {
                dataDir = candidate;
                break;
            }
        }
        if (dataDir.isEmpty()) {
            fail(failure, Err::NoVoices, QStringLiteral("no speech data in ") + fromEnvironment);
            return nullptr;
        }
    }
    if (s_engine)
        return s_engine.get();

    std::unique_ptr<cEspeakEngine> engine(new cEspeakEngine);
    const QByteArray path = QFile::encodeName(dataDir);
    espeak_ng_InitializePath(path.isEmpty() ? nullptr : path.constData());
    if (dataDir.isEmpty()) {
        const char* installed = nullptr;
        espeak_Info(&installed);
        if (!installed || !holdsData(QFile::decodeName(installed))) {
            fail(failure, Err::NoVoices, QStringLiteral("no speech data installed"));
            return nullptr;
        }
    }
    if (!engine->start(failure))
        return nullptr;
    s_engine = std::move(engine);
    return s_engine.get();
}

bool cEspeakEngine::start(Failure& failure)
{
    espeak_ng_ERROR_CONTEXT context = nullptr;
    espeak_ng_STATUS status = espeak_ng_Initialize(&context);
    espeak_ng_ClearErrorContext(&context);
    if (status != ENS_OK) {
        // Errors of the errno group mean the data files could not be read.
        const bool missingData = (status & ENS_GROUP_MASK) == ENS_GROUP_ERRNO;
        fail(failure, missingData ? int(Err::NoVoices) : int(Err::CannotCreateObject),
             statusText(status));
        return false;
    }
    status = espeak_ng_InitializeOutput(ENOUTPUT_MODE_SYNCHRONOUS, 0, nullptr);
    if (status != ENS_OK || espeak_ng_GetSampleRate() != SampleRate) {
        fail(failure, Err::CannotCreateObject, statusText(status));
        return false;
    }
    s_callbackTarget = this;
    espeak_SetSynthCallback(cEspeakCallback::call);

    if (const espeak_VOICE** list = espeak_ListVoices(nullptr)) {
        for (; *list; ++list) {
            const espeak_VOICE* v = *list;
            if (!v->name || !v->identifier)
                continue;
            cEspeakVoiceInfo info;
            info.name = v->name;
            info.identifier = v->identifier;
            info.description = QString::fromUtf8(v->name).replace(u'_', u' ');
            m_allVoices.append(info);
        }
    }
    if (m_allVoices.isEmpty()) {
        fail(failure, Err::NoVoices);
        return false;
    }
    // Computed before the thread runs, so that the usual list never waits for a synthesis.
    const QString language = userLanguage();
    m_orderCache.emplace(language, orderedVoices(language));
    try {
        m_thread = std::thread([this] { run(); });
    } catch (const std::system_error& e) {
        fail(failure, Err::CannotCreateObject, QString::fromLocal8Bit(e.what()));
        return false;
    }
    return true;
}

cEspeakEngine::~cEspeakEngine()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    if (s_callbackTarget == this)
        s_callbackTarget = nullptr;
}

QList<cEspeakVoiceInfo> cEspeakEngine::voices(const QString& language)
{
    const QString key = language.toLower();
    {
        std::lock_guard lock(m_cacheMutex);
        if (auto it = m_orderCache.find(key); it != m_orderCache.end())
            return it->second;
    }
    // Asking the engine waits for the running synthesis, which may itself wait for a
    // paused output: only languages other than the user's ever get here.
    QList<cEspeakVoiceInfo> ordered;
    {
        std::lock_guard engineLock(m_engineMutex);
        ordered = orderedVoices(key);
    }
    std::lock_guard lock(m_cacheMutex);
    return m_orderCache.emplace(key, std::move(ordered)).first->second;
}

QList<cEspeakVoiceInfo> cEspeakEngine::orderedVoices(const QString& language)
{
    std::set<QByteArray> known;
    for (const auto& v : m_allVoices)
        known.insert(v.identifier);

    // Variants and voices of engines that are not installed are not in the full list.
    std::set<QByteArray> taken;
    QList<cEspeakVoiceInfo> ordered;
    auto takePreferred = [&](const QString& lang) {
        const QByteArray wanted = lang.toUtf8();
        espeak_VOICE selector{};
        selector.languages = wanted.constData();
        const espeak_VOICE** list = espeak_ListVoices(&selector);
        for (; list && *list; ++list) {
            const QByteArray id = (*list)->identifier;
            if (!known.count(id) || taken.count(id))
                continue;
            taken.insert(id);
            for (const auto& v : m_allVoices) {
                if (v.identifier == id) {
                    ordered.append(v);
                    break;
                }
            }
        }
    };
    if (!language.isEmpty())
        takePreferred(language);
    if (ordered.isEmpty() && language.contains(u'-'))
        takePreferred(language.section(u'-', 0, 0));
    if (ordered.isEmpty())
        takePreferred(QStringLiteral("en"));
    for (const auto& v : m_allVoices) {
        if (!taken.count(v.identifier))
            ordered.append(v);
    }
    return ordered;
}

std::shared_ptr<cSynthChannel>
cEspeakEngine::openChannel(std::function<void(cSynthChunk&&)> deliver)
{
    auto channel = std::make_shared<cSynthChannel>();
    channel->deliver = std::move(deliver);
    return channel;
}

void cEspeakEngine::closeChannel(const std::shared_ptr<cSynthChannel>& channel)
{
    std::unique_lock lock(m_mutex);
    channel->closed = true;
    ++channel->generation;
    std::erase_if(m_jobs, [&](const cSynthJob& j) { return j.channel == channel; });
    m_wake.notify_all();
    m_wake.wait(lock, [&] { return m_busy != channel.get(); });
    channel->deliver = nullptr;
    channel->wav.reset();
}

void cEspeakEngine::submit(cSynthJob job)
{
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_all();
}

quint64 cEspeakEngine::purge(cSynthChannel& channel)
{
    quint64 generation;
    {
        std::lock_guard lock(m_mutex);
        generation = ++channel.generation;
        std::erase_if(m_jobs, [&](const cSynthJob& j) { return j.channel.get() == &channel; });
        channel.produced = 0;
        channel.consumed = 0;
        channel.piecesAhead = 0;
    }
    m_wake.notify_all();
    return generation;
}

void cEspeakEngine::played(cSynthChannel& channel, qint64 samples)
{
    {
        std::lock_guard lock(m_mutex);
        channel.consumed += samples;
    }
    m_wake.notify_all();
}

void cEspeakEngine::pieceFinished(cSynthChannel& channel)
{
    {
        std::lock_guard lock(m_mutex);
        if (channel.piecesAhead > 0)
            --channel.piecesAhead;
    }
    m_wake.notify_all();
}

void cEspeakEngine::setWav(cSynthChannel& channel, std::shared_ptr<cWavWriter> wav)
{
    std::lock_guard lock(m_mutex);
    channel.wav = std::move(wav);
}

bool cEspeakEngine::runnable(const cSynthJob& job) const
{
    const cSynthChannel& ch = *job.channel;
    if (ch.wav)
        return true;
    return ch.piecesAhead < MaxPiecesAhead && ch.produced - ch.consumed < MaxSamplesAhead;
}

void cEspeakEngine::run()
{
    for (;;) {
        std::unique_lock lock(m_mutex);
        cSynthJob job;
        for (;;) {
            if (m_stopping)
                return;
            std::erase_if(m_jobs, [](const cSynthJob& j) {
                return j.channel->closed || j.generation != j.channel->generation;
            });
            // Each voice's jobs run in order; a voice held back must not hold up the others.
            std::set<const cSynthChannel*> seen;
            auto it = m_jobs.begin();
            for (; it != m_jobs.end(); ++it) {
                if (seen.insert(it->channel.get()).second && runnable(*it))
                    break;
            }
            if (it != m_jobs.end()) {
                job = std::move(*it);
                m_jobs.erase(it);
                break;
            }
            m_wake.wait(lock);
        }
        std::shared_ptr<cWavWriter> wav = job.channel->wav;
        m_busy = job.channel.get();
        lock.unlock();

        synthesise(job, wav);

        lock.lock();
        m_busy = nullptr;
        lock.unlock();
        m_wake.notify_all();
    }
}

void cEspeakEngine::synthesise(cSynthJob& job, const std::shared_ptr<cWavWriter>& wav)
{
    m_running = Running{&job, wav, 0, false};
    if (!job.text.text.empty()) {
        std::lock_guard engineLock(m_engineMutex);
        applySettings(job);
        const auto& text = job.text.text;
        espeak_Synth(text.c_str(), (text.size() + 1) * sizeof(wchar_t), 0, POS_CHARACTER, 0,
                     espeakCHARS_WCHAR | espeakSSML | espeakENDPAUSE, nullptr, nullptr);
    }
    cSynthChannel& ch = *job.channel;
    {
        std::lock_guard lock(m_mutex);
        if (ch.closed || job.generation != ch.generation) {
            m_running = Running{};
            return;
        }
        if (!wav)
            ++ch.piecesAhead;
    }
    cSynthChunk end;
    end.generation = job.generation;
    end.stream = job.stream;
    end.firstSample = m_running.samples;
    end.toWav = wav != nullptr;
    end.endsStream = true;
    end.events.push_back({cSynthEvent::End, m_running.samples, 0, 0});
    m_running = Running{};
    ch.deliver(std::move(end));
}

void cEspeakEngine::applySettings(const cSynthJob& job)
{
    if (job.voiceName != m_appliedVoice) {
        if (espeak_SetVoiceByName(job.voiceName.constData()) == EE_OK) {
            m_appliedVoice = job.voiceName;
            // A new voice brings its own defaults.
            m_appliedRate = m_appliedGap = m_appliedPitch = -1;
        }
    }
    if (job.wordsPerMinute != m_appliedRate) {
        espeak_SetParameter(espeakRATE, job.wordsPerMinute, 0);
        m_appliedRate = job.wordsPerMinute;
    }
    if (job.wordGap != m_appliedGap) {
        espeak_SetParameter(espeakWORDGAP, job.wordGap, 0);
        m_appliedGap = job.wordGap;
    }
    const int pitch = 50 + 5 * job.text.pitch;
    if (pitch != m_appliedPitch) {
        espeak_SetParameter(espeakPITCH, pitch, 0);
        m_appliedPitch = pitch;
    }
}

int cEspeakEngine::onAudio(const short* wav, int count, const void* rawEvents)
{
    Running& r = m_running;
    if (!r.job)
        return 1;
    cSynthJob& job = *r.job;
    cSynthChannel& ch = *job.channel;
    if (!wav)
        count = 0;

    cSynthChunk chunk;
    chunk.generation = job.generation;
    chunk.stream = job.stream;
    chunk.firstSample = r.samples;
    chunk.toWav = r.wav != nullptr;
    for (auto* ev = static_cast<const espeak_EVENT*>(rawEvents);
         ev && ev->type != espeakEVENT_LIST_TERMINATED; ++ev) {
        if (ev->type != espeakEVENT_WORD)
            continue;
        const auto [position, length] = job.text.originalWord(ev->text_position, ev->length);
        if (position < 0)
            continue;
        const qint64 at = std::clamp<qint64>(ev->sample, r.samples, r.samples + count);
        chunk.events.push_back({cSynthEvent::Word, at, position, length});
    }
    if (count > 0) {
        if (r.wav)
            r.wav->append(wav, count);
        else
            chunk.pcm = QByteArray(reinterpret_cast<const char*>(wav), qsizetype(count) * 2);
        chunk.startsAudio = !r.audioStarted;
        r.audioStarted = true;
        r.samples += count;
    }

    {
        std::lock_guard lock(m_mutex);
        if (m_stopping || ch.closed || job.generation != ch.generation)
            return 1;
        if (!r.wav)
            ch.produced += count;
    }
    if (!chunk.pcm.isEmpty() || !chunk.events.empty() || chunk.startsAudio)
        ch.deliver(std::move(chunk));

    if (r.wav)
        return 0;
    std::unique_lock lock(m_mutex);
    m_wake.wait(lock, [&] {
        return m_stopping || ch.closed || job.generation != ch.generation ||
               ch.produced - ch.consumed <= MaxSamplesAhead;
    });
    return (m_stopping || ch.closed || job.generation != ch.generation) ? 1 : 0;
}
