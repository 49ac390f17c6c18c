#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The kinds of sound file speech can be read into; the file's extension chooses.
enum class AudioFormat { Wav, Mp3, Ogg, Opus, Flac };

// What players show of a file: the book's title and author, the chapter and its number.
struct cAudioTags {
    QString title;
    QString artist;
    QString album;
    int track = 0; // 0: none
    bool isEmpty() const
    {
        return title.isEmpty() && artist.isEmpty() && album.isEmpty() && !track;
    }
};

namespace AudioFormats {

// "mp3", "ogg", "opus", "flac" or "wav" in any letter case ("oga" is Ogg too).
std::optional<AudioFormat> fromName(const QString& name);
// By the path's extension; WAV for any other, as a file named freely has always been.
AudioFormat fromPath(const QString& path);
// The usual extension, without the dot.
QString extension(AudioFormat format);
// "MP3 Files (*.mp3)" and the like, for a save dialog.
QString filter(AudioFormat format);
// How long the sound file plays, in seconds; -1 when it cannot be read.
double playingSeconds(const QString& path);
// The text in Latin-1, for tags that players read as Latin-1 (RIFF INFO):
// accents that Latin-1 lacks are dropped, other characters become "?".
QByteArray latin1Tag(const QString& text);

} // namespace AudioFormats
