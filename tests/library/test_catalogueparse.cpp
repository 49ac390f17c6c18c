// The catalogue parsers on bytes: the fixtures under data/ are small copies of the real
// formats, with the real files' quirks (markers, mixed line ends, no-break-space padding).
#include "library/catalogueparse.h"

#include "testsupport.h"

#include <gtest/gtest.h>

using CatalogueParse::Record;

namespace {

QByteArray fixture(const char* name)
{
    return readBytes(QStringLiteral(TEST_DATA_DIR "/") + QLatin1StringView(name));
}

QStringList sortedListing()
{
    QStringList files = CatalogueParse::listingPaths(fixture("ls-R.lf"));
    CatalogueParse::SortArray(files);
    return files;
}

QStringList recordLines(const QList<Record>& records)
{
    QStringList out;
    for (const Record& record : records)
        out << record.line();
    return out;
}

const QStringList kListed = {
    "/0/7/7.txt",
    "/1/19/19.txt",
    "/1/2/123/123.txt",
    "/1/2/3/4/12345/12345.txt",
    "/1/2/3/4/12345/12345-8.txt",
    "/1/2/3/4/12345/12345.zip",
    "/1/2/3/4/12345/12345-h.htm",
    "/1/2/3/4/12345/12345-h/12345-h.htm",
    "/1/2/3/4/12346/12346-8.txt",
    "/1/4/0/1400/1400.txt",
    "/1/4/0/1400/1400-h.zip",
};

const QStringList kIndexed = {
    "/1/4/0/1400/1400.txt, Great Expectations, by Charles Dickens",
    "/1/19/19.txt, Book  of the Year , by Some One",
    "/0/7/7.txt, A Short One, by A. Writer",
    "/1/2/3/4/12346/12346-8.txt, The Latin-1 Book, by Anon Ymous",
    "/1/2/123/123.txt, Three Digits, by Some One",
    "/1/2/3/4/12345/12345.txt, Bracketed, by Some One",
    "/etext01/abcde10.txt, Old Book, by Old Author",
    "/etext98/grexp10.txt, Great Expectations, by Charles Dickens",
};

} // namespace

TEST(Listing, KeepsTextHtmlAndZipFilesInListingOrder)
{
    EXPECT_EQ(CatalogueParse::listingPaths(fixture("ls-R.lf")), kListed);
}

TEST(Listing, LineEndsByteOrderMarkAndPaddingChangeNothing)
{
    const QByteArray lf = fixture("ls-R.lf");
    EXPECT_EQ(CatalogueParse::listingPaths(fixture("ls-R.crlf")), kListed);
    EXPECT_EQ(CatalogueParse::listingPaths("\xEF\xBB\xBF" + lf), kListed);
    QByteArray padded = lf;
    padded.replace("\n", " \xC2\xA0\n");
    EXPECT_EQ(CatalogueParse::listingPaths(padded), kListed);
}

TEST(Listing, HeadersAndBlocks)
{
    // The top directory's ".:" starts no block; a header only counts outside a block.
    EXPECT_EQ(CatalogueParse::listingPaths(".:\na.txt\n\n./9:\nb.txt\n./8:\nc.txt\n"),
              QStringList({"/9/b.txt", "/9/c.txt"}));
    EXPECT_EQ(CatalogueParse::listingPaths("a.txt\n./9\nb.txt\n.9:x\nc.txt\n"), QStringList());
    // Any piece of "htmtxtzip" is kept, as the described filter does; a name ending in a
    // dot has no extension.
    EXPECT_EQ(CatalogueParse::listingPaths("./9:\nnotes.tx\nREAD.P\nend.\nx.TXT\n"),
              QStringList({"/9/notes.tx", "/9/READ.P", "/9/x.TXT"}));
}

TEST(Index, RecordsFromTheRealLayout)
{
    const QList<Record> records =
        CatalogueParse::indexRecords(fixture("GUTINDEX.ALL"), sortedListing());
    EXPECT_EQ(recordLines(records), kIndexed);
}

TEST(Index, EveryListingsMarkerStartsTheListings)
{
    const QByteArray index = fixture("GUTINDEX.ALL");
    for (const char* marker :
         {"<===LISTINGS===>", "<=listings=>", "<==Start GUTINDEX.ALL listings==>",
          "Here: <==start gutindex.all LISTINGS==> begin"}) {
        QByteArray changed = index;
        changed.replace("<==LISTINGS==>", marker);
        EXPECT_EQ(recordLines(CatalogueParse::indexRecords(changed, sortedListing())), kIndexed)
            << marker;
    }
    for (const char* notMarker :
         {"<LISTINGS>", "<==LISTING==>", "<==LISTINGS==> more", "==LISTINGS=="}) {
        QByteArray changed = index;
        changed.replace("<==LISTINGS==>", notMarker);
        EXPECT_TRUE(CatalogueParse::indexRecords(changed, sortedListing()).isEmpty()) << notMarker;
    }
}

TEST(Index, TheEndMarkerEndsTheListings)
{
    const QByteArray index = fixture("GUTINDEX.ALL");
    QByteArray noEnd = index;
    noEnd.replace("<==End of GUTINDEX.ALL==>", "");
    const QStringList withAppendix =
        recordLines(CatalogueParse::indexRecords(noEnd, sortedListing()));
    EXPECT_EQ(withAppendix, kIndexed + QStringList{"/1/2/3/4/12345/12345.txt, An Appendix "
                                                   "Entry, by Nobody"});
    QByteArray longer = index;
    longer.replace("<==End of GUTINDEX.ALL==>", "  <====end OF gutindex.all===>");
    EXPECT_EQ(recordLines(CatalogueParse::indexRecords(longer, sortedListing())), kIndexed);
}

TEST(Index, LfOnlyIndexGivesTheSameRecords)
{
    QByteArray lf = fixture("GUTINDEX.ALL");
    lf.replace("\r\n", "\n");
    EXPECT_EQ(recordLines(CatalogueParse::indexRecords(lf, sortedListing())), kIndexed);
}

TEST(Index, ProgressEveryFiftyLines)
{
    QByteArray index = "<==LISTINGS==>\r\n";
    for (int i = 0; i < 119; ++i)
        index += "Filler line, by Nobody   99999\r\n";
    QList<QPair<int, int>> calls;
    CatalogueParse::indexRecords(index, {}, [&](int line, int count) {
        calls.append({line, count});
    });
    EXPECT_EQ(calls, (QList<QPair<int, int>>{{50, 120}, {100, 120}}));
}

TEST(Index, NumberTokens)
{
    const QStringList files = {"", "/0/7/7.txt", "/1/2/3/4/12345/12345.txt"};
    auto title = [&](const QByteArray& line) {
        const QList<Record> records =
            CatalogueParse::indexRecords("<==LISTINGS==>\r\n" + line + "\r\n", files);
        return records.isEmpty() ? QString() : records.first().line();
    };
    EXPECT_EQ(title("A Title   012345"), "/1/2/3/4/12345/12345.txt, A Title");
    EXPECT_EQ(title("A Title   +12345"), "");
    EXPECT_EQ(title("A Title   12,345"), "");
    EXPECT_EQ(title("A Title\t12345"), "");
    // Indented lines continue a title; only a padded number makes one a title line.
    EXPECT_EQ(title(" The Church, Vol. 7"), "");
    EXPECT_EQ(title("\xC2\xA0The Church, Vol. 7"), "");
    EXPECT_EQ(title("   The Aeneid, by Virgil      7"), "/0/7/7.txt, The Aeneid, by Virgil");
    EXPECT_EQ(title("The Church, Vol. 7"), "/0/7/7.txt, The Church, Vol.");
    // A title that is only its number leaves nothing to show.
    EXPECT_EQ(title("7 7   7"), "");
    EXPECT_EQ(title("[7]   7"), "");
}

TEST(Australian, WrappedCatalogue)
{
    const CatalogueParse::Australian result =
        CatalogueParse::australianRecords(fixture("catalogue.txt"));
    EXPECT_EQ(recordLines(result.records),
              QStringList({"/ebooks01/0100011.txt, *PG-OZ* Anne of Windy Poplars, by L. M. "
                           "Montgomery",
                           "/ebooks02/0200021h.html, *PG-OZ* The Salzburg Tales, by Christina "
                           "Stead",
                           "/ebooks02/0200022h.html, *PG-OZ* A Page, Already Named",
                           "/ebooks03/0300031.txt, *PG-OZ* Quoted Fields, Kept"}));
    EXPECT_TRUE(result.wrapped);
    EXPECT_FALSE(result.unwrapped.contains(QStringLiteral("pre>"), Qt::CaseInsensitive));
    EXPECT_FALSE(result.unwrapped.contains(QStringLiteral("html>")));
    // Saved unwrapped, it reads the same again.
    const CatalogueParse::Australian again =
        CatalogueParse::australianRecords(result.unwrapped.toUtf8());
    EXPECT_FALSE(again.wrapped);
    EXPECT_EQ(again.records, result.records);
}

TEST(Australian, ClosingTagInCapitalsStillEndsTheList)
{
    const CatalogueParse::Australian result = CatalogueParse::australianRecords(
        "<pre>\na,b,txt,Kept\n</PRE>\n<p>c, d, txt, page text</p>\n");
    EXPECT_EQ(recordLines(result.records), QStringList{"/a/b.txt, *PG-OZ* Kept"});
}

TEST(Australian, UnwrappedCatalogueIsReadAsItIs)
{
    const CatalogueParse::Australian result =
        CatalogueParse::australianRecords("a,b,TXT,One\r\nc,dh,html,Two\n,,html,Three\n");
    EXPECT_FALSE(result.wrapped);
    EXPECT_EQ(recordLines(result.records),
              QStringList(
                  {"/a/b.txt, *PG-OZ* One", "/c/dh.html, *PG-OZ* Two", "//h.html, *PG-OZ* Three"}));
}

TEST(SortArray, ByCharacterCodes)
{
    QStringList list = {"b", "B", "a-8.txt", "a.txt", "", "a", "\u00e9", "Z", "b"};
    CatalogueParse::SortArray(list);
    EXPECT_EQ(list, QStringList({"", "B", "Z", "a", "a-8.txt", "a.txt", "b", "b", "\u00e9"}));
    QStringList one = {"x"};
    CatalogueParse::SortArray(one);
    EXPECT_EQ(one, QStringList{"x"});
}

TEST(SortArray, ListFarFromOrder)
{
    QStringList list;
    for (int i = 0; i < 200000; ++i)
        list << QString::number((i * 7919) % 200000);
    QStringList expected = list;
    std::sort(expected.begin(), expected.end());
    CatalogueParse::SortArray(list);
    EXPECT_EQ(list, expected);
}

TEST(FindRec, Bisection)
{
    const QStringList list = {"a", "b", "c", "d", "e"};
    EXPECT_EQ(CatalogueParse::FindRec(list, 4, "a"), 0);
    EXPECT_EQ(CatalogueParse::FindRec(list, 4, "e"), 4);
    EXPECT_EQ(CatalogueParse::FindRec(list, 4, "c"), 2);
    EXPECT_EQ(CatalogueParse::FindRec(list, 4, "d"), 3);
    EXPECT_EQ(CatalogueParse::FindRec(list, 4, "cc"), -1);
    EXPECT_EQ(CatalogueParse::FindRec(list, 4, "A"), -1);
    // Only up to the last index given.
    EXPECT_EQ(CatalogueParse::FindRec(list, 2, "d"), -1);
    EXPECT_EQ(CatalogueParse::FindRec(list, 0, "a"), -1);
    EXPECT_EQ(CatalogueParse::FindRec({"a"}, 0, "a"), -1);
    EXPECT_EQ(CatalogueParse::FindRec({}, -1, "a"), -1);
    EXPECT_EQ(CatalogueParse::FindRec(list, 99, "e"), 4);
}

TEST(BuildPathPlusFile, MirrorLayoutForEveryLength)
{
    EXPECT_EQ(CatalogueParse::BuildPathPlusFile("12345"), "/1/2/3/4/12345/12345.txt");
    EXPECT_EQ(CatalogueParse::BuildPathPlusFile("123456"), "/1/2/3/4/5/123456/123456.txt");
    EXPECT_EQ(CatalogueParse::BuildPathPlusFile("1400"), "/1/4/0/1400/1400.txt");
    EXPECT_EQ(CatalogueParse::BuildPathPlusFile("123"), "/1/2/123/123.txt");
    EXPECT_EQ(CatalogueParse::BuildPathPlusFile("19"), "/1/19/19.txt");
    EXPECT_EQ(CatalogueParse::BuildPathPlusFile("7"), "/0/7/7.txt");
    EXPECT_EQ(CatalogueParse::BuildPathPlusFile("0019"), "/1/19/19.txt");
    EXPECT_EQ(CatalogueParse::BuildPathPlusFile("12345C"), "12345C");
    EXPECT_EQ(CatalogueParse::BuildPathPlusFile(""), "");
}
