#pragma once

#include <QString>

#include <memory>

class QTextDocument;

// Turns a document file into what the reader shows and speaks, without a window, so the
// reader, the command line's WAV reading and the tests share one conversion. RTF keeps its
// formatting; every other file (text, HTML) goes through the HTML conversion, with "<em>"
// and "<b>" surviving as the visible markers "<emph>" and "</emph>".
class cDocumentLoader {
public:
    // The path as given on a command line or by the library, double quotes removed.
    static QString cleanPath(const QString& path);
    // Decided by the extension alone, in any letter case.
    static bool isRtf(const QString& path);
    // The HTML conversion with emphasis markers. Control characters that a binary file
    // brings (NUL and the like) become blanks, so they neither reach the voice nor
    // confuse the box.
    static QString toDisplayText(QString text);

    // A new document holding the file as shown. A file that cannot be read gives an empty
    // document and false. Safe to call on a worker thread: it touches no widget.
    static std::unique_ptr<QTextDocument> load(const QString& path, bool* readOk = nullptr);
    // The text of the file as shown, which is what the voice is given.
    static bool loadText(const QString& path, QString& text);
};
