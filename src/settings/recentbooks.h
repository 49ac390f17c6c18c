#pragma once

#include "settings/settings.h"

#include <QString>
#include <QStringList>

// The books opened last, most recent first, kept as the set RECENT (RECENT_1 the newest) in
// the settings store it is given. A book is listed once, under its full path, and the list
// holds at most Most books.
class cRecentBooks {
public:
    static constexpr int Most = 10;

    explicit cRecentBooks(cSHAREDSettings& store) : m_store(store) {}

    QStringList books() const;
    // Puts the book first; an earlier entry for it goes, and the oldest beyond Most.
    void add(const QString& path);
    void remove(const QString& path);
    void clear();

    // The full, cleaned path a book is listed under; empty for what cannot be kept (no
    // name, or a line break that the settings file cannot hold).
    static QString listed(const QString& path);

private:
    void write(const QStringList& books);

    cSHAREDSettings& m_store;
};
