#include "platform/voice/espeakvoice.h"
#include "voicetestsupport.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <set>

namespace {

const QString Paragraph = QStringLiteral(
    "The quick brown fox jumps over the lazy dog. It was a fine day for a walk in the park, "
    "and the children played near the old stone bridge until the sun went down.");

// Speaks text into a new WAV file and waits for its end.
WavFile speakToWav(cEspeakVoice& voice, const QString& path, const QString& text)
{
    VoiceLog log(voice);
    EXPECT_TRUE(voice.openWavFile(path));
    const int stream = voice.speak(text, cSpeechVoice::Async);
    EXPECT_TRUE(waitUntil([&] { return log.ended(stream); }, 60000));
    EXPECT_TRUE(voice.closeWavFile());
    return readWav(path);
}

double referenceSeconds(const QString& dir, const QString& text)
{
    const QString path = dir + QStringLiteral("/reference.wav");
    QProcess::execute(QStringLiteral("espeak-ng"), {QStringLiteral("-v"), QStringLiteral("en-us"),
                                                    QStringLiteral("-w"), path, text});
    return readWav(path).seconds();
}

} // namespace

TEST(EspeakVoice, ListsTheUsersLanguageFirstThenEveryOtherVoiceOnce)
{
    auto english = englishVoice();
    ASSERT_TRUE(english);
    const QStringList voices = english->voiceDescriptions();
    ASSERT_GT(voices.size(), 50);
    EXPECT_EQ(voices.first(), QStringLiteral("English (America)"));
    EXPECT_LT(voices.indexOf(QStringLiteral("English (Great Britain)")), 12);
    EXPECT_GT(voices.indexOf(QStringLiteral("Afrikaans")), voices.indexOf("English (Caribbean)"));
    EXPECT_EQ(std::set<QString>(voices.begin(), voices.end()).size(), size_t(voices.size()));
    for (const QString& v : voices)
        EXPECT_FALSE(v.contains(u'_') || v.contains(QStringLiteral("mbrola"))) << v.toStdString();

    Failure failure;
    auto german = cEspeakVoice::create(failure, QStringLiteral("de-de"));
    ASSERT_TRUE(german);
    EXPECT_EQ(german->voiceDescriptions().first(), QStringLiteral("German"));
    EXPECT_EQ(german->voiceDescriptions().size(), voices.size());
    // A language the engine does not know falls back to English.
    auto unknown = cEspeakVoice::create(failure, QStringLiteral("xx-yy"));
    ASSERT_TRUE(unknown);
    EXPECT_TRUE(unknown->voiceDescriptions().first().startsWith(QStringLiteral("English")));
}

TEST(EspeakVoice, RefusesVoicesAndRatesOutOfRange)
{
    auto voice = englishVoice();
    ASSERT_TRUE(voice);
    EXPECT_TRUE(voice->selectVoice(2));
    EXPECT_FALSE(voice->selectVoice(-1));
    EXPECT_FALSE(voice->selectVoice(int(voice->voiceDescriptions().size())));
    EXPECT_EQ(voice->currentVoice(), 2);

    EXPECT_TRUE(voice->setRate(10));
    EXPECT_FALSE(voice->setRate(11));
    EXPECT_EQ(voice->rate(), 10);
    EXPECT_TRUE(voice->setRate(-10));
    EXPECT_FALSE(voice->setRate(-11));
    EXPECT_EQ(voice->rate(), -10);
}

TEST(EspeakVoice, MissingEngineDataGives23458)
{
    QTemporaryDir empty;
    const QByteArray previous = qgetenv("ESPEAK_DATA_PATH");
    qputenv("ESPEAK_DATA_PATH", empty.path().toLocal8Bit());
    Failure failure;
    auto voice = cEspeakVoice::create(failure);
    if (previous.isNull())
        qunsetenv("ESPEAK_DATA_PATH");
    else
        qputenv("ESPEAK_DATA_PATH", previous);
    EXPECT_FALSE(voice);
    EXPECT_EQ(failure.number, 23458);
    EXPECT_EQ(failure.source, QStringLiteral("InitEngine"));
}

TEST(EspeakVoiceWav, WritesAValidFileAsLongAsTheEnginesOwn)
{
    auto voice = englishVoice();
    ASSERT_TRUE(voice);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("speech.wav"));
    const WavFile wav = speakToWav(*voice, path, Paragraph);
    ASSERT_TRUE(wav.valid);
    EXPECT_EQ(wav.format, 1);
    EXPECT_EQ(wav.channels, 1);
    EXPECT_EQ(wav.sampleRate, 22050);
    EXPECT_EQ(wav.bits, 16);
    EXPECT_EQ(wav.dataSize, wav.samples.size() * 2);
    EXPECT_EQ(wav.riffSize, 36 + wav.dataSize);
    EXPECT_EQ(wav.fileSize, 44 + qint64(wav.dataSize));
    EXPECT_GT(rms(wav.samples), 500.0);

    const double reference = referenceSeconds(dir.path(), Paragraph);
    ASSERT_GT(reference, 3.0);
    EXPECT_NEAR(wav.seconds(), reference, reference * 0.10);

    // sox reads the file the same way.
    QProcess sox;
    sox.start(QStringLiteral("sox"), {QStringLiteral("--i"), path});
    ASSERT_TRUE(sox.waitForFinished(10000));
    const QString info = QString::fromLocal8Bit(sox.readAllStandardOutput());
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Channels\\s*:\\s*1\\n"))))
        << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Sample Rate\\s*:\\s*22050"))));
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Precision\\s*:\\s*16-bit"))));
    EXPECT_EQ(sox.exitCode(), 0);
}

TEST(EspeakVoiceWav, ReportsWordsInTheCallersTextAndOneEndPerCallInOrder)
{
    auto voice = englishVoice();
    ASSERT_TRUE(voice);
    QTemporaryDir dir;
    ASSERT_TRUE(voice->openWavFile(dir.filePath(QStringLiteral("words.wav"))));
    VoiceLog log(*voice);
    const QStringList texts = {
        QStringLiteral("<pitch middle=\"3\">  Hello <emph>brave</emph> new world."),
        QString(),
        QStringLiteral("Cats & dogs < birds."),
    };
    std::vector<int> streams;
    for (const QString& t : texts)
        streams.push_back(voice->speak(t, cSpeechVoice::Async));
    EXPECT_EQ(streams, (std::vector<int>{1, 2, 3}));
    ASSERT_TRUE(waitUntil([&] { return log.ended(3); }, 30000));
    EXPECT_EQ(log.ends(), streams);

    QStringList words;
    int lastEnded = 0;
    for (const auto& e : log.entries) {
        if (e.kind == VoiceLog::Entry::End) {
            lastEnded = e.stream;
            continue;
        }
        EXPECT_GT(e.stream, lastEnded) << "an event after its stream ended";
        if (e.kind == VoiceLog::Entry::Word)
            words << texts[e.stream - 1].mid(e.position, e.length);
    }
    EXPECT_EQ(words.mid(0, 4), (QStringList{"Hello", "brave", "new", "world"}));
    EXPECT_TRUE(words.contains(QStringLiteral("Cats")));
    EXPECT_TRUE(words.contains(QStringLiteral("birds")));
    for (const QString& w : words)
        EXPECT_FALSE(w.contains(u'<') && w.size() > 1) << w.toStdString();
    EXPECT_TRUE(log.started(1));
    EXPECT_FALSE(log.started(2)); // nothing to hear
    EXPECT_TRUE(voice->closeWavFile());
    EXPECT_FALSE(voice->closeWavFile());
}

TEST(EspeakVoiceWav, RateAndPitchAudiblyChangeTheSpeech)
{
    auto voice = englishVoice();
    ASSERT_TRUE(voice);
    QTemporaryDir dir;
    auto spoken = [&](int rate, int pitch, const char* name) {
        EXPECT_TRUE(voice->setRate(rate));
        return speakToWav(*voice, dir.filePath(QString::fromLatin1(name)),
                          QStringLiteral("<pitch middle=\"%1\"> ").arg(pitch) + Paragraph);
    };
    const WavFile normal = spoken(0, 0, "normal.wav");
    const WavFile fast = spoken(10, 0, "fast.wav");
    const WavFile slow = spoken(-10, 0, "slow.wav");
    const WavFile high = spoken(0, 10, "high.wav");
    const WavFile low = spoken(0, -10, "low.wav");

    ASSERT_GT(normal.seconds(), 3.0);
    EXPECT_NEAR(fast.seconds() / normal.seconds(), 1.0 / 3, 0.08);
    EXPECT_NEAR(slow.seconds() / normal.seconds(), 3.0, 0.5);

    const double highHz = medianPitchHz(high.samples, 22050);
    const double lowHz = medianPitchHz(low.samples, 22050);
    const double normalHz = medianPitchHz(normal.samples, 22050);
    EXPECT_GT(highHz, normalHz * 1.15);
    EXPECT_LT(lowHz, normalHz / 1.15);
    // Pitch is not speed.
    EXPECT_NEAR(high.seconds(), normal.seconds(), normal.seconds() * 0.1);
}

TEST(EspeakVoiceWav, PurgeDropsQueuedSpeechAndItsEvents)
{
    auto voice = englishVoice();
    ASSERT_TRUE(voice);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("purged.wav"));
    ASSERT_TRUE(voice->openWavFile(path));
    VoiceLog log(*voice);
    QString book;
    for (int i = 0; i < 40; ++i)
        book += Paragraph + u' ';
    const int first = voice->speak(book, cSpeechVoice::Async);
    const int second = voice->speak(Paragraph, cSpeechVoice::Async);
    ASSERT_TRUE(waitUntil([&] { return log.words(first) > 3; }, 30000));

    EXPECT_EQ(voice->speak(QString(), cSpeechVoice::Async | cSpeechVoice::PurgeBeforeSpeak), 0);
    const size_t eventsAtPurge = log.entries.size();
    const int third = voice->speak(QStringLiteral("Done."), cSpeechVoice::Async);
    ASSERT_TRUE(waitUntil([&] { return log.ended(third); }, 30000));
    waitUntil([] { return false; }, 300);
    EXPECT_FALSE(log.ended(first));
    EXPECT_FALSE(log.ended(second));
    for (size_t i = eventsAtPurge; i < log.entries.size(); ++i)
        EXPECT_EQ(log.entries[i].stream, third);

    ASSERT_TRUE(voice->closeWavFile());
    const WavFile wav = readWav(path);
    ASSERT_TRUE(wav.valid);
    EXPECT_EQ(wav.dataSize, wav.samples.size() * 2);
    EXPECT_LT(wav.seconds(), 120.0); // far less than the whole book
}

TEST(EspeakVoiceWav, ClosingReturnsSpeechToTheAudioOutput)
{
    auto voice = englishVoice();
    ASSERT_TRUE(voice);
    QTemporaryDir dir;
    EXPECT_FALSE(voice->openWavFile(dir.filePath(QStringLiteral("no/such/dir/x.wav"))));
    EXPECT_FALSE(voice->wavFileOpen());
    const QString path = dir.filePath(QStringLiteral("short.wav"));
    const WavFile wav = speakToWav(*voice, path, QStringLiteral("One."));
    EXPECT_FALSE(voice->wavFileOpen());

    VoiceLog log(*voice);
    const int stream = voice->speak(QStringLiteral("Two."), cSpeechVoice::Async);
    ASSERT_TRUE(waitUntil([&] { return log.ended(stream); }, 30000));
    EXPECT_EQ(readWav(path).samples.size(), wav.samples.size());
    EXPECT_GT(voice->playedSamples(), 22050 / 4);
}

TEST(EspeakVoiceWav, SynchronousSpeakReturnsAfterItsEnd)
{
    auto voice = englishVoice();
    ASSERT_TRUE(voice);
    QTemporaryDir dir;
    ASSERT_TRUE(voice->openWavFile(dir.filePath(QStringLiteral("sync.wav"))));
    VoiceLog log(*voice);
    const int stream = voice->speak(QStringLiteral("Wait for me."), 0);
    EXPECT_TRUE(log.ended(stream));
    EXPECT_GT(log.words(stream), 0);
}

TEST(EspeakVoiceWav, TwoVoicesShareTheEngine)
{
    auto reader = englishVoice();
    auto editor = englishVoice();
    ASSERT_TRUE(reader && editor);
    QTemporaryDir dir;
    ASSERT_TRUE(reader->openWavFile(dir.filePath(QStringLiteral("a.wav"))));
    ASSERT_TRUE(editor->openWavFile(dir.filePath(QStringLiteral("b.wav"))));
    ASSERT_TRUE(editor->selectVoice(1));
    VoiceLog readerLog(*reader), editorLog(*editor);
    const int r = reader->speak(Paragraph, cSpeechVoice::Async);
    const int e = editor->speak(QStringLiteral("Tomato."), cSpeechVoice::Async);
    ASSERT_TRUE(waitUntil([&] { return readerLog.ended(r) && editorLog.ended(e); }, 60000));
    EXPECT_EQ(readerLog.ends(), std::vector<int>{r});
    EXPECT_EQ(editorLog.ends(), std::vector<int>{e});
    reader->closeWavFile();
    editor->closeWavFile();
    const double reference = referenceSeconds(dir.path(), Paragraph);
    EXPECT_NEAR(readWav(dir.filePath(QStringLiteral("a.wav"))).seconds(), reference,
                reference * 0.1);
}

TEST(EspeakVoiceWav, AVariantIsSpokenWithItsVoiceAndTheVoicesOwnSoundComesBack)
{
    auto voice = englishVoice();
    ASSERT_TRUE(voice);
    Failure failure;
    cEspeakEngine* engine = cEspeakEngine::instance(failure);
    ASSERT_TRUE(engine);
    // The female and male variants espeak-ng ships, by their file names.
    QStringList keys;
    for (const cVoiceVariant& v : voice->variants())
        keys << v.key;
    for (const char* key : {"f1", "f2", "f3", "f4", "f5", "m1", "m2", "m3", "m7", "whisper"})
        EXPECT_TRUE(keys.contains(QString::fromLatin1(key))) << key;
    EXPECT_FALSE(voice->selectVariant(QStringLiteral("no-such-variant")));
    EXPECT_EQ(voice->currentVariant(), QString());

    QTemporaryDir dir;
    const QString language = voice->voiceLanguage();
    const WavFile own = speakToWav(*voice, dir.filePath("own.wav"), Paragraph);
    EXPECT_FALSE(engine->currentVoiceIdentifier().contains('+'));
    ASSERT_TRUE(voice->selectVariant(QStringLiteral("f3")));
    const WavFile female = speakToWav(*voice, dir.filePath("female.wav"), Paragraph);
    // espeak-ng was given the voice with the variant, and it sounds higher.
    EXPECT_TRUE(engine->currentVoiceIdentifier().endsWith("+f3"))
        << engine->currentVoiceIdentifier().constData();
    const double ownHz = medianPitchHz(own.samples, 22050);
    EXPECT_GT(medianPitchHz(female.samples, 22050), ownHz * 1.3);
    // The language stays the voice's.
    EXPECT_EQ(voice->voiceLanguage(), language);

    ASSERT_TRUE(voice->selectVariant(QString()));
    const WavFile again = speakToWav(*voice, dir.filePath("again.wav"), Paragraph);
    EXPECT_FALSE(engine->currentVoiceIdentifier().contains('+'));
    EXPECT_NEAR(medianPitchHz(again.samples, 22050), ownHz, ownHz * 0.05);
}

TEST(EspeakVoice, VoiceSpecsStayWithinWhatTheEngineReads)
{
    cEspeakVoiceInfo voice{QByteArrayLiteral("English (America)"), QByteArrayLiteral("gmw/en-US"),
                           QStringLiteral("English (America)")};
    EXPECT_EQ(cEspeakEngine::voiceSpec(voice, QString()), "English (America)");
    EXPECT_EQ(cEspeakEngine::voiceSpec(voice, QStringLiteral("m3")), "English (America)+m3");
    // espeak-ng cuts a longer name at 59 bytes, and with it the variant.
    voice.name = QByteArray(50, 'x');
    EXPECT_EQ(cEspeakEngine::voiceSpec(voice, QStringLiteral("Mr serious")),
              "gmw/en-US+Mr serious");
}
