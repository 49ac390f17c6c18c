#pragma once

// A pg_catalog.csv of any size in the real format, for the benchmarks: scaled from the
// corpus head when this machine has it, else from a few built-in records.
#include "library/catalogue.h"
#include "library/pgcsv.h"

#include <QByteArray>
#include <QStringList>

#include <cstdio>

namespace pgcsvgen {

// Records in the real format for when the corpus is not on this machine.
inline const char* const kBuiltIn =
    "Text#,Type,Issued,Title,Language,Authors,Subjects,LoCC,Bookshelves\n"
    "1,Text,1971-12-01,A Declaration of Things Held Self-Evident,en,\"Writer, Thomas, "
    "1743-1826\",\"History -- Revolution, 1775-1783 -- Sources; Declarations\",E201; "
    "JK,Politics; Browsing: History - American; Browsing: Politics\n"
    "2,Text,1972-12-01,\"A Bill of Rights\nThe Ten Original Amendments\",en,United States,"
    "Civil rights -- Sources; Constitution -- Amendments,JK; KF,Politics; Browsing: Law\n"
    "3,Text,1973-11-01,An Inaugural Address,en,\"Speaker, John F. (John Fitzgerald), "
    "1917-1963\",Presidents -- Inaugural addresses,E838,Browsing: History - American\n"
    "4,Text,1975-12-01,A Compact,en,,\"Colonies -- History -- 1620-1691 -- Sources\",F001,"
    "Browsing: History - American\n"
    "5,Text,2001-04-01,War and Peace,en,\"Tolstoy, Leo, graf, 1828-1910; Maude, Louise, "
    "1855-1939 [Translator]\",\"Napoleonic Wars, 1800-1815 -- Campaigns -- Russia -- Fiction; "
    "Aristocracy (Social class) -- Russia -- Fiction\",PG,Best Books Ever Listings; Browsing: "
    "Fiction\n"
    "6,Text,2008-06-22,Les Misérables,fr,\"Hugo, Victor, 1802-1885\",Paris (France) -- "
    "Fiction; Poor -- Fiction,PQ,Browsing: Culture/Civilization/Society; Browsing: Fiction\n"
    "7,Sound,2003-01-01,A Reading Aloud,en,\"Reader, A.\",Audiobooks,,\n";

// count records made from the templates' fields: numbered 1, 2, ... with the titles made
// distinct; the templates' own mix of types, line breaks and quoting repeats through the file.
inline QByteArray generate(const QByteArray& head, int count)
{
    const PgCsv::Table table = PgCsv::parse(head);
    const QStringList header = table.records.first();
    const QList<QStringList> templates = table.records.mid(1);
    QByteArray csv = PgCsv::recordLine(header);
    csv.chop(2);
    csv += '\n';
    for (int n = 1; n <= count; ++n) {
        QStringList record = templates[(n - 1) % templates.size()];
        record[0] = QString::number(n);
        record[3] += QStringLiteral(", part %1").arg(n);
        QByteArray line = PgCsv::recordLine(record);
        line.chop(2);
        csv += line + '\n';
    }
    return csv;
}

// The builder's messages on standard error unless quiet; nothing else shown.
class QuietReport : public cCatalogueReport {
public:
    explicit QuietReport(bool quiet = false) : m_quiet(quiet) {}
    void status(const QString&) override {}
    void message(const QString& text) override
    {
        if (!m_quiet)
            std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    void busyPointer(bool) override {}

private:
    bool m_quiet;
};

} // namespace pgcsvgen
