#include "platform/voice/soundfilewriter.h"

#include <QFile>

#include <samplerate.h>
#include <sndfile.h>

#include <algorithm>

namespace {

// The lowest rate Opus takes above the speech's own.
constexpr int kOpusRate = 24000;
constexpr qint64 kBlock = 4096;

int sndfileFormat(AudioFormat format)
{
    switch (format) {
    case AudioFormat::Mp3:
        return SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    case AudioFormat::Ogg:
        return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    case AudioFormat::Opus:
        return SF_FORMAT_OGG | SF_FORMAT_OPUS;
    case AudioFormat::Flac:
        return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    case AudioFormat::Wav:
        break;
    }
    return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
}

} // namespace

struct cSoundFileWriter::Handles {
    SNDFILE* file = nullptr;
    SRC_STATE* resampler = nullptr;
    ~Handles()
    {
        if (file)
            sf_close(file);
        if (resampler)
            src_delete(resampler);
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
    m_fileRate = format == AudioFormat::Opus ? kOpusRate : InputRate;
    auto h = std::make_unique<Handles>();
    SF_INFO info{};
    info.samplerate = m_fileRate;
    info.channels = 1;
    info.format = sndfileFormat(format);
    h->file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!h->file) {
        if (why)
            *why = QString::fromLocal8Bit(sf_strerror(nullptr));
        return false;
    }
    if (format == AudioFormat::Mp3) {
        // Variable bit rate costs about a third less time than the constant default, and
        // speech needs few bits.
        int mode = SF_BITRATE_MODE_VARIABLE;
        sf_command(h->file, SFC_SET_BITRATE_MODE, &mode, sizeof mode);
        double level = 0.5;
        sf_command(h->file, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level);
    }
    // The MP3 encoder writes its ID3 tags as Latin-1 whatever it is given; the Vorbis
    // comments of the others are UTF-8.
    const auto encode = [format](const QString& text) {
        return format == AudioFormat::Mp3 ? AudioFormats::latin1Tag(text) : text.toUtf8();
    };
    const auto put = [&](int kind, const QString& text) {
        if (!text.isEmpty())
            sf_set_string(h->file, kind, encode(text).constData());
    };
    put(SF_STR_TITLE, tags.title);
    put(SF_STR_ARTIST, tags.artist);
    put(SF_STR_ALBUM, tags.album);
    if (tags.track > 0)
        put(SF_STR_TRACKNUMBER, QString::number(tags.track));
    if (m_fileRate != InputRate) {
        int error = 0;
        h->resampler = src_new(SRC_SINC_FASTEST, 1, &error);
        if (!h->resampler) {
            if (why)
                *why = QString::fromLocal8Bit(src_strerror(error));
            return false;
        }
    }
    m_h = std::move(h);
    return true;
}

bool cSoundFileWriter::write(const int16_t* samples, qint64 count)
{
    if (!m_h || m_failed)
        return false;
    if (count <= 0)
        return true;
    if (m_h->resampler)
        return resampleAndWrite(samples, count, false);
    if (sf_write_short(m_h->file, samples, count) != count)
        m_failed = true;
    return !m_failed;
}

bool cSoundFileWriter::resampleAndWrite(const int16_t* samples, qint64 count, bool last)
{
    const double ratio = double(m_fileRate) / InputRate;
    qint64 done = 0;
    do {
        const qint64 n = std::min(kBlock, count - done);
        m_in.resize(size_t(std::max<qint64>(n, 1)));
        if (n > 0)
            src_short_to_float_array(samples + done, m_in.data(), int(n));
        m_out.resize(size_t(double(n) * ratio) + 64);
        SRC_DATA data{};
        data.data_in = m_in.data();
        data.input_frames = long(n);
        data.end_of_input = last && done + n >= count;
        data.src_ratio = ratio;
        long used = 0;
        // The converter keeps some input back; a call may take less than it is given.
        do {
            data.data_in = m_in.data() + used;
            data.input_frames = long(n) - used;
            data.data_out = m_out.data();
            data.output_frames = long(m_out.size());
            if (src_process(m_h->resampler, &data) != 0) {
                m_failed = true;
                return false;
            }
            used += data.input_frames_used;
            if (data.output_frames_gen > 0 &&
                sf_write_float(m_h->file, m_out.data(), data.output_frames_gen) !=
                    data.output_frames_gen) {
                m_failed = true;
                return false;
            }
        } while (used < n || (data.end_of_input && data.output_frames_gen > 0));
        done += n;
    } while (done < count);
    return true;
}

bool cSoundFileWriter::close()
{
    if (!m_h)
        return false;
    if (m_h->resampler && !m_failed)
        resampleAndWrite(nullptr, 0, true);
    bool ok = !m_failed;
    ok = sf_close(m_h->file) == 0 && ok;
    m_h->file = nullptr;
    m_h.reset();
    return ok;
}

bool cSoundFileWriter::isOpen() const
{
    return m_h != nullptr;
}
