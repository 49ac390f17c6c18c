// Books as people open them: converted the way the document loader converts them.
#include "files/filesubs.h"
#include "text/sharedhtml.h"

#include "testsupport.h"

#include <gtest/gtest.h>

namespace {

QString dataFile(const char* name)
{
    // ctest may not pass the variable on; the folder is known at build time too.
    const QString dir = qEnvironmentVariable("PARLO_TEST_DATA", QStringLiteral(TEST_DATA_DIR));
    return dir + '/' + QLatin1StringView(name);
}

QString converted(const char* name)
{
    QString text;
    EXPECT_TRUE(cSharedFileSubs::instance().LoadTextFile(dataFile(name), text)) << name;
    cSharedHTML::instance().HtmlToPlainText(text);
    return text;
}

} // namespace

TEST(Books, HtmlEditionMatchesItsGoldenText)
{
    ScopedProgramHome home;
    const QString text = converted("book.htm");
    EXPECT_EQ(text, QString::fromUtf8(readBytes(dataFile("book.expected.txt"))));
    // What the golden text stands for, spelled out.
    EXPECT_FALSE(text.contains(QLatin1StringView("text-indent"))) << "style block shown";
    EXPECT_FALSE(text.contains(QLatin1StringView("comment"))) << "comment shown";
    EXPECT_FALSE(text.contains(u'<') && text.contains(QLatin1StringView("<p")));
    EXPECT_TRUE(text.contains(QStringLiteral("Tr\u00E9gastel at dawn... \u201CHurry,\u201D")));
    EXPECT_TRUE(text.contains(QStringLiteral("Ma\u00EFwenn, \"the tide won't wait.\"")));
    EXPECT_TRUE(text.contains(QStringLiteral("days.\r\nA line break, kept.")));
    EXPECT_TRUE(text.contains(QStringLiteral("a <tag> written out; \u03B1\u03B2\u03B3")));
    EXPECT_TRUE(text.contains(QStringLiteral("- and ... then \u2014 end...")));
}

TEST(Books, EncodingsOfPlainTextBooks)
{
    ScopedProgramHome home;
    EXPECT_EQ(converted("latin1.txt"),
              QStringLiteral("Caf\u00E9 cr\u00E8me, na\u00EFve r\u00F4le \u2014 f\u00EAte.\r\n"
                             "Second line.\r\n"));
    EXPECT_EQ(converted("bom.txt"),
              QStringLiteral("\u00BFQu\u00E9 tal? \u0108u vi parolas Esperanton?\r\nJes.\r\n"));
}

TEST(Books, LineEndsOfLinuxAndOldTexts)
{
    ScopedProgramHome home;
    EXPECT_EQ(
        converted("unix.txt"),
        QStringLiteral("Chapter 1\r\n\r\nIt was 3 < 4 and 5 > 2, said Anna.\r\n\r\n\r\nEnd.\r\n"));
    EXPECT_EQ(converted("oldetext.txt"),
              QStringLiteral("Old line one\r\nOld line two\r\n\r\nNext paragraph\r\n"));
}
