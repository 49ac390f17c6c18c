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
// Selects the voice and the variant the command line asks for; why not, when it cannot
// (a voice out of range, an unknown variant), else empty.
QString chooseVoice(clsTalker& talker, const CommandLine& command);
// Prints the document on stdout in UTF-8, as the reader shows it and the voice is given it.
int printText(const CommandLine& command);

} // namespace SpeechCommands
