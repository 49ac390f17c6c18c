// EPUB books written here with libzip, read through the archive reader and the document
// loader as the window and the command line read them.
#include "reader/documentloader.h"
#include "speech/voicemarkers.h"
#include "text/chapters.h"
#include "text/epub.h"

#include "epubwriter.h"
#include "testsupport.h"

#include <QDateTime>
#include <QFileInfo>
#include <QTextDocument>

#include <gtest/gtest.h>

namespace {

QStringList titlesOf(const QList<cChapter>& chapters)
{
    QStringList titles;
    for (const cChapter& c : chapters)
        titles << c.title;
    return titles;
}

const QString kXhtml = QStringLiteral("application/xhtml+xml");
const QString kNcx = QStringLiteral("application/x-dtbncx+xml");

QByteArray navDocument()
{
    return QByteArrayLiteral(
        "<?xml version=\"1.0\"?><html xmlns=\"http://www.w3.org/1999/xhtml\" "
        "xmlns:epub=\"http://www.idpf.org/2007/ops\"><body>"
        "<nav epub:type=\"landmarks\"><ol><li><a href=\"text/b.xhtml\">Landmark</a></li></ol></nav>"
        "<nav epub:type=\"toc\"><ol><li><a href=\"text/b.xhtml\">The <i>First</i> Part</a><ol>"
        "<li><a href=\"text/b.xhtml#late\">Late Start</a></li></ol></li>"
        "<li><a href=\"text/a.xhtml\">Second Part</a></li></ol></nav></body></html>");
}

QByteArray ncxDocument()
{
    return QByteArrayLiteral(
        "<?xml version=\"1.0\"?><!DOCTYPE ncx PUBLIC \"-//NISO//DTD ncx 2005-1//EN\" "
        "\"http://www.daisy.org/z3986/2005/ncx-2005-1.dtd\"><ncx xmlns=\"http://www.daisy.org/"
        "z3986/2005/ncx/\"><docTitle><text>Book</text></docTitle><navMap>"
        "<navPoint id=\"n1\"><navLabel><text>Opening</text></navLabel>"
        "<content src=\"text/b.xhtml\"/></navPoint>"
        "<navPoint id=\"n2\"><navLabel><text>Closing</text></navLabel>"
        "<content src=\"text/a.xhtml\"/></navPoint></navMap></ncx>");
}

// Two chapters stored a.xhtml before b.xhtml, read b first: the spine decides.
ZipMembers book(bool epub3)
{
    QList<OpfItem> items = {
        {"a", "text/a.xhtml", kXhtml, {}},
        {"b", "text/b.xhtml", kXhtml, {}},
    };
    if (epub3)
        items << OpfItem{"nav", "nav.xhtml", kXhtml, "nav"};
    else
        items << OpfItem{"ncx", "toc.ncx", kNcx, {}};
    ZipMembers m = {
        {"mimetype", "application/epub+zip"},
        {"META-INF/container.xml", epubContainer()},
        {"OEBPS/content.opf", epubPackage(items, {"b", "a"}, epub3 ? QString() : "ncx")},
        {"OEBPS/text/a.xhtml", xhtmlChapter("Second Part", "Alpha &amp; <em>omega</em>.")},
        {"OEBPS/text/b.xhtml",
         xhtmlChapter("The First Part", "Bravo.</p><p>Some words.</p><h3>Late Start</h3><p>Late.")},
    };
    m << (epub3 ? QPair<QString, QByteArray>("OEBPS/nav.xhtml", navDocument())
                : QPair<QString, QByteArray>("OEBPS/toc.ncx", ncxDocument()));
    return m;
}

class EpubTest : public ::testing::Test {
protected:
    QString write(const ZipMembers& members, const QString& name = "book.epub")
    {
        const QString path = home.file(name);
        EXPECT_TRUE(writeZip(path, members));
        return path;
    }
    // The member replaced (or added at the end).
    static ZipMembers with(ZipMembers members, const QString& name, const QByteArray& bytes)
    {
        for (auto& m : members) {
            if (m.first == name) {
                m.second = bytes;
                return members;
            }
        }
        members.append({name, bytes});
        return members;
    }
    ScopedProgramHome home;
};

} // namespace

TEST_F(EpubTest, ReadsTheSpineInOrderThroughTheHtmlConversion)
{
    for (const bool epub3 : {true, false}) {
        const QString path = write(book(epub3));
        EXPECT_EQ(cDocumentLoader::refusal(path), cDocumentLoader::Refusal::None);
        QString text;
        cVoiceMarkers markers;
        ASSERT_TRUE(cDocumentLoader::loadText(path, text, &markers));
        const qsizetype bravo = text.indexOf("Bravo.");
        const qsizetype alpha = text.indexOf("Alpha & omega.");
        // The emphasis is the voice's alone, where the book has it.
        EXPECT_EQ(markers,
                  cVoiceMarkers({{int(alpha) + 8, "<emph>"}, {int(alpha) + 13, "</emph>"}}));
        EXPECT_GE(bravo, 0) << qPrintable(text);
        EXPECT_GT(alpha, bravo) << qPrintable(text);
        // The head's title is not part of the text, and no markup is left.
        EXPECT_EQ(text.count("Second Part"), 1) << qPrintable(text);
        EXPECT_FALSE(text.contains(u'<' + QString("h2"))) << qPrintable(text);
    }
}

TEST_F(EpubTest, ChaptersComeFromTheNavElseTheNcx)
{
    const QString nav = write(book(true), "nav.epub");
    const auto doc = cDocumentLoader::load(nav);
    const QString text = doc->toPlainText();
    const QList<cChapter> chapters = cDocumentLoader::chapters(*doc);
    ASSERT_EQ(chapters.size(), 3);
    EXPECT_EQ(chapters[0].title, "The First Part");
    EXPECT_EQ(chapters[0].position, 0);
    EXPECT_EQ(chapters[1].title, "Late Start");
    EXPECT_EQ(chapters[1].position, text.indexOf("Late Start"));
    EXPECT_EQ(chapters[2].title, "Second Part");
    EXPECT_EQ(chapters[2].position, text.indexOf("Second Part"));

    const auto ncxDoc = cDocumentLoader::load(write(book(false), "ncx.epub"));
    const QList<cChapter> ncx = cDocumentLoader::chapters(*ncxDoc);
    ASSERT_EQ(ncx.size(), 2);
    EXPECT_EQ(ncx[0], (cChapter{"Opening", 0}));
    EXPECT_EQ(ncx[1].title, "Closing");
    EXPECT_EQ(ncx[1].position, ncxDoc->toPlainText().indexOf("Second Part"));
}

TEST_F(EpubTest, AMissingSpineItemLeavesTheRestReadable)
{
    ZipMembers members = book(true);
    members.removeIf([](const auto& m) { return m.first == "OEBPS/text/b.xhtml"; });
    QString text;
    ASSERT_TRUE(cDocumentLoader::loadText(write(members), text));
    EXPECT_TRUE(text.startsWith("Second Part")) << qPrintable(text);
}

TEST_F(EpubTest, ProtectedAndBrokenBooksSayWhy)
{
    const QByteArray encryption =
        "<encryption xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\" "
        "xmlns:enc=\"http://www.w3.org/2001/04/xmlenc#\"><enc:EncryptedData><enc:CipherData>"
        "<enc:CipherReference URI=\"%1\"/></enc:CipherData></enc:EncryptedData></encryption>";
    struct Case {
        const char* name;
        ZipMembers members;
        cDocumentLoader::Refusal refusal;
        const char* says;
    };
    const QList<Case> cases = {
        {"drm",
         with(book(true), "META-INF/encryption.xml",
              QByteArray(encryption).replace("%1", "OEBPS/text/a.xhtml")),
         cDocumentLoader::Refusal::Protected, "protected"},
        {"no-container", with(book(true), "META-INF/container.xml", "<container/>"),
         cDocumentLoader::Refusal::Broken, "names no package"},
        {"bad-package", with(book(true), "OEBPS/content.opf", "<package><manifest>"),
         cDocumentLoader::Refusal::Broken, "content.opf"},
        {"lost-package", with(book(true), "META-INF/container.xml", epubContainer("x/y.opf")),
         cDocumentLoader::Refusal::Broken, "x/y.opf is missing"},
        {"zip-slip",
         with(with(book(true), "OEBPS/content.opf",
                   epubPackage({{"a", "../../../evil.xhtml", kXhtml, {}}}, {"a"})),
              "../../evil.xhtml", xhtmlChapter("Evil", "Outside")),
         cDocumentLoader::Refusal::Broken, "outside"},
    };
    for (const Case& c : cases) {
        const QString path = write(c.members, QString(c.name) + ".epub");
        QString why;
        EXPECT_EQ(cDocumentLoader::refusal(path, &why), c.refusal) << c.name;
        EXPECT_TRUE(why.contains(c.says)) << c.name << ": " << qPrintable(why);
        QString text;
        EXPECT_FALSE(cDocumentLoader::loadText(path, text)) << c.name;
    }
    // Fonts scrambled against copying leave the text readable.
    const QString fonts = write(with(book(true), "META-INF/encryption.xml",
                                     QByteArray(encryption).replace("%1", "OEBPS/font.otf")),
                                "fonts.epub");
    EXPECT_EQ(cDocumentLoader::refusal(fonts), cDocumentLoader::Refusal::None);

    // Not an archive at all, though named like one.
    QFile junk(home.file("junk.epub"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("PK\x03\x04 not really");
    junk.close();
    QString why;
    EXPECT_EQ(cDocumentLoader::refusal(junk.fileName(), &why), cDocumentLoader::Refusal::Broken);
    EXPECT_FALSE(why.isEmpty());
}

TEST_F(EpubTest, MembersThatUnpackTooFarAreNotRead)
{
    const ZipMembers oneChapter =
        with(book(true), "OEBPS/content.opf",
             epubPackage({{"a", "text/a.xhtml", kXhtml, {}}, {"z", "zeros.xhtml", kXhtml, {}}},
                         {"a", "z"}));
    // One member larger than any book's document.
    QString path = home.file("large.epub");
    ASSERT_TRUE(writeZip(path, oneChapter, {{"OEBPS/zeros.xhtml", cEpubBook::kMaxMemberSize + 1}}));
    QString why;
    EXPECT_EQ(cDocumentLoader::refusal(path, &why), cDocumentLoader::Refusal::None);
    QString text;
    EXPECT_FALSE(cDocumentLoader::loadText(path, text));
    cEpubBook book;
    ASSERT_TRUE(book.open(path));
    QStringList markup;
    EXPECT_FALSE(book.documents(markup));
    EXPECT_EQ(book.problem(), cEpubBook::Problem::Broken);
    EXPECT_TRUE(book.why().contains("zeros.xhtml")) << qPrintable(book.why());

    // An archive over 1 MB that unpacks to more than a hundred times its size (zeros pack
    // about a thousand to one).
    const QByteArray noise = [] {
        QByteArray bytes(qsizetype(cEpubBook::kRatioCheckFrom) + 4096, Qt::Uninitialized);
        quint32 x = 12345;
        for (char& c : bytes)
            c = char((x = x * 1103515245u + 12345u) >> 24);
        return bytes;
    }();
    path = home.file("ratio.epub");
    ASSERT_TRUE(writeZip(path, with(oneChapter, "OEBPS/noise.bin", noise),
                         {{"OEBPS/zeros.xhtml", qint64(150) << 20}}));
    cEpubBook ratio;
    ASSERT_TRUE(ratio.open(path));
    EXPECT_FALSE(ratio.documents(markup));
    EXPECT_TRUE(ratio.why().contains("more than a book may")) << qPrintable(ratio.why());
}

TEST_F(EpubTest, ALongBookReadsAsItsDocumentsWouldEachAlone)
{
    // Enough chapters for several batches converted side by side; one leaves a tag open
    // into the next, one holds the private character that parts the documents, and one
    // closes its head twice.
    constexpr int kChapters = 150;
    QList<OpfItem> items = {{"nav", "nav.xhtml", kXhtml, "nav"}};
    QStringList spine;
    QByteArray nav = "<html xmlns=\"http://www.w3.org/1999/xhtml\" xmlns:epub=\"http://"
                     "www.idpf.org/2007/ops\"><body><nav epub:type=\"toc\"><ol>";
    ZipMembers members = {{"mimetype", "application/epub+zip"},
                          {"META-INF/container.xml", epubContainer()}};
    QStringList expected;
    for (int i = 0; i < kChapters; ++i) {
        QString body;
        for (int p = 0; p < 40; ++p)
            body += QStringLiteral("Paragraph %1 of chapter %2, with <em>some</em> words "
                                   "&amp; more of them.</p>\n<p>")
                        .arg(p)
                        .arg(i);
        if (i == 40)
            body += QStringLiteral("An open <span class=\"x\"");
        if (i == 90)
            body += QChar(0xE000);
        if (i == 60)
            body += QStringLiteral("A stray </HEAD> in the text.");
        const QString id = QStringLiteral("c%1").arg(i);
        const QByteArray chapter = xhtmlChapter(QStringLiteral("Chapter %1").arg(i), body);
        members.append({"OEBPS/" + id + ".xhtml", chapter});
        items.append({id, id + ".xhtml", kXhtml, {}});
        spine << id;
        nav += "<li><a href=\"" + id.toUtf8() + ".xhtml\">Chapter " + QByteArray::number(i) +
               "</a></li>";
        // The book shows no voice markers, so neither does what it is compared with.
        QString alone = cDocumentLoader::toParagraphs(
                            cDocumentLoader::toDisplayText(QString::fromUtf8(chapter)))
                            .trimmed();
        VoiceMarkers::extract(alone, true);
        expected << alone;
    }
    members.append({"OEBPS/nav.xhtml", nav + "</ol></nav></body></html>"});
    members.append({"OEBPS/content.opf", epubPackage(items, spine)});
    const auto doc = cDocumentLoader::load(write(members));
    QString shown = expected.join(QString(2, QChar::ParagraphSeparator));
    shown.replace(QChar::ParagraphSeparator, u'\n').replace(QChar::LineSeparator, u'\n');
    EXPECT_EQ(doc->toPlainText(), shown);
    const QList<cChapter> chapters = cDocumentLoader::chapters(*doc);
    ASSERT_EQ(chapters.size(), kChapters);
    qsizetype at = 0;
    for (int i = 0; i < kChapters; ++i) {
        EXPECT_EQ(chapters[i].position, at) << i;
        at += expected[i].size() + 2;
    }
}

TEST_F(EpubTest, TheBookJudgedIsTheBookRead)
{
    const QString path = write(book(true));
    const QString other = write(with(book(true), "OEBPS/text/a.xhtml",
                                     xhtmlChapter("Second Part", "Alpho &amp; <em>omega</em>.")),
                                "other.epub");
    const auto replace = [&](const QString& by) {
        const QDateTime modified = QFileInfo(path).lastModified();
        ASSERT_TRUE(QFile::remove(path));
        ASSERT_TRUE(QFile::copy(by, path));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(modified, QFileDevice::FileModificationTime));
    };
    const QString copy = home.file("copy.epub");
    ASSERT_TRUE(QFile::copy(path, copy));
    // Judged and then replaced unseen (same size and time): the package is not read again.
    ASSERT_EQ(QFileInfo(path).size(), QFileInfo(other).size());
    ASSERT_EQ(cDocumentLoader::refusal(path), cDocumentLoader::Refusal::None);
    replace(other);
    QString text;
    ASSERT_TRUE(cDocumentLoader::loadText(path, text));
    EXPECT_TRUE(text.contains("Alpha &")) << qPrintable(text);
    // Kept for one load only; a file that changed is read anew.
    ASSERT_TRUE(cDocumentLoader::loadText(path, text));
    EXPECT_TRUE(text.contains("Alpho")) << qPrintable(text);
    ASSERT_EQ(cDocumentLoader::refusal(path), cDocumentLoader::Refusal::None);
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QFile::copy(copy, path));
    ASSERT_TRUE(cDocumentLoader::loadText(path, text));
    EXPECT_TRUE(text.contains("Alpha &")) << qPrintable(text);
}

TEST_F(EpubTest, ADamagedMemberIsNoticed)
{
    const QByteArray chapter =
        xhtmlChapter("Second Part", QString("Alpha beta gamma. ").repeated(500));
    const QString path = write(with(book(true), "OEBPS/text/a.xhtml", chapter));
    QByteArray zip = readBytes(path);
    // The member's packed bytes follow its local header: 30 bytes, its name, extra fields.
    const QByteArray name = "OEBPS/text/a.xhtml";
    const qsizetype at = zip.indexOf(name);
    ASSERT_GE(at, 30);
    const qsizetype extra = uchar(zip[at - 2]) | uchar(zip[at - 1]) << 8;
    const qsizetype packed = uchar(zip[at - 12]) | uchar(zip[at - 11]) << 8;
    ASSERT_GT(packed, 20);
    zip[at + name.size() + extra + packed / 2] ^= 0x55;
    writeBytes(path, zip);
    cEpubBook book;
    ASSERT_TRUE(book.open(path));
    QStringList markup;
    EXPECT_FALSE(book.documents(markup));
    EXPECT_EQ(book.problem(), cEpubBook::Problem::Broken);
    EXPECT_TRUE(book.why().contains("a.xhtml")) << qPrintable(book.why());
}

TEST(EpubReferences, StayInsideTheArchive)
{
    QString fragment;
    EXPECT_EQ(cEpubBook::resolve("OEBPS/content.opf", "text/a%20b.xhtml#c%201", &fragment),
              "OEBPS/text/a b.xhtml");
    EXPECT_EQ(fragment, "c 1");
    EXPECT_EQ(cEpubBook::resolve("OEBPS/text/a.xhtml", "../b.xhtml"), "OEBPS/b.xhtml");
    EXPECT_EQ(cEpubBook::resolve("OEBPS/text/a.xhtml", "#x"), "OEBPS/text/a.xhtml");
    for (const char* outside : {"../../a.xhtml", "/etc/passwd", "http://x/a.xhtml", "file:a.xhtml",
                                "..\\a.xhtml", "c:/a.xhtml"})
        EXPECT_EQ(cEpubBook::resolve("OEBPS/content.opf", outside), "") << outside;
}

TEST(Headings, TextLinesStandingAloneBetweenBlankLines)
{
    const QString text = cDocumentLoader::toParagraphs(
        "Title\n\nCHAPTER I\n\nIt was.\nOn it went.\n\nChapter 12.\n\nMore.\n"
        "Chapter 13 is not alone\n\n  BOOK ONE\n\nPart 2: The Return\n\n"
        "Chapter 14\nfollowed at once\n\nChapter the first thing I did was long enough.\n\nEnd\n");
    QStringList titles;
    for (const cChapter& c : Chapters::inText(text)) {
        titles << c.title;
        EXPECT_EQ(text.mid(c.position, c.title.size()), c.title);
    }
    EXPECT_EQ(titles, QStringList({"CHAPTER I", "Chapter 12.", "BOOK ONE", "Part 2: The Return"}));
}

TEST(Headings, TableOfContentsLeftOutAndChaptersNamedByPart)
{
    // Where a book lists its headings before it begins, only the book's own count.
    const QString book = cDocumentLoader::toParagraphs(
        "CONTENTS\n\n  BOOK ONE: 1805\n\n  CHAPTER I\n\n  CHAPTER II\n\n  BOOK TWO\n\n"
        "  CHAPTER I\n\n  FIRST EPILOGUE: 1813\n\n\n\nBOOK ONE: 1805\n\n\nCHAPTER I\n\n"
        "Well, Prince.\n\nCHAPTER II\n\nAnna.\n\nBOOK TWO\n\nCHAPTER I\n\nRostov.\n\n"
        "FIRST EPILOGUE: 1813\n\nSeven years.\n");
    const QList<cChapter> found = Chapters::inText(book);
    QStringList titles = titlesOf(found);
    EXPECT_EQ(titles, QStringList({"BOOK ONE: 1805", "BOOK ONE: 1805 \u2014 CHAPTER I",
                                   "BOOK ONE: 1805 \u2014 CHAPTER II", "BOOK TWO",
                                   "BOOK TWO \u2014 CHAPTER I", "FIRST EPILOGUE: 1813"}));
    ASSERT_EQ(found.size(), 6);
    EXPECT_EQ(found[0].position, book.lastIndexOf("BOOK ONE"));
    EXPECT_EQ(found[1].position, book.indexOf("CHAPTER I", found[0].position));
    EXPECT_EQ(found[4].position, book.lastIndexOf("CHAPTER I"));
    EXPECT_EQ(found[5].position, book.lastIndexOf("FIRST"));

    // A contents with text after it, chapters that need no part to tell them apart, and
    // headings of different kinds stacked over the first chapter.
    const QString other = cDocumentLoader::toParagraphs(
        "Chapter 1\n\nChapter 2\n\nChapter 3\n\nPreface.\n\nVOLUME I\n\nBOOK ONE\n\n"
        "Chapter 1\n\nOne.\n\nChapter 2\n\nTwo.\n\nChapter 3\n\nThree.\n");
    titles.clear();
    for (const cChapter& c : Chapters::inText(other)) {
        EXPECT_GT(c.position, other.indexOf("Preface"));
        titles << c.title;
    }
    EXPECT_EQ(titles, QStringList({"VOLUME I", "BOOK ONE", "Chapter 1", "Chapter 2", "Chapter 3"}));
}

TEST(Headings, BareChapterNumbersWithTheirTitlesAndPartsNamedInWords)
{
    // Parts listed with their chapters in a contents are not the book's own.
    const QString book = cDocumentLoader::toParagraphs(
        "CONTENTS\n\n\nBook the First--Recalled to Life\n\nChapter I      The Period\n"
        "Chapter II     The Mail\n\n\nBook the Second--the Golden Thread\n\n"
        "Chapter I      Five Years Later\n\n\n\nBook the First--Recalled to Life\n\n\n\nI\n\n"
        "The Period\n\n\nIt was the best of times.\n\n\nII\n\nThe Mail\n\n\nIt was the Dover "
        "road that lay, on a Friday night late in November, before the first of the persons\n"
        "with whom this history has business.\n\n\nBook the Second--the Golden Thread\n\n\nIII."
        "\n\n\nTellson's Bank by Temple Bar was an old-fashioned place, even in the year one\n"
        "thousand seven hundred and eighty.\n");
    const QList<cChapter> found = Chapters::inText(book);
    const QStringList titles = titlesOf(found);
    const QString first = QStringLiteral("Book the First--Recalled to Life");
    EXPECT_EQ(titles, QStringList({first, "I. The Period", "II. The Mail",
                                   "Book the Second--the Golden Thread", "III."}));
    ASSERT_EQ(found.size(), 5);
    EXPECT_EQ(found[0].position, book.lastIndexOf(first));
    EXPECT_EQ(found[1].position, book.indexOf("I\u2029", found[0].position));
    EXPECT_EQ(found[4].position, book.lastIndexOf("III."));

    // A lone "I." in a conversation numbers nothing.
    const QString talk = cDocumentLoader::toParagraphs(
        "\"Who will guard you?\" said\n\nI.\n\n\"Nobody,\" he returned.\n\nIV\n\nThe end.\n");
    EXPECT_EQ(Chapters::inText(talk), QList<cChapter>());
}

TEST(Headings, HtmlHeadingsAtTheirPlaceInTheShownText)
{
    const QString markup = "<html><head><title>Chapter One</title></head><body>\n"
                           "<h1>The &amp; Book</h1>\n<p>As Chapter One\nwill say.</p>\n"
                           "<h2 class=\"c\">Chapter <br/>One</h2>\n<p>Text.</p>\n<h4>Small</h4>\n"
                           "<H3>Last</H3><h2></h2></body></html>";
    const QString shown = cDocumentLoader::toParagraphs(cDocumentLoader::toDisplayText(markup));
    const QList<cChapter> found = Chapters::inHtml(markup, shown);
    ASSERT_EQ(found.size(), 3) << qPrintable(shown);
    EXPECT_EQ(found[0].title, "The & Book");
    EXPECT_EQ(found[1].title, "Chapter One");
    // Not the mention in the paragraph before it.
    EXPECT_EQ(found[1].position, shown.lastIndexOf("Chapter")) << qPrintable(shown);
    EXPECT_EQ(found[2], (cChapter{"Last", shown.indexOf("Last")}));
}
