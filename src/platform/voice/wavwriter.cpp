#include "platform/voice/wavwriter.h"

#include "platform/voice/soundfilewriter.h"

#include <QtEndian>

#include <algorithm>

namespace {

constexpr qint64 HeaderBytes = 44;

void putLe32(char* at, quint32 v)
{
    qToLittleEndian<quint32>(v, at);
}
void putLe16(char* at, quint16 v)
{
    qToLittleEndian<quint16>(v, at);
}

} // namespace

cWavWriter::cWavWriter(qint64 maxFileBytes)
    : m_maxFileBytes(std::clamp(maxFileBytes, HeaderBytes, RiffLimit))
{
}

cWavWriter::~cWavWriter()
{
    close();
}

qint64 cWavWriter::configuredLimit()
{
    bool ok = false;
    const qint64 lowered = qEnvironmentVariable("PARLO_WAV_LIMIT").toLongLong(&ok);
    return ok && lowered > 0 ? std::min(lowered, RiffLimit) : RiffLimit;
}

QByteArray cWavWriter::infoChunk(const cAudioTags& tags)
{
    QByteArray list("INFO");
    const auto add = [&](const char* id, const QString& text) {
        QByteArray value = AudioFormats::latin1Tag(text);
        if (value.isEmpty())
            return;
        value.truncate(250);
        value += '\0';
        if (value.size() % 2)
            value += '\0';
        char size[4];
        putLe32(size, quint32(value.size()));
        list += QByteArray(id, 4) + QByteArray(size, 4) + value;
    };
    add("INAM", tags.title);
    add("IART", tags.artist);
    add("IPRD", tags.album);
    if (tags.track > 0)
        add("ITRK", QString::number(tags.track));
    if (list.size() == 4)
        return {};
    char size[4];
    putLe32(size, quint32(list.size()));
    return QByteArray("LIST", 4) + QByteArray(size, 4) + list;
}

QByteArray cWavWriter::header(quint32 dataBytes, const QByteArray& infoChunk)
{
    QByteArray h(36, '\0');
    char* p = h.data();
    memcpy(p, "RIFF", 4);
    putLe32(p + 4, 36 + quint32(infoChunk.size()) + dataBytes);
    memcpy(p + 8, "WAVEfmt ", 8);
    putLe32(p + 16, 16);
    putLe16(p + 20, 1); // PCM
    putLe16(p + 22, 1); // mono
    putLe32(p + 24, SampleRate);
    putLe32(p + 28, SampleRate * 2);
    putLe16(p + 32, 2);
    putLe16(p + 34, 16);
    h += infoChunk;
    char data[8];
    memcpy(data, "data", 4);
    putLe32(data + 4, dataBytes);
    h += QByteArray(data, 8);
    return h;
}

void cWavWriter::setTags(const cAudioTags& tags)
{
    std::lock_guard lock(m_mutex);
    m_tags = tags;
}

bool cWavWriter::open(const QString& path)
{
    std::lock_guard lock(m_mutex);
    if (m_file.isOpen())
        m_file.close();
    m_encoder.reset();
    m_encodedSamples = 0;
    m_dataBytes = 0;
    m_failed = false;
    m_full = false;
    m_error.clear();
    const AudioFormat format = AudioFormats::fromPath(path);
    if (format != AudioFormat::Wav) {
        auto encoder = std::make_unique<cSoundFileWriter>();
        if (!encoder->open(path, format, m_tags))
            return false;
        m_encoder = std::move(encoder);
        return true;
    }
    m_info = infoChunk(m_tags);
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    if (m_file.write(header(0, m_info)) != headerBytes()) {
        m_file.close();
        return false;
    }
    return true;
}

bool cWavWriter::append(const int16_t* samples, qint64 count)
{
    std::lock_guard lock(m_mutex);
    if (m_encoder) {
        if (count <= 0)
            return false;
        if (!m_encoder->write(samples, count)) {
            m_error = m_encoder->error();
            return false;
        }
        m_encodedSamples += count;
        return true;
    }
    if (!m_file.isOpen() || m_failed || m_full || count <= 0)
        return false;
    const qint64 bytes = count * 2;
    // Refused whole: the sizes never wrap, and the file ends between two pieces of speech.
    // The tags take their room from what a RIFF header can count.
    const qint64 limit = std::min(m_maxFileBytes, RiffLimit - (headerBytes() - HeaderBytes));
    if (headerBytes() + m_dataBytes + bytes > limit) {
        m_full = true;
        return false;
    }
    static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "samples are written in host order");
    const qint64 written = m_file.write(reinterpret_cast<const char*>(samples), bytes);
    if (written != bytes && !m_failed) {
        m_failed = true;
        m_error = cSoundFileWriter::writeFailure(m_file);
    }
    if (written > 0)
        m_dataBytes += static_cast<quint32>(written & ~qint64(1));
    return written == bytes;
}

bool cWavWriter::close()
{
    std::lock_guard lock(m_mutex);
    if (m_encoder) {
        const bool done = m_encoder->close();
        m_error = m_encoder->error();
        m_encoder.reset();
        return done;
    }
    if (!m_file.isOpen())
        return false;
    bool ok = !m_failed;
    // A failed write may have left half a sample behind; the header covers whole ones.
    ok = m_file.seek(0) && m_file.write(header(m_dataBytes, m_info)) == headerBytes() && ok;
    ok = m_file.flush() && ok;
    if (!ok && m_error.isEmpty())
        m_error = cSoundFileWriter::writeFailure(m_file);
    m_file.close();
    return ok;
}

QString cWavWriter::error() const
{
    std::lock_guard lock(m_mutex);
    return m_error;
}

bool cWavWriter::isOpen() const
{
    std::lock_guard lock(m_mutex);
    return m_encoder || m_file.isOpen();
}

bool cWavWriter::isFull() const
{
    std::lock_guard lock(m_mutex);
    return m_full;
}

qint64 cWavWriter::samplesWritten() const
{
    std::lock_guard lock(m_mutex);
    return m_encodedSamples + m_dataBytes / 2;
}
