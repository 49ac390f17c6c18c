#pragma once

struct CommandLine;

// The speaking modes that need no window. Each returns the process exit code and writes
// any problem as one line on stderr.
namespace SpeechCommands {

// Prints the voice list, numbered from 1 as --voice counts.
int listVoices();
// Reads the document into the WAV file through the Talker, as reading aloud would.
int readIntoWav(const CommandLine& command);
// Prints the document on stdout in UTF-8, as the reader shows it and the voice is given it.
int printText(const CommandLine& command);

} // namespace SpeechCommands
