#pragma once

#include <QString>

// Where the program keeps its own files and finds what it ships with.
namespace ProgramPaths {

// The writable program folder, without a trailing "/": $PARLO_HOME when set; otherwise
// the executable's folder when it holds a Parlo.ini (a portable install); otherwise the
// XDG data location (~/.local/share/parlo), created on first use.
QString programFolder();

// A file in the program folder ("Parlo.ini", "log.txt", ...).
QString programFile(const QString& name);

// The read-only resources (Languages/, Help/, icons), without a trailing "/": the
// program folder when it has a Languages folder, else share/parlo beside the installed
// executable, else the source tree's resources folder (running from a build folder).
QString resourceFolder();

// Forget the cached folders; tests change $PARLO_HOME between cases.
void reset();

} // namespace ProgramPaths
