#include "text/markup.h"
#include "text/sharedhtml.h"

#include "testsupport.h"

#include <QRandomGenerator>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

QString plain(QString text)
{
    cSharedHTML::instance().HtmlToPlainText(text);
    return text;
}

QString constToChar(QString text)
{
    cSharedHTML::instance().HTMLConstToChar(text);
    return text;
}

QString strip(QString text)
{
    cSharedHTML::instance().StripHtml(text);
    return text;
}

QString encode(QString text)
{
    cSharedHTML::instance().CharToHtml(text);
    return text;
}

QString decode(QString text)
{
    cSharedHTML::instance().HtmlToChar(text);
    return text;
}

} // namespace

TEST(SharedHtml, BlankTextPassesThroughEveryOperation)
{
    cSharedHTML& html = cSharedHTML::instance();
    for (const QString& blank : {QString(), QStringLiteral("   ")}) {
        QString t = blank;
        html.HtmlToPlainText(t);
        html.HtmlToChar(t);
        html.HTMLConstToChar(t);
        html.StripHtml(t);
        html.CharToHtml(t);
        EXPECT_EQ(t, blank);
    }
    EXPECT_TRUE(html.libraryChecked());
}

TEST(SharedHtml, HeadIsDroppedUpToTheFirstClosingTag)
{
    cSharedHTML& html = cSharedHTML::instance();
    QString t = QStringLiteral("<html><HEAD><title>x</title></HEAD>body</head>tail");
    html.TrimHeadTags(t);
    EXPECT_EQ(t, QStringLiteral("body</head>tail"));
    t = QStringLiteral("no head here");
    html.TrimHeadTags(t);
    EXPECT_EQ(t, QStringLiteral("no head here"));
}

TEST(SharedHtml, OnlyThePlainBreakTagBecomesALineBreak)
{
    EXPECT_EQ(plain(QStringLiteral("one<br>two<BR>three<Br>four")),
              QStringLiteral("one\r\ntwo\r\nthree\r\nfour"));
    EXPECT_EQ(plain(QStringLiteral("one<br/>two<br class=x>three")), QStringLiteral("onetwothree"));
}

TEST(SharedHtml, ConstantTableAndPrimeCase)
{
    EXPECT_EQ(constToChar(QStringLiteral("a&hellip;b&HELLIP;c&Bull;")),
              QStringLiteral("a...b...c\u2022"));
    EXPECT_EQ(constToChar(QStringLiteral("&prime;&Prime;&PRIME;")), QStringLiteral("'\"&PRIME;"));
    EXPECT_EQ(constToChar(QStringLiteral("&#8230;&#8220;&#8221;&#8243;&#8216;&#8217;&#8242;")),
              QStringLiteral("...\"\"\"'''"));
    EXPECT_EQ(constToChar(QStringLiteral("&#8212;|&#8211;|&#8364;|&#8226;")),
              QStringLiteral("-|...|\u20AC|\u2022"));
}

// Numeric references keep their characters, where the conversion once dropped everything
// from code 255 up and every hexadecimal reference.
TEST(SharedHtml, NumericReferencesBecomeTheirCharacters)
{
    EXPECT_EQ(constToChar(QStringLiteral("caf&#233;")), QStringLiteral("caf\u00E9"));
    EXPECT_EQ(constToChar(QStringLiteral("&#255;&#x3B1;&#X3b2;&#947;")),
              QStringLiteral("\u00FF\u03B1\u03B2\u03B3"));
    EXPECT_EQ(constToChar(QStringLiteral("a&#x2014;b")), QStringLiteral("a\u2014b"));
    EXPECT_EQ(constToChar(QStringLiteral("&#128512;")), QString::fromUtf8("\xF0\x9F\x98\x80"));
    // 128..159 as Windows-1252, as browsers read them.
    EXPECT_EQ(constToChar(QStringLiteral("&#150;&#151;&#128;&#x93;")),
              QStringLiteral("\u2013\u2014\u20AC\u201C"));
    // Leading zeros are not the table's spelling.
    EXPECT_EQ(constToChar(QStringLiteral("&#08212;")), QStringLiteral("\u2014"));
    EXPECT_EQ(constToChar(QStringLiteral("&#0;x&#55296;&#99999999999999999999;")),
              QStringLiteral("x\uFFFD\uFFFD"));
}

TEST(SharedHtml, ThingsThatAreNotReferencesStay)
{
    EXPECT_EQ(constToChar(QStringLiteral("x &#233 and &#65 no semicolon")),
              QStringLiteral("x &#233 and &#65 no semicolon"));
    EXPECT_EQ(constToChar(QStringLiteral("&#abc; &#; &#x; &#12a; end &#233;")),
              QStringLiteral("&#abc; &#; &#x; &#12a; end \u00E9"));
    EXPECT_EQ(constToChar(QStringLiteral("&#")), QStringLiteral("&#"));
    // Each reference is decoded once: what it produces is not read again.
    EXPECT_EQ(constToChar(QStringLiteral("&#38;#233;")), QStringLiteral("&#233;"));
}

TEST(SharedHtml, NamedEntitiesOfHtml4)
{
    EXPECT_EQ(decode(QStringLiteral("&lt;&gt;&amp;&quot;&apos;&nbsp;&eacute;&Eacute;&yuml;")),
              QStringLiteral("<>&\"' \u00E9\u00C9\u00FF"));
    EXPECT_EQ(decode(QStringLiteral("&alpha;&Omega;&thetasym;&euro;&mdash;&rsaquo;&diams;")),
              QStringLiteral("\u03B1\u03A9\u03D1\u20AC\u2014\u203A\u2666"));
    // Left for the program's own table, unknown, wrong case or without ";".
    EXPECT_EQ(decode(QStringLiteral("&hellip;&bull;&prime;&Prime;&#233;&EACUTE;&foo;&amp &")),
              QStringLiteral("&hellip;&bull;&prime;&Prime;&#233;&EACUTE;&foo;&amp &"));
    EXPECT_EQ(decode(QStringLiteral("&amp;lt;")), QStringLiteral("&lt;"));
}

TEST(SharedHtml, EncodingAndDecodingRoundTrip)
{
    EXPECT_EQ(encode(QStringLiteral("a b")), QStringLiteral("a&nbsp;b"));
    EXPECT_EQ(encode(QStringLiteral("<\"&lt;\">")), QStringLiteral("&lt;&quot;&lt;&quot;&gt;"));
    EXPECT_EQ(
        encode(QStringLiteral("\u2013\u2014\u00A1\u00A3\u00BF\u00C0\u00D7\u00DE\u00F7\u00FF")),
        QStringLiteral("&ndash;&mdash;&iexcl;&pound;&iquest;&Agrave;&times;&THORN;&divide;"
                       "&yuml;"));
    // No-break space, cent sign and sharp s are not encoded.
    EXPECT_EQ(encode(QStringLiteral("\u00A0\u00A2\u00DF")), QStringLiteral("\u00A0\u00A2\u00DF"));

    QString every = QStringLiteral("\" <>\u2013\u2014\u00A1");
    for (char16_t c = 163; c <= 255; ++c)
        every.append(QChar(c));
    EXPECT_EQ(decode(encode(every)), every);
    const QString password = QStringLiteral("p\u00E4ss w\u00F6rd <\u00D8>");
    EXPECT_EQ(decode(encode(password)), password);
}

TEST(SharedHtml, StyleBlocksAndTags)
{
    EXPECT_EQ(strip(QStringLiteral("a<STYLE>p{}</style>b and more text<style>q{}</STYLE>c")),
              QStringLiteral("ab and more textc"));
    // A style tag with attributes is not a style block: its rules stay as text.
    EXPECT_EQ(strip(QStringLiteral("a<style type=\"text/css\">p{}</style>b")),
              QStringLiteral("ap{}b"));
    // The search resumes where the first "</style>" stood before the cut, so a second
    // block starting within that distance is not seen as a block.
    EXPECT_EQ(strip(QStringLiteral("<style>x</style><style>y</style>z")), QStringLiteral("yz"));
    EXPECT_EQ(strip(QStringLiteral("a<STYLE>p{}</style>b<style>q{}</STYLE>c")),
              QStringLiteral("abq{}c"));
    EXPECT_EQ(strip(QStringLiteral("<p>keep</p><!-- a > b -->me")), QStringLiteral("keepme"));
    EXPECT_EQ(strip(QStringLiteral("3 < 4 and 5 > 2")), QStringLiteral("3 < 4 and 5 > 2"));
    EXPECT_EQ(strip(QStringLiteral("end <p class=")), QStringLiteral("end <p class="));
    EXPECT_EQ(strip(QStringLiteral("no tags\0after null")), QStringLiteral("no tags"));
}

// Escaped markup is text of the book: it survives the conversion instead of being taken
// for a tag once decoded.
TEST(SharedHtml, EscapedAngleBracketsAreKept)
{
    EXPECT_EQ(plain(QStringLiteral("<p>if a &lt; b and b &gt; c</p>")),
              QStringLiteral("if a < b and b > c"));
    EXPECT_EQ(plain(QStringLiteral("<p>write &#60;em&#62; for emphasis</p>")),
              QStringLiteral("write <em> for emphasis"));
}

TEST(SharedHtml, LineEnds)
{
    EXPECT_EQ(plain(QStringLiteral("a\r\rb")), QStringLiteral("a\r\nb"));
    EXPECT_EQ(plain(QStringLiteral("a\r\nb\r\n\r\nc")), QStringLiteral("a\r\nb\r\n\r\nc"));
    // Linux and old-etext line ends show like CR LF ones.
    EXPECT_EQ(plain(QStringLiteral("a\nb\n\nc")), QStringLiteral("a\r\nb\r\n\r\nc"));
    EXPECT_EQ(plain(QStringLiteral("a\r\r\nb\r\r\n")), QStringLiteral("a\r\nb\r\n"));
}

TEST(SharedHtml, ReplaceHelpers)
{
    cSharedHTML& html = cSharedHTML::instance();
    QString t = QStringLiteral("aaa Voice VOICE voice");
    html.MyReplace(t, QStringLiteral("aa"), QStringLiteral("b"), true);
    EXPECT_EQ(t, QStringLiteral("ba Voice VOICE voice"));
    html.MyReplace(t, QStringLiteral("voice"), QStringLiteral("<v>"), false);
    EXPECT_EQ(t, QStringLiteral("ba <v> <v> <v>"));
    html.MyReplace(t, QString(), QStringLiteral("x"), false);
    EXPECT_EQ(t, QStringLiteral("ba <v> <v> <v>"));

    QString caps = QStringLiteral("word WORD word");
    html.MyReplaceNoCaps(caps, QStringLiteral("word"), QStringLiteral("w"));
    EXPECT_EQ(caps, QStringLiteral("w WORD w"));
    // Replacement text is never searched again.
    QString grow = QStringLiteral("\n\n");
    html.MyReplace(grow, QStringLiteral("\n"), QStringLiteral("\r\n"), true);
    EXPECT_EQ(grow, QStringLiteral("\r\n\r\n"));
}

TEST(SharedHtml, ByteArrayToString)
{
    cSharedHTML& html = cSharedHTML::instance();
    EXPECT_EQ(html.ByteArrayToString(QByteArray("\0abc", 4)), QString());
    EXPECT_EQ(html.ByteArrayToString(QByteArray("  ok \0 ignored", 14)), QStringLiteral("ok"));
    EXPECT_EQ(html.ByteArrayToString(QByteArray("caf\xE9 ")), QStringLiteral("caf\u00E9"));
    EXPECT_EQ(html.ByteArrayToString(QByteArray("caf\xC3\xA9")), QStringLiteral("caf\u00E9"));
    QString t = QStringLiteral("ab\0cd");
    html.CutOffNull(t);
    EXPECT_EQ(t, QStringLiteral("ab"));
}

TEST(Markup, StripperKeepsTextBetweenTagsAndNeverGrows)
{
    QString t = QStringLiteral("<a href=\"x\">link</a> <!----> <?xml?><!DOCTYPE x>text");
    Markup::cStripHTML(t);
    EXPECT_EQ(t, QStringLiteral("link  text"));
    QString unclosed = QStringLiteral("<!-- never closed > but tag ends");
    Markup::cStripHTML(unclosed);
    EXPECT_EQ(unclosed, QStringLiteral(" but tag ends"));
}

namespace {

// The style-block search as it has always been described, rescanning the cut text.
QString styleBlocksRemovedSlowly(QString text)
{
    qsizetype from = 0;
    for (;;) {
        const qsizetype open =
            text.indexOf(QLatin1StringView("<style>"), from, Qt::CaseInsensitive);
        if (open < 0)
            break;
        const qsizetype close =
            text.indexOf(QLatin1StringView("</style>"), open + 1, Qt::CaseInsensitive);
        if (close < 0)
            break;
        text.remove(open, close + 8 - open);
        from = close + 1;
    }
    return text;
}

QString randomText(QRandomGenerator& random, const QStringList& pieces)
{
    QString text;
    const int count = random.bounded(1, 12);
    for (int i = 0; i < count; ++i)
        text += pieces[random.bounded(static_cast<int>(pieces.size()))];
    return text;
}

} // namespace

// The single-pass versions give exactly what the step-by-step descriptions give.
TEST(SharedHtml, SinglePassStepsAgreeWithTheirDescriptions)
{
    QRandomGenerator random(4);
    const QStringList stylePieces = {"<style>", "</style>", "<STYLE>", "</Style>",    "x",
                                     "yy",      "<style",   "</style", "zzzzzzzzzzzz"};
    for (int round = 0; round < 3000; ++round) {
        const QString text = randomText(random, stylePieces);
        QString stripped = text;
        cSharedHTML::instance().StripHtml(stripped);
        QString expected = styleBlocksRemovedSlowly(text);
        Markup::cStripHTML(expected);
        ASSERT_EQ(stripped, expected) << qPrintable(text);
    }
    // The conversion decodes both kinds of entity in one pass.
    const QStringList entityPieces = {
        "&amp;", "&",     "#",      "233",  ";",    "hellip",   "&lt;",   "x",      "2014", "&#",
        "amp",   "Prime", "&bull;", "8211", "X3b1", "&eacute;", "&quot;", "&apos;", "&#38;"};
    for (int round = 0; round < 5000; ++round) {
        const QString text = randomText(random, entityPieces);
        ASSERT_EQ(plain(text), constToChar(decode(text))) << qPrintable(text);
    }
    const QStringList replacePieces = {"a", "A", "ab", "aB", "b", " ", "\n"};
    for (int round = 0; round < 3000; ++round) {
        const QString text = randomText(random, replacePieces);
        const QString lookFor = randomText(random, replacePieces).left(3);
        const QString with = randomText(random, replacePieces).left(random.bounded(0, 5));
        for (const bool matchCase : {true, false}) {
            QString replaced = text;
            cSharedHTML::instance().MyReplace(replaced, lookFor, with, matchCase);
            QString expected = text;
            expected.replace(lookFor, with, matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive);
            ASSERT_EQ(replaced, expected) << qPrintable(text + '|' + lookFor + '|' + with);
        }
    }
}

// The steps rewrite the text in place; another copy of the same text stays as it was.
TEST(SharedHtml, InPlaceStepsLeaveOtherCopiesAlone)
{
    const QString original = QStringLiteral("<p>a&lt;b &#233; <BR> &amp;hellip;</p>");
    QString copy = original;
    cSharedHTML::instance().HtmlToPlainText(copy);
    EXPECT_EQ(copy, QStringLiteral("a<b \u00E9 \r\n ..."));
    EXPECT_EQ(original, QStringLiteral("<p>a&lt;b &#233; <BR> &amp;hellip;</p>"));
}
