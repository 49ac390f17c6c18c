#include "soundcheck.h"

#include <QFile>

#include <sndfile.h>

SoundCheck SoundCheck::read(const QString& path)
{
    SoundCheck check;
    SF_INFO info{};
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!file)
        return check;
    // Tags as read back: Latin-1 in WAV, UTF-8 in the others (MP3's UTF-16 comes out so).
    const bool wav = (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_WAV;
    const auto text = [&](int kind) {
        const char* value = sf_get_string(file, kind);
        if (!value)
            return QString();
        return wav ? QString::fromLatin1(value) : QString::fromUtf8(value);
    };
    check.title = text(SF_STR_TITLE);
    check.artist = text(SF_STR_ARTIST);
    check.album = text(SF_STR_ALBUM);
    check.track = text(SF_STR_TRACKNUMBER);
    check.rate = info.samplerate;
    // The length in the header is not trusted: the file is decoded to its end.
    short buffer[8192];
    sf_count_t n;
    while ((n = sf_readf_short(file, buffer, 8192)) > 0)
        check.frames += n;
    check.valid = info.channels == 1 && check.frames > 0;
    sf_close(file);
    return check;
}
