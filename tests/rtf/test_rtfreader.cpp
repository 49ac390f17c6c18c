#include "platform/rtf/rtfreader.h"

#include "testsupport.h"

#include <QElapsedTimer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <gtest/gtest.h>

namespace {

QString dataFile(const QString& name)
{
    // ctest may not pass the variable on; the folder is known at build time too.
    const QString dir = qEnvironmentVariable("PARLO_TEST_DATA", QStringLiteral(TEST_DATA_DIR));
    return dir + '/' + name;
}

QString shown(const QByteArray& rtf)
{
    return RtfReader::plainText(rtf);
}

// The character format at the first occurrence of needle in the document.
QTextCharFormat formatOf(QTextDocument& doc, const QString& needle)
{
    const QTextCursor found = doc.find(needle);
    EXPECT_FALSE(found.isNull()) << qPrintable(needle);
    QTextCursor at(&doc);
    at.setPosition(found.selectionStart() + 1);
    return at.charFormat();
}

} // namespace

TEST(RtfReader, DocumentsOfTheUsualWritersMatchTheirGoldenText)
{
    for (const char* name : {"wordpad", "word", "libreoffice", "cocoa"}) {
        const QByteArray rtf = readBytes(dataFile(QLatin1StringView(name) + ".rtf"));
        const QString expected =
            QString::fromUtf8(readBytes(dataFile(QLatin1StringView(name) + ".expected.txt")));
        QTextDocument doc;
        EXPECT_TRUE(RtfReader::read(rtf, &doc)) << name;
        EXPECT_EQ(doc.toPlainText(), expected) << name;
        EXPECT_EQ(doc.toPlainText().size() + 1, doc.characterCount()) << name;
    }
}

TEST(RtfReader, WhatTheGoldenTextsStandFor)
{
    const QString wordpad = shown(readBytes(dataFile("wordpad.rtf")));
    EXPECT_TRUE(wordpad.contains(QStringLiteral("Novemb\u00E9r; the keeper\u2019s lamp")));
    EXPECT_TRUE(wordpad.contains(QStringLiteral("\u2022\tFirst item\n")));
    EXPECT_TRUE(wordpad.contains(QStringLiteral("Price: 5\u20AC, caf\u00E9.")));

    const QString word = shown(readBytes(dataFile("word.rtf")));
    for (const char* hidden : {"Running head", "Normal", "A. Writer", "HYPERLINK", "Footnote",
                               "Harbour Notes\nHarbour", "89504e", "504b03", "Nowhere"})
        EXPECT_FALSE(word.contains(QLatin1StringView(hidden))) << hidden;
    EXPECT_TRUE(
        word.startsWith(QStringLiteral("Harbour Notes\nThe boats came in at dawn \u2013 all")));
    EXPECT_TRUE(word.contains(QStringLiteral("was late\u2026 struck\nour site\n")));
    EXPECT_TRUE(word.contains(QStringLiteral("\u041F\u0440\u0438\u0432\u0435\u0442")));
    EXPECT_TRUE(word.contains(QStringLiteral("Day\tDish\tPrice\nMonday\tFish\t4\u00A3\n"
                                             "Tuesday\t\t5\u00A3\nThe end.")));

    const QString office = shown(readBytes(dataFile("libreoffice.rtf")));
    EXPECT_TRUE(office.contains(
        QStringLiteral("\u201CGr\u00FC\u00DF Gott\u201D and left for \u6771\u4EAC.")));
    EXPECT_TRUE(office.contains(QStringLiteral("grey text\nsecond line.")));
    EXPECT_TRUE(office.contains(QString::fromUtf8("Last page: \xF0\x9F\x98\x80 smile.")));
    EXPECT_FALSE(office.contains(QLatin1StringView("Note.")));
    EXPECT_FALSE(office.contains(QLatin1StringView("Default Style")));

    EXPECT_EQ(shown(readBytes(dataFile("cocoa.rtf"))),
              QStringLiteral("Shopping\n\u2022 Bread\n\u2022 Cr\u00E8me fra\u00EEche\n"));
}

TEST(RtfReader, Formatting)
{
    QTextDocument doc;
    ASSERT_TRUE(RtfReader::read(
        QByteArray(
            "{\\rtf1\\ansi{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\froman Georgia;}}"
            "{\\colortbl;\\red255\\green0\\blue0;}"
            "\\f0\\fs20 plain {\\b bold} {\\i italic} {\\ul under}{\\ulnone  no} "
            "{\\strike gone} {\\f1\\fs36 big} {\\cf1 red} {\\super up} \\b thick\\b0  thin}"),
        &doc));
    EXPECT_EQ(doc.toPlainText(),
              QStringLiteral("plain bold italic under no gone big red up thick thin"));
    EXPECT_EQ(formatOf(doc, "plain").fontPointSize(), 10.0);
    EXPECT_EQ(formatOf(doc, "plain").fontFamilies().toStringList(), QStringList{"Arial"});
    EXPECT_EQ(formatOf(doc, "bold").fontWeight(), QFont::Bold);
    EXPECT_FALSE(formatOf(doc, "italic").fontWeight() == QFont::Bold);
    EXPECT_TRUE(formatOf(doc, "italic").fontItalic());
    EXPECT_TRUE(formatOf(doc, "under").fontUnderline());
    EXPECT_FALSE(formatOf(doc, " no").fontUnderline());
    EXPECT_TRUE(formatOf(doc, "gone").fontStrikeOut());
    EXPECT_EQ(formatOf(doc, "big").fontPointSize(), 18.0);
    EXPECT_EQ(formatOf(doc, "big").fontFamilies().toStringList(), QStringList{"Georgia"});
    EXPECT_EQ(formatOf(doc, "red").foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(formatOf(doc, "up").verticalAlignment(), QTextCharFormat::AlignSuperScript);
    EXPECT_EQ(formatOf(doc, "thick").fontWeight(), QFont::Bold);
    EXPECT_FALSE(formatOf(doc, "thin").fontWeight() == QFont::Bold);

    // A paragraph takes the properties in force at its \par.
    ASSERT_TRUE(RtfReader::read(QByteArray("{\\rtf1 \\qc a\\par b\\par\\pard\\qr c\\par "
                                           "{\\fs40 d}\\par\\pard e\\qj\\par\\pard f}"),
                                &doc));
    EXPECT_EQ(doc.toPlainText(), QStringLiteral("a\nb\nc\nd\ne\nf"));
    QList<Qt::Alignment> alignments;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next())
        alignments << block.blockFormat().alignment();
    EXPECT_EQ(alignments, (QList<Qt::Alignment>{Qt::AlignHCenter, Qt::AlignHCenter, Qt::AlignRight,
                                                Qt::AlignRight, Qt::AlignJustify, Qt::AlignLeft}));
    EXPECT_EQ(formatOf(doc, "d").fontPointSize(), 20.0);
    EXPECT_EQ(formatOf(doc, "e").fontPointSize(), 12.0);
}

TEST(RtfReader, CharactersAndCodePages)
{
    // \ucN: how many fallback characters follow each \uN, a \'hh counting as one.
    EXPECT_EQ(shown("{\\rtf1\\uc2 \\u27979\\'b2\\'e2\\u35797 xyz}"),
              QStringLiteral("\u6D4B\u8BD5z"));
    EXPECT_EQ(shown("{\\rtf1\\uc0 \\u233 x}"), QStringLiteral("\u00E9x"));
    EXPECT_EQ(shown("{\\rtf1 {\\uc3 \\u233}ab}"), QStringLiteral("\u00E9ab"));
    EXPECT_EQ(shown("{\\rtf1 \\u-3913?}"), QStringLiteral("\uF0B7"));
    // Double-byte code pages, per document and per font.
    EXPECT_EQ(shown("{\\rtf1\\ansi\\ansicpg936 \\'b2\\'e2\\'ca\\'d4}"),
              QStringLiteral("\u6D4B\u8BD5"));
    EXPECT_EQ(shown("{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset128 MS Mincho;}}\\f0 \\'82\\'a0}"),
              QStringLiteral("\u3042"));
    EXPECT_EQ(shown(readBytes(dataFile("cp1251.rtf"))),
              QStringLiteral("\u041C\u0438\u0440 caf\u00E9\n"));
    // Escapes, special characters, tabs and line breaks.
    EXPECT_EQ(shown("{\\rtf1 a\\{b\\}c\\\\d\\tab e\\~f\\-g\\_h\\emdash\\endash\\bullet}"),
              QStringLiteral("a{b}c\\d\te\u00A0f"
                             "g\u2011h\u2014\u2013\u2022")
                  .replace(QChar(0xA0), u' '));
    QTextDocument doc;
    RtfReader::read(QByteArray("{\\rtf1 one\\line two\\par three}"), &doc);
    EXPECT_EQ(doc.toPlainText(), QStringLiteral("one\ntwo\nthree"));
    EXPECT_EQ(doc.blockCount(), 2);
    // Control characters and QTextDocument's own structure marks are not text.
    EXPECT_EQ(shown("{\\rtf1\\uc0 a\\u0 b\\u8233 c\\u-10000 d\\u65532 e}"),
              QStringLiteral("ab\nc\uFFFDde"));
}

TEST(RtfReader, SkippedDestinationsAndBinaryData)
{
    EXPECT_EQ(shown("{\\rtf1{\\*\\unknown hidden {nested}}{\\pict\\bin6 {}}{}x}shown}"),
              QStringLiteral("shown"));
    EXPECT_EQ(shown("{\\rtf1 a\\bin3 {{{b}"), QStringLiteral("ab"));
    EXPECT_EQ(shown("{\\rtf1 {\\v hidden}visible}"), QStringLiteral("visible"));
    EXPECT_EQ(shown("{\\rtf1 {\\stylesheet{\\s1 Heading;}}{\\info{\\title T}}body}"),
              QStringLiteral("body"));
    EXPECT_EQ(shown("{\\rtf1 unknown \\foo42 words}"), QStringLiteral("unknown words"));
    EXPECT_EQ(shown("{\\rtf1 end} ignored after the document"), QStringLiteral("end"));
}

TEST(RtfReader, NonRtfIsShownAsPlainText)
{
    QTextDocument doc;
    EXPECT_FALSE(RtfReader::read(QByteArray("just text, caf\xE9"), &doc));
    EXPECT_EQ(doc.toPlainText(), QStringLiteral("just text, caf\u00E9"));
    EXPECT_FALSE(RtfReader::read(QByteArray(), &doc));
    EXPECT_TRUE(doc.isEmpty());
    EXPECT_FALSE(RtfReader::read(QByteArray("{\\rtf1 x}"), nullptr));
    EXPECT_TRUE(RtfReader::looksLikeRtf("\xEF\xBB\xBF \r\n{\\rtf1 x}"));
    EXPECT_TRUE(RtfReader::read(QByteArray("\xEF\xBB\xBF \r\n{\\rtf1 after a mark}"), &doc));
    EXPECT_EQ(doc.toPlainText(), QStringLiteral("after a mark"));
    // Text already read by the file loader comes back to the same bytes.
    EXPECT_TRUE(RtfReader::read(QStringLiteral("{\\rtf1 caf\u00E9 \\'e9}"), &doc));
    EXPECT_EQ(doc.toPlainText(), QStringLiteral("caf\u00E9 \u00E9"));
}

TEST(RtfReader, KeepsTheUndoSettingOfTheDocument)
{
    QTextDocument doc;
    doc.setUndoRedoEnabled(true);
    RtfReader::read(QByteArray("{\\rtf1 x}"), &doc);
    EXPECT_TRUE(doc.isUndoRedoEnabled());
    EXPECT_FALSE(doc.isUndoAvailable());
}

// Broken files show what they can and come back quickly.
TEST(RtfReader, BrokenInput)
{
    EXPECT_EQ(shown("{\\rtf1 unbalanced {\\b bold"), QStringLiteral("unbalanced bold"));
    EXPECT_EQ(shown("{\\rtf1 closes }} early"), QStringLiteral("closes "));
    EXPECT_EQ(shown("{\\rtf1 trunc\\'e"), QStringLiteral("trunce"));
    EXPECT_EQ(shown("{\\rtf1 trunc\\"), QStringLiteral("trunc"));
    EXPECT_EQ(shown("{\\rtf1 \\u"), QString());
    EXPECT_EQ(shown("{\\rtf1 \\'zz ok}"), QStringLiteral("zz ok"));
    EXPECT_EQ(shown("{\\rtf1 \\fs99999999999999999999 big\\u99999999999999999999 "
                    "x\\bin99999999999999999999 y}"),
              QStringLiteral("big\uFFFD"));
    EXPECT_EQ(shown("{\\rtf1 \\fs-5 neg\\f-3 \\cf-1 x\\uc-4 \\u65 y}"), QStringLiteral("negxAy"));
    EXPECT_EQ(shown("{\\rtf1 \\cell\\cell a\\row}"), QStringLiteral("\t\ta\n"));

    QElapsedTimer timer;
    timer.start();
    const int depth = 100000;
    QByteArray deep = "{\\rtf1 start ";
    deep += QByteArray(depth, '{') + "\\b middle" + QByteArray(depth, '}') + " end}";
    EXPECT_EQ(shown(deep), QStringLiteral("start middle end"));
    QByteArray unclosed = "{\\rtf1 a" + QByteArray(depth, '{') + "b";
    EXPECT_EQ(shown(unclosed), QStringLiteral("ab"));
    QByteArray skippedDeep =
        "{\\rtf1 {\\*\\x" + QByteArray(depth, '{') + QByteArray(depth, '}') + "}ok}";
    EXPECT_EQ(shown(skippedDeep), QStringLiteral("ok"));

    QByteArray junk = "{\\rtf1 ";
    quint32 seed = 12345;
    for (int i = 0; i < 200000; ++i) {
        seed = seed * 1103515245u + 12345u;
        junk.append(static_cast<char>(seed >> 24));
    }
    QTextDocument doc;
    RtfReader::read(junk, &doc);
    EXPECT_EQ(doc.toPlainText().size() + 1, doc.characterCount());
    EXPECT_LT(timer.elapsed(), 20000); // a hang, not a speed measurement
}
