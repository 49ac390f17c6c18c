#include "soundcheck.h"
#include "testsupport.h"

#include <QDir>
#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>
#include <QtEndian>

#include <gtest/gtest.h>

#include <csignal>

namespace {

// A book with a Project Gutenberg header and three chapters, one titled to escape.
const QByteArray kHeader = "Title: The Little Book\nAuthor: Ann Writer\n\n";
const QByteArray kChapters =
    "CHAPTER I\n\nThe morning was cold and the road was long. We walked until noon.\n\n"
    "CHAPTER II\n\nAt the river we rested, and the water ran quickly past the stones.\n\n"
    "CHAPTER III: ../../outside\n\nIn the evening we came home, tired and happy at last.\n";

class AudiobookCli : public ::testing::Test {
protected:
    QProcessEnvironment environment(const QStringList& settings) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("PARLO_HOME"), home.path());
        env.insert(QStringLiteral("PARLO_AUDIOBOOK_WORKERS"), QStringLiteral("2"));
        for (const QString& setting : settings)
            env.insert(setting.section('=', 0, 0), setting.section('=', 1));
        return env;
    }
    // Runs parlo to its end; the exit code, -1 when it crashed or hung.
    int parlo(const QStringList& arguments, const QStringList& settings = {})
    {
        QProcess process;
        process.setProcessEnvironment(environment(settings));
        process.start(QStringLiteral(PARLO_BINARY), arguments);
        if (!process.waitForFinished(300000)) {
            process.kill();
            process.waitForFinished();
            return -1;
        }
        err = QString::fromUtf8(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    QString write(const QString& name, const QByteArray& text)
    {
        writeBytes(home.file(name), text);
        return home.file(name);
    }
    QStringList entries(const QString& folder) const
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                      QDir::Name);
    }
    // The samples of a WAV file, whatever chunks stand before them.
    static QByteArray samples(const QByteArray& wav)
    {
        for (qsizetype at = 12; at + 8 <= wav.size();) {
            const quint32 size = qFromLittleEndian<quint32>(wav.constData() + at + 4);
            if (wav.mid(at, 4) == "data")
                return wav.mid(at + 8, size);
            at += 8 + size + (size & 1);
        }
        return {};
    }

    ScopedProgramHome home;
    QString err;
};

} // namespace

TEST_F(AudiobookCli, WavOptionWritesEveryFormatByItsExtensionWithTags)
{
    const QString book = write("book.txt", kHeader + kChapters);
    ASSERT_EQ(parlo({"--wav", home.file("out.wav"), book}), 0) << err.toStdString();
    const SoundCheck wav = SoundCheck::read(home.file("out.wav"));
    ASSERT_TRUE(wav.valid);
    EXPECT_EQ(wav.title, "The Little Book");
    EXPECT_EQ(wav.artist, "Ann Writer");
    for (const char* ext : {"mp3", "ogg", "opus", "flac", "MP3"}) {
        SCOPED_TRACE(ext);
        const QString out = home.file(QStringLiteral("out.") + ext);
        ASSERT_EQ(parlo({"--wav", out, book}), 0) << err.toStdString();
        const SoundCheck check = SoundCheck::read(out);
        ASSERT_TRUE(check.valid);
        const QByteArray kind = QByteArray(ext).toLower();
        EXPECT_EQ(check.rate, kind == "opus" ? 24000 : kind == "mp3" ? 16000 : 22050);
        EXPECT_NEAR(check.seconds(), wav.seconds(), wav.seconds() * 0.02);
        EXPECT_EQ(check.title, "The Little Book");
        EXPECT_EQ(check.artist, "Ann Writer");
        // Really that format, not a WAV file under another name.
        EXPECT_FALSE(readBytes(out).startsWith("RIFF"));
    }
}

TEST_F(AudiobookCli, WritesAFileAPerChapterInOrderWithTagsAndAPlaylist)
{
    const QString book = write("book.txt", kHeader + kChapters);
    ASSERT_EQ(parlo({"--wav", home.file("whole.wav"), book}), 0) << err.toStdString();
    const double whole = SoundCheck::read(home.file("whole.wav")).seconds();

    const QString folder = home.file("sub/out");
    ASSERT_EQ(parlo({"--audiobook", folder, "--format", "ogg", book}), 0) << err.toStdString();
    const QStringList expected{"01 - CHAPTER I.ogg", "02 - CHAPTER II.ogg",
                               "03 - CHAPTER III_ .._.._outside.ogg", "The Little Book.m3u"};
    EXPECT_EQ(entries(folder), expected);
    // Nothing was written beside the folder.
    EXPECT_EQ(entries(home.file("sub")), QStringList{"out"});
    double total = 0;
    QStringList lengths;
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const SoundCheck check = SoundCheck::read(QDir(folder).filePath(expected[i]));
        lengths << QString::number(qRound(check.seconds()));
        ASSERT_TRUE(check.valid);
        EXPECT_EQ(check.track, QString::number(i + 1));
        EXPECT_EQ(check.artist, "Ann Writer");
        EXPECT_EQ(check.album, "The Little Book");
        EXPECT_TRUE(check.title.startsWith("CHAPTER I")) << check.title.toStdString();
        total += check.seconds();
    }
    EXPECT_NEAR(total, whole, whole * 0.02);
    const QStringList playlist =
        QString::fromUtf8(readBytes(QDir(folder).filePath(expected[3]))).split('\n');
    QStringList named;
    QStringList listed;
    for (const QString& line : playlist) {
        if (line.startsWith("#EXTINF:"))
            listed << line.mid(8).section(',', 0, 0);
        else if (!line.isEmpty() && !line.startsWith('#'))
            named << line;
    }
    EXPECT_EQ(named, expected.mid(0, 3));
    // Players show each chapter's length before playing it.
    EXPECT_EQ(listed, lengths);
}

TEST_F(AudiobookCli, PiecesSpokenApartJoinIntoTheSameSpeech)
{
    QByteArray text;
    for (int i = 0; i < 12; ++i)
        text += "Paragraph " + QByteArray::number(i) + " has a sentence or two. It ends here.\n\n";
    const QString book = write("plain.txt", text);
    ASSERT_EQ(parlo({"--wav", home.file("whole.wav"), book}), 0) << err.toStdString();
    const QString folder = home.file("out");
    // Pieces of about 150 characters: a dozen pieces over two workers, joined in order.
    ASSERT_EQ(
        parlo({"--audiobook", folder, "--format", "wav", book}, {"PARLO_AUDIOBOOK_PIECE=150"}), 0)
        << err.toStdString();
    EXPECT_EQ(entries(folder), (QStringList{"01 - plain.wav", "plain.m3u"}));
    const QByteArray joined = samples(readBytes(QDir(folder).filePath("01 - plain.wav")));
    const QByteArray whole = samples(readBytes(home.file("whole.wav")));
    // The first piece is the same speech to the sample; the engine's pauses between
    // separate texts differ by a few milliseconds from those inside one.
    ASSERT_GT(joined.size(), 200000);
    EXPECT_TRUE(joined.left(100000) == whole.left(100000));
    EXPECT_NEAR(joined.size(), whole.size(), whole.size() * 0.01);
    EXPECT_EQ(SoundCheck::read(QDir(folder).filePath("01 - plain.wav")).track, "1");

    ASSERT_EQ(
        parlo({"--audiobook", folder, "--format", "mp3", book}, {"PARLO_AUDIOBOOK_PIECE=150"}), 0)
        << err.toStdString();
    const SoundCheck mp3 = SoundCheck::read(QDir(folder).filePath("01 - plain.mp3"));
    EXPECT_NEAR(mp3.seconds(), joined.size() / 2 / 22050.0, joined.size() / 2 / 22050.0 * 0.02);
}

TEST_F(AudiobookCli, EmphasisIsSpokenAsInOneReadingEvenAcrossPieces)
{
    QByteArray body;
    for (int i = 0; i < 6; ++i)
        body += "<p>Paragraph " + QByteArray::number(i) +
                " was <b>never</b> late. <em>Always kind. Ever so patient. Quite calm.</em> The "
                "end.</p>\n";
    const QString book = write("stress.html", "<html><body>" + body + "</body></html>");
    const QString plain = write("plain.html", QByteArray(body)
                                                  .replace("<b>", "")
                                                  .replace("</b>", "")
                                                  .replace("<em>", "")
                                                  .replace("</em>", ""));
    ASSERT_EQ(parlo({"--wav", home.file("whole.wav"), book}), 0) << err.toStdString();
    ASSERT_EQ(parlo({"--wav", home.file("flat.wav"), plain}), 0) << err.toStdString();
    const QByteArray whole = samples(readBytes(home.file("whole.wav")));
    // Emphasis is slower: without it the speech is clearly shorter.
    const QByteArray flat = samples(readBytes(home.file("flat.wav")));
    ASSERT_LT(flat.size(), whole.size() * 0.96);

    const QString folder = home.file("out");
    ASSERT_EQ(parlo({"--audiobook", folder, "--format", "wav", book}), 0) << err.toStdString();
    EXPECT_TRUE(samples(readBytes(QDir(folder).filePath("01 - stress.wav"))) == whole);
    // Pieces cut between the sentences, inside the emphasis too: each piece opens it again
    // where it starts. Pieces spoken apart pause a little differently, so only the length.
    ASSERT_EQ(parlo({"--audiobook", folder, "--format", "wav", book}, {"PARLO_AUDIOBOOK_PIECE=20"}),
              0)
        << err.toStdString();
    const QByteArray joined = samples(readBytes(QDir(folder).filePath("01 - stress.wav")));
    EXPECT_NEAR(joined.size(), whole.size(), whole.size() * 0.01);
}

TEST_F(AudiobookCli, CancelledBySignalLeavesNoFile)
{
    QByteArray text;
    for (int c = 1; c <= 12; ++c) {
        text += "CHAPTER " + QByteArray::number(c) + "\n\n";
        for (int i = 0; i < 60; ++i)
            text += "This is one of the many sentences of a rather long chapter. ";
        text += "\n\n";
    }
    const QString book = write("long.txt", text);
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        const QString folder = home.file("out");
        QDir(folder).removeRecursively();
        QProcess process;
        process.setProcessEnvironment(environment({"PARLO_AUDIOBOOK_MEMORY=1"}));
        process.setReadChannel(QProcess::StandardError);
        process.start(QStringLiteral(PARLO_BINARY),
                      {"--audiobook", folder, "--format", "flac", book});
        // Once a chapter is done, the signal comes with files on the way.
        QByteArray said;
        while (!said.contains("memory") && process.waitForReadyRead(120000))
            said += process.readAllStandardError();
        ASSERT_TRUE(said.contains("memory")) << said.toStdString();
        ::kill(pid_t(process.processId()), signal);
        ASSERT_TRUE(process.waitForFinished(60000));
        said += process.readAllStandardError();
        EXPECT_EQ(process.exitCode(), 1);
        EXPECT_TRUE(said.contains("cancelled")) << said.toStdString();
        EXPECT_EQ(entries(folder), QStringList{});
    }

    // Killed outright, it cannot clean up: the next audiobook into the folder does, and
    // leaves alone the hidden folder of one still at work.
    const QString folder = home.file("out");
    QProcess killed;
    killed.setProcessEnvironment(environment({"PARLO_AUDIOBOOK_MEMORY=1"}));
    killed.setReadChannel(QProcess::StandardError);
    killed.start(QStringLiteral(PARLO_BINARY), {"--audiobook", folder, "--format", "wav", book});
    QByteArray said;
    while (!said.contains("memory") && killed.waitForReadyRead(120000))
        said += killed.readAllStandardError();
    ASSERT_TRUE(said.contains("memory")) << said.toStdString();
    killed.kill();
    ASSERT_TRUE(killed.waitForFinished(60000));
    ASSERT_EQ(entries(folder).size(), 1);
    EXPECT_TRUE(entries(folder).constFirst().startsWith(".parlo-"));
    ASSERT_TRUE(QDir(folder).mkdir(".parlo-atwork"));
    QLockFile atWork(QDir(folder).filePath(".parlo-atwork/lock"));
    ASSERT_TRUE(atWork.tryLock(0));
    ASSERT_EQ(
        parlo({"--audiobook", folder, "--format", "wav", write("book.txt", kHeader + kChapters)}),
        0)
        << err.toStdString();
    EXPECT_EQ(entries(folder).first(2), (QStringList{".parlo-atwork", "01 - CHAPTER I.wav"}));
    EXPECT_EQ(entries(folder).filter(".parlo-").size(), 1);
}

TEST_F(AudiobookCli, AFullWavFileAndBadRequestsAreRefusedCleanly)
{
    const QString book = write("book.txt", kHeader + kChapters);
    const QString folder = home.file("out");
    EXPECT_EQ(parlo({"--audiobook", folder, "--format", "wav", book}, {"PARLO_WAV_LIMIT=20000"}),
              1);
    EXPECT_TRUE(err.contains("is full")) << err.toStdString();
    EXPECT_EQ(err.count('\n'), 1);
    EXPECT_EQ(entries(folder), QStringList{});

    EXPECT_EQ(parlo({"--audiobook", folder, "--format", "aiff", book}), 2);
    EXPECT_TRUE(err.contains("aiff"));
    EXPECT_EQ(parlo({"--audiobook", folder, home.file("missing.txt")}), 1);
    EXPECT_TRUE(err.contains("missing.txt"));
    EXPECT_EQ(parlo({"--audiobook", folder}), 2);
}

TEST_F(AudiobookCli, ShowsProgressWithTheTimeLeftOnATerminal)
{
    if (QStandardPaths::findExecutable("script").isEmpty())
        GTEST_SKIP() << "no script(1) to give parlo a terminal";
    const QString book = write("book.txt", kHeader + kChapters);
    const QString folder = home.file("out");
    // script(1) runs parlo on a pseudo-terminal and copies what it shows.
    QProcess process;
    process.setProcessEnvironment(environment({}));
    process.start(
        QStringLiteral("script"),
        {"-qec",
         QStringLiteral("'%1' --audiobook '%2' --format flac '%3'").arg(PARLO_BINARY, folder, book),
         "/dev/null"});
    ASSERT_TRUE(process.waitForFinished(300000));
    EXPECT_EQ(process.exitCode(), 0);
    const QString shown = QString::fromUtf8(process.readAllStandardOutput());
    EXPECT_TRUE(shown.contains("100%  0:00 left")) << shown.toStdString();
    EXPECT_EQ(entries(folder).size(), 4);
}
