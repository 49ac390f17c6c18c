#include "reader/documentloader.h"
#include "reader/readingcontroller.h"
#include "speech/clsstore.h"
#include "testsupport.h"

#include <QTextBlock>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <utility>

namespace {

QString shown(const QString& path)
{
    QString text;
    cDocumentLoader::loadText(path, text);
    return text;
}

QString withoutMarks(QString text)
{
    for (const char16_t mark : {u'"', u'.', u'\u2019', u'\u201D'})
        text.remove(QChar(mark));
    return text.trimmed();
}

// What each SpeakingSentence selects, as text.
QStringList highlights(const QString& text, int cursor, int pieces)
{
    cReadingController reading;
    reading.begin(text, cursor);
    QStringList out;
    for (int i = 0; i < pieces; ++i) {
        const cReadingController::Range range = reading.next();
        out << (range.length > 0 ? text.mid(range.start, range.length) : QString());
    }
    return out;
}

} // namespace

TEST(DocumentLoader, EveryRtfSpellingIsReadAsRichText)
{
    ScopedProgramHome home;
    const QByteArray rtf =
        R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}\f0\fs24 Plain {\b bold} text.\par})";
    for (const QString name : {"a.RTF", "b.rtf", "c.Rtf"}) {
        writeBytes(home.file(name), rtf);
        bool ok = false;
        const auto doc = cDocumentLoader::load(home.file(name), &ok);
        ASSERT_TRUE(ok) << name.toStdString();
        EXPECT_EQ(doc->toPlainText().trimmed(), "Plain bold text.") << name.toStdString();
        bool sawBold = false;
        for (auto it = doc->begin().begin(); !it.atEnd(); ++it)
            sawBold |= it.fragment().charFormat().fontWeight() == QFont::Bold;
        EXPECT_TRUE(sawBold) << name.toStdString();
    }
    // Named otherwise, the same bytes are text and keep their braces.
    writeBytes(home.file("d.txt"), rtf);
    EXPECT_TRUE(shown(home.file("d.txt")).contains("{\\b bold}"));
}

TEST(DocumentLoader, TextAndHtmlGoThroughTheConversionWithEmphasisForTheVoiceAlone)
{
    ScopedProgramHome home;
    for (const QString name : {"a.txt", "b.text", "c.htm", "d.html"}) {
        writeBytes(home.file(name), "A <b>bold</b> and <em>stressed</em> word &amp; <i>more</i>.");
        QString text;
        cVoiceMarkers markers;
        ASSERT_TRUE(cDocumentLoader::loadText(home.file(name), text, &markers));
        EXPECT_EQ(shown(home.file(name)), "A bold and stressed word & more.") << name.toStdString();
        EXPECT_EQ(VoiceMarkers::insert(text, markers),
                  "A <emph>bold</emph> and <emph>stressed</emph> word & more.")
            << name.toStdString();
    }
    // An HTML book's voice tags are the voice's too; a text file's are the reader's.
    writeBytes(home.file("t.htm"), "<p>Hi [v:2]there.</p>");
    writeBytes(home.file("t.txt"), "Hi [v:2]there.");
    EXPECT_EQ(shown(home.file("t.htm")), "Hi there.");
    EXPECT_EQ(shown(home.file("t.txt")), "Hi [v:2]there.");
    // Only the exact lower-case tags become markers, wherever they stand, and the book's
    // own bracketed words become markers as well.
    EXPECT_FALSE(cDocumentLoader::toDisplayText("<B>x</B>").contains("emph"));
    EXPECT_EQ(cDocumentLoader::toDisplayText("<b><<em>x</em>\x01[emph] [/emph</b>"),
              "<emph><<emph>x</emph> <emph> [/emph</emph>");
    EXPECT_EQ(cDocumentLoader::toDisplayText("<em"), "<em");
    EXPECT_EQ(cDocumentLoader::toDisplayText("<html><head><title>T</title></head><body><p>Hi."
                                             "<br>There.</p></body></html>")
                  .trimmed(),
              "Hi.\r\nThere.");
}

TEST(DocumentLoader, UnreadableAndBinaryFiles)
{
    ScopedProgramHome home;
    bool ok = true;
    const auto missing = cDocumentLoader::load(home.file("none.txt"), &ok);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(missing->isEmpty());

    QByteArray binary("ELF\0\1\2\3<tag\0>Hello.\x7f\x1b\x81\x8d\xff", 23);
    writeBytes(home.file("prog.txt"), binary);
    const QString text = shown(home.file("prog.txt"));
    EXPECT_TRUE(text.contains("Hello."));
    for (QChar c : text) {
        const bool control = (c < u' ' && c != u'\n' && c != u'\r' && c != u'\t') ||
                             (c >= QChar(0x7F) && c < QChar(0xA0));
        EXPECT_FALSE(control) << int(c.unicode());
    }
}

// Joining the lines of a paragraph must leave the text, and so every reading and bookmark
// position, exactly as a document of one block per line has it.
TEST(DocumentLoader, ParagraphsKeepTheTextAndItsPositions)
{
    const QString manyLines = QString("a line of text\n").repeated(400);
    const QString samples[] = {
        "First line\r\nof a paragraph.\r\n\r\nNext one\r\nhere.\r\n",
        "Unix\nlines\n\n\nthree breaks\nend",
        "Old Mac\rlines\r\rand\r\nmixed\n\r\n",
        "\r\n\r\nLeading breaks and a trailing CR\r",
        manyLines,
        "",
    };
    for (const QString& text : samples) {
        QTextDocument lines;
        lines.setPlainText(text);
        QTextDocument joined;
        joined.setPlainText(cDocumentLoader::toParagraphs(text));
        EXPECT_EQ(joined.toPlainText(), lines.toPlainText()) << text.left(40).toStdString();
        EXPECT_EQ(joined.characterCount(), lines.characterCount());
    }

    // Blank lines part paragraphs; single breaks stay inside them.
    QTextDocument doc;
    doc.setPlainText(cDocumentLoader::toParagraphs(samples[0]));
    ASSERT_EQ(doc.blockCount(), 4);
    EXPECT_EQ(doc.begin().text(),
              QString("First line") + QChar(QChar::LineSeparator) + "of a paragraph.");
    EXPECT_EQ(doc.findBlockByNumber(2).text(),
              QString("Next one") + QChar(QChar::LineSeparator) + "here.");

    // A paragraph that never meets a blank line is still closed at the length limit.
    doc.setPlainText(cDocumentLoader::toParagraphs(samples[4]));
    EXPECT_GT(doc.blockCount(), 2);
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next())
        EXPECT_LE(block.length(), cDocumentLoader::kMaxJoinedLength + 16);
}

// Unshaped drawing is only for text that looks the same without it.
TEST(DocumentLoader, ScriptsThatNeedShapingKeepIt)
{
    ScopedProgramHome home;
    const std::pair<const char*, bool> books[] = {
        {"plain.txt", false}, {"greek.txt", false}, {"arabic.txt", true}, {"hebrew.htm", true},
        {"accent.txt", true}, {"emoji.txt", true},  {"arabic.rtf", true}, {"latin.rtf", false},
    };
    writeBytes(home.file("plain.txt"), "Caf\xc3\xa9 \xe2\x80\x94 \xe2\x80\x9cquoted\xe2\x80\x9d.");
    writeBytes(home.file("greek.txt"),
               "\xce\x9a\xce\xb1\xce\xbb\xce\xb7\xce\xbc\xce\xad\xcf\x81\xce\xb1.");
    writeBytes(home.file("arabic.txt"), "\xd9\x85\xd8\xb1\xd8\xad\xd8\xa8\xd8\xa7.");
    writeBytes(home.file("hebrew.htm"), "<p>&#1513;&#1500;&#1493;&#1501;</p>");
    writeBytes(home.file("accent.txt"), "Cafe\xcc\x81 with a combining accent.");
    writeBytes(home.file("emoji.txt"), "Done \xf0\x9f\x91\x8d.");
    writeBytes(home.file("arabic.rtf"), R"({\rtf1\ansi Word \u1605?\u1585?.\par})");
    writeBytes(home.file("latin.rtf"), R"({\rtf1\ansi caf\'e9.\par})");
    for (const auto& [name, shaped] : books) {
        const auto doc = cDocumentLoader::load(home.file(name));
        const bool unshaped = doc->defaultFont().styleStrategy() & QFont::PreferNoShaping;
        EXPECT_EQ(unshaped, !shaped) << name;
    }
}

TEST(DocumentLoader, QuotesAreRemovedFromPaths)
{
    EXPECT_EQ(cDocumentLoader::cleanPath("\"/home/u/My Book.txt\""), "/home/u/My Book.txt");
    EXPECT_FALSE(cDocumentLoader::isRtf("rtf.txt"));
    EXPECT_TRUE(cDocumentLoader::isRtf("/a.b/c.rTf"));
}

TEST(FindSentenceEnd, DelimitersRunsQuotesAndTheEnd)
{
    //                         1234567890123456789
    EXPECT_EQ(FindSentenceEnd(u"Hi there. Next one.", 1), 9);
    EXPECT_EQ(FindSentenceEnd(u"Hi there. Next one.", 11), 19);
    EXPECT_EQ(FindSentenceEnd(u"What?! Yes.", 1), 6);
    EXPECT_EQ(FindSentenceEnd(u"Wait... no", 1), 7);
    EXPECT_EQ(FindSentenceEnd(u"Stop!\" he said.", 1), 6);
    EXPECT_EQ(FindSentenceEnd(u"Stop!\u201D he said.", 1), 6);
    EXPECT_EQ(FindSentenceEnd(u"No end here", 1), 0);
    EXPECT_EQ(FindSentenceEnd(u"Ends at the end!!", 1), 17);
    EXPECT_EQ(FindSentenceEnd(u"Ends with quote.\"", 1), 17);
    EXPECT_EQ(FindSentenceEnd(u"Short.", 30), 0);
    // Only full stops ahead: still one sentence at a time.
    EXPECT_EQ(FindSentenceEnd(u"One? Two. Three.", 6), 9);
    // Not inside a word or number, and not after an abbreviation.
    EXPECT_EQ(FindSentenceEnd(u"At www.gutenberg.org now.", 1), 25);
    EXPECT_EQ(FindSentenceEnd(u"Mr. Smith.", 1, cSentenceEnds::forLanguage("en")), 10);
    // The abbreviation is looked for only in the text being read: from "r." on it is none.
    EXPECT_EQ(FindSentenceEnd(u"Mr. Smith.", 2, cSentenceEnds::forLanguage("en"), 1), 3);
    // A blank line ends the sentence at its last word.
    EXPECT_EQ(FindSentenceEnd(u"Title\r\n\r\nText.", 1), 5);
    EXPECT_EQ(FindSentenceEnd(u"\n\nTitle\n\nText.", 1), 7);
}

TEST(ReadingController, HighlightsFollowTheSentences)
{
    const QString text = "\"Stop!\" he cried. Then he left.\nNobody came back";
    EXPECT_EQ(highlights(text, 0, 3), (QStringList{"\"Stop!\"", "he cried.", "Then he left."}));
    // The final sentence without a delimiter is spoken but not highlighted, and a later
    // piece of it does not send the highlight back to the top.
    cReadingController reading;
    reading.begin(text, 0);
    for (int i = 0; i < 3; ++i)
        reading.next();
    EXPECT_LT(reading.next().length, 1);
    const cReadingController::Range after = reading.next();
    EXPECT_LT(after.length, 1);
    EXPECT_GT(after.start, 30);
}

// The highlight finds each sentence in its own copy of the text; it must pick the same
// sentences the Talker's store speaks, in the same order, wherever the reading starts.
TEST(ReadingController, HighlightKeepsStepWithTheSpokenSentences)
{
    const QString text =
        "THE BOOK\n\nCONTENTS\n\nI. Mr. Smith\nII. Home\n\nSee www.gutenberg.org or\n"
        "Dr. Watson at 3.14 p.m. today. \"Stop!\" he cried. Then, e.g. later... he "
        "left.\u2019\u201D\n\n"
        "Verse one\nand two\n\nThe end.";
    const cSentenceEnds ends = cSentenceEnds::forLanguage("en");
    for (const int cursor : {0, 10, 21, 45, 95}) {
        SCOPED_TRACE(cursor);
        cReadingController reading;
        const cReadingController::Start start = reading.begin(text, cursor, ends);
        clsStore store;
        store.setSentenceEnds(ends);
        store.StoreInSentences(start.text);
        for (QString spoken = store.NextSentence(); !spoken.isEmpty();
             spoken = store.NextSentence()) {
            const cReadingController::Range range = reading.next();
            if (range.length < 1)
                break; // the last piece without a delimiter is not highlighted
            // The highlight takes a closing quote and a run of delimiters along, the store
            // leaves them to the next sentence, where trimming drops them.
            EXPECT_EQ(withoutMarks(text.mid(range.start, range.length)), withoutMarks(spoken));
        }
    }
    EXPECT_EQ(highlights(text, 0, 3), (QStringList{"THE BOOK", "CONTENTS", "I."}));
}

TEST(ReadingController, StartsBeforeTheCursorAndNearTheEndAtTheTop)
{
    const QString text = "First one. Second one. Third one here.";
    cReadingController reading;
    // The Talker gets the text from the character before the cursor.
    cReadingController::Start start = reading.begin(text, 11);
    EXPECT_EQ(start.cursor, 11);
    EXPECT_EQ(start.text, " Second one. Third one here.");
    EXPECT_EQ(text.mid(reading.next().start, 11), "Second one.");

    start = reading.begin(text, text.size() - 5);
    EXPECT_EQ(start.cursor, 0);
    EXPECT_EQ(start.text, text);
    EXPECT_EQ(reading.SentenceStart(), 1);
    start = reading.begin(text, text.size() - 6);
    EXPECT_EQ(start.cursor, text.size() - 6);

    // A cursor just after a full stop: the Talker drops that stop, and so does the highlight.
    start = reading.begin(text, 10);
    EXPECT_TRUE(start.text.startsWith("."));
    EXPECT_EQ(text.mid(reading.next().start, 11), "Second one.");
}

TEST(ReadingController, VoiceTagsMoveTheHighlightOncePerPiece)
{
    // "[v:2]" splits the first sentence into two spoken pieces; the highlight moves for
    // each, so it runs one sentence ahead of the voice from then on.
    const QString text = "Hello [v:2]world. Second. Third.";
    EXPECT_EQ(highlights(text, 0, 3), (QStringList{"Hello [v:2]world.", "Second.", "Third."}));
}

// Books in other encodings than UTF-8 and Windows-1252 are shown as written and are never
// taken for binary files; an RTF file may carry binary pictures and is still a document.
TEST(DocumentLoader, BooksInOtherEncodingsAreShownAndNotRefused)
{
    ScopedProgramHome home;
    writeBytes(home.file("latin3.txt"),
               "Character set encoding: ISO-8859-3\r\n\r\nLa Karavano: anka\xFD \xE6iuj.\r\n");
    writeBytes(home.file("cyrillic.htm"), "<html><head><meta http-equiv=\"Content-Type\" "
                                          "content=\"text/html; charset=koi8-r\"></head>"
                                          "<body><p>\xED\xC9\xD2.</p></body></html>");
    const QString utf16 = QString::fromUtf8("Čapek: “R.U.R.”\r\n");
    writeBytes(home.file("utf16.txt"),
               "\xFF\xFE" +
                   QByteArray(reinterpret_cast<const char*>(utf16.utf16()), utf16.size() * 2));
    writeBytes(home.file("picture.rtf"),
               "{\\rtf1\\ansi Text {\\pict\\bin4 " + QByteArray(4, '\0') + "} more.\\par}");
    for (const QString name : {"latin3.txt", "cyrillic.htm", "utf16.txt", "picture.rtf"})
        EXPECT_EQ(cDocumentLoader::refusal(home.file(name)), cDocumentLoader::Refusal::None)
            << name.toStdString();
    EXPECT_TRUE(shown(home.file("latin3.txt")).endsWith(QString::fromUtf8("ankaŭ ĉiuj.\n")));
    EXPECT_EQ(shown(home.file("cyrillic.htm")).trimmed(), QString::fromUtf8("Мир."));
    EXPECT_EQ(shown(home.file("utf16.txt")), QString::fromUtf8("Čapek: “R.U.R.”\n"));
}
