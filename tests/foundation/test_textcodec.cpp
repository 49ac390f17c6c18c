#include "platform/textcodec.h"

#include <gtest/gtest.h>

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
