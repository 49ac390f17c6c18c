#include "platform/voice/wavwriter.h"

#include <QtEndian>

#include <limits>

namespace {

// RIFF sizes are 32-bit; longer speech is cut off rather than written with a wrapped size.
constexpr quint32 MaxDataBytes = std::numeric_limits<quint32>::max() - 64;

void putLe32(char* at, quint32 v)
{
    qToLittleEndian<quint32>(v, at);
}
void putLe16(char* at, quint16 v)
{
    qToLittleEndian<quint16>(v, at);
}

} // namespace

cWavWriter::~cWavWriter()
{
    close();
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
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    if (m_file.write(header(0)) != 44) {
        m_file.close();
        return false;
    }
    return true;
}

void cWavWriter::append(const int16_t* samples, qint64 count)
{
    std::lock_guard lock(m_mutex);
    if (!m_file.isOpen() || m_failed || count <= 0)
        return;
    qint64 bytes = count * 2;
    if (m_dataBytes + bytes > MaxDataBytes)
        bytes = (MaxDataBytes - m_dataBytes) & ~qint64(1);
    if (bytes <= 0)
        return;
    static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "samples are written in host order");
    const qint64 written = m_file.write(reinterpret_cast<const char*>(samples), bytes);
    if (written != bytes)
        m_failed = true;
    if (written > 0)
        m_dataBytes += static_cast<quint32>(written & ~qint64(1));
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

qint64 cWavWriter::samplesWritten() const
{
    std::lock_guard lock(m_mutex);
    return m_dataBytes / 2;
}
