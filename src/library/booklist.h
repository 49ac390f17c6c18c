#pragma once

#include "library/pgcatalogue.h"

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>

#include <vector>

// One book of the catalogue as the library lists it.
struct cBookEntry {
    QString title;
    QString filename; // the file-name part of the path
    QString path;     // as stored in the catalogue, beginning with "/"
    QString author;   // from the richer catalogue; empty for a mirror's catalogue
    QString language;
};

// The catalogue GutIndex.txt as a list ("Book", "Filename", "Author", "Language"), sorted by
// title without regard to letter case unless sort() says otherwise. A filter (words of the
// title or author, and a language) narrows what is shown; rows are always the shown rows,
// so Find, Next and the window's selection work on what the user sees. Tens of thousands
// of rows cost one read and one sort; each row is folded for the filter once.
class cBookList : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { BookColumn = 0, FilenameColumn = 1, AuthorColumn = 2, LanguageColumn = 3 };

    using QAbstractTableModel::QAbstractTableModel;

    // Reads the catalogue file; false when it does not exist (the list is then empty).
    bool load(const QString& catalogueFile);
    // The records of catalogue text, one "path, title" per line, unsorted.
    static std::vector<cBookEntry> parse(const QByteArray& bytes);
    void setEntries(std::vector<cBookEntry> entries);
    // Authors and languages for the books whose paths the details name.
    void setDetails(const QList<PgCatalogue::Book>& details);

    // The rows shown.
    int count() const { return int(m_visible.size()); }
    int totalCount() const { return int(m_entries.size()); }
    const cBookEntry& entry(int row) const { return m_entries.at(m_visible.at(size_t(row))); }

    // Shows only the books whose title or author holds every word of query (letter case and
    // accents ignored) and whose languages include language (empty: all).
    void setFilter(const QString& query, const QString& language = {});
    // The languages of the catalogue, sorted.
    QStringList languages() const;

    // The first row at or after from whose title holds text as one piece, letter case
    // ignored; -1 when none does.
    int find(const QString& text, int from = 0) const;
    // The row of a path, -1 when the list does not show it.
    int rowOfPath(const QString& path) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    void foldForFilter();
    void applyFilter();

    std::vector<cBookEntry> m_entries; // by title
    std::vector<QString> m_lowerTitles;
    // For the filter, made once per catalogue: every entry's folded title, a tab and its
    // folded author, and a line break; a word, having no blanks, matches within one field.
    QString m_folded;
    std::vector<qsizetype> m_rowStarts;    // where each entry begins, and the end
    std::vector<qsizetype> m_authorStarts; // where each entry's author begins
    QStringView foldedAuthor(size_t i) const
    {
        return QStringView(m_folded).sliced(m_authorStarts[i],
                                            m_rowStarts[i + 1] - 1 - m_authorStarts[i]);
    }
    std::vector<int> m_order;   // every entry, in the order of the sort column
    std::vector<int> m_visible; // the rows shown: m_order filtered
    QStringList m_words;
    QString m_language;
    int m_sortColumn = BookColumn;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};
