#pragma once

#include <QString>
#include <QStringList>

class clsTalker;

// The voice every worker speaks with, as the reader or the command line has it set.
struct cVoiceChoice {
    QString voiceName; // as the voice list names it; the first voice when empty or unknown
    int rate = 0;      // -10 .. 10
    int pitch = 0;     // -10 .. 10
    QString variant;   // the variant's key; the voice's own sound when empty

    // The options that give a worker process this voice.
    QStringList arguments() const;
    // Sets the Talker's voice, speed and pitch as the reader's own controls would.
    void applyTo(clsTalker& talker) const;
};

// A worker process of an audiobook: it reads jobs from stdin, one JSON object a line, and
// answers each on stdout with "done ID RSS_KB PEAK_RSS_KB", "full ID" (a WAV file
// reached 4 GB) or "failed ID WHY", with "progress ID PERMILLE" lines on the way. A job
// either speaks a text file into a sound file ("text") or joins WAV pieces into one
// ("pieces"); "out" names the file, "title", "artist", "album" and "track" its tags.
namespace AudiobookWorker {

// Until stdin ends. Returns the process exit code.
int run(const cVoiceChoice& voice);

} // namespace AudiobookWorker
