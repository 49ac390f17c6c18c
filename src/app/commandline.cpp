#include "app/commandline.h"

#include "parlo_config.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

bool parseInt(const QString& text, int low, int high, int& out)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < low || value > high)
        return false;
    out = value;
    return true;
}

} // namespace

CommandLine CommandLine::parse(const QStringList& arguments)
{
    CommandLine result;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Parlo reads books aloud, sentence by sentence, and can read them into "
                       "WAV files."));
    const QCommandLineOption help({"h", "help"}, QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({"v", "version"},
                                     QStringLiteral("Show the version and exit."));
    const QCommandLineOption wav(
        QStringLiteral("wav"),
        QStringLiteral("Read FILE into the sound file OUT and exit; OUT's extension "
                       "chooses WAV, MP3, Ogg Vorbis (.ogg), Opus or "
                       "FLAC."),
        QStringLiteral("OUT"));
    const QCommandLineOption text(
        QStringLiteral("text"),
        QStringLiteral("Print FILE as plain text (UTF-8), as the reader shows it, and exit."));
    const QCommandLineOption voice(QStringLiteral("voice"),
                                   QStringLiteral("Voice number N (see --list-voices)."),
                                   QStringLiteral("N"));
    const QCommandLineOption rate(QStringLiteral("rate"),
                                  QStringLiteral("Speed R, from -10 to 10 (0 is normal)."),
                                  QStringLiteral("R"));
    const QCommandLineOption pitch(QStringLiteral("pitch"),
                                   QStringLiteral("Pitch P, from -10 to 10 (0 is normal)."),
                                   QStringLiteral("P"));
    const QCommandLineOption variant(
        QStringLiteral("variant"),
        QStringLiteral("Voice variant KEY, as espeak-ng names it (f1 to f5, m1 to m7, ...)."),
        QStringLiteral("KEY"));
    const QCommandLineOption listVoices(QStringLiteral("list-voices"),
                                        QStringLiteral("Print the numbered voice list and exit."));
    const QCommandLineOption buildCatalogue(
        QStringLiteral("build-catalogue"),
        QStringLiteral("Rebuild the Project Gutenberg catalogue from the source files in the "
                       "program folder and print the number of books in it."));
    const QCommandLineOption updateCatalogue(
        QStringLiteral("update-catalogue"),
        QStringLiteral("Download the catalogue's source files from the catalogue URL, rebuild "
                       "the catalogue and print the number of books in it."));
    const QCommandLineOption australia(
        QStringLiteral("australia"),
        QStringLiteral("With --update-catalogue: also fetch the Project Gutenberg Australia "
                       "catalogue."));
    const QCommandLineOption search(
        QStringLiteral("search"),
        QStringLiteral("Print \"path<TAB>title\" for every book whose title or author holds "
                       "all the words given as arguments (letter case and accents ignored)."));
    const QCommandLineOption language(
        QStringLiteral("language"),
        QStringLiteral("With --search: only books in language CODE (en, fr, ...)."),
        QStringLiteral("CODE"));
    const QCommandLineOption download(
        QStringLiteral("download"),
        QStringLiteral("Download the book at PATH of the catalogue into the books folder, unpack "
                       "it, and print the local file's path."),
        QStringLiteral("PATH"));
    const QCommandLineOption audiobook(
        QStringLiteral("audiobook"),
        QStringLiteral("Read FILE into FOLDER as sound files, one a chapter (\"01 - Title.mp3\", "
                       "...), with a playlist, and exit."),
        QStringLiteral("FOLDER"));
    const QCommandLineOption format(
        QStringLiteral("format"),
        QStringLiteral("With --audiobook: the files' format, mp3, ogg, opus, flac or wav "
                       "(mp3 when not given)."),
        QStringLiteral("FORMAT"));
    QCommandLineOption worker(QStringLiteral("audiobook-worker"));
    worker.setFlags(QCommandLineOption::HiddenFromHelp);
    QCommandLineOption voiceName(QStringLiteral("voice-name"), QString(), QStringLiteral("NAME"));
    voiceName.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOptions({help, version, wav, audiobook, format, voice, rate, pitch, variant, text,
                       listVoices, buildCatalogue, updateCatalogue, australia, search, language,
                       download, worker, voiceName});
    parser.addPositionalArgument(
        QStringLiteral("FILE"),
        QStringLiteral("A book to open and read at once; of several books, the first."),
        QStringLiteral("[FILE...]"));
    // The usage line names the program, whatever the binary that parses is called.
    result.helpText = parser.helpText();
    result.helpText.replace(QRegularExpression(QStringLiteral("^Usage: \\S+")),
                            QStringLiteral("Usage: parlo"));

    // "--" ends the options: a book whose name starts with "-" follows it.
    if (!parser.parse(arguments)) {
        result.mode = Mode::Error;
        result.error = parser.errorText();
        result.unknownOption = !parser.unknownOptionNames().isEmpty();
        return result;
    }
    const QStringList positional = parser.positionalArguments();
    result.document = positional.join(' ');
    result.document.remove('"');
    // A file manager passes several books as separate arguments; an unquoted path with
    // blanks arrives as words that only name a file when joined again.
    if (positional.size() > 1 && !QFileInfo::exists(result.document) &&
        QFileInfo::exists(positional.first())) {
        result.document = positional.first();
        result.otherDocuments = positional.mid(1);
    }

    if (parser.isSet(voice) && !parseInt(parser.value(voice), 1, 100000, result.voice)) {
        result.mode = Mode::Error;
        result.error = "voice number must be a whole number from 1: " + parser.value(voice);
        return result;
    }
    if (parser.isSet(rate)) {
        result.rateGiven = true;
        if (!parseInt(parser.value(rate), -10, 10, result.rate)) {
            result.mode = Mode::Error;
            result.error = "rate must be from -10 to 10: " + parser.value(rate);
            return result;
        }
    }
    result.voiceVariant = parser.value(variant).trimmed();
    if (parser.isSet(pitch)) {
        result.pitchGiven = true;
        if (!parseInt(parser.value(pitch), -10, 10, result.pitch)) {
            result.mode = Mode::Error;
            result.error = "pitch must be from -10 to 10: " + parser.value(pitch);
            return result;
        }
    }

    if (parser.isSet(help)) {
        result.mode = Mode::Help;
    } else if (parser.isSet(version)) {
        result.mode = Mode::Version;
    } else if (parser.isSet(buildCatalogue)) {
        result.mode = Mode::BuildCatalogue;
    } else if (parser.isSet(updateCatalogue)) {
        result.mode = Mode::UpdateCatalogue;
        result.australia = parser.isSet(australia);
    } else if (parser.isSet(search)) {
        result.mode = Mode::Search;
        result.searchWords = parser.positionalArguments();
        result.language = parser.value(language).trimmed();
        if (result.searchWords.isEmpty() && result.language.isEmpty()) {
            result.mode = Mode::Error;
            result.error = QStringLiteral("--search needs one or more WORDS or a --language");
        }
    } else if (parser.isSet(download)) {
        result.mode = Mode::Download;
        result.downloadPath = parser.value(download);
    } else if (parser.isSet(worker)) {
        result.mode = Mode::AudiobookWorker;
        result.voiceName = parser.value(voiceName);
    } else if (parser.isSet(audiobook)) {
        result.mode = Mode::Audiobook;
        result.audiobookFolder = parser.value(audiobook);
        result.audioFormat =
            parser.isSet(format) ? parser.value(format).toLower() : QStringLiteral("mp3");
        static const QStringList known{"mp3", "ogg", "opus", "flac", "wav"};
        if (!known.contains(result.audioFormat)) {
            result.mode = Mode::Error;
            result.error = "format must be mp3, ogg, opus, flac or wav: " + parser.value(format);
        } else if (result.document.isEmpty()) {
            result.mode = Mode::Error;
            result.error = QStringLiteral("--audiobook needs a FILE to read");
        }
    } else if (parser.isSet(listVoices)) {
        result.mode = Mode::ListVoices;
    } else if (parser.isSet(wav)) {
        result.mode = Mode::Wav;
        result.wavFile = parser.value(wav);
        if (result.document.isEmpty()) {
            result.mode = Mode::Error;
            result.error = QStringLiteral("--wav needs a FILE to read");
        }
    } else if (parser.isSet(text)) {
        result.mode = Mode::Text;
        if (result.document.isEmpty()) {
            result.mode = Mode::Error;
            result.error = QStringLiteral("--text needs a FILE to print");
        }
    }
    return result;
}
