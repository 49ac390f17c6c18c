// Opening an EPUB book of 3 MB of text in the reader window (offscreen) against opening the
// same text as one HTML book, in turns in the same process: what the user waits for, from
// the archive to the book shown. Exits non-zero when the EPUB book takes more than 1.5
// times as long (medians). The document loader's part alone is printed beside it, in
// processor time: the archive is unpacked on a thread of its own while the documents are
// converted, so there the EPUB book costs more than in the time the user waits.
#include "benchtext.h"
#include "epubwriter.h"
#include "reader/documentloader.h"
#include "reader/frmMain.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTextDocument>

#include <cstdio>

namespace {

constexpr double kMaxRatio = 1.5;

// The text of the corpus book, or a made-up one, grown to 3 MB and cut into chapters at
// its "CHAPTER" and "BOOK" lines (every 200 paragraphs in made-up text).
QList<QStringList> chapters()
{
    QByteArray book = benchtext::readFile(benchtext::corpusDir() + "/books/2600-0.txt");
    const QByteArray paragraph =
        "It was a bright cold day in the country, and the travellers went on. They spoke of "
        "the harvest, of the weather, and of the war! Who could say what would come?\r\n\r\n";
    int count = 0;
    while (book.size() < 3000000)
        book += (++count % 200 == 0 ? "CHAPTER " + QByteArray::number(count) + "\r\n\r\n" : "") +
                paragraph;
    QList<QStringList> parts(1);
    const QStringList paragraphs = QString::fromUtf8(book).split(QStringLiteral("\r\n\r\n"));
    for (const QString& p : paragraphs) {
        if ((p.startsWith(QLatin1String("CHAPTER ")) || p.startsWith(QLatin1String("BOOK "))) &&
            !parts.last().isEmpty())
            parts.append(QStringList());
        parts.last() << p.toHtmlEscaped();
    }
    return parts;
}

QByteArray body(const QStringList& paragraphs)
{
    QString html = "<h2>" + paragraphs.first() + "</h2>\n";
    for (qsizetype i = 1; i < paragraphs.size(); ++i)
        html += "<p>" + paragraphs[i] + "</p>\n";
    return html.toUtf8();
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    qputenv("PARLO_HOME", dir.path().toUtf8());
    QApplication app(argc, argv);
    const QList<QStringList> parts = chapters();

    const QByteArray head = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<html "
                            "xmlns=\"http://www.w3.org/1999/xhtml\"><head><title>T</title>"
                            "</head><body>\n";
    QByteArray html = head;
    ZipMembers members = {{"mimetype", "application/epub+zip"},
                          {"META-INF/container.xml", epubContainer()}};
    QList<OpfItem> items = {{"nav", "nav.xhtml", "application/xhtml+xml", "nav"}};
    QStringList spine;
    QByteArray nav =
        "<html xmlns=\"http://www.w3.org/1999/xhtml\" "
        "xmlns:epub=\"http://www.idpf.org/2007/ops\"><body><nav epub:type=\"toc\"><ol>";
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString id = QStringLiteral("c%1").arg(i);
        const QByteArray chapter = body(parts[i]);
        html += chapter;
        members.append({"OEBPS/" + id + ".xhtml", head + chapter + "</body></html>"});
        items.append({id, id + ".xhtml", "application/xhtml+xml", {}});
        spine << id;
        nav +=
            "<li><a href=\"" + id.toUtf8() + ".xhtml\">" + parts[i].first().toUtf8() + "</a></li>";
    }
    members.append({"OEBPS/nav.xhtml", nav + "</ol></nav></body></html>"});
    members.append({"OEBPS/content.opf", epubPackage(items, spine)});
    html += "</body></html>";

    const QString htmlPath = dir.filePath("book.html");
    const QString epubPath = dir.filePath("book.epub");
    QFile file(htmlPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(html) != html.size() ||
        !writeZip(epubPath, members)) {
        std::fprintf(stderr, "cannot write the books in %s\n", qPrintable(dir.path()));
        return 2;
    }
    file.close();

    qsizetype epubLength = 0;
    qsizetype htmlLength = 0;
    const benchtext::Pair loading = benchtext::alternating(
        9, [&] { epubLength = cDocumentLoader::load(epubPath)->characterCount(); },
        [&] { htmlLength = cDocumentLoader::load(htmlPath)->characterCount(); });
    std::printf("Loader alone: EPUB %.3f s cpu, HTML %.3f s cpu, ratio %.2f; shown lengths %lld "
                "and %lld\n",
                loading.once.cpu, loading.eight.cpu, loading.once.cpu / loading.eight.cpu,
                static_cast<long long>(epubLength), static_cast<long long>(htmlLength));

    frmMain::Options options;
    options.showSplash = false;
    frmMain window(options);
    if (!window.startUp()) {
        std::fprintf(stderr, "the reader window could not start (no voice?)\n");
        return 2;
    }
    window.show();
    // Each turn is short, and the machine may be shared: enough turns for a steady median.
    const benchtext::Pair opening = benchtext::alternating(
        25,
        [&] {
            window.OpenDocument(epubPath);
            QApplication::processEvents();
        },
        [&] {
            window.OpenDocument(htmlPath);
            QApplication::processEvents();
        });
    const double ratio = opening.once.wall / opening.eight.wall;
    std::printf("EPUB book, %lld chapters, %.2f MB of HTML, opened and shown: %.3f s wall, "
                "%.3f s cpu (medians)\n",
                static_cast<long long>(parts.size()), double(html.size()) / (1024.0 * 1024.0),
                opening.once.wall, opening.once.cpu);
    std::printf("Same text as one HTML book: %.3f s wall, %.3f s cpu\n", opening.eight.wall,
                opening.eight.cpu);
    std::printf("EPUB / HTML: %.2f (at most %.1f)\n", ratio, kMaxRatio);
    window.ShutDown();
    return ratio <= kMaxRatio ? 0 : 1;
}
