#include "library/booklist.h"

#include "files/filesubs.h"
#include "library/cataloguesearch.h"
#include "platform/textcodec.h"
#include "settings/lang.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <QStringMatcher>

#include <algorithm>

bool cBookList::load(const QString& catalogueFile)
{
    QFile file(catalogueFile);
    if (!file.open(QIODevice::ReadOnly)) {
        setEntries({});
        return false;
    }
    setEntries(parse(file.readAll()));
    return true;
}

std::vector<cBookEntry> cBookList::parse(const QByteArray& bytes)
{
    std::vector<cBookEntry> entries;
    const QString text = TextCodec::decode(bytes);
    entries.reserve(size_t(text.count(u'\n') + 1));
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf(u'\n', start);
        if (end < 0)
            end = text.size();
        const QStringView line = QStringView(text).mid(start, end - start);
        start = end + 1;
        // The path is one delimited field: up to the first comma, leading blanks skipped.
        const qsizetype comma = line.indexOf(u',');
        const QStringView path = (comma < 0 ? line : line.left(comma)).trimmed();
        if (path.isEmpty() || path.contains(QLatin1String("gutindex"), Qt::CaseInsensitive))
            continue;
        cBookEntry entry;
        entry.path = path.toString();
        entry.filename = cSharedFileSubs::FileOnly(entry.path);
        if (comma >= 0)
            entry.title = line.mid(comma + 1).trimmed().toString();
        entries.push_back(std::move(entry));
    }
    return entries;
}

void cBookList::setEntries(std::vector<cBookEntry> entries)
{
    beginResetModel();
    // Filled unsorted, sorted once on the lower-cased titles, which Find uses too; equal
    // titles keep the catalogue's order.
    std::vector<QString> lower;
    lower.reserve(entries.size());
    for (const cBookEntry& entry : entries)
        lower.push_back(entry.title.toLower());
    std::vector<size_t> order(entries.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return lower[a] < lower[b]; });
    m_entries.clear();
    m_entries.reserve(entries.size());
    m_lowerTitles.clear();
    m_lowerTitles.reserve(entries.size());
    for (size_t i : order) {
        m_entries.push_back(std::move(entries[i]));
        m_lowerTitles.push_back(std::move(lower[i]));
    }
    m_folded.clear();
    m_rowStarts.clear();
    m_order.resize(m_entries.size());
    for (size_t i = 0; i < m_order.size(); ++i)
        m_order[i] = int(i);
    m_sortColumn = BookColumn;
    m_sortOrder = Qt::AscendingOrder;
    m_words.clear();
    m_language.clear();
    m_visible = m_order;
    endResetModel();
}

void cBookList::setDetails(const QList<PgCatalogue::Book>& details)
{
    QHash<QString, qsizetype> byPath;
    byPath.reserve(details.size());
    for (qsizetype i = 0; i < details.size(); ++i)
        byPath.insert(details[i].path, i);
    for (cBookEntry& entry : m_entries) {
        const auto found = byPath.constFind(entry.path);
        if (found == byPath.cend())
            continue;
        entry.author = details[*found].author;
        entry.language = details[*found].language;
    }
    m_folded.clear();
    m_rowStarts.clear();
    // Folded now rather than on the first keystroke, which must answer at once.
    foldForFilter();
    if (!m_entries.empty())
        Q_EMIT dataChanged(index(0, 0), index(count() - 1, columnCount() - 1));
}

void cBookList::foldForFilter()
{
    if (m_rowStarts.size() == m_entries.size() + 1)
        return;
    m_folded.clear();
    m_rowStarts.clear();
    m_authorStarts.clear();
    qsizetype size = 0;
    for (const cBookEntry& entry : m_entries)
        size += entry.title.size() + entry.author.size() + 2;
    m_folded.reserve(size + size / 8);
    m_rowStarts.reserve(m_entries.size() + 1);
    m_authorStarts.reserve(m_entries.size());
    for (const cBookEntry& entry : m_entries) {
        m_rowStarts.push_back(m_folded.size());
        CatalogueSearch::foldAppend(m_folded, entry.title);
        m_folded += u'\t';
        m_authorStarts.push_back(m_folded.size());
        CatalogueSearch::foldAppend(m_folded, entry.author);
        m_folded += u'\n';
    }
    m_rowStarts.push_back(m_folded.size());
}

void cBookList::setFilter(const QString& query, const QString& language)
{
    const QStringList words = CatalogueSearch::queryWords(query);
    const QString code = language.trimmed();
    if (words == m_words && code == m_language)
        return;
    beginResetModel();
    m_words = words;
    m_language = code;
    applyFilter();
    endResetModel();
}

void cBookList::applyFilter()
{
    m_visible.clear();
    if (m_words.isEmpty() && m_language.isEmpty()) {
        m_visible = m_order;
        return;
    }
    // One pass of each word over all the folded text marks the entries it occurs in: far
    // quicker than a search per entry.
    std::vector<int> hits(m_entries.size(), 0);
    if (!m_words.isEmpty()) {
        foldForFilter();
        for (const QString& word : std::as_const(m_words)) {
            const QStringMatcher matcher(word);
            const int before = int(&word - m_words.constData());
            qsizetype at = matcher.indexIn(m_folded, 0);
            while (at >= 0) {
                const size_t entry =
                    size_t(std::upper_bound(m_rowStarts.begin(), m_rowStarts.end(), at) -
                           m_rowStarts.begin() - 1);
                // Counted once per entry, and only where every earlier word occurred.
                if (hits[entry] == before)
                    hits[entry] = before + 1;
                at = matcher.indexIn(m_folded, m_rowStarts[entry + 1]);
            }
        }
    }
    const int needed = int(m_words.size());
    for (int i : m_order) {
        if (hits[size_t(i)] != needed)
            continue;
        if (!m_language.isEmpty() &&
            !CatalogueSearch::hasLanguage(m_entries[size_t(i)].language, m_language))
            continue;
        m_visible.push_back(i);
    }
}

QStringList cBookList::languages() const
{
    // Few distinct fields among many books: each is split once.
    QSet<QString> fields;
    for (const cBookEntry& entry : m_entries)
        fields.insert(entry.language);
    QSet<QString> codes;
    for (const QString& field : std::as_const(fields)) {
        for (const QString& code : field.split(u';', Qt::SkipEmptyParts))
            codes.insert(code.trimmed().toLower());
    }
    codes.remove(QString());
    QStringList sorted(codes.begin(), codes.end());
    sorted.sort();
    return sorted;
}

void cBookList::sort(int column, Qt::SortOrder order)
{
    if (column < BookColumn || column > LanguageColumn)
        return;
    Q_EMIT layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    std::vector<QString> paths;
    for (const QModelIndex& index : before)
        paths.push_back(entry(index.row()).path);

    for (size_t i = 0; i < m_order.size(); ++i)
        m_order[i] = int(i);
    if (column != BookColumn) {
        if (column == AuthorColumn)
            foldForFilter();
        const auto key = [&](int i) -> QStringView {
            const cBookEntry& book = m_entries[size_t(i)];
            if (column == AuthorColumn)
                return foldedAuthor(size_t(i));
            return column == LanguageColumn ? QStringView(book.language)
                                            : QStringView(book.filename);
        };
        // Equal keys stay in title order.
        std::stable_sort(m_order.begin(), m_order.end(), [&](int a, int b) {
            return key(a).compare(key(b), Qt::CaseInsensitive) < 0;
        });
    }
    if (order == Qt::DescendingOrder)
        std::reverse(m_order.begin(), m_order.end());
    m_sortColumn = column;
    m_sortOrder = order;
    applyFilter();

    QModelIndexList after;
    for (size_t i = 0; i < paths.size(); ++i) {
        const int row = rowOfPath(paths[i]);
        after << (row < 0 ? QModelIndex() : index(row, before[qsizetype(i)].column()));
    }
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged();
}

int cBookList::find(const QString& text, int from) const
{
    const QString folded = text.toLower();
    if (folded.isEmpty() || from >= count())
        return -1;
    const QStringMatcher matcher(folded);
    for (int row = std::max(from, 0); row < count(); ++row) {
        if (matcher.indexIn(QStringView(m_lowerTitles[size_t(m_visible[size_t(row)])])) >= 0)
            return row;
    }
    return -1;
}

int cBookList::rowOfPath(const QString& path) const
{
    for (int row = 0; row < count(); ++row) {
        if (entry(row).path == path)
            return row;
    }
    return -1;
}

int cBookList::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

int cBookList::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 4;
}

QVariant cBookList::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= count())
        return {};
    const cBookEntry& book = entry(index.row());
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole || role == Qt::AccessibleTextRole) {
        switch (index.column()) {
        case BookColumn:
            return book.title;
        case AuthorColumn:
            return book.author;
        case LanguageColumn:
            return book.language;
        default:
            return book.filename;
        }
    }
    if (role == Qt::UserRole)
        return book.path;
    return {};
}

QVariant cBookList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* const names[] = {"Book", "Filename", "Author", "Language"};
    if (section < 0 || section > LanguageColumn)
        return {};
    return cSharedLang::instance().GetTranslation(QString::fromLatin1(names[section]));
}
