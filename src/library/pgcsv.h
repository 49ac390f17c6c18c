#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <functional>

// Comma-separated values as RFC 4180 writes them, on bytes in memory: fields in double
// quotes may hold commas, line breaks and doubled quotes. Records end in CR LF, LF or a
// lone CR; a byte-order mark is dropped; the text is UTF-8 when it is valid UTF-8, otherwise
// Windows-1252. A record that does not parse (a quote that never closes, text after a
// closing quote, a quote inside an unquoted field) is skipped and counted, and reading goes
// on at the line after the one it started on, so one broken record costs no others.
// Blank lines are no records.
namespace PgCsv {

using RecordSink = std::function<void(const QStringList& fields)>;
// Hands each record that parses to sink, in order, the header included. The number of
// records skipped.
int forEachRecord(const QByteArray& bytes, const RecordSink& sink);

struct Table {
    QList<QStringList> records;
    int skipped = 0;
};
Table parse(const QByteArray& bytes);

// One record as CSV ending in CR LF, fields quoted where they need it.
QByteArray recordLine(const QStringList& fields);

} // namespace PgCsv
