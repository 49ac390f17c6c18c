#pragma once

#include <QByteArray>
#include <QString>

class QTextDocument;

// Reads RTF (as written by WordPad, Word, LibreOffice, TextEdit ...) into a QTextDocument
// for the reader window: paragraphs and line breaks, bold, italic, underline,
// strike-through, font sizes and families, colours, Unicode and code-page characters,
// tabs, and table rows as tab-separated lines. Pictures, objects, headers, footers,
// footnotes, the document information, style sheets and unknown "\*" destinations are
// left out.
//
// What the user sees is exactly doc->toPlainText(): every character of it is one
// QTextCursor position and each paragraph break is one character, so the reading and
// highlighting positions of the window line up with the text given to the voice.
//
// Broken input (unbalanced braces, a truncated file, absurd numbers, very deep nesting,
// binary junk) shows whatever can be shown; reading never crashes, hangs or recurses,
// and takes time linear in the input.
class RtfReader {
public:
    // Replaces the content of doc. Returns false when the bytes are not RTF at all; doc
    // then holds them as plain text (UTF-8 when valid, otherwise Windows-1252).
    static bool read(const QByteArray& rtf, QTextDocument* doc);
    // For RTF that has already been read as text: characters are turned back into the
    // file's bytes (Windows-1252 where it has them, UTF-8 otherwise) and read as above.
    static bool read(const QString& rtf, QTextDocument* doc);

    // The text a document filled by read() shows, i.e. its toPlainText().
    static QString plainText(const QByteArray& rtf);

    // True when the bytes begin (after white space or a byte-order mark) with "{\rtf".
    static bool looksLikeRtf(const QByteArray& bytes);
};
