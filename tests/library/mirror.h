#pragma once

#include "loopback.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QTemporaryDir>

// A small Project Gutenberg mirror on 127.0.0.1 (servers/mirror.py over a folder of its
// own): dirs/ls-R and dirs/GUTINDEX.ALL for four books, the Australian catalogue, and
//   1400  a .txt book and the same book as a .zip whose text sits in a subfolder
//   1402  listed, but the server answers 404
//   1403  a 300-byte HTML error page answered with status 200
// plus a few Australian books under au/.
class LoopbackMirror {
public:
    LoopbackMirror();
    bool ok() const { return m_port > 0; }
    // The base URLs the settings point at.
    QString dirsUrl() const { return url(QStringLiteral("/dirs/")); }
    QString australiaUrl() const { return url(QStringLiteral("/au/")); }
    // Where today's site keeps its catalogue for programs; nothing is there until put.
    QString csvUrl() const { return url(QStringLiteral("/cache/epub/feeds/pg_catalog.csv")); }
    // Today's site: no listing, the CSV, and the books at /cache/epub/N/pgN.txt.
    // kSiteCsv lists 1400 (served), 2600 (not served), a sound record and a broken line.
    void serveCsvSite(const QByteArray& csv = kSiteCsv);
    QString url(const QString& path) const;
    // A file of the mirror, written before or while it serves.
    void put(const QString& path, const QByteArray& bytes);
    void remove(const QString& path);
    // The requests served so far, one "PATH STATUS ims|- USER-AGENT" a line.
    QStringList requests() const;
    // Gives a file of the mirror another modification time.
    void setModified(const QString& path, const QDateTime& time);
    // Points the base URLs of the settings store, and the CSV's, at the mirror.
    void useInSettings() const;

    static const QByteArray kBookText;
    static const QByteArray kSiteCsv;

private:
    QTemporaryDir m_dir;
    LoopbackProcess m_process;
    int m_port = 0;
};

// A zip archive of the given members (name, content), built with libzip.
QByteArray zipOf(const QList<std::pair<QString, QByteArray>>& members);
