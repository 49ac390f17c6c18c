#include "library/pgcatalogue.h"

#include "library/pgcsv.h"
#include "settings/settings.h"

#include <QUrl>

#include <optional>

namespace PgCatalogue {

const QString kDefaultCsvUrl =
    QStringLiteral("https://www.gutenberg.org/cache/epub/feeds/pg_catalog.csv");

namespace {

const QString kFieldsLine = QStringLiteral("#path\ttitle\tauthor\tlanguage\tissued");

bool hasBreak(const QString& text)
{
    return text.contains(u'\n') || text.contains(u'\r') || text.contains(u'\t');
}

// The text on one line: its line breaks and tabs, with the blanks around them, become one
// blank. Leading and trailing blanks go too.
QString oneLine(const QString& text)
{
    if (!hasBreak(text))
        return text.trimmed();
    QString line;
    line.reserve(text.size());
    for (QChar c : text) {
        if (c == u'\n' || c == u'\r' || c == u'\t') {
            while (line.endsWith(u' '))
                line.chop(1);
            if (!line.isEmpty())
                line += u' ';
        } else if (c != u' ' || !line.endsWith(u' ')) {
            line += c;
        }
    }
    return line.trimmed();
}

bool isNumber(const QString& text)
{
    if (text.isEmpty() || text.size() > 9)
        return false;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

// Where each field the catalogue needs sits in a record; -1 for a column the header lacks.
struct Columns {
    qsizetype number = -1;
    qsizetype type = -1;
    qsizetype issued = -1;
    qsizetype title = -1;
    qsizetype language = -1;
    qsizetype authors = -1;
    qsizetype count = 0;

    explicit Columns(const QStringList& header) : count(header.size())
    {
        for (qsizetype i = 0; i < header.size(); ++i) {
            const QString name = header[i].trimmed().toLower();
            qsizetype* column = name == u"text#"      ? &number
                                : name == u"type"     ? &type
                                : name == u"issued"   ? &issued
                                : name == u"title"    ? &title
                                : name == u"language" ? &language
                                : name == u"authors"  ? &authors
                                                      : nullptr;
            if (column && *column < 0)
                *column = i;
        }
    }
    bool complete() const { return number >= 0 && type >= 0 && title >= 0; }
    static QString field(const QStringList& record, qsizetype column)
    {
        return column >= 0 ? record[column] : QString();
    }
};

} // namespace

Catalogue fromCsv(const QByteArray& csv)
{
    Catalogue catalogue;
    std::optional<Columns> columns;
    bool first = true;
    const int unreadable = PgCsv::forEachRecord(csv, [&](const QStringList& record) {
        if (first) {
            first = false;
            columns.emplace(record);
            catalogue.header = columns->complete();
            return;
        }
        if (!catalogue.header)
            return;
        if (record.size() != columns->count) {
            ++catalogue.skipped;
            return;
        }
        if (record[columns->type].trimmed().compare(u"Text", Qt::CaseInsensitive) != 0) {
            ++catalogue.otherTypes;
            return;
        }
        const QString number = record[columns->number].trimmed();
        Book book;
        book.title = oneLine(record[columns->title]);
        if (!isNumber(number) || book.title.isEmpty()) {
            ++catalogue.skipped;
            return;
        }
        book.path = bookPath(number);
        book.author = oneLine(Columns::field(record, columns->authors));
        book.language = oneLine(Columns::field(record, columns->language));
        book.issued = oneLine(Columns::field(record, columns->issued));
        catalogue.books.append(book);
    });
    catalogue.skipped += unreadable;
    return catalogue;
}

QString bookPath(const QString& number)
{
    return QStringLiteral("/cache/epub/%1/pg%1.txt").arg(number);
}

bool isSitePath(const QString& path)
{
    return path.startsWith(QStringLiteral("/cache/epub/"));
}

QList<CatalogueParse::Record> indexRecords(const QList<Book>& books)
{
    QList<CatalogueParse::Record> records;
    records.reserve(books.size());
    for (const Book& book : books)
        records.append({book.path, book.title});
    return records;
}

QByteArray detailsFile(const QList<Book>& books)
{
    QString text = kFieldsLine + QStringLiteral("\r\n");
    for (const Book& book : books) {
        const QString fields[] = {book.path, book.title, book.author, book.language, book.issued};
        for (const QString& field : fields) {
            if (&field != fields)
                text += u'\t';
            text += hasBreak(field) ? oneLine(field) : field;
        }
        text += QStringLiteral("\r\n");
    }
    return text.toUtf8();
}

QList<Book> readDetails(const QByteArray& bytes)
{
    QList<Book> books;
    for (const QString& line : CatalogueParse::lines(bytes)) {
        if (line.startsWith(u'#'))
            continue;
        const QList<QStringView> fields = QStringView(line).split(u'\t');
        const auto field = [&fields](qsizetype i) {
            return i < fields.size() ? fields[i].toString() : QString();
        };
        Book book{field(0), field(1), field(2), field(3), field(4)};
        if (!book.path.isEmpty())
            books.append(book);
    }
    return books;
}

QString csvUrlSetting()
{
    const QString url = cSHAREDSettings::shared()
                            .sGet(QStringLiteral("GutenCSVURL"), kDefaultCsvUrl)
                            .toString()
                            .trimmed();
    return url.isEmpty() ? kDefaultCsvUrl : url;
}

QString siteRoot(const QString& csvUrl)
{
    const QUrl url(csvUrl.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty() || url.host().isEmpty())
        return {};
    QUrl root;
    root.setScheme(url.scheme());
    root.setHost(url.host());
    root.setPort(url.port());
    return root.toString(QUrl::FullyEncoded);
}

QString bookUrl(const QString& root, const QString& path)
{
    if (root.endsWith(u'/') && path.startsWith(u'/'))
        return root + path.mid(1);
    return root + path;
}

} // namespace PgCatalogue
