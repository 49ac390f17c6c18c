#pragma once

#include "platform/voice/audioformat.h"

#include <QFile>
#include <QString>

#include <cstdint>
#include <memory>
#include <mutex>

class cSoundFileWriter;

// A 22,050 Hz, 16-bit mono WAV file that the synthesis thread appends to while the UI
// thread may close it; the sizes in the header are right once it is closed. A path ending
// in .mp3, .ogg, .opus or .flac gets that kind of file instead, which has no size limit.
class cWavWriter {
public:
    static constexpr int SampleRate = 22050;
    // The largest file whose sizes a RIFF header can hold (about 27 hours of speech).
    static constexpr qint64 RiffLimit = 44 + 0xFFFFFFFFLL - 64;

    // A file never grows beyond maxFileBytes, header included (at most RiffLimit).
    explicit cWavWriter(qint64 maxFileBytes = RiffLimit);
    ~cWavWriter();
    cWavWriter(const cWavWriter&) = delete;
    cWavWriter& operator=(const cWavWriter&) = delete;

    // RiffLimit, or less when PARLO_WAV_LIMIT (bytes) asks for it, so that the limit can be
    // tried without writing gigabytes.
    static qint64 configuredLimit();

    // Tags for the files opened from now on.
    void setTags(const cAudioTags& tags);
    // Creates or replaces the file; false when it cannot be written.
    bool open(const QString& path);
    // False when nothing was written: the file is closed (speech still being synthesised for
    // a closed file goes nowhere), a write failed, or the samples would take the file past
    // its limit. In that last case the file is full and takes no more samples.
    bool append(const int16_t* samples, qint64 count);
    // Completes the header; false when the file was not open or could not be completed.
    bool close();
    bool isOpen() const;
    // Why the last file could not be written or completed, as the system says it.
    QString error() const;
    // Speech was refused because the file reached its limit; stays so until the next open.
    bool isFull() const;
    qint64 samplesWritten() const;
    qint64 maxFileBytes() const { return m_maxFileBytes; }

    // The header of a file holding dataBytes of samples: 44 bytes, and the tags' chunk.
    static QByteArray header(quint32 dataBytes, const QByteArray& infoChunk = {});
    // The RIFF INFO list of the tags; empty when there are none.
    static QByteArray infoChunk(const cAudioTags& tags);

private:
    qint64 headerBytes() const { return 44 + m_info.size(); }

    mutable std::mutex m_mutex;
    QFile m_file;
    std::unique_ptr<cSoundFileWriter> m_encoder;
    cAudioTags m_tags;
    QByteArray m_info;
    qint64 m_encodedSamples = 0;
    const qint64 m_maxFileBytes;
    quint32 m_dataBytes = 0;
    bool m_failed = false;
    bool m_full = false;
    QString m_error;
};
