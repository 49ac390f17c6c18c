#pragma once

#include "platform/voice/audioformat.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

// Encodes 22,050 Hz 16-bit mono speech into an MP3, Ogg Vorbis, Opus or FLAC file through
// libsndfile, with the tags players show. Opus takes no 22,050 Hz audio: it is resampled
// to 24,000 Hz on the way.
class cSoundFileWriter {
public:
    static constexpr int InputRate = 22050;

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
    // The rate the file holds (the input's, but for Opus).
    int fileRate() const { return m_fileRate; }

private:
    bool resampleAndWrite(const int16_t* samples, qint64 count, bool last);

    struct Handles;
    std::unique_ptr<Handles> m_h;
    int m_fileRate = InputRate;
    bool m_failed = false;
    std::vector<float> m_in;
    std::vector<float> m_out;
};
