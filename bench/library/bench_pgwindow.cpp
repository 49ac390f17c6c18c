// The library window over a catalogue built from a generated pg_catalog.csv of 75,000
// records (offscreen):
//  1. opening it, titles with their authors and languages, against reading the two
//     catalogue files alone;
//  2. each keystroke of "tolstoy war" (then back to nothing) in the filter box, to the list
//     shown again, against one plain pass over the folded titles.
#include "library/catalogue.h"
#include "library/cataloguesearch.h"
#include "library/fSHAREDGut.h"

#include "../benchapp.h"
#include "benchtext.h"
#include "benchutil.h"
#include "pgcsvgen.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kRecords = 75000;
constexpr int kRuns = 5;

double msSince(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    benchapp::Application app(argc, argv);
    const QTemporaryDir& home = app.home;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    const QString corpus = benchtext::corpusDir();
    QByteArray head;
    if (!corpus.isEmpty())
        head = benchtext::readFile(corpus + "/gutindex/pg_catalog-head.csv");
    if (head.isEmpty())
        head = pgcsvgen::kBuiltIn;
    // Every 50th record is one of Tolstoy's, for the filter to find.
    QByteArray csv = pgcsvgen::generate(head, kRecords);
    for (int n = 0; n < kRecords / 50; ++n)
        csv += QStringLiteral("%1,Text,2001-04-01,War and Peace volume %2,%3,\"Tolstoy, Leo, "
                              "graf, 1828-1910\",,PG,\n")
                   .arg(kRecords + 1 + n)
                   .arg(n)
                   .arg(n % 3 ? QStringLiteral("en") : QStringLiteral("fr"))
                   .toUtf8();
    {
        QFile file(home.filePath("pg_catalog.csv"));
        if (!file.open(QIODevice::WriteOnly) || file.write(csv) != csv.size()) {
            std::printf("library window: cannot write the CSV\n");
            return 1;
        }
    }
    pgcsvgen::QuietReport report;
    const int books = cCatalogueBuilder(report, home.path()).ParsePgCatalog();

    std::vector<double> opens;
    std::vector<double> reads;
    std::vector<double> keys;
    std::vector<double> scans;
    const QString typed = QStringLiteral("tolstoy war");
    bool ok = books > kRecords / 2;
    int shown = 0;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer timer;
        timer.start();
        const qsizetype bytes =
            benchtext::readFile(home.filePath("GutIndex.txt")).split('\n').size() +
            benchtext::readFile(home.filePath("GutBooks.txt")).split('\n').size();
        reads.push_back(msSince(timer));
        ok = ok && bytes > books;

        timer.start();
        fSHAREDGut window;
        window.Form_Load();
        window.show();
        QApplication::processEvents();
        opens.push_back(msSince(timer));

        auto* filter = window.findChild<QLineEdit*>(QStringLiteral("txtFilter"));
        QStringList prefixes;
        for (qsizetype length = 1; length <= typed.size(); ++length)
            prefixes << typed.left(length);
        for (qsizetype length = typed.size() - 1; length >= 0; --length)
            prefixes << typed.left(length);
        for (const QString& prefix : std::as_const(prefixes)) {
            timer.start();
            filter->setText(prefix);
            QApplication::processEvents();
            keys.push_back(msSince(timer));
            if (prefix == typed)
                shown = window.library().books().count();
        }
        // The reference: one pass over the folded titles with the whole query.
        std::vector<QString> folded;
        for (int row = 0; row < window.library().books().count(); ++row)
            folded.push_back(CatalogueSearch::fold(window.library().books().entry(row).title));
        const QStringList words = CatalogueSearch::queryWords(typed);
        timer.start();
        int matched = 0;
        for (const QString& title : folded)
            matched += CatalogueSearch::matchesFolded(words, title, {}) ? 1 : 0;
        scans.push_back(msSince(timer));
        ok = ok && matched >= 0;
    }
    const double open = median(opens);
    const double key = median(keys);
    const double worst = *std::max_element(keys.begin(), keys.end());
    std::printf("library window: %d books from %d CSV records; open %.1f ms (limit 500), reading "
                "the catalogue files alone %.1f ms, ratio %.1f\n",
                books, kRecords + kRecords / 50, open, median(reads), open / median(reads));
    std::printf("library window: filter per keystroke %.2f ms median, %.2f ms worst (limits 30 "
                "and 50); one plain pass %.2f ms, ratio %.1f; \"%s\" shows %d\n",
                key, worst, median(scans), key / median(scans), qPrintable(typed), shown);
    ok = ok && open < 500 && key < 30 && worst < 50 && shown == kRecords / 50;
    std::printf("library window: %s\n", ok ? "PASS" : "FAIL");
    return ok ? 0 : 1;
}
