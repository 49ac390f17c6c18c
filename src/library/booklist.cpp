#include "library/booklist.h"

#include "files/filesubs.h"
#include "platform/textcodec.h"

#include <QFile>

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
    m_entries = std::move(entries);
    // Filled unsorted, sorted once; equal titles keep the catalogue's order.
    std::stable_sort(m_entries.begin(), m_entries.end(),
                     [](const cBookEntry& a, const cBookEntry& b) {
                         return a.title.compare(b.title, Qt::CaseInsensitive) < 0;
                     });
    m_folded.clear();
    m_folded.reserve(m_entries.size());
    for (const cBookEntry& entry : m_entries)
        m_folded.push_back(entry.title.toLower());
    endResetModel();
}

int cBookList::find(const QString& text, int from) const
{
    const QString folded = text.toLower();
    if (folded.isEmpty())
        return -1;
    for (size_t row = size_t(std::max(from, 0)); row < m_folded.size(); ++row) {
        if (m_folded[row].contains(folded))
            return int(row);
    }
    return -1;
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
    for (size_t row = 0; row < m_folded.size(); ++row) {
        if (std::all_of(folded.begin(), folded.end(),
                        [&](const QString& word) { return m_folded[row].contains(word); }))
            rows.push_back(int(row));
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
    return section == 0 ? QStringLiteral("Book") : QStringLiteral("Filename");
}
