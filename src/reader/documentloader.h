#pragma once

#include "speech/voicemarkers.h"
#include "text/chapters.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <memory>

class QTextDocument;

// Turns a document file into what the reader shows and speaks, without a window, so the
// reader, the command line's WAV reading and the tests share one conversion. RTF keeps its
// formatting; every other file (text, HTML) goes through the HTML conversion, with "<em>"
// and "<b>" surviving as the markers "<emph>" and "</emph>" for the voice. The document
// shown keeps them, and an HTML book's voice tags, aside (voiceMarkers).
class cDocumentLoader {
public:
    // The path as given on a command line or by the library, double quotes removed.
    static QString cleanPath(const QString& path);
    // Decided by the extension alone, in any letter case.
    static bool isRtf(const QString& path);
    static bool isEpub(const QString& path);
    static bool isHtml(const QString& path);
    // The HTML conversion with emphasis markers. Control characters that a binary file
    // brings (NUL and the like) become blanks, so they neither reach the voice nor
    // confuse the box.
    static QString toDisplayText(QString text);
    // The shown text with the lines of each paragraph joined by line separators and the
    // paragraphs (at blank lines) by paragraph separators. A hard-wrapped book would
    // otherwise make a document block of every line, and the document's cost of building
    // and laying out grows with its blocks; on screen, and in toPlainText() ('\n' for
    // both), nothing changes. A paragraph is closed after kMaxJoinedLength characters so
    // that no block grows without bound.
    // shaped, when given, tells whether the text needsShaping(), found on the way.
    static QString toParagraphs(QString text, bool* shaped = nullptr);
    static constexpr int kMaxJoinedLength = 2000;
    // Whether the text holds characters that are drawn wrongly without the font's shaping
    // (joining scripts, combining marks, emoji). Other text is drawn unshaped: laying out
    // and highlighting a long book costs about half as much, and only kerning and
    // ligatures are lost. load() sets its document's default font accordingly.
    static bool needsShaping(QStringView text);

    // Why a file cannot be shown as a document, judged before anything is read in full:
    // it is not there, it cannot be read, or its first bytes are not text (an image, a
    // program). An EPUB book is opened far enough to tell whether it can be read: it is
    // protected, or its archive or package is broken; why, when given, says what is wrong.
    // A readable one stays open for the load() of the same, unchanged file that follows, so
    // that its package is read once and the archive judged is the archive read.
    enum class Refusal { None, Missing, Unreadable, NotText, Protected, Broken };
    static Refusal refusal(const QString& path, QString* why = nullptr);

    // A new document holding the file as shown. A file that cannot be read gives an empty
    // document and false. Safe to call on a worker thread: it touches no widget.
    static std::unique_ptr<QTextDocument> load(const QString& path, bool* readOk = nullptr);
    // The text of the file as shown; the voice is given it with the markers.
    static bool loadText(const QString& path, QString& text, cVoiceMarkers* markers = nullptr);
    // What load() took out of its document's text for the voice alone.
    static cVoiceMarkers voiceMarkers(const QTextDocument& doc);
    // The chapters load() found for its document: an EPUB book's table of contents, or
    // the headings of an HTML or text book; positions are the document's.
    static QList<cChapter> chapters(const QTextDocument& doc);
};
