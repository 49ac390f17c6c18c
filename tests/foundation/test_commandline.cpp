#include "app/commandline.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
CommandLine parse(QStringList args)
{
    args.prepend("parlo");
    return CommandLine::parse(args);
}
} // namespace

TEST(CommandLine, DocumentWordsAndQuotes)
{
    EXPECT_EQ(parse({}).mode, CommandLine::Mode::Window);
    EXPECT_EQ(parse({"/home/me/My Book.txt"}).document, "/home/me/My Book.txt");
    EXPECT_EQ(parse({"/home/me/My", "Book.txt"}).document, "/home/me/My Book.txt");
    EXPECT_EQ(parse({"\"/tmp/q.txt\""}).document, "/tmp/q.txt");
    EXPECT_FALSE(parse({"book.txt"}).needsNoWindow());
}

TEST(CommandLine, ModesAndOptions)
{
    EXPECT_EQ(parse({"--version"}).mode, CommandLine::Mode::Version);
    EXPECT_EQ(parse({"--help"}).mode, CommandLine::Mode::Help);
    EXPECT_TRUE(parse({"--help"}).helpText.contains("parlo"));
    EXPECT_EQ(parse({"--list-voices"}).mode, CommandLine::Mode::ListVoices);
    const CommandLine wav =
        parse({"--wav", "out.wav", "--voice", "2", "--rate", "-3", "--pitch", "4", "b.txt"});
    EXPECT_EQ(wav.mode, CommandLine::Mode::Wav);
    EXPECT_EQ(wav.wavFile, "out.wav");
    EXPECT_EQ(wav.document, "b.txt");
    EXPECT_EQ(wav.voice, 2);
    EXPECT_EQ(wav.rate, -3);
    EXPECT_EQ(wav.pitch, 4);
    // An audiobook's workers speak with the window's voice and its variant.
    const CommandLine worker = parse({"--audiobook-worker", "--voice-name",
                                      "English (Great Britain)", "--variant", "f3", "--rate", "2"});
    EXPECT_EQ(worker.mode, CommandLine::Mode::AudiobookWorker);
    EXPECT_EQ(worker.voiceName, "English (Great Britain)");
    EXPECT_EQ(worker.voiceVariant, "f3");
    EXPECT_EQ(worker.rate, 2);
}

TEST(CommandLine, BadValuesAreNamed)
{
    EXPECT_EQ(parse({"--wav", "out.wav"}).mode, CommandLine::Mode::Error);
    EXPECT_EQ(parse({"--rate", "11", "--wav", "o", "b"}).mode, CommandLine::Mode::Error);
    EXPECT_TRUE(parse({"--rate", "fast"}).error.contains("fast"));
    EXPECT_EQ(parse({"--pitch", "-11"}).mode, CommandLine::Mode::Error);
    EXPECT_EQ(parse({"--voice", "0"}).mode, CommandLine::Mode::Error);
    EXPECT_EQ(parse({"--bogus"}).mode, CommandLine::Mode::Error);
    // Only an unknown option may be one that Qt takes; a bad value of ours is ours.
    EXPECT_TRUE(parse({"--bogus"}).unknownOption);
    EXPECT_TRUE(parse({"-style", "Fusion", "b.txt"}).unknownOption);
    EXPECT_FALSE(parse({"--rate", "fast"}).unknownOption);
    EXPECT_FALSE(parse({"--wav", "out.wav"}).unknownOption);
}

TEST(CommandLine, ABookNamedLikeAnOptionFollowsTheDoubleDash)
{
    const CommandLine window = parse({"--", "-notes.txt"});
    EXPECT_EQ(window.mode, CommandLine::Mode::Window);
    EXPECT_EQ(window.document, "-notes.txt");
    EXPECT_EQ(parse({"--wav", "o.wav", "--", "--version"}).document, "--version");
    EXPECT_EQ(parse({"--wav", "o.wav", "--", "--version"}).mode, CommandLine::Mode::Wav);
}

TEST(CommandLine, SeveralBooksFromAFileManagerOpenTheFirst)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto touch = [&](const QString& name) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        return file.fileName();
    };
    const QString first = touch("a.txt");
    const QString second = touch("b.html");
    const CommandLine several = parse({first, second});
    EXPECT_EQ(several.document, first);
    EXPECT_EQ(several.otherDocuments, QStringList{second});

    // Words that name a file only when joined are still one book, even when the first word
    // alone names another.
    const QString word = touch("My");
    const QString book = touch("My Book.txt");
    const CommandLine joined = parse({word, "Book.txt"});
    EXPECT_EQ(joined.document, book);
    EXPECT_TRUE(joined.otherDocuments.isEmpty());
}
