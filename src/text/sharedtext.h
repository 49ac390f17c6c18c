#pragma once

#include <QString>

// Small string operations shared by many parts of the program. "Spaces" are the space
// character only; tabs are never trimmed.
class cSharedText {
public:
    static QString AddQuotes(const QString& text);
    static bool StringsEqual(const QString& first, const QString& second);
    static bool StringContains(const QString& parent, const QString& child);
    static void EatCrapFromEnd(QString& text);
    static void EatCrapFromStart(QString& text);
    static QString TrimNull(const QString& text);
    static QString cTrim(const QString& text) { return TrimNull(text); }
    static QString TrimcTrim(const QString& text);
    // Leading and trailing spaces (code 32 only) removed.
    static QString trimSpaces(const QString& text);
};
