#pragma once

struct CommandLine;

// Reading a book into a folder of sound files, a file per chapter, from the command line.
namespace AudiobookCommand {

// --audiobook: returns the exit code; problems go to stderr as one line.
int run(const CommandLine& command);
// The hidden worker a running audiobook starts, one per core.
int worker(const CommandLine& command);

} // namespace AudiobookCommand
