#pragma once

#include <QString>

#include <string>
#include <vector>

// The text as the engine receives it: SSML in wide characters, with every character traced
// back to the caller's string so that word positions can be reported in the caller's terms.
struct cEngineText {
    std::wstring text;
    // For each character of text: where it starts and ends (UTF-16 indices) in the original.
    std::vector<int> originStart;
    std::vector<int> originEnd;
    // The leading pitch element's value, -10 .. 10 (0 when there was none).
    int pitch = 0;

    // Maps the engine's word (1-based character position, length in characters) to a
    // 0-based position and length in the original; {-1, 0} when it lies outside the text.
    std::pair<int, int> originalWord(int enginePosition, int engineLength) const;

    // The first character (0-based) that comes from the original at position or after it;
    // the text's length when there is none.
    int indexOf(int originalPosition) const;
    // The rest of the text from the character at index, to be spoken on its own: emphasis
    // open there is opened again, and positions still lead back to the original.
    cEngineText from(int index) const;
};

// Translates the caller's text: a leading <pitch middle="N"> element is taken off and its
// value kept, <emph> and </emph> become SSML emphasis, and every other <, & or > is
// escaped so that the engine reads it like plain text.
cEngineText toEngineText(const QString& text);
