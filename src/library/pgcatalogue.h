#pragma once

#include "library/catalogueparse.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Project Gutenberg's own catalogue for programs, pg_catalog.csv, and the richer catalogue
// file built from it beside GutIndex.txt. Like the other parsers these take bytes and know
// nothing of files or windows.
namespace PgCatalogue {

// One book. The path is relative to the root of the site the CSV came from.
struct Book {
    QString path;     // /cache/epub/N/pgN.txt
    QString title;    // on one line
    QString author;   // as the CSV has it: "Tolstoy, Leo, graf, 1828-1910"; several joined by "; "
    QString language; // codes such as "en"; several joined by "; "
    QString issued;   // YYYY-MM-DD
    bool operator==(const Book&) const = default;
};

struct Catalogue {
    // Whether the bytes begin with the catalogue's header naming Text#, Type and Title.
    bool header = false;
    QList<Book> books;
    // Records that do not parse, have another number of fields than the header, or lack a
    // book number or a title.
    int skipped = 0;
    // Records of other types (sound, images, ...), which have no text to read.
    int otherTypes = 0;
};
// The Text records, in the order of the file.
Catalogue fromCsv(const QByteArray& csv);

// The path of book N's plain text on today's site.
QString bookPath(const QString& number);
// Whether a path of GutIndex.txt came from the CSV, and so is resolved against the root of
// the CSV's site rather than against the mirror's folder of the listing.
bool isSitePath(const QString& path);

// The lines of GutIndex.txt for the books.
QList<CatalogueParse::Record> indexRecords(const QList<Book>& books);

// The richer catalogue file: UTF-8, CR LF, a first line naming the fields after a "#", then
// one book per line with its fields separated by tabs. Readers ignore fields they do not
// know at the end of a line, so fields can be added later.
QByteArray detailsFile(const QList<Book>& books);
// The books of such a file; lines without a path are left out.
QList<Book> readDetails(const QByteArray& bytes);

// Where the catalogue comes from unless the settings say otherwise.
extern const QString kDefaultCsvUrl;
// The settings key GutenCSVURL, or the default when it is missing or blank.
QString csvUrlSetting();
// The root of a site, for book paths to be resolved against: the URL's scheme, host and
// port (https://www.gutenberg.org for the default). Empty when the URL names no host.
QString siteRoot(const QString& csvUrl);
// The address of a book: the root followed by its path.
QString bookUrl(const QString& root, const QString& path);

} // namespace PgCatalogue
