// pg_catalog.csv: the CSV reader, the catalogue made from it, the richer catalogue file, the
// root of the site books come from, and the search over titles and authors.
#include "library/cataloguesearch.h"
#include "library/pgcatalogue.h"
#include "library/pgcsv.h"
#include "settings/settings.h"

#include "testsupport.h"

#include <gtest/gtest.h>

namespace {

QByteArray fixture(const char* name)
{
    return readBytes(QStringLiteral(TEST_DATA_DIR "/") + QLatin1StringView(name));
}

using Records = QList<QStringList>;

// Built from the character: QString drops a byte-order mark that starts UTF-8 it converts.
const QString kBom = QString(QChar(0xFEFF));

struct CsvCase {
    const char* name;
    QByteArray bytes;
    Records records;
    int skipped;
};

} // namespace

TEST(PgCsv, ReadsWhatRfc4180Allows)
{
    const CsvCase cases[] = {
        {"plain, LF", "a,b,c\nd,e,f\n", {{"a", "b", "c"}, {"d", "e", "f"}}, 0},
        {"CR LF, no last line end", "a,b\r\nc,d", {{"a", "b"}, {"c", "d"}}, 0},
        {"lone CR", "a,b\rc,d\r", {{"a", "b"}, {"c", "d"}}, 0},
        {"byte-order mark", "\xEF\xBB\xBFText#,Title\n1,x\n", {{"Text#", "Title"}, {"1", "x"}}, 0},
        {"quoted commas",
         "1,\"Jefferson, Thomas, 1743-1826\",en\n",
         {{"1", "Jefferson, Thomas, 1743-1826", "en"}},
         0},
        {"doubled quotes",
         "\"The \"\"Book\"\" of Mormon\",\"\"\"\"\n",
         {{"The \"Book\" of Mormon", "\""}},
         0},
        {"line breaks inside quotes stay as written",
         "\"one\ntwo\",\"three\r\nfour\"\r\nx\n",
         {{"one\ntwo", "three\r\nfour"}, {"x"}},
         0},
        {"empty fields", ",\"\",\n\"\"\n", {{"", "", ""}, {""}}, 0},
        {"blank lines are no records", "\n\r\na\n\n\nb\n", {{"a"}, {"b"}}, 0},
        {"blanks belong to the field", " a , b \n", {{" a ", " b "}}, 0},
        {"UTF-8", "Les Misérables,Brontë\n", {{"Les Misérables", "Brontë"}}, 0},
        {"U+FEFF starting a field is kept",
         "a,\xEF\xBB\xBF"
         "b\n\"\xEF\xBB\xBF\xEF\xBB\xBF\"\n",
         {{"a", kBom + "b"}, {kBom + kBom}},
         0},
        {"Windows-1252 when not UTF-8", "Mis\xE9rables,\x93q\x94\n", {{"Misérables", "“q”"}}, 0},
        // Broken records: each costs itself and nothing after it.
        {"a quote never closed", "1,\"open\n2,b\n3,\"c\"\n", {{"2", "b"}, {"3", "c"}}, 1},
        {"a quote never closed at the end", "1,a\n2,\"open", {{"1", "a"}}, 1},
        {"text after the closing quote", "1,\"a\"b,c\n2,d\n", {{"2", "d"}}, 1},
        {"a quote inside an unquoted field", "1,a\"b\"\n2,d\n", {{"2", "d"}}, 1},
        {"several broken in a row", "\"a\n\"b\n\"c\nd\n", {{"d"}}, 3},
        {"an unclosed quote swallows no quoted record after it",
         "1,\"open\n2,\"x, y\"\n3,\"z\"\"\"\n",
         {{"2", "x, y"}, {"3", "z\""}},
         1},
    };
    for (const CsvCase& c : cases) {
        const PgCsv::Table table = PgCsv::parse(c.bytes);
        EXPECT_EQ(table.records, c.records) << c.name;
        EXPECT_EQ(table.skipped, c.skipped) << c.name;
    }
}

TEST(PgCsv, RecordsWrittenReadBackUnchanged)
{
    const Records records = {
        {"plain", "with, comma", "with \"quotes\"", "two\nlines", "cr\rlf\r\n", ""},
        {""},
        {"", ""},
        {"Brontë", " blanks "},
    };
    QByteArray bytes;
    for (const QStringList& record : records)
        bytes += PgCsv::recordLine(record);
    const PgCsv::Table table = PgCsv::parse(bytes);
    EXPECT_EQ(table.records, records);
    EXPECT_EQ(table.skipped, 0);
}

TEST(PgCatalogue, TextRecordsOfTheRealFormatBecomeBooks)
{
    const PgCatalogue::Catalogue catalogue = PgCatalogue::fromCsv(fixture("pg_catalog.csv"));
    EXPECT_TRUE(catalogue.header);
    // The unclosed quote of #99 and the short record #55.
    EXPECT_EQ(catalogue.skipped, 2);
    EXPECT_EQ(catalogue.otherTypes, 1);
    QStringList paths;
    for (const PgCatalogue::Book& book : catalogue.books)
        paths << book.path;
    EXPECT_EQ(paths, QStringList({"/cache/epub/1/pg1.txt", "/cache/epub/2/pg2.txt",
                                  "/cache/epub/7/pg7.txt", "/cache/epub/2600/pg2600.txt",
                                  "/cache/epub/17/pg17.txt", "/cache/epub/135/pg135.txt",
                                  "/cache/epub/23000/pg23000.txt"}));
    ASSERT_EQ(catalogue.books.size(), 7);
    EXPECT_EQ(catalogue.books[1].title,
              "The United States Bill of Rights The Ten Original Amendments to the "
              "Constitution of the United States");
    EXPECT_EQ(catalogue.books[1].author, "United States");
    EXPECT_EQ(catalogue.books[2].author, "");
    EXPECT_EQ(catalogue.books[3],
              (PgCatalogue::Book{"/cache/epub/2600/pg2600.txt", "War and Peace",
                                 "Tolstoy, Leo, graf, 1828-1910; Maude, Louise, 1855-1939 "
                                 "[Translator]",
                                 "en", "2001-04-01"}));
    EXPECT_EQ(catalogue.books[4].title, "The \"Book\" of Mormon");
    EXPECT_EQ(catalogue.books[6].language, "hu; en");

    // GutIndex.txt's lines: the path never holds the comma its reader splits at.
    const QList<CatalogueParse::Record> index = PgCatalogue::indexRecords(catalogue.books);
    EXPECT_EQ(index[0].line(), "/cache/epub/1/pg1.txt, The Declaration of Independence of the "
                               "United States of America");
    for (const CatalogueParse::Record& record : index)
        EXPECT_FALSE(record.path.contains(u',')) << record.path.toStdString();
}

TEST(PgCatalogue, ColumnsAreFoundByTheHeader)
{
    // Columns in another order, names in another case, a title broken over blank lines.
    const QByteArray csv = "title,LANGUAGE,Type,Text#\r\n"
                           "\"  First line  \r\n\r\n  second\tline \",de,Text,42\r\n"
                           "No number,en,Text,\r\n"
                           "Number with letters,en,Text,4a\r\n"
                           "\"  \",en,Text,43\r\n"
                           "Pictures,en,StillImage,44\r\n";
    const PgCatalogue::Catalogue catalogue = PgCatalogue::fromCsv(csv);
    ASSERT_TRUE(catalogue.header);
    ASSERT_EQ(catalogue.books.size(), 1);
    EXPECT_EQ(catalogue.books[0], (PgCatalogue::Book{"/cache/epub/42/pg42.txt",
                                                     "First line second line", "", "de", ""}));
    EXPECT_EQ(catalogue.skipped, 3);
    EXPECT_EQ(catalogue.otherTypes, 1);

    // Something else than the catalogue gives no books, whatever it holds.
    for (const QByteArray& other :
         {QByteArray(), QByteArray("1,Text,1971-12-01,Title,en\n"), fixture("GUTINDEX.ALL")}) {
        const PgCatalogue::Catalogue none = PgCatalogue::fromCsv(other);
        EXPECT_FALSE(none.header);
        EXPECT_TRUE(none.books.isEmpty());
    }
}

TEST(PgCatalogue, DetailsFileReadsBackAsWritten)
{
    const QList<PgCatalogue::Book> books = {
        {"/cache/epub/1/pg1.txt", "Title", "Author, An", "en", "1971-12-01"},
        {"/cache/epub/2/pg2.txt", "", "", "", ""},
        {"/cache/epub/3/pg3.txt", "Ünïcödé", "Brontë, Émily", "hu; en", "2007-10-01"},
    };
    const QByteArray file = PgCatalogue::detailsFile(books);
    EXPECT_TRUE(file.startsWith("#path\ttitle\tauthor\tlanguage\tissued\r\n"));
    EXPECT_TRUE(file.endsWith("\r\n"));
    EXPECT_EQ(PgCatalogue::readDetails(file), books);

    // Tabs and line breaks cannot break a line of the file.
    const QList<PgCatalogue::Book> broken = {
        {"/cache/epub/4/pg4.txt", "a\tb", "c\nd", "e\r\nf", "g"}};
    EXPECT_EQ(PgCatalogue::readDetails(PgCatalogue::detailsFile(broken)),
              QList<PgCatalogue::Book>({{"/cache/epub/4/pg4.txt", "a b", "c d", "e f", "g"}}));

    // LF line ends, fields a later version adds, missing fields, lines without a path.
    EXPECT_EQ(PgCatalogue::readDetails("#path\n/a\tT\tA\ten\t2000\textra\n/b\tOnly title\n"
                                       "\tno path\n\n"),
              QList<PgCatalogue::Book>(
                  {{"/a", "T", "A", "en", "2000"}, {"/b", "Only title", "", "", ""}}));
}

TEST(PgCatalogue, BooksComeFromTheRootOfTheCatalogueSite)
{
    EXPECT_EQ(PgCatalogue::siteRoot(PgCatalogue::kDefaultCsvUrl), "https://www.gutenberg.org");
    EXPECT_EQ(PgCatalogue::siteRoot("http://127.0.0.1:8080/some/where/pg_catalog.csv?x=1#y"),
              "http://127.0.0.1:8080");
    EXPECT_EQ(PgCatalogue::siteRoot("  HTTPS://Mirror.Example.org/pg_catalog.csv "),
              "https://mirror.example.org");
    EXPECT_EQ(PgCatalogue::siteRoot("http://user:secret@[::1]:81/pg_catalog.csv"),
              "http://[::1]:81");
    for (const char* unusable : {"", "pg_catalog.csv", "/cache/epub/feeds/pg_catalog.csv",
                                 "file:///tmp/pg_catalog.csv", "http://"})
        EXPECT_EQ(PgCatalogue::siteRoot(unusable), "") << unusable;

    // Only today's paths go to the site's root; a mirror's and Australia's stay as they were.
    EXPECT_TRUE(PgCatalogue::isSitePath(PgCatalogue::bookPath("7")));
    EXPECT_FALSE(PgCatalogue::isSitePath("/1/4/0/1400/1400.txt"));
    EXPECT_FALSE(PgCatalogue::isSitePath("/etext98/2city12.txt"));
    EXPECT_FALSE(PgCatalogue::isSitePath("/ebooks24/2400261h.html"));
    EXPECT_EQ(PgCatalogue::bookUrl("https://www.gutenberg.org", "/cache/epub/7/pg7.txt"),
              "https://www.gutenberg.org/cache/epub/7/pg7.txt");
    EXPECT_EQ(PgCatalogue::bookUrl("http://127.0.0.1:8080/", "/cache/epub/7/pg7.txt"),
              "http://127.0.0.1:8080/cache/epub/7/pg7.txt");
}

TEST(PgCatalogue, CsvUrlComesFromTheSettings)
{
    ScopedProgramHome home;
    cSHAREDSettings& settings = cSHAREDSettings::shared();
    settings.DeleteSettingByName("GutenCSVURL");
    EXPECT_EQ(PgCatalogue::csvUrlSetting(), PgCatalogue::kDefaultCsvUrl);
    settings.StoreSetting("GutenCSVURL", "   ");
    EXPECT_EQ(PgCatalogue::csvUrlSetting(), PgCatalogue::kDefaultCsvUrl);
    settings.StoreSetting("GutenCSVURL", " http://127.0.0.1:9/feeds/pg_catalog.csv ");
    EXPECT_EQ(PgCatalogue::csvUrlSetting(), "http://127.0.0.1:9/feeds/pg_catalog.csv");
    settings.DeleteSettingByName("GutenCSVURL");
}

TEST(CatalogueSearch, LetterCaseAndAccentsDoNotCount)
{
    struct Case {
        const char* query;
        const char* title;
        const char* author;
        bool found;
    };
    const Case cases[] = {
        {"tolstoy", "War and Peace", "Tolstoy, Leo, graf, 1828-1910", true},
        {"TOLSTOY", "War and Peace", "Tolstoy, Leo", true},
        {"tolstoi", "Anna Karénine", "TOLSTOÏ, Léon", true},
        {"miserables", "Les Misérables", "Hugo, Victor", true},
        {"MISÉRABLES", "Les miserables", "", true},
        {"bronte emily", "Wuthering Heights", "Brontë, Émily", true},
        {"strasse", "Die Straße", "", true},
        {"aesop", "Æsop's Fables", "", true},
        {"lincoln's", "Lincoln’s Gettysburg Address", "", true},
        {"finance", "The ﬁnance of nations", "", true},
        {"lodz", "Łódź", "", true},
        // Every word, each in the title or the author.
        {"war tolstoy", "War and Peace", "Tolstoy, Leo", true},
        {"  war   peace ", "War and Peace", "", true},
        {"war dickens", "War and Peace", "Tolstoy, Leo", false},
        {"peace war", "War\nand\tPeace", "", true},
        {"and peace", "War  and  Peace", "", true},
        {"tolstoy", "Great Expectations", "Dickens, Charles", false},
        {"", "Anything", "", true},
        {"   ", "Anything", "", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CatalogueSearch::matches(QString::fromUtf8(c.query), QString::fromUtf8(c.title),
                                           QString::fromUtf8(c.author)),
                  c.found)
            << c.query << " / " << c.title;

    // What a window keeps per row: folded once, compared many times.
    EXPECT_EQ(CatalogueSearch::fold(u"  Brontë,\tÉMILY  "), "bronte, emily");
    EXPECT_EQ(CatalogueSearch::queryWords(u" Léon  TOLSTOÏ "), QStringList({"leon", "tolstoi"}));
}

TEST(CatalogueSearch, LanguageCodes)
{
    EXPECT_TRUE(CatalogueSearch::hasLanguage(u"en", u"en"));
    EXPECT_TRUE(CatalogueSearch::hasLanguage(u"en", u"EN"));
    EXPECT_TRUE(CatalogueSearch::hasLanguage(u"hu; en", u"en"));
    EXPECT_TRUE(CatalogueSearch::hasLanguage(u"fr", u""));
    EXPECT_TRUE(CatalogueSearch::hasLanguage(u"", u" "));
    EXPECT_TRUE(CatalogueSearch::hasLanguage(u"fr,en", u"en"));
    EXPECT_TRUE(CatalogueSearch::hasLanguage(u" de ;en ", u" en"));
    EXPECT_FALSE(CatalogueSearch::hasLanguage(u"fr;", u"en"));
    EXPECT_FALSE(CatalogueSearch::hasLanguage(u"en", u"e"));
    EXPECT_FALSE(CatalogueSearch::hasLanguage(u"enm", u"en"));
    EXPECT_FALSE(CatalogueSearch::hasLanguage(u"", u"en"));
}
