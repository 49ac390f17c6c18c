// The catalogue builder over real files in a program folder, with a report that records
// what the library window would show.
#include "library/catalogue.h"

#include "testsupport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

class RecordingReport : public cCatalogueReport {
public:
    void status(const QString& text) override { events << "status: " + text; }
    void lineStatus(const QString& text, int line, int lineCount) override
    {
        lines << QStringLiteral("%1/%2").arg(line).arg(lineCount);
        events << "line: " + text;
    }
    void message(const QString& text) override { events << "message: " + text; }
    void busyPointer(bool busy) override { events << (busy ? "busy" : "normal"); }
    void letEventsRun() override { ++eventRuns; }

    QStringList events;
    QStringList lines;
    int eventRuns = 0;
};

QByteArray fixture(const char* name)
{
    return readBytes(QStringLiteral(TEST_DATA_DIR "/") + QLatin1StringView(name));
}

class CatalogueBuilder : public ::testing::Test {
protected:
    void put(const QString& name, const QByteArray& bytes) { writeBytes(home.file(name), bytes); }
    QByteArray get(const QString& name) const { return readBytes(home.file(name)); }
    void putSources()
    {
        put("ls-R", fixture("ls-R.lf"));
        put("GUTINDEX.ALL", fixture("GUTINDEX.ALL"));
    }
    QStringList catalogueLines() const
    {
        QString text = QString::fromUtf8(get("GutIndex.txt"));
        EXPECT_TRUE(text.isEmpty() || text.endsWith("\r\n"));
        text.chop(2);
        return text.split("\r\n");
    }

    ScopedProgramHome home;
    RecordingReport report;
    cCatalogueBuilder builder{report};
};

} // namespace

TEST_F(CatalogueBuilder, ListingWithEitherLineEndGivesTheSameFileList)
{
    put("ls-R", fixture("ls-R.crlf"));
    ASSERT_TRUE(builder.ParseLSLR());
    const QByteArray fromCrLf = get("GutFiles.txt");
    put("ls-R", fixture("ls-R.lf"));
    ASSERT_TRUE(builder.ParseLSLR());
    EXPECT_EQ(get("GutFiles.txt"), fromCrLf);
    EXPECT_TRUE(fromCrLf.startsWith("/0/7/7.txt\r\n/1/19/19.txt\r\n"));
    EXPECT_TRUE(fromCrLf.endsWith("\r\n/1/4/0/1400/1400.txt\r\n/1/4/0/1400/1400-h.zip\r\n"));
    EXPECT_EQ(fromCrLf.count("\r\n"), 11);
    // The listing itself is left as it came.
    EXPECT_EQ(get("ls-R"), fixture("ls-R.lf"));
}

TEST_F(CatalogueBuilder, WholeBuildReportsItsStages)
{
    putSources();
    ASSERT_TRUE(builder.ParseLSLR());
    EXPECT_EQ(builder.ParseGutindexAll(), 8);
    EXPECT_EQ(catalogueLines().size(), 8);
    EXPECT_EQ(catalogueLines().first(),
              "/1/4/0/1400/1400.txt, Great Expectations, by Charles Dickens");
    EXPECT_EQ(report.events.first(), "busy");
    EXPECT_EQ(report.events.mid(1, 1), QStringList{"status: Recreating catalogue"});
    EXPECT_EQ(report.events.last(), "normal");
    EXPECT_EQ(report.events.at(report.events.size() - 2), "status: Catalogue created");
    // The fixture has fewer than 50 lines.
    EXPECT_TRUE(report.lines.isEmpty());
    EXPECT_GE(report.eventRuns, 1);
}

TEST_F(CatalogueBuilder, StatusEveryFiftyLinesOfTheIndex)
{
    putSources();
    QByteArray index = fixture("GUTINDEX.ALL");
    for (int i = 0; i < 80; ++i)
        index += "\r\n";
    put("GUTINDEX.ALL", index);
    builder.ParseLSLR();
    builder.ParseGutindexAll();
    const int lines = int(index.count('\n'));
    EXPECT_EQ(report.lines, QStringList({QStringLiteral("50/%1").arg(lines),
                                         QStringLiteral("100/%1").arg(lines)}));
    EXPECT_TRUE(report.events.contains(QStringLiteral("line: Line 50 of %1").arg(lines)));
    EXPECT_GE(report.eventRuns, 3);
}

TEST_F(CatalogueBuilder, FileNamesMatchWithoutLetterCase)
{
    put("LS-r", fixture("ls-R.crlf"));
    put("gutindex.all", fixture("GUTINDEX.ALL"));
    put("gutfiles.TXT", "stale\r\n");
    put("gutindex.txt", "stale\r\n");
    ASSERT_TRUE(builder.ParseLSLR());
    EXPECT_EQ(builder.ParseGutindexAll(), 8);
    EXPECT_TRUE(get("gutfiles.TXT").startsWith("/0/7/7.txt"));
    EXPECT_TRUE(get("gutindex.txt").startsWith("/1/4/0/1400/1400.txt"));
    EXPECT_FALSE(QFile::exists(home.file("GutFiles.txt")));
    EXPECT_FALSE(QFile::exists(home.file("GutIndex.txt")));
}

TEST_F(CatalogueBuilder, MissingSources)
{
    put("GutIndex.txt", "/0/1/1.txt, Kept\r\n");
    // No listing: nothing happens; no index: nothing happens and nothing is said.
    EXPECT_FALSE(builder.ParseLSLR());
    EXPECT_EQ(builder.ParseGutindexAll(), -1);
    EXPECT_TRUE(report.events.isEmpty());
    // An index without a file list, or with one of blank lines only, is refused with a
    // message.
    put("GUTINDEX.ALL", fixture("GUTINDEX.ALL"));
    EXPECT_EQ(builder.ParseGutindexAll(), -1);
    put("GutFiles.txt", " \r\n\r\n");
    EXPECT_EQ(builder.ParseGutindexAll(), -1);
    const QString message = "message: Cannot create catalog. Please download and try again.";
    EXPECT_EQ(report.events, QStringList({"busy", "normal", message, "busy", "normal", message}));
    EXPECT_EQ(get("GutIndex.txt"), "/0/1/1.txt, Kept\r\n");
}

TEST_F(CatalogueBuilder, ListingOfOneBook)
{
    put("ls-R", "./0/7:\n7.txt\n");
    put("GUTINDEX.ALL", "<==LISTINGS==>\r\nA Short One, by A. Writer   7\r\n");
    builder.ParseLSLR();
    EXPECT_EQ(builder.ParseGutindexAll(), 1);
    EXPECT_EQ(catalogueLines(), QStringList{"/0/7/7.txt, A Short One, by A. Writer"});
}

TEST_F(CatalogueBuilder, FailedWriteIsNotedAndReported)
{
    putSources();
    builder.ParseLSLR();
    // A folder in the catalogue's place cannot be written over, whoever runs the test.
    ASSERT_TRUE(QDir(home.path()).mkdir("GutIndex.txt"));
    TrailWatch trail;
    EXPECT_EQ(builder.ParseGutindexAll(), -1);
    EXPECT_TRUE(trail.added().contains("ParseGutindexAll")) << trail.added().toStdString();
    EXPECT_TRUE(trail.added().contains("frmGUT"));
    EXPECT_FALSE(report.events.contains("status: Catalogue created"));
    EXPECT_EQ(report.events.last(), "normal");
    EXPECT_EQ(builder.ParsePGAustralia(), -1);
}

TEST_F(CatalogueBuilder, AustralianCatalogueIsAppended)
{
    putSources();
    put("Catalogue.TXT", fixture("catalogue.txt"));
    builder.ParseLSLR();
    ASSERT_EQ(builder.ParseGutindexAll(), 8);
    EXPECT_EQ(builder.ParsePGAustralia(), 4);
    const QStringList lines = catalogueLines();
    ASSERT_EQ(lines.size(), 12);
    EXPECT_EQ(lines[7], "/etext98/grexp10.txt, Great Expectations, by Charles Dickens");
    EXPECT_EQ(lines[8],
              "/ebooks01/0100011.txt, *PG-OZ* Anne of Windy Poplars, by L. M. Montgomery");
    // The page around the catalogue is gone from the file, which reads the same again.
    const QByteArray unwrapped = get("Catalogue.TXT");
    EXPECT_FALSE(unwrapped.contains("<PRE>"));
    EXPECT_TRUE(unwrapped.contains("ebooks01,0100011,txt,"));
    EXPECT_EQ(builder.ParsePGAustralia(), 4);
    EXPECT_EQ(get("Catalogue.TXT"), unwrapped);
    EXPECT_EQ(catalogueLines().mid(12), lines.mid(8));
}

TEST_F(CatalogueBuilder, MissingAustralianCatalogue)
{
    put("GutIndex.txt", "/0/1/1.txt, Kept");
    EXPECT_EQ(builder.ParsePGAustralia(), -1);
    EXPECT_EQ(report.events,
              QStringList{"message: PG Australia file not found. Please download again."});
    put("catalogue.txt", "a,b,txt,Added\n");
    EXPECT_EQ(builder.ParsePGAustralia(), 1);
    EXPECT_EQ(get("GutIndex.txt"), "/0/1/1.txt, Kept\r\n/a/b.txt, *PG-OZ* Added\r\n");
}

TEST_F(CatalogueBuilder, TodaysCatalogueGivesBothCatalogueFiles)
{
    put("pg_catalog.csv", fixture("pg_catalog.csv"));
    EXPECT_EQ(builder.ParsePgCatalog(), 7);
    EXPECT_EQ(builder.skippedRecords(), 2);
    EXPECT_EQ(report.events, QStringList({"busy", "status: Recreating catalogue",
                                          "status: Catalogue created", "normal"}));
    const QStringList lines = catalogueLines();
    ASSERT_EQ(lines.size(), 7);
    EXPECT_EQ(lines[1], "/cache/epub/2/pg2.txt, The United States Bill of Rights The Ten "
                        "Original Amendments to the Constitution of the United States");
    EXPECT_EQ(lines[6], "/cache/epub/23000/pg23000.txt, Élet és irodalom");

    // The richer file holds the same books in the same order, with the other columns.
    const QList<PgCatalogue::Book> books = builder.LoadBookDetails();
    ASSERT_EQ(books.size(), 7);
    for (qsizetype i = 0; i < books.size(); ++i)
        EXPECT_EQ(books[i].path + ", " + books[i].title, lines[i]);
    EXPECT_EQ(books[3].author,
              "Tolstoy, Leo, graf, 1828-1910; Maude, Louise, 1855-1939 [Translator]");
    EXPECT_EQ(books[6].language, "hu; en");
    EXPECT_EQ(books[5].issued, "2008-06-22");

    // The Australian catalogue is appended as after the other source.
    put("catalogue.txt", fixture("catalogue.txt"));
    EXPECT_EQ(builder.ParsePGAustralia(), 4);
    EXPECT_EQ(catalogueLines().size(), 11);
    EXPECT_EQ(catalogueLines().mid(0, 7), lines);
}

TEST_F(CatalogueBuilder, TodaysCatalogueWithoutBooksKeepsTheOldOne)
{
    put("GutIndex.txt", "/0/1/1.txt, Kept\r\n");
    // No CSV: nothing to say, as with a missing index.
    EXPECT_EQ(builder.ParsePgCatalog(), -1);
    EXPECT_TRUE(report.events.isEmpty());
    EXPECT_TRUE(builder.LoadBookDetails().isEmpty());

    // A CSV that is not the catalogue, or holds no text at all.
    for (const QByteArray& csv :
         {QByteArray("<html>Not found</html>\n"),
          QByteArray("Text#,Type,Issued,Title,Language,Authors\n10,Sound,1999,Bible,en,\n")}) {
        put("pg_catalog.csv", csv);
        report.events.clear();
        EXPECT_EQ(builder.ParsePgCatalog(), -1);
        EXPECT_EQ(report.events,
                  QStringList({"busy", "status: Recreating catalogue", "normal",
                               "message: Cannot create catalog. Please download and try again."}));
        EXPECT_EQ(get("GutIndex.txt"), "/0/1/1.txt, Kept\r\n");
        EXPECT_FALSE(QFile::exists(home.file("GutBooks.txt")));
    }

    // An unwritable catalogue is no success.
    put("pg_catalog.csv", fixture("pg_catalog.csv"));
    QFile::remove(home.file("GutIndex.txt"));
    ASSERT_TRUE(QDir(home.path()).mkdir("GutIndex.txt"));
    EXPECT_EQ(builder.ParsePgCatalog(), -1);
}
