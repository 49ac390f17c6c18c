#include "platform/voice/soundfilewriter.h"

#include <QFile>

#include <lame.h>
#include <sndfile.h>
#include <soxr.h>

#include <algorithm>

namespace {

constexpr size_t kBlock = 4096;
// LAME's fast algorithm quality: its slower searches gain speech nothing audible.
constexpr int kLameQuality = 7;
// Variable bit rate: about 32 kbit/s for speech at 16,000 Hz, sibilants kept.
constexpr float kLameVbrQuality = 7.0f;

int sndfileFormat(AudioFormat format)
{
    switch (format) {
    case AudioFormat::Ogg:
        return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    case AudioFormat::Opus:
        return SF_FORMAT_OGG | SF_FORMAT_OPUS;
    case AudioFormat::Flac:
        return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    case AudioFormat::Mp3:
    case AudioFormat::Wav:
        break;
    }
    return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
}

int fileRateFor(AudioFormat format)
{
    switch (format) {
    case AudioFormat::Mp3:
        return cSoundFileWriter::Mp3Rate;
    case AudioFormat::Opus:
        return cSoundFileWriter::OpusRate;
    default:
        return cSoundFileWriter::InputRate;
    }
}

// ID3v2 text as UTF-16 with its byte-order mark, as LAME wants it.
bool setId3(lame_t lame, const char* frame, const QString& text)
{
    if (text.isEmpty())
        return true;
    const QString marked = QChar(0xFEFF) + text;
    return id3tag_set_textinfo_utf16(lame, frame,
                                     reinterpret_cast<const unsigned short*>(marked.utf16())) == 0;
}

} // namespace

struct cSoundFileWriter::Handles {
    SNDFILE* file = nullptr;
    soxr_t resampler = nullptr;
    lame_t lame = nullptr;
    QFile mp3;
    qint64 audioStart = 0;
    ~Handles()
    {
        if (file)
            sf_close(file);
        if (resampler)
            soxr_delete(resampler);
        if (lame)
            lame_close(lame);
    }
};

cSoundFileWriter::cSoundFileWriter() = default;

cSoundFileWriter::~cSoundFileWriter()
{
    close();
}

bool cSoundFileWriter::open(const QString& path, AudioFormat format, const cAudioTags& tags,
                            QString* why)
{
    close();
    m_failed = false;
    m_error.clear();
    m_fileRate = fileRateFor(format);
    auto h = std::make_unique<Handles>();
    if (m_fileRate != InputRate) {
        soxr_error_t error = nullptr;
        const soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
        // Dither would turn the pauses' silence into noise the encoders spend bits on.
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, SOXR_NO_DITHER);
        h->resampler = soxr_create(InputRate, m_fileRate, 1, &error, &io, &quality, nullptr);
        if (!h->resampler) {
            if (why)
                *why = QString::fromLocal8Bit(soxr_strerror(error));
            return false;
        }
    }
    m_h = std::move(h);
    if (format == AudioFormat::Mp3) {
        if (!openMp3(path, tags, why)) {
            m_h.reset();
            return false;
        }
        return true;
    }

    SF_INFO info{};
    info.samplerate = m_fileRate;
    info.channels = 1;
    info.format = sndfileFormat(format);
    m_h->file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!m_h->file) {
        if (why)
            *why = QString::fromLocal8Bit(sf_strerror(nullptr));
        m_h.reset();
        return false;
    }
    const auto put = [&](int kind, const QString& text) {
        if (!text.isEmpty())
            sf_set_string(m_h->file, kind, text.toUtf8().constData());
    };
    put(SF_STR_TITLE, tags.title);
    put(SF_STR_ARTIST, tags.artist);
    put(SF_STR_ALBUM, tags.album);
    if (tags.track > 0)
        put(SF_STR_TRACKNUMBER, QString::number(tags.track));
    return true;
}

bool cSoundFileWriter::openMp3(const QString& path, const cAudioTags& tags, QString* why)
{
    const auto fail = [why](const QString& reason) {
        if (why)
            *why = reason;
        return false;
    };
    m_h->mp3.setFileName(path);
    if (!m_h->mp3.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(m_h->mp3.errorString());
    lame_t lame = m_h->lame = lame_init();
    if (!lame)
        return fail(QStringLiteral("The MP3 encoder could not be started."));
    lame_set_in_samplerate(lame, Mp3Rate);
    lame_set_out_samplerate(lame, Mp3Rate);
    lame_set_num_channels(lame, 1);
    lame_set_mode(lame, MONO);
    lame_set_quality(lame, kLameQuality);
    lame_set_VBR(lame, vbr_default);
    lame_set_VBR_quality(lame, kLameVbrQuality);
    // Short blocks cost a fifth of the encoder's time and change the speech's error by less
    // than a tenth of a decibel.
    lame_set_no_short_blocks(lame, 1);
    // The tag goes in front by hand so that the length frame after it can be found again.
    lame_set_write_id3tag_automatic(lame, 0);
    id3tag_init(lame);
    id3tag_v2_only(lame);
    const bool tagged = setId3(lame, "TIT2", tags.title) && setId3(lame, "TPE1", tags.artist) &&
                        setId3(lame, "TALB", tags.album) &&
                        (tags.track <= 0 || setId3(lame, "TRCK", QString::number(tags.track)));
    if (!tagged || lame_init_params(lame) < 0)
        return fail(QStringLiteral("The MP3 encoder refused its settings."));
    QByteArray tag(qsizetype(lame_get_id3v2_tag(lame, nullptr, 0)), '\0');
    if (!tag.isEmpty())
        lame_get_id3v2_tag(lame, reinterpret_cast<unsigned char*>(tag.data()), size_t(tag.size()));
    if (m_h->mp3.write(tag) != tag.size())
        return fail(writeFailure(m_h->mp3));
    m_h->audioStart = tag.size();
    return true;
}

bool cSoundFileWriter::write(const int16_t* samples, qint64 count)
{
    if (!m_h || m_failed)
        return false;
    if (count <= 0)
        return true;
    if (m_h->resampler)
        return convert(samples, count);
    return store(samples, count);
}

bool cSoundFileWriter::convert(const int16_t* samples, qint64 count)
{
    const bool end = samples == nullptr;
    m_resampled.resize(kBlock);
    size_t used = 0;
    for (;;) {
        size_t taken = 0;
        size_t made = 0;
        const soxr_error_t error = soxr_process(m_h->resampler, end ? nullptr : samples + used,
                                                end ? 0 : size_t(count) - used, &taken,
                                                m_resampled.data(), m_resampled.size(), &made);
        if (error)
            return fail(QString::fromLocal8Bit(error));
        used += taken;
        if (made > 0 && !store(m_resampled.data(), qint64(made)))
            return false;
        // The resampler keeps some input back; the end of the stream drains it.
        if (end ? made == 0 : used >= size_t(count))
            return true;
    }
}

bool cSoundFileWriter::store(const int16_t* samples, qint64 count)
{
    if (!m_h->lame) {
        if (sf_write_short(m_h->file, samples, count) != count)
            return fail(QString::fromLocal8Bit(sf_strerror(m_h->file)));
        return true;
    }
    // LAME's own bound for one call's output.
    m_encoded.resize(size_t(count) * 5 / 4 + 7200);
    const int n = lame_encode_buffer(m_h->lame, samples, samples, int(count), m_encoded.data(),
                                     int(m_encoded.size()));
    if (n < 0)
        return fail(QStringLiteral("the MP3 encoder failed (%1)").arg(n));
    if (m_h->mp3.write(reinterpret_cast<const char*>(m_encoded.data()), n) != n)
        return fail(writeFailure(m_h->mp3));
    return true;
}

QString cSoundFileWriter::writeFailure(QFile& file)
{
    if (file.errorString() == QFile().errorString())
        file.flush();
    return file.errorString();
}

bool cSoundFileWriter::fail(const QString& why)
{
    if (!m_failed)
        m_error = why;
    m_failed = true;
    return false;
}

bool cSoundFileWriter::finishMp3()
{
    m_encoded.resize(7200);
    const int n = lame_encode_flush(m_h->lame, m_encoded.data(), int(m_encoded.size()));
    if (n < 0 || m_h->mp3.write(reinterpret_cast<const char*>(m_encoded.data()), n) != n)
        return false;
    // The first frame is left empty for the length and gapless information, known only now.
    const size_t frame = lame_get_lametag_frame(m_h->lame, m_encoded.data(), m_encoded.size());
    if (frame > 0 && frame <= m_encoded.size()) {
        if (!m_h->mp3.seek(m_h->audioStart) ||
            m_h->mp3.write(reinterpret_cast<const char*>(m_encoded.data()), qint64(frame)) !=
                qint64(frame))
            return false;
    }
    return m_h->mp3.flush();
}

bool cSoundFileWriter::close()
{
    if (!m_h)
        return false;
    if (m_h->resampler && !m_failed)
        convert(nullptr, 0);
    if (m_h->lame) {
        if (!m_failed && !finishMp3())
            fail(writeFailure(m_h->mp3));
        m_h->mp3.close();
        if (m_h->mp3.error() != QFileDevice::NoError)
            fail(m_h->mp3.errorString());
    } else {
        const int closed = sf_close(m_h->file);
        m_h->file = nullptr;
        if (closed != 0)
            fail(QString::fromLocal8Bit(sf_error_number(closed)));
    }
    m_h.reset();
    return !m_failed;
}

bool cSoundFileWriter::isOpen() const
{
    return m_h != nullptr;
}
