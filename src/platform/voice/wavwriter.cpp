#include "platform/voice/wavwriter.h"

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

QByteArray cWavWriter::header(quint32 dataBytes)
{
    QByteArray h(44, '\0');
    char* p = h.data();
    memcpy(p, "RIFF", 4);
    putLe32(p + 4, 36 + dataBytes);
    memcpy(p + 8, "WAVEfmt ", 8);
    putLe32(p + 16, 16);
    putLe16(p + 20, 1); // PCM
    putLe16(p + 22, 1); // mono
    putLe32(p + 24, SampleRate);
    putLe32(p + 28, SampleRate * 2);
    putLe16(p + 32, 2);
    putLe16(p + 34, 16);
    memcpy(p + 36, "data", 4);
    putLe32(p + 40, dataBytes);
    return h;
}

bool cWavWriter::open(const QString& path)
{
    std::lock_guard lock(m_mutex);
    if (m_file.isOpen())
        m_file.close();
    m_file.setFileName(path);
    m_dataBytes = 0;
    m_failed = false;
    m_full = false;
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    if (m_file.write(header(0)) != 44) {
        m_file.close();
        return false;
    }
    return true;
}

bool cWavWriter::append(const int16_t* samples, qint64 count)
{
    std::lock_guard lock(m_mutex);
    if (!m_file.isOpen() || m_failed || m_full || count <= 0)
        return false;
    const qint64 bytes = count * 2;
    // Refused whole: the sizes never wrap, and the file ends between two pieces of speech.
    if (HeaderBytes + m_dataBytes + bytes > m_maxFileBytes) {
        m_full = true;
        return false;
    }
    static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "samples are written in host order");
    const qint64 written = m_file.write(reinterpret_cast<const char*>(samples), bytes);
    if (written != bytes)
        m_failed = true;
    if (written > 0)
        m_dataBytes += static_cast<quint32>(written & ~qint64(1));
    return written == bytes;
}

bool cWavWriter::close()
{
    std::lock_guard lock(m_mutex);
    if (!m_file.isOpen())
        return false;
    bool ok = !m_failed;
    // A failed write may have left half a sample behind; the header covers whole ones.
    ok = m_file.seek(0) && m_file.write(header(m_dataBytes)) == 44 && ok;
    ok = m_file.flush() && ok;
    m_file.close();
    return ok;
}

bool cWavWriter::isOpen() const
{
    std::lock_guard lock(m_mutex);
    return m_file.isOpen();
}

bool cWavWriter::isFull() const
{
    std::lock_guard lock(m_mutex);
    return m_full;
}

qint64 cWavWriter::samplesWritten() const
{
    std::lock_guard lock(m_mutex);
    return m_dataBytes / 2;
}
