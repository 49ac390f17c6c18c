#include "platform/voice/audiooutput.h"

#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>

#include <algorithm>
#include <utility>

namespace {

constexpr int TickMs = 10;
// Enough for the UI thread to be busy for a moment without a gap in the speech.
constexpr qsizetype SinkBufferBytes = cAudioOutput::SampleRate * 2 * 150 / 1000;
constexpr qint64 SilentBufferSamples = cAudioOutput::SampleRate / 10;

QAudioFormat speechFormat()
{
    QAudioFormat format;
    format.setSampleRate(cAudioOutput::SampleRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}

} // namespace

cAudioOutput::cAudioOutput(QObject* parent) : QObject(parent)
{
    m_timer.setInterval(TickMs);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &cAudioOutput::tick);
}

cAudioOutput::~cAudioOutput()
{
    dropSink();
}

QList<QAudioDevice> cAudioOutput::devices()
{
    return QMediaDevices::audioOutputs();
}

void cAudioOutput::setDevice(const QAudioDevice& device)
{
    m_device = device;
    m_deviceFailed = false;
    // What the old device still held is taken as played; the rest goes to the new one.
    m_played = std::max(m_played, m_handedSamples);
    dropSink();
    m_open = false;
    if (!m_queue.empty())
        startTicking();
}

void cAudioOutput::enqueueAudio(const QByteArray& pcm)
{
    if (pcm.size() < 2)
        return;
    Item item;
    item.pcm = pcm.size() % 2 ? pcm.left(pcm.size() - 1) : pcm;
    m_queuedBytes += item.pcm.size();
    m_queue.push_back(std::move(item));
    startTicking();
}

void cAudioOutput::enqueueEvent(const cVoiceEvent& event)
{
    Item item;
    item.event = event;
    item.isEvent = true;
    m_queue.push_back(std::move(item));
    startTicking();
}

void cAudioOutput::pause()
{
    if (m_paused)
        return;
    updatePlayed();
    m_paused = true;
    if (m_sink)
        m_sink->suspend();
    m_timer.stop();
}

void cAudioOutput::resume()
{
    if (!m_paused)
        return;
    m_paused = false;
    if (m_sink)
        m_sink->resume();
    m_clock.restart();
    m_clockCredit = 0;
    startTicking();
    deliverDue();
}

void cAudioOutput::clear()
{
    m_queue.clear();
    m_frontOffset = 0;
    m_queuedBytes = 0;
    m_handed.clear();
    updatePlayed();
    // Stopping the sink drops what it still holds, so the speech stops at once. A sink with
    // nothing left to play is kept: the next reading starts without opening a new stream.
    if (!m_sink || m_played < m_handedSamples) {
        dropSink();
        m_open = false;
    }
    m_played = m_handedSamples;
    m_timer.stop();
}

void cAudioOutput::startTicking()
{
    if (!m_paused && !m_timer.isActive()) {
        m_clock.restart();
        m_clockCredit = 0;
        m_timer.start();
    }
}

void cAudioOutput::tick()
{
    updatePlayed();
    deliverDue();
    if (m_queue.empty() && m_handed.empty() && m_played >= m_handedSamples)
        m_timer.stop();
}

bool cAudioOutput::ensureOpen()
{
    if (m_open)
        return true;
    bool silent = true;
    const QAudioDevice device = !m_device.isNull() ? m_device : QMediaDevices::defaultAudioOutput();
    if (!device.isNull() && !m_deviceFailed) {
        auto* sink = new QAudioSink(device, speechFormat(), this);
        sink->setBufferSize(SinkBufferBytes);
        QIODevice* io = sink->start();
        if (io && sink->error() == QAudio::NoError) {
            m_sink = sink;
            m_io = io;
            m_sinkStart = m_handedSamples;
            silent = false;
            if (m_paused)
                m_sink->suspend();
        } else {
            sink->deleteLater();
            m_deviceFailed = true;
        }
    }
    m_open = true;
    m_clock.restart();
    m_clockCredit = 0;
    if (std::exchange(m_silent, silent) != silent)
        Q_EMIT silentChanged(silent);
    return true;
}

void cAudioOutput::dropSink()
{
    if (!m_sink)
        return;
    m_sink->stop();
    // The platform sink may run pending events while it is destroyed; not from in here.
    m_sink->deleteLater();
    m_sink = nullptr;
    m_io = nullptr;
}

void cAudioOutput::updatePlayed()
{
    if (m_paused || !m_open)
        return;
    const qint64 before = m_played;
    if (m_sink) {
        const QAudio::Error error = m_sink->error();
        if (error == QAudio::OpenError || error == QAudio::IOError || error == QAudio::FatalError) {
            // The device went away: what it held is lost, and reading goes on in silence.
            m_deviceFailed = true;
            dropSink();
            m_open = false;
            m_played = m_handedSamples;
        } else {
            // What the server has played out, its own latency taken into account.
            const qint64 heard = m_sinkStart + m_sink->processedUSecs() * SampleRate / 1000000;
            m_played = std::clamp(heard, m_played, m_handedSamples);
        }
    } else {
        m_clockCredit += m_clock.nsecsElapsed() * SampleRate;
        m_clock.restart();
        const qint64 samples = m_clockCredit / 1000000000;
        m_clockCredit -= samples * 1000000000;
        m_played = std::min(m_played + samples, m_handedSamples);
    }
    if (m_played > before)
        Q_EMIT samplesPlayed(m_played - before);
}

qint64 cAudioOutput::room() const
{
    if (m_sink)
        return m_sink->bytesFree() & ~qint64(1);
    return std::max<qint64>(0, m_played + SilentBufferSamples - m_handedSamples) * 2;
}

qint64 cAudioOutput::write(const char* data, qint64 bytes)
{
    qint64 written = bytes;
    if (m_io)
        written = std::max<qint64>(0, m_io->write(data, bytes)) & ~qint64(1);
    m_handedSamples += written / 2;
    return written;
}

void cAudioOutput::feed()
{
    if (m_paused)
        return;
    while (!m_queue.empty()) {
        Item& front = m_queue.front();
        if (front.isEvent) {
            front.event.sample = m_handedSamples;
            m_handed.push_back(
                {front.event, m_handedSamples, front.event.kind == cVoiceEvent::AudioStarted});
            m_queue.pop_front();
            continue;
        }
        if (!ensureOpen())
            break;
        const qint64 want = std::min<qint64>(room(), front.pcm.size() - m_frontOffset);
        if (want < 2)
            break;
        const qint64 written = write(front.pcm.constData() + m_frontOffset, want);
        m_frontOffset += written;
        m_queuedBytes -= written;
        if (m_frontOffset >= front.pcm.size()) {
            m_queue.pop_front();
            m_frontOffset = 0;
        }
        if (written < want)
            break;
    }
    // A sound server holds back a short stream until its buffer is full: silence behind the
    // last samples lets the tail of a stream play.
    if (m_sink && m_queue.empty() && !m_handed.empty() && m_handed.back().at > m_played) {
        const qint64 pad = room();
        if (pad >= 2)
            write(QByteArray(pad, '\0').constData(), pad);
    }
}

void cAudioOutput::deliverDue()
{
    feed();
    // Handlers may speak, purge or pause: take each event off the queue before reporting it.
    while (!m_handed.empty() && !m_paused) {
        const Handed& front = m_handed.front();
        if (!front.atOnce && front.at > m_played)
            break;
        const cVoiceEvent event = front.event;
        m_handed.pop_front();
        Q_EMIT eventReached(event);
    }
}
