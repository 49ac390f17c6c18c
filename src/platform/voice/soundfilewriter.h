#pragma once

#include "platform/voice/audioformat.h"

#include <QFile>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

// Encodes 22,050 Hz 16-bit mono speech into an MP3, Ogg Vorbis, Opus or FLAC file, with the
// tags players show. Ogg, Opus and FLAC go through libsndfile. MP3 is driven through LAME
// itself: libsndfile leaves LAME at its slow default quality, which made the encoder cost
// twice the speech, and writes its tags as Latin-1 only. MP3 is written at 16,000 Hz and
// Opus at 24,000 Hz (it takes no 22,050 Hz audio), resampled on the way.
class cSoundFileWriter {
public:
    static constexpr int InputRate = 22050;
    static constexpr int Mp3Rate = 16000;
    static constexpr int OpusRate = 24000;

    cSoundFileWriter();
    ~cSoundFileWriter();
    cSoundFileWriter(const cSoundFileWriter&) = delete;
    cSoundFileWriter& operator=(const cSoundFileWriter&) = delete;

    // Creates or replaces the file; false with why set when it cannot be written.
    bool open(const QString& path, AudioFormat format, const cAudioTags& tags,
              QString* why = nullptr);
    bool write(const int16_t* samples, qint64 count);
    // Completes the file; false when it was not open or could not be completed.
    bool close();
    bool isOpen() const;
    // Why the last file could not be written, as the system or the encoder says it.
    QString error() const { return m_error; }
    // Why a write to file failed. A write cut short by a full disk carries no reason; trying
    // the rest again gives the system's.
    static QString writeFailure(QFile& file);
    // The rate the file holds.
    int fileRate() const { return m_fileRate; }

private:
    bool openMp3(const QString& path, const cAudioTags& tags, QString* why);
    // Resamples when the file's rate is not the input's; input nullptr ends the stream.
    bool convert(const int16_t* samples, qint64 count);
    bool store(const int16_t* samples, qint64 count);
    bool finishMp3();
    bool fail(const QString& why);

    struct Handles;
    std::unique_ptr<Handles> m_h;
    int m_fileRate = InputRate;
    bool m_failed = false;
    QString m_error;
    std::vector<int16_t> m_resampled;
    std::vector<unsigned char> m_encoded;
};
