#pragma once

#include <QChar>
#include <QString>
#include <QStringList>
#include <QStringView>

// Where sentences end, shared by the sentence store and the reader's highlight so that
// both cut a text at the same places. A full stop inside a word or number ("3.14",
// "www.gutenberg.org") or after a common abbreviation of the voice's language ("Mr.")
// ends nothing; a blank line ends a sentence even without a delimiter.
class cSentenceEnds {
public:
    // Only the rule for full stops inside words and numbers.
    cSentenceEnds() = default;
    // The abbreviations of a language as espeak-ng names it ("en", "de-de"); English when
    // the language is unknown, none for a language without a list.
    static cSentenceEnds forLanguage(const QString& language);

    // Whether the ".", "?" or "!" at `at` (0-based) ends a sentence. The word before a full
    // stop is looked for no further back than `from`, where the text being read begins.
    bool endsAt(QStringView text, qsizetype at, qsizetype from = 0) const;

    static bool isLineBreak(QChar c)
    {
        return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator ||
               c == QChar::LineSeparator;
    }
    // Whether the line break at `at` is followed by a line holding only blanks or tabs.
    static bool paragraphBreakAt(QStringView text, qsizetype at);
    // Whether the character is more than what the store trims from a sentence's ends.
    static bool isContent(QChar c) { return c != u' ' && c != u'-' && !isLineBreak(c); }

    // Closing quotes and brackets: before the first word of a sentence they still belong
    // to the one before, so alone they make no sentence of their own.
    static bool isClosingMark(QChar c)
    {
        return c == u'"' || c == u'\'' || c == u')' || c == u']' || c == QChar(0x2019) ||
               c == QChar(0x201D) || c == QChar(0x00BB);
    }

    const QStringList& abbreviations() const { return m_abbreviations; }

private:
    QStringList m_abbreviations;
};
