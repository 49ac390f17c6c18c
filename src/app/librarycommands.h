#pragma once

#include "app/commandline.h"

// The library's work for scripts, through the classes the library window uses. Each prints
// its result on standard output; a failure is one line on standard error and exit status 1.
namespace LibraryCommands {
// --update-catalogue [--australia]: the catalogue chain; prints the number of records.
int updateCatalogue(const CommandLine& command);
// --search WORDS...: "path<TAB>title" for every book whose title holds all the words.
int search(const CommandLine& command);
// --download PATH: the book downloaded and unpacked into the books folder; prints its file.
int download(const CommandLine& command);
} // namespace LibraryCommands
