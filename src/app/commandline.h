#pragma once

#include <QString>
#include <QStringList>

// What the user asked for on the command line.
struct CommandLine {
    enum class Mode {
        Window,
        Version,
        Help,
        ListVoices,
        Wav,
        Text,
        BuildCatalogue,
        UpdateCatalogue,
        Search,
        Download,
        Audiobook,
        AudiobookWorker,
        Error
    };
    Mode mode = Mode::Window;
    // The document to open and read at once; double quotes removed, separate words joined
    // again, so an unquoted path with blanks still names one file.
    QString document;
    // The books named after the first when a file manager passes several at once.
    QStringList otherDocuments;
    QString wavFile;
    int voice = -1; // 1-based as the user counts; -1 when not given
    int rate = 0;
    int pitch = 0;
    bool rateGiven = false;
    bool pitchGiven = false;
    bool australia = false;  // --update-catalogue also fetches the Australian catalogue
    QStringList searchWords; // --search
    QString language;        // --search --language CODE; empty for all
    QString downloadPath;    // --download: a path of the catalogue
    QString audiobookFolder; // --audiobook FOLDER
    QString audioFormat;     // --format: mp3, ogg, opus, flac or wav
    QString voiceName;       // the workers' voice, by name
    QString voiceVariant;    // and its variant's key
    QString error;
    // The error is an option we do not know; it may be one of Qt's own (-style Fusion).
    bool unknownOption = false;
    QString helpText;

    static CommandLine parse(const QStringList& arguments);
    // True when the request needs no window (and so no display).
    bool needsNoWindow() const { return mode != Mode::Window; }
};
