#pragma once

#include <QString>

// The last change before a piece is spoken: the em dash becomes one space, the colon and
// the semicolon five, so the voice pauses there instead of naming or misreading them.
QString CleanForSpeech(const QString& text);
