#include "platform/voice/audioformat.h"

#include <QFileInfo>

namespace AudioFormats {

std::optional<AudioFormat> fromName(const QString& name)
{
    const QString n = name.toLower();
    if (n == u"wav")
        return AudioFormat::Wav;
    if (n == u"mp3")
        return AudioFormat::Mp3;
    if (n == u"ogg" || n == u"oga")
        return AudioFormat::Ogg;
    if (n == u"opus")
        return AudioFormat::Opus;
    if (n == u"flac")
        return AudioFormat::Flac;
    return std::nullopt;
}

AudioFormat fromPath(const QString& path)
{
    return fromName(QFileInfo(path).suffix()).value_or(AudioFormat::Wav);
}

QString extension(AudioFormat format)
{
    switch (format) {
    case AudioFormat::Mp3:
        return QStringLiteral("mp3");
    case AudioFormat::Ogg:
        return QStringLiteral("ogg");
    case AudioFormat::Opus:
        return QStringLiteral("opus");
    case AudioFormat::Flac:
        return QStringLiteral("flac");
    case AudioFormat::Wav:
        break;
    }
    return QStringLiteral("wav");
}

QString filter(AudioFormat format)
{
    switch (format) {
    case AudioFormat::Mp3:
        return QStringLiteral("MP3 Files (*.mp3)");
    case AudioFormat::Ogg:
        return QStringLiteral("Ogg Vorbis Files (*.ogg)");
    case AudioFormat::Opus:
        return QStringLiteral("Opus Files (*.opus)");
    case AudioFormat::Flac:
        return QStringLiteral("FLAC Files (*.flac)");
    case AudioFormat::Wav:
        break;
    }
    return QStringLiteral("Wave Files (*.wav)");
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

} // namespace AudioFormats
