#include "platform/textcodec.h"

#include <QList>

#include <gtest/gtest.h>

#include <utility>

TEST(TextCodec, DecodesUtf8AndDropsByteOrderMark)
{
    EXPECT_EQ(TextCodec::decode("caf\xC3\xA9"), QString::fromUtf8("café"));
    EXPECT_EQ(TextCodec::decode("\xEF\xBB\xBFHello"), QStringLiteral("Hello"));
    EXPECT_EQ(TextCodec::decode(QByteArray()), QString());
}

TEST(TextCodec, FallsBackToWindows1252ForInvalidUtf8)
{
    // A Latin-1 book: é as one byte, and the Windows-only curly quotes and em dash.
    const QByteArray latin("caf\xE9 \x93quoted\x94 \x97 \x80");
    EXPECT_EQ(TextCodec::decode(latin), QString::fromUtf8("café “quoted” — €"));
    // The undefined codes keep their own value, as Windows does.
    EXPECT_EQ(TextCodec::decode("\x81\x8D\x8F\x90\x9D\xFF"),
              QString::fromUtf16(u"\u0081\u008D\u008F\u0090\u009D\u00FF"));
}

TEST(TextCodec, Windows1252CodesRoundTrip)
{
    for (int code = 0; code < 256; ++code)
        EXPECT_EQ(TextCodec::win1252Code(TextCodec::fromWin1252(code)), code) << code;
    EXPECT_EQ(TextCodec::win1252Code(QChar(0x2014)), 0x97);
    EXPECT_EQ(TextCodec::win1252Code(QChar(0x0100)), -1);
    EXPECT_EQ(TextCodec::win1252Code(QChar(0x0080)), -1);
}

TEST(TextCodec, EncodesUtf8)
{
    EXPECT_EQ(TextCodec::encode(QString::fromUtf8("ÿ—")), QByteArray("\xC3\xBF\xE2\x80\x94"));
}

TEST(TextCodec, ByteOrderMarkIsDroppedBeforeTheFallback)
{
    EXPECT_EQ(TextCodec::decode("\xEF\xBB\xBF"
                                "caf\xE9"),
              QString::fromUtf8("café"));
    const QString settings = TextCodec::decode("\xEF\xBB\xBF"
                                               "Voice=2\r\nPath=/home/b\xF6rje/\r\n");
    EXPECT_TRUE(settings.startsWith("Voice=2\r\n"));
    EXPECT_TRUE(settings.endsWith(QString::fromUtf8("/home/börje/\r\n")));
}

TEST(TextCodec, TextThatIsNotUtf8IsReadInTheEncodingItDeclares)
{
    const QByteArray esperanto = "anka\xFD \xE6iuj";
    const QString expected = QString::fromUtf8("ankaŭ ĉiuj");
    EXPECT_EQ(
        TextCodec::decode("Title: La Karavano\r\n\r\nCharacter set encoding: ISO-8859-3\r\n\r\n" +
                          esperanto),
        "Title: La Karavano\r\n\r\nCharacter set encoding: ISO-8859-3\r\n\r\n" + expected);
    EXPECT_TRUE(
        TextCodec::decode("<html><head><meta charset=\"iso-8859-3\"></head><body>" + esperanto)
            .endsWith(expected));
    EXPECT_TRUE(TextCodec::decode("<HTML><HEAD><META HTTP-EQUIV=\"Content-Type\" "
                                  "CONTENT=\"text/html; charset=windows-1251\"></HEAD>\xCC\xE8\xF0")
                    .endsWith(QString::fromUtf8("Мир")));
    EXPECT_TRUE(
        TextCodec::decode("<?xml version=\"1.0\" encoding='ISO-8859-2'?>\n<p>\xB3\xF3\x64\xBC")
            .endsWith(QString::fromUtf8("łódź")));
    EXPECT_EQ(TextCodec::declaredEncoding("<meta charset=latin3>"), "latin3");

    // Latin-1 and ASCII labels mean Windows-1252, as browsers take them, and so does what
    // is no declaration: a name the codecs do not know, or the words in running text.
    EXPECT_TRUE(TextCodec::decode("Character set encoding: ISO-8859-1\n\x93Hi\x94")
                    .endsWith(QString::fromUtf8("“Hi”")));
    EXPECT_TRUE(TextCodec::decode("Character set encoding: NO-SUCH-SET\n\xE6")
                    .endsWith(QString::fromUtf8("æ")));
    EXPECT_TRUE(TextCodec::decode("It said Character set encoding: ISO-8859-3\n\xE6")
                    .endsWith(QString::fromUtf8("æ")));
    // Valid UTF-8 is UTF-8, whatever it declares.
    EXPECT_EQ(TextCodec::decode("<meta charset=\"iso-8859-3\">\xC4\x89"),
              QString::fromUtf8("<meta charset=\"iso-8859-3\">ĉ"));
}

TEST(TextCodec, Utf16AndUtf32AreRead)
{
    const QString text = QString::fromUtf8("Čapek — “R.U.R.”\r\nA play.\r\n");
    QByteArray le(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    QByteArray be = le;
    for (qsizetype i = 0; i + 1 < be.size(); i += 2)
        std::swap(be[i], be[i + 1]);
    EXPECT_EQ(TextCodec::decode("\xFF\xFE" + le), text);
    EXPECT_EQ(TextCodec::decode("\xFE\xFF" + be), text);
    EXPECT_EQ(TextCodec::decode(le), text);
    EXPECT_EQ(TextCodec::decode(be), text);
    const QList<uint> ucs4 = text.toUcs4();
    QByteArray utf32("\xFF\xFE\0\0", 4);
    for (uint c : ucs4)
        utf32.append(reinterpret_cast<const char*>(&c), 4);
    EXPECT_EQ(TextCodec::decode(utf32), text);
    // A few zero bytes in a short file are no sign of UTF-16.
    EXPECT_TRUE(TextCodec::decode(QByteArray("ELF\0\1<tag\0>Hi.\xFF", 15)).startsWith("ELF"));
}

TEST(TextCodec, BinaryFilesAreNotText)
{
    const QByteArray png("\x89PNG\r\n\x1A\n\0\0\0\rIHDR\0\0\0\x10\0\0\0\x10\x08\x06\0\0\0", 33);
    const QByteArray elf("\x7F"
                         "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x02\0\x3E\0",
                         20);
    QByteArray controls;
    for (int i = 0; i < 400; ++i)
        controls += i % 8 == 0 ? QByteArray("\x01\x02\x03") : QByteArray("abc");
    EXPECT_FALSE(TextCodec::looksLikeText(png));
    EXPECT_FALSE(TextCodec::looksLikeText(elf));
    EXPECT_FALSE(TextCodec::looksLikeText("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n1 0 obj\n<< >>\nendobj\n"));
    EXPECT_FALSE(TextCodec::looksLikeText(controls));
    // A zero byte after the part that is judged does not count.
    EXPECT_TRUE(TextCodec::looksLikeText(QByteArray(9000, 'a') + QByteArray(1, '\0')));

    const QString book = QString::fromUtf8("Chapter 1\r\n\fIt was a “dark” night — ĉiuj.\r\n\x1A");
    QByteArray le(reinterpret_cast<const char*>(book.utf16()), book.size() * 2);
    EXPECT_TRUE(TextCodec::looksLikeText(book.toUtf8()));
    EXPECT_TRUE(TextCodec::looksLikeText("\xEF\xBB\xBF" + book.toUtf8()));
    EXPECT_TRUE(TextCodec::looksLikeText("It was a \x93"
                                         "dark\x94 night.\r\n"));
    EXPECT_TRUE(TextCodec::looksLikeText("\xFF\xFE" + le));
    EXPECT_TRUE(TextCodec::looksLikeText(le));
    EXPECT_TRUE(TextCodec::looksLikeText(QByteArray()));
}
