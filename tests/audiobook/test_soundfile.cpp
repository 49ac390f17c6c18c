#include "platform/voice/soundfilewriter.h"
#include "platform/voice/wavwriter.h"
#include "soundcheck.h"
#include "testsupport.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// Seconds of a tone, so that every encoder has something to keep.
std::vector<int16_t> tone(double seconds)
{
    std::vector<int16_t> samples(size_t(seconds * cSoundFileWriter::InputRate));
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = int16_t(8000 * std::sin(double(i) * 0.07));
    return samples;
}

} // namespace

TEST(SoundFiles, EveryFormatKeepsTheLengthAndTheTagsWrittenInPiecesOfAnySize)
{
    ScopedProgramHome home;
    const std::vector<int16_t> samples = tone(6.0);
    const cAudioTags tags{"Chapter One", "Ann Writer", "The Book", 7};
    for (const char* ext : {"wav", "mp3", "ogg", "opus", "flac"}) {
        SCOPED_TRACE(ext);
        const QString path = home.file(QStringLiteral("tone.") + ext);
        cWavWriter writer;
        writer.setTags(tags);
        ASSERT_TRUE(writer.open(path));
        // Pieces as the engine hands them over: uneven, some tiny.
        size_t at = 0;
        for (size_t step = 1; at < samples.size(); step = step * 3 % 5000 + 1) {
            const size_t n = std::min(step, samples.size() - at);
            ASSERT_TRUE(writer.append(samples.data() + at, qint64(n)));
            at += n;
        }
        EXPECT_EQ(writer.samplesWritten(), qint64(samples.size()));
        ASSERT_TRUE(writer.close());
        const SoundCheck check = SoundCheck::read(path);
        ASSERT_TRUE(check.valid);
        EXPECT_NEAR(check.seconds(), 6.0, 6.0 * 0.02);
        EXPECT_EQ(check.title, "Chapter One");
        EXPECT_EQ(check.artist, "Ann Writer");
        EXPECT_EQ(check.album, "The Book");
        EXPECT_EQ(check.track, "7");
    }
}

TEST(SoundFiles, TagsStayWithinTheWavLimitAndMp3TagsKeepEveryLetter)
{
    ScopedProgramHome home;
    const std::vector<int16_t> samples = tone(0.1);
    // The tags' chunk counts against the limit: the file never grows past it.
    cWavWriter small(44 + 1000);
    small.setTags({QString(200, u't'), QStringLiteral("Ann"), {}, 3});
    ASSERT_TRUE(small.open(home.file("small.wav")));
    EXPECT_TRUE(small.append(samples.data(), 100));
    EXPECT_FALSE(small.append(samples.data(), 400));
    EXPECT_TRUE(small.isFull());
    ASSERT_TRUE(small.close());
    EXPECT_LE(QFileInfo(home.file("small.wav")).size(), 44 + 1000);
    EXPECT_EQ(SoundCheck::read(home.file("small.wav")).frames, 100);

    // RIFF INFO text is read as Latin-1: "ä" stays, "ĉ" loses its accent, "€" cannot be.
    EXPECT_EQ(AudioFormats::latin1Tag(QString::fromUtf8("Ärger ĉapitro 5€")),
              QByteArray("\xC4rger capitro 5?"));
    // ID3 tags are UTF-16: nothing is lost.
    cSoundFileWriter mp3;
    ASSERT_TRUE(mp3.open(home.file("t.mp3"), AudioFormat::Mp3,
                         {QString::fromUtf8("Ärger ĉapitro 5€"), {}, {}, 0}));
    ASSERT_TRUE(mp3.write(samples.data(), qint64(samples.size())));
    ASSERT_TRUE(mp3.close());
    EXPECT_EQ(SoundCheck::read(home.file("t.mp3")).title, QString::fromUtf8("Ärger ĉapitro 5€"));

    QString why;
    cSoundFileWriter nowhere;
    EXPECT_FALSE(nowhere.open(home.file("no/such/folder/t.ogg"), AudioFormat::Ogg, {}, &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_FALSE(nowhere.write(samples.data(), 10));
    EXPECT_FALSE(nowhere.close());
}
