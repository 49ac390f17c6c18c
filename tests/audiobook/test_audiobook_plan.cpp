#include "audiobook/audiobookplan.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

const QChar P = QChar::ParagraphSeparator;

QString paragraphs(int count, const QString& sentence)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << sentence;
    return list.join(P);
}

} // namespace

TEST(AudiobookPlan, FileNamesNeverLeaveTheFolder)
{
    const QString folder = QStringLiteral("/books/out");
    const QStringList titles{"../../etc/passwd",
                             "..",
                             ".",
                             "a/b\\c",
                             "Tab\there\x01\x7f",
                             "What? <Yes>: \"no\" | *",
                             QString(300, u'x'),
                             "...hidden."};
    cAudiobookPlan plan;
    QList<cChapter> chapters;
    QString text;
    for (const QString& title : titles) {
        chapters.append({title, text.size()});
        text += title + P + QStringLiteral("Some words to read.") + P;
    }
    plan = cAudiobookPlan::make(text, chapters, {"Book / Title", ""}, AudioFormat::Ogg, 1 << 20);
    ASSERT_EQ(plan.chapters.size(), titles.size());
    for (const auto& chapter : plan.chapters) {
        SCOPED_TRACE(chapter.fileName.toStdString());
        const QFileInfo file(QDir(folder).filePath(chapter.fileName));
        EXPECT_EQ(QDir::cleanPath(file.absolutePath()), folder);
        EXPECT_FALSE(chapter.fileName.contains(u'/'));
        EXPECT_FALSE(chapter.fileName.contains(u'\\'));
        EXPECT_FALSE(chapter.fileName.startsWith(u'.'));
        EXPECT_TRUE(chapter.fileName.endsWith(QStringLiteral(".ogg")));
        EXPECT_LE(chapter.fileName.size(), 110);
        for (const QChar c : chapter.fileName)
            EXPECT_GE(c.unicode(), 0x20);
    }
    EXPECT_EQ(plan.chapters[0].fileName, "01 - _.._etc_passwd.ogg");
    EXPECT_EQ(plan.chapters[1].fileName, "02.ogg");
    EXPECT_EQ(plan.chapters[3].fileName, "04 - a_b_c.ogg");
    EXPECT_EQ(plan.playlistName(), "Book _ Title.m3u");
}

TEST(AudiobookPlan, APartWithNoTextOfItsOwnIsReadWithItsFirstChapter)
{
    const QString text = paragraphs(30, QStringLiteral("A preface of some length.")) + P +
                         QStringLiteral("BOOK ONE") + P + P + QStringLiteral("CHAPTER I") + P +
                         QStringLiteral("Words.") + P + QStringLiteral("BOOK TWO") + P +
                         QStringLiteral("Its own opening words.") + P +
                         QStringLiteral("BOOK TWO \u2014 CHAPTER I") + P + QStringLiteral("More.");
    QList<cChapter> found;
    for (const char* title : {"BOOK ONE", "CHAPTER I", "BOOK TWO"})
        found.append({title, text.indexOf(title)});
    found.append({QStringLiteral("BOOK TWO \u2014 CHAPTER I"), text.lastIndexOf(u"BOOK TWO")});
    const cAudiobookPlan plan =
        cAudiobookPlan::make(text, found, {"Book", "Ann"}, AudioFormat::Mp3, 1 << 20);
    QStringList names;
    for (const auto& chapter : plan.chapters)
        names << chapter.fileName;
    EXPECT_EQ(names, QStringList({"01 - Book.mp3", "02 - BOOK ONE \u2014 CHAPTER I.mp3",
                                  "03 - BOOK TWO.mp3", "04 - BOOK TWO \u2014 CHAPTER I.mp3"}));
    ASSERT_EQ(plan.chapters.size(), 4);
    EXPECT_EQ(plan.chapters[1].start, text.indexOf(u"BOOK ONE"));
}

TEST(AudiobookPlan, ChaptersInTextOrderWithShortFrontMatterInTheFirst)
{
    const QString front = QStringLiteral("A Title");
    const QString one = QStringLiteral("CHAPTER I") + P + QStringLiteral("First words.") + P;
    const QString two = QStringLiteral("CHAPTER II") + P + QStringLiteral("Second words.");
    const QString text = front + P + one + two;
    const qsizetype at1 = text.indexOf(u"CHAPTER I");
    const qsizetype at2 = text.indexOf(u"CHAPTER II");
    // Listed out of order and twice at one place, as tables of contents may be.
    const cAudiobookPlan plan =
        cAudiobookPlan::make(text, {{"CHAPTER II", at2}, {"CHAPTER I", at1}, {"Part One", at1}},
                             {"Book", "Ann"}, AudioFormat::Mp3, 1 << 20);
    ASSERT_EQ(plan.chapters.size(), 2);
    EXPECT_EQ(plan.chapters[0].fileName, "01 - CHAPTER I.mp3");
    EXPECT_EQ(plan.chapters[1].fileName, "02 - CHAPTER II.mp3");
    EXPECT_EQ(plan.chapters[0].start, 0);
    EXPECT_EQ(plan.chapters[0].end, at2);
    EXPECT_EQ(plan.chapters[1].end, text.size());

    // A long preface is a file of its own, named after the book; no chapters, one file.
    const QString preface = paragraphs(40, QStringLiteral("A preface of some length."));
    const cAudiobookPlan withPreface =
        cAudiobookPlan::make(preface + P + text, {{"CHAPTER I", preface.size() + 1 + at1}},
                             {"My Book", ""}, AudioFormat::Flac, 1 << 20);
    ASSERT_EQ(withPreface.chapters.size(), 2);
    EXPECT_EQ(withPreface.chapters[0].fileName, "01 - My Book.flac");
    const cAudiobookPlan none =
        cAudiobookPlan::make(text, {}, {"My Book", ""}, AudioFormat::Wav, 1 << 20);
    ASSERT_EQ(none.chapters.size(), 1);
    EXPECT_EQ(none.chapters[0].fileName, "01 - My Book.wav");
}

TEST(AudiobookPlan, PiecesCoverTheTextAndEndAtParagraphsOrSentences)
{
    const QString text = paragraphs(300, QStringLiteral("One sentence here. And another one.")) +
                         P + QString(5000, u'w') + QStringLiteral(". Tail words");
    const cAudiobookPlan plan = cAudiobookPlan::make(text, {}, {"B", ""}, AudioFormat::Wav, 1000);
    ASSERT_EQ(plan.chapters.size(), 1);
    ASSERT_GT(plan.pieces.size(), 5);
    qsizetype at = 0;
    for (qsizetype i = 0; i < plan.pieces.size(); ++i) {
        const auto& piece = plan.pieces[i];
        EXPECT_EQ(plan.chapters[0].pieces[i], i);
        EXPECT_EQ(piece.start, at);
        EXPECT_GT(piece.size(), 0);
        at = piece.end;
        // Pieces end with a sentence, and the blanks after it start the next one.
        if (piece.end < text.size()) {
            EXPECT_EQ(text[piece.end - 1], u'.') << piece.end;
            EXPECT_TRUE(text[piece.end].isSpace()) << piece.end;
        }
    }
    EXPECT_EQ(at, text.size());
    EXPECT_EQ(cAudiobookPlan::pieceSizeFor(100, 2), 20000);
    EXPECT_EQ(cAudiobookPlan::pieceSizeFor(6000000, 2), 1000000);
}

TEST(AudiobookPlan, BookInfoFromAGutenbergHeaderAndThePlaylist)
{
    const QString head = QStringLiteral("The Project Gutenberg eBook") + P +
                         QStringLiteral("Title: Great Expectations") + QChar::LineSeparator +
                         QStringLiteral("Author: Charles Dickens") + P + QStringLiteral("Text.");
    const cBookInfo info = BookInfo::ofText(head);
    EXPECT_EQ(info.title, "Great Expectations");
    EXPECT_EQ(info.author, "Charles Dickens");
    EXPECT_EQ(BookInfo::of(QStringLiteral("/x/some book.txt"), u"No header").title, "some book");

    const QString text = QStringLiteral("CHAPTER I") + P + QStringLiteral("Words.") + P +
                         QStringLiteral("CHAPTER II") + P + QStringLiteral("More.");
    const cAudiobookPlan plan =
        cAudiobookPlan::make(text, {{"CHAPTER I", 0}, {"CHAPTER II", text.indexOf(u"CHAPTER II")}},
                             info, AudioFormat::Opus, 1 << 20);
    EXPECT_EQ(plan.playlist({}), "#EXTM3U\n"
                                 "#EXTINF:-1,Charles Dickens - CHAPTER I\n"
                                 "01 - CHAPTER I.opus\n"
                                 "#EXTINF:-1,Charles Dickens - CHAPTER II\n"
                                 "02 - CHAPTER II.opus\n");
}
