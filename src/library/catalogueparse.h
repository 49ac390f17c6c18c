#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>

// The catalogue parsers on bytes in memory: they know nothing of files, folders or windows,
// so tests and fuzz targets feed them directly. Every source may start with a byte-order
// mark and may end its lines with CR LF or LF alone; a no-break space counts as a blank.
namespace CatalogueParse {

// One line of GutIndex.txt: the book's path on the server and its title.
struct Record {
    QString path;
    QString title;
    QString line() const { return path + QStringLiteral(", ") + title; }
    bool operator==(const Record&) const = default;
};

// The text of a source file as lines, without their CR LF or LF.
QStringList lines(const QByteArray& bytes);
// Leading and trailing blanks (spaces and no-break spaces) removed.
QStringView trimBlanks(QStringView text);

// ls-R: the paths of the txt, htm and zip files, in the order of the listing.
QStringList listingPaths(const QByteArray& listing);

// GUTINDEX.ALL with the file list sorted by SortArray. progress is called every 50 lines
// with the 1-based number of the line reached and the number of lines.
using LineProgress = std::function<void(int line, int lineCount)>;
QList<Record> indexRecords(const QByteArray& index, const QStringList& sortedFiles,
                           const LineProgress& progress = {});

// Whether a trimmed line of the index starts or ends its listings.
bool isListingsStart(QStringView trimmedLine);
bool isListingsEnd(QStringView trimmedLine);

// The Project Gutenberg Australia catalogue.txt.
struct Australian {
    // The text between <pre> and </pre> when the catalogue came wrapped in a page.
    bool wrapped = false;
    QString unwrapped;
    QList<Record> records;
};
Australian australianRecords(const QByteArray& catalogue);

// Ascending by character codes, equal strings keeping their order.
void SortArray(QStringList& list);
// The index of key in list[0..lastIndex] (sorted by SortArray), or -1. A list whose last
// index is 0 answers -1.
int FindRec(const QStringList& list, int lastIndex, const QString& key);
// The mirror's path of book N's plain text: one folder per digit of N except the last, then
// N itself (/1/2/3/4/12345/12345.txt, /1/4/0/1400/1400.txt, /1/19/19.txt, /0/7/7.txt). A
// bookNumber that is not all digits comes back unchanged.
QString BuildPathPlusFile(const QString& bookNumber);

} // namespace CatalogueParse
