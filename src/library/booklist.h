#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>

#include <vector>

// One book of the catalogue as the library lists it.
struct cBookEntry {
    QString title;
    QString filename; // the file-name part of the path
    QString path;     // as stored in the catalogue, beginning with "/"
};

// The catalogue GutIndex.txt as a two-column list ("Book", "Filename"), sorted by title
// without regard to letter case. Tens of thousands of rows cost one read and one sort; a
// view asks only for the rows it shows.
class cBookList : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    // Reads the catalogue file; false when it does not exist (the list is then empty).
    bool load(const QString& catalogueFile);
    // The records of catalogue text, one "path, title" per line, unsorted.
    static std::vector<cBookEntry> parse(const QByteArray& bytes);
    void setEntries(std::vector<cBookEntry> entries);

    int count() const { return int(m_entries.size()); }
    const cBookEntry& entry(int row) const { return m_entries.at(size_t(row)); }

    // The first row at or after from whose title holds text as one piece, letter case
    // ignored; -1 when none does.
    int find(const QString& text, int from = 0) const;
    // Every row whose title holds all the words, letter case ignored.
    std::vector<int> rowsWithAll(const QStringList& words) const;
    // The row of a path, -1 when the catalogue does not list it.
    int rowOfPath(const QString& path) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    std::vector<cBookEntry> m_entries;
    QStringView foldedTitle(int row) const
    {
        return QStringView(m_folded).mid(m_starts[size_t(row)],
                                         m_starts[size_t(row) + 1] - m_starts[size_t(row)] - 1);
    }

    // The lower-cased titles in list order, one line each, for the searches; m_starts
    // holds where each begins, and the end.
    QString m_folded;
    std::vector<qsizetype> m_starts;
};
