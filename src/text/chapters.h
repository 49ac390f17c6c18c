#pragma once

#include <QList>
#include <QString>
#include <QStringView>

// A place in a book worth jumping to: its title and its position in the shown text.
struct cChapter {
    QString title;
    qsizetype position = 0;
    bool operator==(const cChapter&) const = default;
};

// Finds the headings of books that have no table of contents. Positions are in the text as
// the reader shows it, whose paragraphs end in paragraph separators (U+2029) and whose
// lines within a paragraph in line separators (U+2028), or in '\n'.
namespace Chapters {

// Lines such as "CHAPTER I", "BOOK ONE" or "Chapter 12." standing alone between blank
// lines (or at the start or end of the text).
QList<cChapter> inText(QStringView shown);
// The h1 to h3 headings of the markup, found in the shown text in their order; a heading
// the shown text does not hold is left out.
QList<cChapter> inHtml(QStringView markup, QStringView shown);
// Where the title first appears in the shown text from from on, ignoring case and runs of
// blanks, or -1.
qsizetype find(QStringView shown, const QString& title, qsizetype from);

} // namespace Chapters
