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

TEST(SentenceSplitting, FullStopsInsideWordsNumbersAndAbbreviationsEndNothing)
{
    EXPECT_EQ(split("Mr. Smith met Dr. Watson. See www.gutenberg.org now. Pi is 3.14 or so"),
              QStringList({"Mr. Smith met Dr. Watson.", " See www.gutenberg.org now.",
                           " Pi is 3.14 or so"}));
    EXPECT_EQ(split("Fruit, e.g. apples. Done"), QStringList({"Fruit, e.g. apples.", " Done"}));
    // An abbreviation at the very end still gives its sentence, and "?" is never one.
    EXPECT_EQ(split("Call Mr."), QStringList({"Call Mr."}));
    EXPECT_EQ(split("Is it 3?5 then"), QStringList({"Is it 3?", "5 then"}));
    EXPECT_EQ(split("no delimiter at all"), QStringList({"no delimiter at all"}));
    EXPECT_TRUE(split("").isEmpty());
}

TEST(SentenceSplitting, AbbreviationsFollowTheVoicesLanguage)
{
    clsStore store;
    store.setSentenceEnds(cSentenceEnds::forLanguage("de-de"));
    store.StoreInSentences("Es kam z.B. Hr. Maier. Ende");
    EXPECT_EQ(store.Sentences(), QStringList({"Es kam z.B. Hr. Maier.", " Ende"}));
    store.setSentenceEnds(cSentenceEnds::forLanguage("es"));
    store.StoreInSentences("Vino la Sra. Gómez. Fin");
    EXPECT_EQ(store.Sentences(), QStringList({QString::fromUtf8("Vino la Sra. Gómez."), " Fin"}));
    // English abbreviations mean nothing to a Spanish voice.
    store.StoreInSentences("Mr. Smith");
    EXPECT_EQ(store.Sentences(), QStringList({"Mr.", " Smith"}));
    // A language without a list keeps only the rule for words and numbers.
    store.setSentenceEnds(cSentenceEnds::forLanguage("fi"));
    store.StoreInSentences("Mr. Smith 3.5");
    EXPECT_EQ(store.Sentences(), QStringList({"Mr.", " Smith 3.5"}));
}

TEST(SentenceSplitting, BlankLinesEndSentences)
{
    EXPECT_EQ(
        split("CONTENTS\r\n\r\nChapter 1\r\nChapter 2\r\n \t\r\nText. More"),
        QStringList({"CONTENTS", "\r\n\r\nChapter 1\r\nChapter 2", "\r\n \t\r\nText.", " More"}));
    // After a delimiter, or with nothing but blanks and rules before it, a blank line
    // adds no sentence.
    EXPECT_EQ(split("One.\n\nTwo.\n\n----\n\nThree."),
              QStringList({"One.", "\n\nTwo.", "\n\n----\n\nThree."}));
    // A closing quote after the full stop is no sentence of its own.
    EXPECT_EQ(split(QString::fromUtf8("\u201CGo.\u2019\u201D\n\nNext\n\n) End")),
              QStringList({QString::fromUtf8("\u201CGo."),
                           QString::fromUtf8("\u2019\u201D\n\nNext"), "\n\n) End"}));
    EXPECT_EQ(handOut("Verse one\n\nverse two\n\n"), QStringList({"Verse one", "verse two", ""}));
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
