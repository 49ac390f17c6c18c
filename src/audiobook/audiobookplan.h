#pragma once

#include "platform/voice/audioformat.h"
#include "text/chapters.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

// The book's own title and author, where it names them.
struct cBookInfo {
    QString title;
    QString author;
};

// How a book is cut into files, one for each chapter, and each chapter's text into pieces
// that separate worker processes can speak at once.
struct cAudiobookPlan {
    struct Chapter {
        QString title;
        QString fileName; // "01 - Title.mp3", safe inside the folder
        qsizetype start = 0;
        qsizetype end = 0;
        QList<int> pieces; // indices into pieces, in order
    };
    struct Piece {
        int chapter = 0;
        qsizetype start = 0;
        qsizetype end = 0;
        qsizetype size() const { return end - start; }
    };

    cBookInfo book;
    AudioFormat format = AudioFormat::Wav;
    QList<Chapter> chapters;
    QList<Piece> pieces;

    // The chapters as the Chapters menu finds them; text before the first one that is more
    // than a title page becomes a file of its own, named after the book. Without chapters
    // the book is one file. No piece is longer than pieceSize characters, where the text
    // allows a cut at the end of a paragraph or sentence.
    static cAudiobookPlan make(QStringView text, QList<cChapter> chapters, const cBookInfo& book,
                               AudioFormat format, qsizetype pieceSize);
    // A piece size that gives each of workers a few pieces of the text.
    static qsizetype pieceSizeFor(qsizetype textSize, int workers);

    // The title as part of a file name: no folders ("/", "\"), no control characters or
    // characters other systems refuse, no leading dots, at most 100 characters.
    static QString safeName(const QString& title);
    // Where to cut text near at (not before it): at a paragraph break, else after a
    // sentence's end; at when there is neither within reach.
    static qsizetype cutNear(QStringView text, qsizetype at, qsizetype reach);
    // The playlist's name, and its lines naming the chapter files in order.
    QString playlistName() const;
    QByteArray playlist(const QList<double>& seconds) const;
};

namespace BookInfo {

// From an EPUB book's package (dc:title, dc:creator) or a text's "Title:" and "Author:"
// lines near its start; the file's base name stands in for a missing title when
// namedByFile.
cBookInfo of(const QString& path, QStringView shown, bool namedByFile = true);
cBookInfo ofText(QStringView shown);

} // namespace BookInfo
