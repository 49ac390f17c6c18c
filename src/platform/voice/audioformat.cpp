#include "platform/voice/audioformat.h"

#include <QFile>
#include <QFileInfo>

#include <sndfile.h>

namespace AudioFormats {

namespace {

struct Kind {
    AudioFormat format;
    const char* extension;
    const char* filter;
};

// Wav first: what any unknown format falls back to.
constexpr Kind kKinds[] = {
    {AudioFormat::Wav, "wav", "Wave Files (*.wav)"},
    {AudioFormat::Mp3, "mp3", "MP3 Files (*.mp3)"},
    {AudioFormat::Ogg, "ogg", "Ogg Vorbis Files (*.ogg)"},
    {AudioFormat::Opus, "opus", "Opus Files (*.opus)"},
    {AudioFormat::Flac, "flac", "FLAC Files (*.flac)"},
};

const Kind& kindOf(AudioFormat format)
{
    for (const Kind& kind : kKinds) {
        if (kind.format == format)
            return kind;
    }
    return kKinds[0];
}

} // namespace

std::optional<AudioFormat> fromName(const QString& name)
{
    const QString n = name.toLower();
    if (n == u"oga")
        return AudioFormat::Ogg;
    for (const Kind& kind : kKinds) {
        if (n == QLatin1String(kind.extension))
            return kind.format;
    }
    return std::nullopt;
}

AudioFormat fromPath(const QString& path)
{
    return fromName(QFileInfo(path).suffix()).value_or(AudioFormat::Wav);
}

QString extension(AudioFormat format)
{
    return QLatin1String(kindOf(format).extension);
}

QString filter(AudioFormat format)
{
    return QLatin1String(kindOf(format).filter);
}

QByteArray latin1Tag(const QString& text)
{
    QByteArray out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() < 0x20)
            continue;
        if (c.unicode() < 0x100) {
            out += char(c.unicode());
            continue;
        }
        // "ĉ" becomes "c" rather than "?".
        const QString plain = QString(c).normalized(QString::NormalizationForm_D);
        const QChar base = plain.isEmpty() ? QChar() : plain.front();
        if (plain.size() > 1 && base.unicode() < 0x100)
            out += char(base.unicode());
        else if (!c.isLowSurrogate())
            out += '?';
    }
    return out;
}

double playingSeconds(const QString& path)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!file)
        return -1;
    sf_close(file);
    return info.samplerate > 0 && info.frames >= 0 ? double(info.frames) / info.samplerate : -1;
}

} // namespace AudioFormats
