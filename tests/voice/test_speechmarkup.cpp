#include "platform/voice/espeakvoice.h"
#include "platform/voice/speechmarkup.h"
#include "platform/voice/wavwriter.h"
#include "testsupport.h"
#include "voicetestsupport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QString engineString(const cEngineText& t)
{
    QString s;
    for (wchar_t c : t.text)
        s += QString::fromUcs4(reinterpret_cast<const char32_t*>(&c), 1);
    return s;
}

// Where the engine would report a word that starts at the n-th (0-based) character of
// its own text.
std::pair<int, int> wordAt(const cEngineText& t, const QString& engineWord)
{
    const int at = static_cast<int>(engineString(t).indexOf(engineWord));
    return t.originalWord(at + 1, static_cast<int>(engineWord.size()));
}

} // namespace

TEST(SpeechMarkup, LeadingPitchIsTakenOffAndPositionsStayInTheCallersText)
{
    const QString text = QStringLiteral("<pitch middle=\"-4\">  Hello world");
    const cEngineText t = toEngineText(text);
    EXPECT_EQ(t.pitch, -4);
    EXPECT_EQ(engineString(t), QStringLiteral("  Hello world"));
    EXPECT_EQ(wordAt(t, QStringLiteral("world")), std::make_pair(int(text.indexOf(u'w')), 5));

    EXPECT_EQ(toEngineText(QStringLiteral("<pitch middle=\"25\"> x")).pitch, 10);
    EXPECT_EQ(toEngineText(QStringLiteral("<pitch middle='-30'> x")).pitch, -10);
    // Only a leading element counts; later it is ordinary text.
    const cEngineText later = toEngineText(QStringLiteral("a <pitch middle=\"5\"> b"));
    EXPECT_EQ(later.pitch, 0);
    EXPECT_EQ(engineString(later), QStringLiteral("a &lt;pitch middle=\"5\"&gt; b"));
}

TEST(SpeechMarkup, EmphasisBecomesMarkupAndOtherAnglesAndAmpersandsAreText)
{
    const QString text = QStringLiteral("Say <emph>this</emph> & a<b > c");
    const cEngineText t = toEngineText(text);
    EXPECT_EQ(engineString(t), QStringLiteral("Say <emphasis>this</emphasis> &amp; a&lt;b &gt; c"));
    EXPECT_EQ(wordAt(t, QStringLiteral("this")), std::make_pair(int(text.indexOf("this")), 4));
    EXPECT_EQ(wordAt(t, QStringLiteral("c")), std::make_pair(int(text.size()) - 1, 1));
    // A word running over an escaped character keeps its length in the caller's text.
    EXPECT_EQ(wordAt(t, QStringLiteral("a&lt;b")), std::make_pair(int(text.indexOf("a<b")), 3));

    // Unbalanced tags never reach the engine unbalanced, and are never read out.
    EXPECT_EQ(engineString(toEngineText(QStringLiteral("x</emph> y"))), QStringLiteral("x y"));
    EXPECT_EQ(engineString(toEngineText(QStringLiteral("<EMPH>x"))),
              QStringLiteral("<emphasis>x</emphasis>"));
}

TEST(SpeechMarkup, CharactersOutsideTheBasicPlaneAndControlsMapBack)
{
    const QString text = QStringLiteral("a \U0001F600 b") + QChar(0) + QStringLiteral("c");
    const cEngineText t = toEngineText(text);
    ASSERT_EQ(t.text.size(), 7u); // the emoji is one character for the engine
    EXPECT_EQ(t.text[5], L' ');   // a NUL would end the engine's text
    EXPECT_EQ(t.originalWord(3, 1), std::make_pair(2, 2));
    EXPECT_EQ(t.originalWord(5, 1), std::make_pair(5, 1));
    EXPECT_EQ(t.originalWord(0, 1).first, -1);
    EXPECT_EQ(t.originalWord(99, 1).first, -1);
    // A length running past the end is cut at the end.
    EXPECT_EQ(t.originalWord(7, 5), std::make_pair(7, 1));
}

TEST(SpeechMarkup, TheRestOfATextKeepsItsEmphasisPitchAndPositions)
{
    const QString text = QStringLiteral("<pitch middle=\"3\"> One <emph>two three</emph> & four");
    const cEngineText t = toEngineText(text);
    const int three = static_cast<int>(text.indexOf(QStringLiteral("three")));

    const cEngineText rest = t.from(t.indexOf(three));
    EXPECT_EQ(engineString(rest), QStringLiteral("<emphasis>three</emphasis> &amp; four"));
    EXPECT_EQ(rest.pitch, 3);
    EXPECT_EQ(wordAt(rest, QStringLiteral("three")), std::make_pair(three, 5));
    EXPECT_EQ(wordAt(rest, QStringLiteral("four")),
              std::make_pair(int(text.indexOf(QStringLiteral("four"))), 4));
    // Cut again, the rest of the rest still opens what is open and maps back.
    const cEngineText again = rest.from(rest.indexOf(three));
    EXPECT_EQ(engineString(again), engineString(rest));

    // A cut inside an escape or a tag starts with it, never in the middle.
    const int amp = static_cast<int>(text.indexOf(u'&'));
    const int insideEscape = static_cast<int>(engineString(t).indexOf(QStringLiteral("&amp;"))) + 2;
    EXPECT_EQ(engineString(t.from(insideEscape)), QStringLiteral("&amp; four"));
    EXPECT_EQ(engineString(t.from(t.indexOf(amp))), QStringLiteral("&amp; four"));
    const int insideTag = static_cast<int>(engineString(t).indexOf(QStringLiteral("</emphasis>")));
    EXPECT_EQ(engineString(t.from(insideTag + 3)),
              QStringLiteral("<emphasis></emphasis> &amp; four"));
    // Past the end nothing is left to say.
    EXPECT_TRUE(t.from(t.indexOf(int(text.size()))).text.empty());
}

TEST(EngineRate, ZeroIsNormalAndTenStepsAreAboutThreeTimes)
{
    EXPECT_EQ(cEspeakVoice::engineRate(0), std::make_pair(175, 0));
    EXPECT_NEAR(cEspeakVoice::engineRate(10).first, 3 * 175, 5);
    EXPECT_EQ(cEspeakVoice::engineRate(10).second, 0);
    // Below the engine's slowest speed the gap between words grows instead.
    int previousWpm = 1000, previousGap = -1;
    for (int r = 10; r >= -10; --r) {
        const auto [wpm, gap] = cEspeakVoice::engineRate(r);
        EXPECT_GE(wpm, 80) << r;
        EXPECT_TRUE(wpm < previousWpm || gap > previousGap || (wpm == 80 && gap >= previousGap))
            << r;
        previousWpm = wpm;
        previousGap = gap;
    }
    EXPECT_GT(cEspeakVoice::engineRate(-10).second, 0);
}

TEST(WavWriter, HeaderSizesMatchTheSamplesAndTheFileIsReplaced)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.wav"));
    writeBytes(path, QByteArray(5000, 'x'));

    cWavWriter w;
    ASSERT_TRUE(w.open(path));
    std::vector<int16_t> samples(1001);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(i * 31 - 15000);
    w.append(samples.data(), 1000);
    w.append(samples.data() + 1000, 1);
    ASSERT_TRUE(w.close());
    w.append(samples.data(), 10); // after closing: goes nowhere
    EXPECT_FALSE(w.close());

    const WavFile wav = readWav(path);
    ASSERT_TRUE(wav.valid);
    EXPECT_EQ(wav.format, 1);
    EXPECT_EQ(wav.channels, 1);
    EXPECT_EQ(wav.sampleRate, 22050);
    EXPECT_EQ(wav.bits, 16);
    EXPECT_EQ(wav.dataSize, 2002u);
    EXPECT_EQ(wav.riffSize, 36u + 2002u);
    EXPECT_EQ(wav.fileSize, 44 + 2002);
    EXPECT_EQ(wav.samples, samples);
}

TEST(WavWriter, RefusesAFileThatCannotBeCreated)
{
    QTemporaryDir dir;
    cWavWriter w;
    EXPECT_FALSE(w.open(dir.filePath(QStringLiteral("missing/folder/out.wav"))));
    EXPECT_FALSE(w.isOpen());
    EXPECT_FALSE(w.close());
}

TEST(WavWriter, RefusesSpeechBeyondItsLimitAndStaysFullUntilReopened)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.wav"));
    const std::vector<int16_t> samples(400, 1234);
    cWavWriter w(44 + 1000);
    ASSERT_TRUE(w.open(path));
    EXPECT_TRUE(w.append(samples.data(), 400));
    EXPECT_FALSE(w.isFull());
    // 800 + 400 bytes would pass the limit: refused whole, and so is all that follows,
    // even what would still fit.
    EXPECT_FALSE(w.append(samples.data(), 200));
    EXPECT_TRUE(w.isFull());
    EXPECT_FALSE(w.append(samples.data(), 10));
    ASSERT_TRUE(w.close());
    const WavFile wav = readWav(path);
    ASSERT_TRUE(wav.valid);
    EXPECT_EQ(wav.dataSize, 800u);
    EXPECT_EQ(wav.riffSize, 36u + 800u);
    EXPECT_EQ(wav.fileSize, 44 + 800);

    // Exactly up to the limit is fine; a new file starts empty and not full.
    ASSERT_TRUE(w.open(path));
    EXPECT_FALSE(w.isFull());
    EXPECT_TRUE(w.append(samples.data(), 400));
    EXPECT_TRUE(w.append(samples.data(), 100));
    EXPECT_FALSE(w.isFull());
    EXPECT_FALSE(w.append(samples.data(), 1));
    EXPECT_TRUE(w.isFull());
    ASSERT_TRUE(w.close());
    EXPECT_EQ(readWav(path).fileSize, 44 + 1000);
}

TEST(WavWriter, ByDefaultAFileGrowsAsFarAsItsSizesCanSay)
{
    // The sizes in the header are 32-bit, and RIFF counts 36 bytes more than the data.
    EXPECT_LE(cWavWriter::RiffLimit - 44 + 36, qint64(0xFFFFFFFF));
    EXPECT_GT(cWavWriter::RiffLimit, qint64(0xFFFF0000));
    EXPECT_EQ(cWavWriter().maxFileBytes(), cWavWriter::RiffLimit);
    EXPECT_EQ(cWavWriter(cWavWriter::RiffLimit * 2).maxFileBytes(), cWavWriter::RiffLimit);
}
