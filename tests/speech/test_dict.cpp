#include "speech/cleanforspeech.h"
#include "speech/clsdict.h"
#include "testsupport.h"

#include <QFile>

#include <random>

#include <gtest/gtest.h>

namespace {

std::shared_ptr<clsWordPair> pair(const QString& original, const QString& spoken)
{
    auto made = std::make_shared<clsWordPair>();
    made->OriginalWord = original;
    made->NewWord = spoken;
    return made;
}

QString translate(const QList<QPair<QString, QString>>& pairs, const QString& text)
{
    clsDict dict;
    for (const auto& [original, spoken] : pairs)
        dict.AddWordPair(pair(original, spoken));
    return dict.TranslateText(text);
}

QStringList pairsOf(const clsDict& dict)
{
    QStringList out;
    for (const auto& p : dict.Words())
        out << p->OriginalWord + "|" + p->NewWord;
    return out;
}

} // namespace

TEST(PronunciationFile, ReadsLinesSplitAtTheFirstComma)
{
    ScopedProgramHome home;
    writeBytes(home.file("pl2Dict.txt"),
               "colonel,kernel\r\na note without comma\r\n\r\n,empty original\r\n"
               "a,b,c\r\n  spaced , kept \r\nlast,no line end");
    clsDict dict;
    dict.LoadWords();
    EXPECT_EQ(pairsOf(dict), QStringList({"colonel|kernel", "|empty original", "a|b,c",
                                          "  spaced | kept ", "last|no line end"}));
}

TEST(PronunciationFile, AcceptsLfOnlyAndWindows1252)
{
    ScopedProgramHome home;
    writeBytes(home.file("pl2Dict.txt"), "caf\xe9,kafay\nna\xefve,nigh eve\n");
    clsDict dict;
    dict.LoadWords();
    EXPECT_EQ(pairsOf(dict),
              QStringList({QString::fromUtf8("café|kafay"), QString::fromUtf8("naïve|nigh eve")}));

    writeBytes(home.file("pl2Dict.txt"), "\xEF\xBB\xBFp\xC3\xA8re,pair\r\n");
    dict.LoadWords();
    EXPECT_EQ(pairsOf(dict), QStringList({QString::fromUtf8("père|pair")}));
}

TEST(PronunciationFile, MissingFileGivesAnEmptyList)
{
    ScopedProgramHome home;
    clsDict dict;
    dict.AddWordPair(pair("old", "pair"));
    dict.LoadWords();
    EXPECT_TRUE(dict.hasWords());
    EXPECT_EQ(dict.WordCount(), 0);
    EXPECT_EQ(dict.TranslateText("old."), " old.");
}

TEST(PronunciationFile, WritesTrimmedUtf8WithCrLfAndReadsItBack)
{
    ScopedProgramHome home;
    clsDict dict;
    dict.AddWordPair(pair("  Mr ", " Mister  "));
    dict.AddWordPair(pair(QString::fromUtf8("Ĉu"), "choo"));
    dict.AddWordPair(pair("a,b", "c"));
    ASSERT_TRUE(dict.SaveWords());
    EXPECT_EQ(readBytes(home.file("pl2Dict.txt")),
              QByteArray("Mr,Mister\r\n\xC4\x88u,choo\r\na,b,c\r\n"));

    clsDict again;
    again.LoadWords();
    // An original word with a comma comes back split at it.
    EXPECT_EQ(pairsOf(again), QStringList({"Mr|Mister", QString::fromUtf8("Ĉu|choo"), "a|b,c"}));

    clsDict empty;
    ASSERT_TRUE(empty.SaveWords());
    EXPECT_EQ(readBytes(home.file("pl2Dict.txt")), QByteArray());
}

TEST(PronunciationFile, FailedSaveLeavesTheOldFileWhole)
{
    ScopedProgramHome home;
    const QString file = home.file("pl2Dict.txt");
    writeBytes(file, "keep,this\r\n");
    QFile::setPermissions(home.path(), QFile::ReadOwner | QFile::ExeOwner);
    clsDict dict;
    dict.AddWordPair(pair("new", "pair"));
    const bool saved = dict.SaveWords();
    QFile::setPermissions(home.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (saved)
        GTEST_SKIP() << "running with rights that ignore folder permissions";
    EXPECT_EQ(readBytes(file), QByteArray("keep,this\r\n"));
}

TEST(PronunciationFile, AFullDiskKeepsTheOldList)
{
    ScopedProgramHome home;
    SmallDisk disk(home.path());
    SKIP_WITHOUT_SMALL_DISK(disk);
    const QString file = home.file("pl2Dict.txt");
    writeBytes(file, "keep,this\r\n");
    disk.fill();
    clsDict dict;
    dict.AddWordPair(pair("new", "pair"));
    EXPECT_FALSE(dict.SaveWords());
    EXPECT_EQ(readBytes(file), QByteArray("keep,this\r\n"));
}

TEST(PronunciationList, ClearAddAndReferences)
{
    clsDict dict;
    EXPECT_FALSE(dict.hasWords());
    auto shared = pair("x", "y");
    EXPECT_TRUE(dict.AddWordPair(shared));
    EXPECT_TRUE(dict.AddWordPair(pair("x", "z")));
    EXPECT_EQ(dict.WordCount(), 2);
    // The list holds the pair itself: a later change shows.
    shared->NewWord = "changed";
    EXPECT_EQ(dict.Words().first()->NewWord, "changed");
    dict.ClearWords();
    EXPECT_FALSE(dict.hasWords());
    EXPECT_EQ(dict.WordCount(), 0);
    EXPECT_EQ(dict.TranslateText("x."), " x.");
}

TEST(PronunciationList, RefusesMoreThan32767PairsWithoutWrapping)
{
    ScopedProgramHome home;
    QByteArray lines;
    for (int i = 0; i < clsDict::MaxWords + 10; ++i)
        lines += "w" + QByteArray::number(i) + ",v\r\n";
    writeBytes(home.file("pl2Dict.txt"), lines);
    clsDict dict;
    dict.LoadWords();
    EXPECT_EQ(dict.WordCount(), clsDict::MaxWords);
    EXPECT_EQ(dict.Words().last()->OriginalWord, "w32766");
    EXPECT_FALSE(dict.AddWordPair(pair("one", "more")));
    EXPECT_EQ(dict.WordCount(), clsDict::MaxWords);

    // Saving what could be edited keeps the pairs that were left out, after the list.
    dict.ClearWords();
    dict.AddWordPair(pair("first", "one"));
    ASSERT_TRUE(dict.SaveWords());
    QByteArray rest;
    for (int i = clsDict::MaxWords; i < clsDict::MaxWords + 10; ++i)
        rest += "w" + QByteArray::number(i) + ",v\r\n";
    EXPECT_EQ(readBytes(home.file("pl2Dict.txt")), "first,one\r\n" + rest);
    dict.LoadWords();
    EXPECT_EQ(dict.WordCount(), 11);
}

TEST(TranslateText, NeedsASeparatorOnBothSides)
{
    const QList<QPair<QString, QString>> cat{{"cat", "dog"}};
    EXPECT_EQ(translate(cat, "cat, and cat."), " dog, and dog.");
    EXPECT_EQ(translate(cat, "concatenate cats cat2 scat"), " concatenate cats cat2 scat");
    // Apostrophe, colon and semicolon are separators.
    EXPECT_EQ(translate(cat, "cat's cat: cat;"), " dog's dog: dog;");
}

TEST(TranslateText, MatchesAtLineBreaksTabsQuotesBracketsAndTheEnd)
{
    const QList<QPair<QString, QString>> cat{{"cat", "dog"}};
    // Books wrapped at seventy characters put every tenth word at a line break.
    EXPECT_EQ(translate(cat, "the\r\ncat\r\nsat\ncat\tcat"), " the\r\ndog\r\nsat\ndog\tdog");
    EXPECT_EQ(translate(cat, "(cat) [cat] _cat_"), " (dog) [dog] _dog_");
    EXPECT_EQ(translate(cat, QString::fromUtf8("\u201Ccat\u201D \u2018cat\u2019s \u00ABcat\u00BB")),
              QString::fromUtf8(" \u201Cdog\u201D \u2018dog\u2019s \u00ABdog\u00BB"));
    EXPECT_EQ(translate(cat, QString::fromUtf8("cat\u2014cat")),
              QString::fromUtf8(" dog\u2014dog"));
    // The first and the last word of a piece stand alone too.
    EXPECT_EQ(translate(cat, "cat and cat"), " dog and dog");
    // Pairs holding blanks or punctuation match as before.
    EXPECT_EQ(translate({{"St. Paul", "saint paul"}}, "To St. Paul\nnow"), " To saint paul\nnow");
    EXPECT_EQ(translate({{"e.g.", "for example"}}, "(e.g. this)"), " (for example this)");
}

TEST(TranslateText, CaseInsensitiveMatchKeepsTheNewWordsCase)
{
    EXPECT_EQ(translate({{"nasa", "NAH sah"}}, "Nasa and NASA."), " NAH sah and NAH sah.");
    EXPECT_EQ(translate({{"New York", "noo york"}}, "In new york, today."), " In noo york, today.");
}

TEST(TranslateText, OverlappingMatchesAndOrder)
{
    // The first match takes the blank the middle one would have needed in front.
    EXPECT_EQ(translate({{"la", "X"}}, "la la la."), " X la X.");
    // A later pair sees an earlier one's output; never the other way round.
    EXPECT_EQ(translate({{"a", "b"}, {"b", "c"}}, "a."), " c.");
    EXPECT_EQ(translate({{"b", "c"}, {"a", "b"}}, "a."), " b.");
    // Duplicates all apply, in order.
    EXPECT_EQ(translate({{"a", "b"}, {"a", "z"}}, "a."), " b.");
}

TEST(TranslateText, EmptyWords)
{
    EXPECT_EQ(translate({{"", "+"}}, "a, \"b"), " a,+ +\"b");
    EXPECT_EQ(translate({{"", ""}}, "a, \"b"), " a, \"b");
    EXPECT_EQ(translate({{"x", ""}}, "a x."), " a .");
    EXPECT_EQ(translate({}, ""), " ");
}

TEST(TranslateText, SpacesKeptInMemoryMatchWithThem)
{
    EXPECT_EQ(translate({{" cat", "dog"}}, "a  cat."), " a dog.");
    EXPECT_EQ(translate({{" cat", "dog"}}, "a cat."), " a cat.");
}

TEST(CleanForSpeech, ReplacesEmDashColonAndSemicolonOnly)
{
    // Marks that end a clause pause as a comma does; inside words and numbers they only
    // separate.
    EXPECT_EQ(CleanForSpeech("Note: this; that:"), "Note,     this,     that,    ");
    EXPECT_EQ(CleanForSpeech("a::b"), "a,         b");
    EXPECT_EQ(CleanForSpeech("at 10:30 a;b"), "at 10     30 a     b");
    EXPECT_EQ(CleanForSpeech(QString::fromUtf8("one\u2014two")), "one two");
    const QString untouched = QString::fromUtf8("a--b \u2013 c, \"d\"\r\n-e");
    EXPECT_EQ(CleanForSpeech(untouched), untouched);
    EXPECT_EQ(CleanForSpeech(""), "");
    EXPECT_EQ(CleanForSpeech(" lead"), " lead");
}

TEST(TranslateText, IndexedMatchingAgreesWithTheLiteralRule)
{
    // Short words over a tiny alphabet with every separator, so that overlaps, chains,
    // adjacent matches and case differences all happen often.
    const QString alphabet = QString::fromUtf8("aAbB,.'?!-:; \"\t)ÄäΣσς\n\u201Dx");
    std::mt19937 random(7);
    const auto text = [&](int maxLength) {
        QString out;
        const int length = int(random() % (maxLength + 1));
        for (int i = 0; i < length; ++i)
            out += alphabet[int(random() % alphabet.size())];
        return out;
    };
    int changed = 0;
    for (int round = 0; round < 3000; ++round) {
        clsDict dict;
        const int pairs = 1 + int(random() % 4);
        for (int i = 0; i < pairs; ++i)
            dict.AddWordPair(pair(text(3), text(4)));
        const QString sentence = text(30);
        ASSERT_EQ(dict.TranslateText(sentence),
                  dict.translateSlowly(" " + sentence + " ").chopped(1))
            << "round " << round << " sentence \"" << sentence.toStdString() << '"';
        changed += dict.TranslateText(sentence) != " " + sentence;
    }
    EXPECT_GT(changed, 300);
}
