#include "library/booklist.h"

#include "files/filesubs.h"
#include "platform/textcodec.h"
#include "settings/lang.h"

#include <QFile>
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
    // Filled unsorted, sorted once on the lower-cased titles, which the searches use too;
    // equal titles keep the catalogue's order.
    std::vector<QString> folded;
    folded.reserve(entries.size());
    for (const cBookEntry& entry : entries)
        folded.push_back(entry.title.toLower());
    std::vector<size_t> order(entries.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return folded[a] < folded[b]; });
    m_entries.clear();
    m_entries.reserve(entries.size());
    m_folded.clear();
    m_starts.clear();
    m_starts.reserve(entries.size() + 1);
    for (size_t i : order) {
        m_entries.push_back(std::move(entries[i]));
        m_starts.push_back(m_folded.size());
        m_folded += folded[i];
        m_folded += u'\n';
    }
    m_starts.push_back(m_folded.size());
    endResetModel();
}

int cBookList::find(const QString& text, int from) const
{
    const QString folded = text.toLower();
    // Titles are single lines, so a search text without a line break matches inside one.
    if (folded.isEmpty() || folded.contains(u'\n') || from >= count())
        return -1;
    const QStringMatcher matcher(folded);
    const qsizetype at = matcher.indexIn(m_folded, m_starts[size_t(std::max(from, 0))]);
    if (at < 0)
        return -1;
    return int(std::upper_bound(m_starts.begin(), m_starts.end(), at) - m_starts.begin()) - 1;
}

std::vector<int> cBookList::rowsWithAll(const QStringList& words) const
{
    QStringList folded;
    for (const QString& word : words) {
        if (!word.trimmed().isEmpty())
            folded << word.trimmed().toLower();
    }
    std::vector<int> rows;
    if (folded.isEmpty())
        return rows;
    for (int row = 0; row < count(); ++row) {
        const QStringView title = foldedTitle(row);
        if (std::all_of(folded.begin(), folded.end(),
                        [&](const QString& word) { return title.contains(word); }))
            rows.push_back(row);
    }
    return rows;
}

int cBookList::rowOfPath(const QString& path) const
{
    for (size_t row = 0; row < m_entries.size(); ++row) {
        if (m_entries[row].path == path)
            return int(row);
    }
    return -1;
}

int cBookList::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

int cBookList::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant cBookList::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= count())
        return {};
    const cBookEntry& book = entry(index.row());
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole || role == Qt::AccessibleTextRole)
        return index.column() == 0 ? book.title : book.filename;
    if (role == Qt::UserRole)
        return book.path;
    return {};
}

QVariant cBookList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return cSharedLang::instance().GetTranslation(section == 0 ? QStringLiteral("Book")
                                                               : QStringLiteral("Filename"));
}
