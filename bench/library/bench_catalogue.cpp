// The whole catalogue build (ParseLSLR and ParseGutindexAll over real files) from the real
// GUTINDEX.ALL and a generated ls-R of 500,000 book files in the mirror's layout, in
// directory order rather than sorted; then the same with the listing doubled.
#include "library/catalogue.h"
#include "library/catalogueparse.h"

#include "benchtext.h"

#include <QCoreApplication>
#include <QSet>
#include <QTemporaryDir>

#include <map>
#include <random>

namespace {

constexpr int kPaths = 500000;
constexpr int kRuns = 3;

class QuietReport : public cCatalogueReport {
public:
    void status(const QString&) override {}
    void message(const QString& text) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    void busyPointer(bool) override {}
};

// An ls-R holding at least `paths` txt, htm and zip files: books 1, 2, 3, ... each in its
// folder with the usual editions, an HTML subfolder with images, and the folders between.
// Blocks and the names in them come in a shuffled order, as a file system lists them.
QByteArray listing(int paths)
{
    std::mt19937 random(20200613);
    std::vector<QByteArray> blocks;
    std::map<QByteArray, QSet<QByteArray>> folders;
    int kept = 0;
    for (int n = 1; kept < paths; ++n) {
        const QByteArray book = QByteArray::number(n);
        const QString path = CatalogueParse::BuildPathPlusFile(QString::fromLatin1(book));
        const QByteArray folder = path.section('/', 0, -2).toLatin1();
        // The folders above, down to the book's own.
        QByteArray parent = ".";
        for (const QByteArray& piece : folder.mid(1).split('/')) {
            folders[parent].insert(piece);
            parent += '/' + piece;
        }
        std::vector<QByteArray> names = {book + "-h", book + ".zip", book + "-h.zip"};
        names.push_back(n % 5 == 0 ? book + "-8.txt" : book + ".txt");
        if (n % 2 == 0)
            names.insert(names.end(), {book + "-8.txt", book + "-8.zip"});
        if (n % 3 == 0)
            names.insert(names.end(), {book + "-0.txt", book + "-0.zip"});
        if (n % 11 == 0)
            names.push_back(book + "-pdf.pdf");
        std::shuffle(names.begin(), names.end(), random);
        // All but the HTML folder and the PDF are kept; the HTML file in that folder is too.
        kept += int(names.size()) - (n % 11 == 0 ? 1 : 0);
        blocks.push_back("." + folder + ":\n" +
                         QByteArrayList(names.begin(), names.end()).join('\n') + "\n\n");
        blocks.push_back("." + folder + "/" + book + "-h:\n" + book + "-h.htm\nimages\n\n");
        blocks.push_back("." + folder + "/" + book + "-h/images:\ncover.jpg\nillus" + book +
                         ".png\n\n");
    }
    for (const auto& [folder, children] : folders)
        blocks.push_back(folder + ":\n" +
                         QByteArrayList(children.begin(), children.end()).join('\n') + "\n\n");
    std::shuffle(blocks.begin(), blocks.end(), random);
    QByteArray text = ".:\nGUTINDEX.ALL\nls-R\n\n";
    for (const QByteArray& block : blocks)
        text += block;
    return text;
}

struct Build {
    benchtext::Samples listing;
    benchtext::Samples index;
    benchtext::Samples whole;
    int records = 0;
};

void buildOnce(const QString& folder, Build& build)
{
    QuietReport report;
    cCatalogueBuilder builder(report, folder);
    build.whole.time([&] {
        build.listing.time([&] { builder.ParseLSLR(); });
        build.index.time([&] { build.records = builder.ParseGutindexAll(); });
    });
}

void printStages(const char* what, const Build& build)
{
    const auto print = [&](const char* stage, const benchtext::Samples& samples) {
        const benchtext::Timing t = samples.median();
        std::printf("%s: %-17s %.3f s wall, %.3f s cpu (median)\n", what, stage, t.wall, t.cpu);
    };
    print("ParseLSLR", build.listing);
    print("ParseGutindexAll", build.index);
    print("whole build", build.whole);
}

// Every record's path is in the file list or an old-form path.
bool pathsListed(const QString& folder)
{
    const QStringList list = CatalogueParse::lines(benchtext::readFile(folder + "/GutFiles.txt"));
    const QSet<QString> files(list.begin(), list.end());
    for (const QString& line :
         CatalogueParse::lines(benchtext::readFile(folder + "/GutIndex.txt"))) {
        const QString path = line.section(',', 0, 0);
        if (!files.contains(path) && !path.startsWith(QStringLiteral("/etext"))) {
            std::printf("not in the listing: %s\n", qPrintable(line));
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString corpus = benchtext::corpusDir();
    const QByteArray index =
        corpus.isEmpty() ? QByteArray() : benchtext::readFile(corpus + "/gutindex/GUTINDEX.ALL");
    if (index.isEmpty()) {
        std::printf("catalogue: SKIP (no GUTINDEX.ALL in the corpus)\n");
        return 0;
    }
    QTemporaryDir home;
    qputenv("PARLO_HOME", home.path().toUtf8());
    QTemporaryDir once;
    QTemporaryDir twice;
    const auto put = [](const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    };
    const QByteArray single = listing(kPaths);
    if (!put(once, "ls-R", single) || !put(twice, "ls-R", listing(2 * kPaths)) ||
        !put(once, "GUTINDEX.ALL", index) || !put(twice, "GUTINDEX.ALL", index)) {
        std::printf("catalogue: cannot write the sources\n");
        return 1;
    }

    Build builds[2];
    buildOnce(once.path(), builds[0]); // warm-up
    builds[0] = Build();
    for (int run = 0; run < kRuns; ++run) {
        buildOnce(once.path(), builds[0]);
        buildOnce(twice.path(), builds[1]);
    }
    const int files = int(CatalogueParse::listingPaths(single).size());
    std::printf("catalogue: listing of %d book files (%.1f MB), index of %.1f MB\n", files,
                double(single.size()) / 1048576.0, double(index.size()) / 1048576.0);
    printStages("as is", builds[0]);
    printStages("doubled", builds[1]);
    const benchtext::Timing one = builds[0].whole.median();
    const benchtext::Timing two = builds[1].whole.median();
    const double ratio = two.cpu / one.cpu;
    std::printf("catalogue: %d records; doubled listing / as is = %.2f cpu, %.2f wall (limit "
                "2.5)\n",
                builds[0].records, ratio, two.wall / one.wall);
    const bool listed = pathsListed(once.path());
    const bool ok = one.cpu < 2.0 && ratio < 2.5 && builds[0].records > 55000 && listed;
    std::printf("catalogue: whole build %.3f s cpu, %.3f s wall (limit 2 s): %s\n", one.cpu,
                one.wall, ok ? "PASS" : "FAIL");
    return ok ? 0 : 1;
}
