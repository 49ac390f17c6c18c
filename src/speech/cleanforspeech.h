#pragma once

#include <QString>

class cTracedText;

// The last change before a piece is spoken: the em dash becomes one space; a colon or
// semicolon that ends a clause becomes a comma and four spaces, so the voice pauses there
// as for a comma, and one inside a word or number ("10:30") five spaces.
QString CleanForSpeech(const QString& text);
// The same, each new character traced to the one it replaced.
cTracedText CleanForSpeech(const cTracedText& text);
