// The catalogue built from today's pg_catalog.csv (ParsePgCatalog over real files: read,
// parse, write GutIndex.txt and GutBooks.txt) for a generated file of 75,000 records in the
// real format, scaled from the corpus head when this machine has it. The reference is a
// plain split of the same bytes into lines. A file whose every record opens a quote it never
// closes shows that broken records cost no more than good ones.
#include "library/catalogue.h"
#include "library/catalogueparse.h"
#include "library/cataloguesearch.h"
#include "library/pgcsv.h"

#include "benchtext.h"
#include "pgcsvgen.h"

#include <QCoreApplication>
#include <QTemporaryDir>

namespace {

constexpr int kRecords = 75000;
constexpr int kRuns = 5;

// What the filter box does per keystroke, without the window: every book's folded title and
// author (folded once, beforehand) against the folded words typed so far and a language.
// The medians and worst of the prefixes of "lincoln address", in milliseconds of processor
// time.
struct Filtering {
    double fold = 0;
    double median = 0;
    double worst = 0;
    int shown = 0;
};

Filtering filter(const QList<PgCatalogue::Book>& books)
{
    Filtering result;
    QStringList titles;
    QStringList authors;
    const double start = benchtext::cpuSeconds();
    for (const PgCatalogue::Book& book : books) {
        titles << CatalogueSearch::fold(book.title);
        authors << CatalogueSearch::fold(book.author);
    }
    result.fold = benchtext::cpuSeconds() - start;
    const QString typed = QStringLiteral("lincoln address");
    std::vector<double> keystrokes;
    for (qsizetype length = 1; length <= typed.size(); ++length) {
        const double before = benchtext::cpuSeconds();
        const QStringList words = CatalogueSearch::queryWords(typed.left(length));
        int shown = 0;
        for (qsizetype i = 0; i < books.size(); ++i) {
            if (CatalogueSearch::hasLanguage(books[i].language, u"en") &&
                CatalogueSearch::matchesFolded(words, titles[i], authors[i]))
                ++shown;
        }
        keystrokes.push_back((benchtext::cpuSeconds() - before) * 1000.0);
        result.shown = shown;
    }
    result.worst = *std::max_element(keystrokes.begin(), keystrokes.end());
    std::sort(keystrokes.begin(), keystrokes.end());
    result.median = keystrokes[keystrokes.size() / 2];
    return result;
}

// The same number of records, each opening a quote that nothing closes.
QByteArray unclosed(qsizetype bytes)
{
    QByteArray csv = "Text#,Type,Issued,Title,Language,Authors\n";
    for (int n = 1; csv.size() < bytes; ++n)
        csv += QByteArray::number(n) + ",Text,2001-01-01,\"A title, opened and never closed, "
                                       "of a record somewhat longer than most,en,Nobody\n";
    return csv;
}

bool put(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    QFile file(dir.filePath(name));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString corpus = benchtext::corpusDir();
    QByteArray head;
    if (!corpus.isEmpty())
        head = benchtext::readFile(corpus + "/gutindex/pg_catalog-head.csv");
    const bool real = !head.isEmpty();
    if (!real)
        head = pgcsvgen::kBuiltIn;
    QTemporaryDir home;
    qputenv("PARLO_HOME", home.path().toUtf8());
    QTemporaryDir good;
    QTemporaryDir broken;
    const QByteArray csv = pgcsvgen::generate(head, kRecords);
    const QByteArray bad = unclosed(csv.size());
    if (!put(good, "pg_catalog.csv", csv) || !put(broken, "pg_catalog.csv", bad)) {
        std::printf("pg_catalog: cannot write the sources\n");
        return 1;
    }

    pgcsvgen::QuietReport report;
    pgcsvgen::QuietReport noBooks(true);
    cCatalogueBuilder builder(report, good.path());
    cCatalogueBuilder brokenBuilder(noBooks, broken.path());
    int books = 0;
    int skipped = 0;
    benchtext::Samples build;
    benchtext::Samples brokenBuild;
    benchtext::Samples split;
    builder.ParsePgCatalog(); // warm-up
    for (int run = 0; run < kRuns; ++run) {
        build.time([&] { books = builder.ParsePgCatalog(); });
        brokenBuild.time([&] {
            brokenBuilder.ParsePgCatalog();
            skipped = brokenBuilder.skippedRecords();
        });
        split.time(
            [&] { CatalogueParse::lines(benchtext::readFile(good.filePath("pg_catalog.csv"))); });
    }
    const benchtext::Timing t = build.median();
    const benchtext::Timing reference = split.median();
    const benchtext::Timing b = brokenBuild.median();
    std::printf("pg_catalog: %d records (%.1f MB) from %s\n", kRecords,
                double(csv.size()) / 1048576.0,
                real ? "the corpus head" : "built-in lines (no corpus head here)");
    std::printf("pg_catalog: reading the file and splitting it into lines %.3f s wall, %.3f s "
                "cpu (reference)\n",
                reference.wall, reference.cpu);
    std::printf("pg_catalog: ParsePgCatalog %.3f s wall, %.3f s cpu (medians); %d books; "
                "ratio to the reference %.2f cpu\n",
                t.wall, t.cpu, books, t.cpu / reference.cpu);
    std::printf("pg_catalog: %.1f MB of records that never close a quote: %.3f s cpu, %d "
                "skipped; ratio to the good file %.2f (limit 3)\n",
                double(bad.size()) / 1048576.0, b.cpu, skipped, b.cpu / t.cpu);
    const Filtering f = filter(builder.LoadBookDetails());
    std::printf("pg_catalog: filter: folding every title and author %.3f s cpu; per keystroke "
                "%.1f ms median, %.1f ms worst (limits 30 and 50); %d books shown at the end\n",
                f.fold, f.median, f.worst, f.shown);
    const bool ok = t.cpu < 1.0 && books > kRecords * 8 / 10 && b.cpu < 3.0 * t.cpu &&
                    skipped > kRecords / 2 && f.median < 30.0 && f.worst < 50.0;
    std::printf("pg_catalog: parse and build %.3f s cpu (limit 1 s), %.3f s wall: %s\n", t.cpu,
                t.wall, ok ? "PASS" : "FAIL");
    return ok ? 0 : 1;
}
