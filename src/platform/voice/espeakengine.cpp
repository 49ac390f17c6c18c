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
#include <utility>

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
    listVariants();
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

void cEspeakEngine::listVariants()
{
    espeak_VOICE selector{};
    selector.languages = "variant";
    const espeak_VOICE** list = espeak_ListVoices(&selector);
    const QByteArray folder = QByteArrayLiteral("!v/");
    for (; list && *list; ++list) {
        const espeak_VOICE* v = *list;
        if (!v->name || !v->identifier)
            continue;
        const QByteArray id = v->identifier;
        // A comma or plus sign would end the key early in a voice name or a stored setting.
        const QString key = QString::fromUtf8(id.startsWith(folder) ? id.mid(folder.size()) : id);
        if (key.isEmpty() || key.contains(u'+') || key.contains(u','))
            continue;
        m_variants.append({key, QString::fromUtf8(v->name).replace(u'_', u' ')});
    }
    std::stable_sort(m_variants.begin(), m_variants.end(),
                     [](const cVoiceVariant& a, const cVoiceVariant& b) {
                         return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
                     });
}

QByteArray cEspeakEngine::voiceSpec(const cEspeakVoiceInfo& voice, const QString& variant)
{
    if (variant.isEmpty())
        return voice.name;
    const QByteArray suffix = '+' + variant.toUtf8();
    // espeak-ng reads at most 59 bytes of the name; the voice file's identifier is shorter.
    constexpr qsizetype kLongestSpec = 59;
    if (voice.name.size() + suffix.size() <= kLongestSpec)
        return voice.name + suffix;
    return voice.identifier + suffix;
}

QByteArray cEspeakEngine::currentVoiceIdentifier()
{
    std::lock_guard engineLock(m_engineMutex);
    const espeak_VOICE* voice = espeak_GetCurrentVoice();
    return voice && voice->identifier ? QByteArray(voice->identifier) : QByteArray();
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
    // The rest of a stopped text waits for half the lead to be played, so that two voices
    // speaking at once do not cut each other's sentences at every word.
    const qint64 lead = job.firstSample > 0 ? MaxSamplesAhead / 2 : MaxSamplesAhead;
    return ch.piecesAhead < MaxPiecesAhead && ch.produced - ch.consumed < lead;
}

bool cEspeakEngine::othersRunnable(const cSynthChannel& channel) const
{
    return std::any_of(m_jobs.begin(), m_jobs.end(), [&](const cSynthJob& j) {
        const cSynthChannel& other = *j.channel;
        return &other != &channel && !other.closed && j.generation == other.generation &&
               runnable(j);
    });
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

namespace {

cSynthChunk chunkAt(const cSynthJob& job, qint64 sample, bool toWav)
{
    cSynthChunk chunk;
    chunk.generation = job.generation;
    chunk.stream = job.stream;
    chunk.firstSample = sample;
    chunk.toWav = toWav;
    return chunk;
}

} // namespace

void cEspeakEngine::synthesise(cSynthJob& job, const std::shared_ptr<cWavWriter>& wav)
{
    m_running = Running{};
    Running& r = m_running;
    r.job = &job;
    r.wav = wav;
    r.samples = job.firstSample;
    r.audioStarted = job.audioStarted;
    r.held = chunkAt(job, job.firstSample, false);
    if (!job.text.text.empty()) {
        std::lock_guard engineLock(m_engineMutex);
        applySettings(job);
        const auto& text = job.text.text;
        espeak_Synth(text.c_str(), (text.size() + 1) * sizeof(wchar_t), 0, POS_CHARACTER, 0,
                     espeakCHARS_WCHAR | espeakSSML | espeakENDPAUSE, nullptr, nullptr);
    }
    cSynthChannel& ch = *job.channel;
    const auto stale = [&] { return ch.closed || job.generation != ch.generation; };
    if (r.suspended) {
        // The held word was never delivered: the rest of the text starts with it.
        std::lock_guard lock(m_mutex);
        if (!stale()) {
            cSynthJob rest = job;
            rest.text = job.text.from(r.heldFrom);
            rest.firstSample = r.held.firstSample;
            rest.audioStarted = r.audioStarted;
            m_jobs.push_front(std::move(rest));
        }
        m_running = Running{};
        return;
    }
    if (!wav && !deliver(std::move(r.held))) {
        m_running = Running{};
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        if (stale()) {
            m_running = Running{};
            return;
        }
        if (!wav)
            ++ch.piecesAhead;
    }
    cSynthChunk end = chunkAt(job, r.samples, wav != nullptr);
    end.endsStream = true;
    end.events.push_back({cSynthEvent::End, r.samples, 0, 0});
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

bool cEspeakEngine::deliver(cSynthChunk&& chunk)
{
    Running& r = m_running;
    cSynthChannel& ch = *r.job->channel;
    const qint64 samples = chunk.pcm.size() / 2;
    if (samples > 0) {
        chunk.startsAudio = !r.audioStarted;
        r.audioStarted = true;
    }
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping || ch.closed || r.job->generation != ch.generation)
            return false;
        ch.produced += samples;
    }
    if (!chunk.pcm.isEmpty() || !chunk.events.empty() || chunk.startsAudio)
        ch.deliver(std::move(chunk));
    return true;
}

int cEspeakEngine::onWavAudio(const short* wav, int count, std::vector<cSynthEvent> words)
{
    Running& r = m_running;
    cSynthJob& job = *r.job;
    cSynthChannel& ch = *job.channel;
    cSynthChunk chunk = chunkAt(job, r.samples, true);
    chunk.events = std::move(words);
    if (count > 0) {
        r.wav->append(wav, count);
        chunk.startsAudio = !r.audioStarted;
        r.audioStarted = true;
        r.samples += count;
    }
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping || ch.closed || job.generation != ch.generation)
            return 1;
    }
    if (!chunk.events.empty() || chunk.startsAudio)
        ch.deliver(std::move(chunk));
    return 0;
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

    std::vector<cSynthEvent> words;
    std::vector<int> wordStarts; // each word's first character in the job's text
    for (auto* ev = static_cast<const espeak_EVENT*>(rawEvents);
         ev && ev->type != espeakEVENT_LIST_TERMINATED; ++ev) {
        if (ev->type != espeakEVENT_WORD)
            continue;
        const auto [position, length] = job.text.originalWord(ev->text_position, ev->length);
        if (position < 0)
            continue;
        const qint64 at =
            std::clamp<qint64>(job.firstSample + ev->sample, r.samples, r.samples + count);
        words.push_back({cSynthEvent::Word, at, position, length});
        wordStarts.push_back(ev->text_position - 1);
    }
    if (r.wav)
        return onWavAudio(wav, count, std::move(words));

    // Each word sends what came before it and is held with its own audio.
    const auto hold = [&](qint64 upTo) {
        const qint64 from = r.held.firstSample + r.held.pcm.size() / 2;
        if (upTo > from)
            r.held.pcm.append(reinterpret_cast<const char*>(wav + (from - r.samples)),
                              qsizetype(upTo - from) * 2);
    };
    for (size_t i = 0; i < words.size(); ++i) {
        // Audio already taken is never taken twice, whatever order the events come in.
        words[i].sample = std::max(words[i].sample, r.held.firstSample + r.held.pcm.size() / 2);
        hold(words[i].sample);
        if (!deliver(std::exchange(r.held, chunkAt(job, words[i].sample, false))))
            return 1;
        r.held.events.push_back(words[i]);
        r.heldFrom = wordStarts[i];
    }
    hold(r.samples + count);
    r.samples += count;

    std::unique_lock lock(m_mutex);
    const auto stale = [&] { return m_stopping || ch.closed || job.generation != ch.generation; };
    const auto ahead = [&] { return ch.produced - ch.consumed > MaxSamplesAhead; };
    m_wake.wait(lock, [&] { return stale() || !ahead() || othersRunnable(ch); });
    if (stale())
        return 1;
    r.suspended = ahead();
    return r.suspended ? 1 : 0;
}
