#include "epubwriter.h"
#include "testsupport.h"
#include "wavinfo.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace {

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs parlo without any display, with its program folder in home.
Outcome parlo(const ScopedProgramHome& home, const QStringList& arguments,
              const QStringList& settings = {})
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("PARLO_HOME"), home.path());
    for (const QString& setting : settings)
        env.insert(setting.section('=', 0, 0), setting.section('=', 1));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(home.path());
    process.start(QStringLiteral(PARLO_BINARY), arguments);
    Outcome run;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

class ParloCli : public ::testing::Test {
protected:
    QString write(const QString& name, const QByteArray& text)
    {
        writeBytes(home.file(name), text);
        return home.file(name);
    }
    // Reads text into a WAV file; the file's bytes, empty when parlo failed.
    QByteArray wavOf(const QByteArray& text, const QStringList& options = {})
    {
        return wavOfFile("in.txt", text, options);
    }
    QByteArray wavOfFile(const QString& name, const QByteArray& text,
                         const QStringList& options = {})
    {
        const QString in = write(name, text);
        const QString out = home.file("out.wav");
        QFile::remove(out);
        const Outcome run = parlo(home, options + QStringList{"--wav", out, in});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(run.err, "");
        return readBytes(out);
    }
    // A failed run: non-zero, one line on stderr naming the problem, no output file.
    void expectRefused(const QStringList& arguments, const QString& named)
    {
        const Outcome run = parlo(home, arguments);
        EXPECT_NE(run.exitCode, 0);
        EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(named)) << run.err.toStdString();
        EXPECT_FALSE(QFile::exists(home.file("out.wav")));
    }

    ScopedProgramHome home;
};

const QByteArray kText = "The garden was quiet in the evening. A bird sang on the old wall! "
                         "Did anyone hear it?\r\nNobody answered.";

} // namespace

TEST_F(ParloCli, ListsNumberedVoices)
{
    const Outcome run = parlo(home, {"--list-voices"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 2);
    const QRegularExpression line(QStringLiteral("^ *(\\d+)  \\S.*$"));
    for (int i = 0; i < lines.size(); ++i) {
        const auto match = line.match(lines[i]);
        ASSERT_TRUE(match.hasMatch()) << lines[i].toStdString();
        EXPECT_EQ(match.captured(1).toInt(), i + 1);
    }
}

TEST_F(ParloCli, ReadsTheWholeFileIntoAWav)
{
    const WavInfo wav = WavInfo::read(wavOf(kText));
    ASSERT_TRUE(wav.valid);
    EXPECT_EQ(wav.sampleRate, 22050);
    EXPECT_EQ(wav.bits, 16);
    EXPECT_EQ(wav.channels, 1);
    EXPECT_TRUE(wav.sizesAgree);
    EXPECT_GT(wav.peak, 1000);

    // The engine alone on the same text: our sentence-by-sentence reading must not lose
    // or add any noticeable part of it.
    const QString reference = home.file("reference.wav");
    ASSERT_EQ(QProcess::execute("espeak-ng", {"-w", reference, "-f", home.file("in.txt")}), 0);
    const WavInfo engine = WavInfo::read(readBytes(reference));
    ASSERT_TRUE(engine.valid);
    EXPECT_NEAR(wav.seconds(), engine.seconds(), engine.seconds() * 0.15);
}

TEST_F(ParloCli, HtmlAndRtfAreReadAsTheReaderShowsThem)
{
    const QByteArray plain = wavOf("Hello there, reader.");
    ASSERT_FALSE(plain.isEmpty());
    // Neither the markup nor the page title is spoken.
    EXPECT_EQ(wavOfFile("book.html", "<html><head><title>A title never read</title></head>"
                                     "<body><p>Hello <i>there</i>, reader&#46;</p></body></html>"),
              plain);
    EXPECT_EQ(wavOfFile("book.RTF", R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}\f0 Hello {\b there}, )"
                                    R"(reader.\par})"),
              plain);
}

TEST_F(ParloCli, AppliesThePronunciationList)
{
    const double plain = WavInfo::read(wavOf("Go now.")).seconds();
    write("pl2Dict.txt", "go,walk slowly and carefully along the winding road\r\n");
    const double translated = WavInfo::read(wavOf("Go now.")).seconds();
    EXPECT_GT(translated, plain * 2);
}

TEST_F(ParloCli, VoiceOptionAndInlineTagChooseTheSameVoice)
{
    const QByteArray plain = wavOf("Hello there.");
    const QByteArray chosen = wavOf("Hello there.", {"--voice", "2"});
    const QByteArray tagged = wavOf("[v:2]Hello there.");
    EXPECT_NE(plain, chosen);
    EXPECT_EQ(chosen, tagged);
}

TEST_F(ParloCli, RateAndPitchChangeTheSpeech)
{
    const QByteArray text = "A quiet evening by the river, far from the town.";
    const WavInfo normal = WavInfo::read(wavOf(text));
    const WavInfo fast = WavInfo::read(wavOf(text, {"--rate", "10"}));
    const WavInfo slow = WavInfo::read(wavOf(text, {"--rate", "-10"}));
    EXPECT_LT(fast.seconds(), normal.seconds() * 0.6);
    EXPECT_GT(slow.seconds(), normal.seconds() * 1.6);
    const QByteArray high = wavOf(text, {"--pitch", "9"});
    EXPECT_NE(high, wavOf(text));
    EXPECT_NEAR(WavInfo::read(high).seconds(), normal.seconds(), normal.seconds() * 0.1);
    EXPECT_NE(wavOf(text, {"--variant", "f3"}), wavOf(text));
}

TEST_F(ParloCli, EmptyFileGivesAnEmptyValidWav)
{
    const WavInfo wav = WavInfo::read(wavOf(""));
    EXPECT_TRUE(wav.valid);
    EXPECT_EQ(wav.dataBytes, 0);
}

TEST_F(ParloCli, RefusesWhatItCannotDo)
{
    const QString in = write("in.txt", kText);
    const QString out = home.file("out.wav");
    expectRefused({"--wav", out, home.file("missing.txt")}, "missing.txt");
    expectRefused({"--wav", out, home.path()}, home.path());
    const QString image = write("cover.txt", QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16));
    expectRefused({"--wav", out, image}, "cover.txt: not a text document");
    expectRefused({"--wav", home.file("no/such/folder/out.wav"), in}, "no/such/folder/out.wav");
    expectRefused({"--voice", "999", "--wav", out, in}, "999");
    expectRefused({"--voice", "0", "--wav", out, in}, "0");
    expectRefused({"--rate", "11", "--wav", out, in}, "11");
    expectRefused({"--pitch", "x", "--wav", out, in}, "x");
    expectRefused({"--variant", "nosuch", "--wav", out, in}, "voice variant nosuch is unknown");
    expectRefused({"--wav", out}, "FILE");
}

TEST_F(ParloCli, QtsOwnOptionsAreLeftToQt)
{
    const QStringList offscreen{"QT_QPA_PLATFORM=offscreen"};
    Outcome run = parlo(home, {"-style", "Fusion", "--version"}, offscreen);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith("parlo ")) << run.out.toStdString();

    // A book named like an option, after "--", with Qt's options before it.
    write("-book.txt", kText);
    run = parlo(home, {"-style=Fusion", "--wav", "out.wav", "-reverse", "--", "-book.txt"},
                offscreen);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(WavInfo::read(readBytes(home.file("out.wav"))).dataBytes > 0);

    // Without a display an unknown option is named, not left to a Qt that cannot start.
    run = parlo(home, {"--bogus", "--version"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains("bogus")) << run.err.toStdString();
    run = parlo(home, {"--bogus"}, offscreen);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(run.err.contains("bogus")) << run.err.toStdString();
}

TEST_F(ParloCli, ShowsProgressOnlyOnATerminal)
{
    const QString in = write("in.txt", kText);
    const QString out = home.file("out.wav");
    if (QStandardPaths::findExecutable("script").isEmpty())
        GTEST_SKIP() << "no script(1) to give parlo a terminal";
    // script(1) runs parlo on a pseudo-terminal and copies what it shows.
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PARLO_HOME"), home.path());
    process.setProcessEnvironment(env);
    const QString command = QStringLiteral("'%1' --wav '%2' '%3'").arg(PARLO_BINARY, out, in);
    process.start(QStringLiteral("script"), {"-qec", command, "/dev/null"});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0);
    const QString shown = QString::fromUtf8(process.readAllStandardOutput());
    EXPECT_TRUE(shown.contains("100%")) << shown.toStdString();
    EXPECT_TRUE(shown.contains("sentence 4 of 4")) << shown.toStdString();
    EXPECT_TRUE(WavInfo::read(readBytes(out)).valid);
}

TEST_F(ParloCli, TextLongerThanAWavFileCanHoldIsAnError)
{
    QByteArray book;
    for (int i = 0; i < 400; ++i)
        book += "This is one of the many sentences of a very long book. ";
    // As if the 4 GB limit were 200 KB, and 20 KB: a short text is written in a moment and
    // goes past the limit just as surely.
    const std::pair<QByteArray, qint64> cases[] = {{book, 200000}, {kText, 20000}};
    for (const auto& [text, limit] : cases) {
        SCOPED_TRACE(limit);
        const QString in = write("book.txt", text);
        const QString out = home.file("long.wav");
        const Outcome run =
            parlo(home, {"--wav", out, in}, {"PARLO_WAV_LIMIT=" + QString::number(limit)});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains("is full")) << run.err.toStdString();
        EXPECT_EQ(run.err.count('\n'), 1);
        const QByteArray bytes = readBytes(out);
        EXPECT_LE(bytes.size(), limit);
        // Nothing was left out merely because of the limit's size: it is nearly full.
        EXPECT_GT(bytes.size(), limit / 2);
        const WavInfo wav = WavInfo::read(bytes);
        EXPECT_TRUE(wav.valid);
        EXPECT_TRUE(wav.sizesAgree);
    }
}

TEST_F(ParloCli, AFullDiskIsReportedAsSuch)
{
    SmallDisk disk(home.file("disk"));
    SKIP_WITHOUT_SMALL_DISK(disk);
    QByteArray book;
    for (int i = 0; i < 40; ++i)
        book += "This is one of the many sentences of a book too long for the disk. ";
    const QString in = write("book.txt", book);
    for (const char* ext : {"wav", "mp3", "flac"}) {
        SCOPED_TRACE(ext);
        const QString out = home.file("disk/book.") + ext;
        const Outcome run = parlo(home, {"--wav", out, in});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains("No space left on device")) << run.err.toStdString();
        EXPECT_EQ(run.err.count('\n'), 1);
        QFile::remove(out);
    }
}

TEST_F(ParloCli, PrintsAnyBookAsTheReaderShowsIt)
{
    const QString html = write("book.html", "<html><head><title>Never shown</title></head><body>\n"
                                            "<p>Caf\xC3\xA9 &amp; <b>bar</b></p>\n</body></html>");
    Outcome run = parlo(home, {"--text", html});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.trimmed(), QString::fromUtf8("Caf\xC3\xA9 & bar"));

    const QString epub = home.file("book.epub");
    ASSERT_TRUE(
        writeZip(epub, {{"mimetype", "application/epub+zip"},
                        {"META-INF/container.xml", epubContainer("c.opf")},
                        {"c.opf", epubPackage({{"one", "1.xhtml", "application/xhtml+xml", {}},
                                               {"two", "2.xhtml", "application/xhtml+xml", {}}},
                                              {"two", "one"})},
                        {"1.xhtml", xhtmlChapter("Later", "Second.")},
                        {"2.xhtml", xhtmlChapter("First", "\xC3\xBC ber")}}));
    run = parlo(home, {"--text", epub});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QString::fromUtf8("First\n\xC3\xBC ber\n\nLater\nSecond.\n"));

    // A protected book is named as such, and nothing is printed.
    ASSERT_TRUE(writeZip(
        epub, {{"META-INF/container.xml", epubContainer("c.opf")},
               {"c.opf", epubPackage({{"one", "1.xhtml", "application/xhtml+xml", {}}}, {"one"})},
               {"1.xhtml", "scrambled"},
               {"META-INF/encryption.xml",
                "<encryption><EncryptedData><CipherData><CipherReference "
                "URI=\"1.xhtml\"/></CipherData></EncryptedData></encryption>"}}));
    run = parlo(home, {"--text", epub});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(run.err.contains("protected")) << run.err.toStdString();
}
