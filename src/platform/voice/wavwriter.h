#pragma once

#include <QFile>
#include <QString>

#include <cstdint>
#include <mutex>

// A 22,050 Hz, 16-bit mono WAV file that the synthesis thread appends to while the UI
// thread may close it; the sizes in the header are right once it is closed.
class cWavWriter {
public:
    static constexpr int SampleRate = 22050;

    cWavWriter() = default;
    ~cWavWriter();
    cWavWriter(const cWavWriter&) = delete;
    cWavWriter& operator=(const cWavWriter&) = delete;

    // Creates or replaces the file; false when it cannot be written.
    bool open(const QString& path);
    // Ignored once the file is closed, so that speech still being synthesised for a closed
    // file goes nowhere.
    void append(const int16_t* samples, qint64 count);
    // Completes the header; false when the file was not open or could not be completed.
    bool close();
    bool isOpen() const;
    qint64 samplesWritten() const;

    // The 44-byte header of a file holding dataBytes of samples.
    static QByteArray header(quint32 dataBytes);

private:
    mutable std::mutex m_mutex;
    QFile m_file;
    quint32 m_dataBytes = 0;
    bool m_failed = false;
};
