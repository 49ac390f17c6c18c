#pragma once

#include <QString>

class clsTalker;
struct CommandLine;

// The speaking modes that need no window. Each returns the process exit code and writes
// any problem as one line on stderr.
namespace SpeechCommands {

// Prints the voice list, numbered from 1 as --voice counts.
int listVoices();
// Reads the document into the WAV file through the Talker, as reading aloud would.
int readIntoWav(const CommandLine& command);
// Why the document cannot be read ("cannot read PATH: ..."), or empty when it can.
QString whyRefused(const QString& path);
// "voice variant KEY is unknown; espeak-ng has ...", for a variant the voice lacks.
QString unknownVariant(const clsTalker& talker, const QString& key);
// Prints the document on stdout in UTF-8, as the reader shows it and the voice is given it.
int printText(const CommandLine& command);

} // namespace SpeechCommands
