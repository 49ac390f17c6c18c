#include "text/sharedtext.h"

#include <gtest/gtest.h>

namespace {
QString eatEnd(QString text)
{
    cSharedText::EatCrapFromEnd(text);
    return text;
}
QString eatStart(QString text)
{
    cSharedText::EatCrapFromStart(text);
    return text;
}
} // namespace

TEST(SharedText, EatCrapFromEndDropsBreaksSpacesAndHyphens)
{
    EXPECT_EQ(eatEnd("A sentence."), "A sentence.");
    EXPECT_EQ(eatEnd("Broken -\r\n"), "Broken");
    EXPECT_EQ(eatEnd("word-"), "word");
    EXPECT_EQ(eatEnd("-."), "-.");
    EXPECT_EQ(eatEnd(" - \r\n-- "), "");
    EXPECT_EQ(eatEnd("tab\t"), "tab\t");
    EXPECT_EQ(eatEnd(""), "");
}

TEST(SharedText, EatCrapFromStartStopsAtFirstOtherCharacter)
{
    EXPECT_EQ(eatStart("\r\n - Hello"), "Hello");
    EXPECT_EQ(eatStart("\tHello"), "\tHello");
    EXPECT_EQ(eatStart("\"Hello"), "\"Hello");
    EXPECT_EQ(eatStart("---"), "");
}

TEST(SharedText, ComparisonAndTrimming)
{
    EXPECT_TRUE(cSharedText::StringsEqual("  English ", "ENGLISH"));
    EXPECT_TRUE(cSharedText::StringsEqual(QString("abc") + QChar(0) + "junk", "ABC"));
    EXPECT_FALSE(cSharedText::StringsEqual("abc", "abd"));
    EXPECT_TRUE(cSharedText::StringsEqual(QString::fromUtf8("Ärger"), QString::fromUtf8("ärger")));
    EXPECT_EQ(cSharedText::TrimNull("  keep lead  "), "  keep lead");
    EXPECT_EQ(cSharedText::TrimcTrim("  both  "), "both");
    EXPECT_EQ(cSharedText::TrimcTrim("\ttab\t"), "\ttab\t");
    EXPECT_EQ(cSharedText::AddQuotes(""), "\"\"");
    EXPECT_EQ(cSharedText::AddQuotes("a\"b"), "\"a\"b\"");
}

TEST(SharedText, StringContainsIgnoresCaseAndEmptyChild)
{
    EXPECT_TRUE(cSharedText::StringContains("Pride and Prejudice", "PREJ"));
    EXPECT_TRUE(cSharedText::StringContains("anything", ""));
    EXPECT_FALSE(cSharedText::StringContains("", ""));
    EXPECT_FALSE(cSharedText::StringContains("Emma", "Persuasion"));
}
