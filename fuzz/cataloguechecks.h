#pragma once

// What must hold for the catalogue parsers on any bytes at all. Shared by the fuzz targets
// and the test that replays their corpora: each check returns what went wrong, or an empty
// string.
#include "library/catalogueparse.h"
#include "library/cataloguesearch.h"
#include "library/pgcatalogue.h"
#include "library/pgcsv.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace CatalogueChecks {

inline bool isTrimmed(const QString& text)
{
    return CatalogueParse::trimBlanks(text).size() == text.size();
}

// The sort orders by character codes, keeps every entry, and each entry is found again.
inline QString checkSortAndFind(QStringList list)
{
    QStringList expected = list;
    std::sort(expected.begin(), expected.end());
    CatalogueParse::SortArray(list);
    if (list != expected)
        return QStringLiteral("SortArray differs from a plain sort");
    const int last = int(list.size()) - 1;
    for (int i = 0; i <= last; ++i) {
        const int found = CatalogueParse::FindRec(list, last, list[i]);
        if (last > 0 && (found < 0 || list[found] != list[i]))
            return "FindRec misses " + list[i];
        if (last <= 0 && found != -1)
            return QStringLiteral("FindRec answers on a list whose last index is 0");
    }
    if (CatalogueParse::FindRec(list, last, QStringLiteral("\x01 not in the list")) != -1 &&
        !list.contains(QStringLiteral("\x01 not in the list")))
        return QStringLiteral("FindRec finds a key that is not there");
    return {};
}

inline QString checkListing(const QByteArray& bytes)
{
    const QStringList paths = CatalogueParse::listingPaths(bytes);
    for (const QString& path : paths) {
        const qsizetype dot = path.lastIndexOf(u'.');
        if (path.contains(u'\n') || dot < 0 ||
            !QStringLiteral("htmtxtzip").contains(path.sliced(dot + 1).toLower()))
            return "kept a path it should drop: " + path;
    }
    // GutFiles.txt is read back as it was written.
    QString written = paths.join(QStringLiteral("\r\n"));
    if (!written.startsWith(QChar(0xFEFF))) {
        const QStringList back = CatalogueParse::lines(written.toUtf8());
        if (back != paths)
            return QStringLiteral("the file list does not read back as written");
    }
    return checkSortAndFind(paths);
}

// A file list that holds the books numbered below 1000, some only as "-8.txt", and the
// paths of a listing made of the same bytes.
inline QStringList fuzzFileList(const QByteArray& bytes)
{
    static const QStringList books = [] {
        QStringList paths;
        for (int n = 0; n < 1000; ++n) {
            QString path = CatalogueParse::BuildPathPlusFile(QString::number(n));
            if (n % 7 == 3)
                path.replace(QStringLiteral(".txt"), QStringLiteral("-8.txt"));
            paths.append(path);
        }
        CatalogueParse::SortArray(paths);
        return paths;
    }();
    const QStringList listed = CatalogueParse::listingPaths(bytes);
    if (listed.isEmpty())
        return books;
    QStringList files = books + listed;
    CatalogueParse::SortArray(files);
    return files;
}

inline QString checkIndex(const QByteArray& bytes)
{
    const QStringList files = fuzzFileList(bytes);
    int lastLine = 0;
    QString problem;
    const QList<CatalogueParse::Record> records =
        CatalogueParse::indexRecords(bytes, files, [&](int line, int lineCount) {
            if (line != lastLine + 50 || line > lineCount)
                problem = QStringLiteral("progress out of step");
            lastLine = line;
        });
    if (!problem.isEmpty())
        return problem;
    for (const CatalogueParse::Record& record : records) {
        if (!files.contains(record.path) && !record.path.startsWith(QStringLiteral("/etext")))
            return "a path neither listed nor old-form: " + record.path;
        if (record.title.isEmpty() || !isTrimmed(record.title) || record.title.contains(u'[') ||
            record.title.contains(u'\n'))
            return "a title that should not be: " + record.title;
    }
    return {};
}

inline QString checkAustralian(const QByteArray& bytes)
{
    const CatalogueParse::Australian result = CatalogueParse::australianRecords(bytes);
    for (const CatalogueParse::Record& record : result.records) {
        if (!record.path.startsWith(u'/') || !(record.path.endsWith(QStringLiteral(".txt")) ||
                                               record.path.endsWith(QStringLiteral("h.html"))))
            return "a path of the wrong shape: " + record.path;
        if (!record.title.startsWith(QStringLiteral("*PG-OZ* ")) || record.line().contains(u'\n'))
            return "a record of the wrong shape: " + record.line();
    }
    // The unwrapped text saved over catalogue.txt gives the same records when read again.
    if (result.wrapped && !result.unwrapped.startsWith(QChar(0xFEFF)) &&
        !result.unwrapped.contains(QStringLiteral("<pre>"), Qt::CaseInsensitive)) {
        const CatalogueParse::Australian again =
            CatalogueParse::australianRecords(result.unwrapped.toUtf8());
        if (again.records != result.records)
            return QStringLiteral("the unwrapped catalogue reads differently");
    }
    return {};
}

// pg_catalog.csv: the records read back as written, and the catalogue made of the same bytes
// has only well-formed lines, each book found again by its own title and author.
inline QString checkCsv(const QByteArray& bytes)
{
    const PgCsv::Table table = PgCsv::parse(bytes);
    QByteArray written;
    for (const QStringList& record : table.records) {
        if (record.isEmpty())
            return QStringLiteral("a record without fields");
        written += PgCsv::recordLine(record);
    }
    // A first field that starts with U+FEFF would be read back as a byte-order mark.
    if (table.records.isEmpty() || !table.records[0][0].startsWith(QChar(0xFEFF))) {
        const PgCsv::Table again = PgCsv::parse(written);
        if (again.records != table.records || again.skipped != 0)
            return QStringLiteral("the records do not read back as written");
    }

    const PgCatalogue::Catalogue catalogue = PgCatalogue::fromCsv(bytes);
    if (catalogue.skipped < table.skipped || catalogue.otherTypes < 0)
        return QStringLiteral("skipped records not counted");
    for (const PgCatalogue::Book& book : catalogue.books) {
        const QString number = book.path.section(u'/', 3, 3);
        if (book.path != PgCatalogue::bookPath(number) || number.isEmpty() || number.contains(u','))
            return "a path of the wrong shape: " + book.path;
        const QString line = CatalogueParse::Record{book.path, book.title}.line();
        if (book.title.isEmpty() || book.title != book.title.trimmed() ||
            CatalogueParse::lines(line.toUtf8()).size() != 1)
            return "a title that should not be: " + book.title;
        if (!CatalogueSearch::matches(book.title, book.title, book.author) ||
            !CatalogueSearch::matches(book.author, book.title, book.author))
            return "a book not found by its own title and author: " + line;
    }
    if (PgCatalogue::readDetails(PgCatalogue::detailsFile(catalogue.books)) != catalogue.books)
        return QStringLiteral("the richer catalogue does not read back as written");
    return {};
}

// A fuzz target's body: the check on the input, stopping the run when something is wrong.
inline int fuzz(const uint8_t* data, size_t size, QString (*check)(const QByteArray&))
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString problem = check(bytes);
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(problem));
        std::abort();
    }
    return 0;
}

} // namespace CatalogueChecks
