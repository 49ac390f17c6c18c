#include "speech/clsstore.h"
#include "testsupport.h"

#include <gtest/gtest.h>

namespace {

QStringList split(const QString& text)
{
    clsStore store;
    store.StoreInSentences(text);
    return store.Sentences();
}

QStringList handOut(const QString& text)
{
    clsStore store;
    store.StoreInSentences(text);
    QStringList result;
    for (int i = 0; i < store.count(); ++i)
        result << store.NextSentence();
    return result;
}

} // namespace

TEST(SentenceSplitting, KeepsDelimitersAndLeadingBlanks)
{
    EXPECT_EQ(split("Hello. How are you? Fine!"),
              QStringList({"Hello.", " How are you?", " Fine!", ""}));
    // The rest after a final full stop is not a sentence; after "?" or "!" it is.
    EXPECT_EQ(split("One. Two."), QStringList({"One.", " Two."}));
    EXPECT_EQ(split("One. Two"), QStringList({"One.", " Two"}));
}

TEST(SentenceSplitting, DelimiterThatWouldBeginASentenceIsDropped)
{
    EXPECT_EQ(split("Wait... what"), QStringList({"Wait.", " what"}));
    EXPECT_EQ(split("Really?! No"), QStringList({"Really?", " No"}));
    EXPECT_TRUE(split("...").isEmpty());
    EXPECT_TRUE(split(".").isEmpty());
    EXPECT_EQ(split("?"), QStringList({""}));
}

TEST(SentenceSplitting, NoSpecialCasesForAbbreviationsOrNumbers)
{
    EXPECT_EQ(split("Mr. Smith"), QStringList({"Mr.", " Smith"}));
    EXPECT_EQ(split("3.5"), QStringList({"3.", "5"}));
    EXPECT_EQ(split("no delimiter at all"), QStringList({"no delimiter at all"}));
    EXPECT_TRUE(split("").isEmpty());
}

TEST(SentenceSplitting, NonAsciiTextAndSurrogatesStayWhole)
{
    EXPECT_EQ(split(QString::fromUtf8("Ĉu vi? Jes \xF0\x9F\x98\x80. Fino")),
              QStringList({QString::fromUtf8("Ĉu vi?"), QString::fromUtf8(" Jes \xF0\x9F\x98\x80."),
                           " Fino"}));
}

TEST(SentenceHandOut, TrimsBlanksLineBreaksAndHyphens)
{
    EXPECT_EQ(handOut("  -- Hello.\r\n\r\n- Next one?  \r\n"),
              QStringList({"Hello.", "Next one?", ""}));
    // Inner line breaks stay; only the ends are cleaned.
    EXPECT_EQ(handOut("Line one\r\nline two."), QStringList({"Line one\r\nline two."}));
    // Tabs are not blanks.
    EXPECT_EQ(handOut("\tTabbed."), QStringList({"\tTabbed."}));
}

TEST(SentenceHandOut, EmptyAfterTheLastAndCountsEveryRequest)
{
    clsStore store;
    store.StoreInSentences("A. B.");
    EXPECT_EQ(store.NextSentence(), "A.");
    EXPECT_EQ(store.NextSentence(), "B.");
    EXPECT_EQ(store.NextSentence(), "");
    EXPECT_EQ(store.NextSentence(), "");
    EXPECT_EQ(store.NextIndex(), 4);

    store.StoreInSentences("C.");
    EXPECT_EQ(store.NextIndex(), 0);
    EXPECT_EQ(store.NextSentence(), "C.");
    store.StoreInSentences("");
    EXPECT_EQ(store.count(), 0);
    EXPECT_EQ(store.NextSentence(), "");
}

TEST(SentenceSplitting, BookSizedTextIsCutInOnePass)
{
    // A quadratic cut would take minutes here; this only checks the result is whole.
    QString book;
    const QString sentence = QStringLiteral("The quick brown fox jumps over the lazy dog. ");
    for (int i = 0; i < 60000; ++i)
        book += sentence;
    clsStore store;
    store.StoreInSentences(book);
    ASSERT_EQ(store.count(), 60000 + 1);
    EXPECT_EQ(store.sentence(59999).toString(), " The quick brown fox jumps over the lazy dog.");
    EXPECT_EQ(store.sentence(60000).toString(), " ");
    EXPECT_TRUE(store.sentence(60001).isNull());
}
