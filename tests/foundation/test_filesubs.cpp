#include "diagnostics/log.h"
#include "files/filesubs.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

cSharedFileSubs& files()
{
    return cSharedFileSubs::instance();
}

void makeReadOnly(const QString& path)
{
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
}

} // namespace

TEST(FilePaths, SplittingAcceptsBothSeparators)
{
    EXPECT_EQ(cSharedFileSubs::PathOnly("book.txt"), "./");
    EXPECT_EQ(cSharedFileSubs::PathOnly("/home/a/book.txt"), "/home/a/");
    EXPECT_EQ(cSharedFileSubs::PathOnly("C:\\books\\b.txt"), "C:/books/");
    EXPECT_EQ(cSharedFileSubs::FileOnly("C:/a/b.txt"), "b.txt");
    EXPECT_EQ(cSharedFileSubs::FileOnly("a\\b\\c.htm"), "c.htm");
    EXPECT_EQ(cSharedFileSubs::FileOnly("plain"), "plain");
    EXPECT_EQ(cSharedFileSubs::ExtOnly("archive.tar.gz"), "gz");
    EXPECT_EQ(cSharedFileSubs::FileWithoutExt("archive.tar.gz"), "archive.tar");
    EXPECT_EQ(cSharedFileSubs::ExtOnly("/my.books/README"), "books/README");
    EXPECT_EQ(cSharedFileSubs::ExtOnly("README"), "");
    EXPECT_EQ(cSharedFileSubs::AddSlashIfMissing(""), "");
    EXPECT_EQ(cSharedFileSubs::AddSlashIfMissing("/tmp"), "/tmp/");
    EXPECT_EQ(cSharedFileSubs::AddSlashIfMissing("/tmp/"), "/tmp/");
    EXPECT_EQ(cSharedFileSubs::RemoveSlashFromEnd("/tmp//"), "/tmp/");
    EXPECT_EQ(cSharedFileSubs::RemoveSlashFromEnd("/tmp"), "/tmp");
}

TEST(FilePaths, CleanStringMakesUsableFileNames)
{
    QString name = "CON";
    cSharedFileSubs::CleanString(name);
    EXPECT_EQ(name, "CON1");
    name = "What? A \"title\"";
    cSharedFileSubs::CleanString(name);
    EXPECT_EQ(name, "What  A  title");
    name = "a/b\\c:d*e<f>g|h&i,j%k";
    cSharedFileSubs::CleanString(name);
    EXPECT_EQ(name, "a b c d e f g h i j k");
}

TEST(FileTests, FilesAndFoldersAreTellApart)
{
    ScopedProgramHome home;
    writeBytes(home.file("book one.txt"), "x");
    EXPECT_TRUE(files().FileExists(home.file("book one.txt")));
    EXPECT_FALSE(files().FileExists(home.path()));
    EXPECT_TRUE(files().FolderExists(home.path()));
    EXPECT_TRUE(files().FolderExists(home.path() + "/"));
    EXPECT_FALSE(files().FolderExists(home.file("book one.txt")));
    EXPECT_TRUE(files().FileExists(home.file("*.txt")));
    EXPECT_FALSE(files().FileExists(home.file("*.htm")));
    EXPECT_FALSE(files().FileExists(""));
}

TEST(FileTests, MkMissingDirCreatesEveryLevel)
{
    ScopedProgramHome home;
    const QString deep = home.file("a/b/c");
    EXPECT_TRUE(files().MkMissingDir(deep));
    EXPECT_TRUE(QDir(deep).exists());
    EXPECT_FALSE(files().MkMissingDir(deep));
    EXPECT_FALSE(files().MkMissingDir("   "));
}

TEST(FileText, WriteThenLoadRoundTripsNonAsciiPaths)
{
    ScopedProgramHome home;
    const QString path = home.file(QString::fromUtf8("Bücher mit Leerzeichen.txt"));
    const QString text = QString::fromUtf8("Grüße\r\nzweite Zeile — ende");
    ASSERT_TRUE(files().WriteTextFile(path, text));
    QString back;
    ASSERT_TRUE(files().LoadTextFile(path, back));
    EXPECT_EQ(back, text);
    EXPECT_EQ(readBytes(path), text.toUtf8());
}

TEST(FileText, LoadOfMissingFileOrFolderGivesEmptyText)
{
    ScopedProgramHome home;
    QString text = "old";
    EXPECT_FALSE(files().LoadTextFile(home.file("missing.txt"), text));
    EXPECT_TRUE(text.isEmpty());
    text = "old";
    EXPECT_FALSE(files().LoadTextFile(home.path(), text));
    EXPECT_TRUE(text.isEmpty());
}

TEST(FileText, AppendAddsCrLfAfterEachPiece)
{
    ScopedProgramHome home;
    const QString path = home.file("append.txt");
    ASSERT_TRUE(files().AppendToTextFile(path, "one"));
    ASSERT_TRUE(files().AppendToTextFile(path, "two"));
    EXPECT_EQ(readBytes(path), QByteArray("one\r\ntwo\r\n"));
    EXPECT_EQ(files().LinesInFile(path), 2);
    writeBytes(path, "a\nb\nlast without end");
    EXPECT_EQ(files().LinesInFile(path), 3);
    EXPECT_EQ(files().LinesInFile(home.file("none")), 0);
}

TEST(FileText, WritingIntoAFolderFailsAndKeepsIt)
{
    ScopedProgramHome home;
    EXPECT_FALSE(files().WriteTextFile(home.path(), "x"));
    EXPECT_TRUE(QDir(home.path()).exists());
    EXPECT_NE(files().lastError(), 0);
}

TEST(FileText, ReadOnlyFileIsMadeWritableBeforeWriting)
{
    ScopedProgramHome home;
    const QString path = home.file("ro.txt");
    writeBytes(path, "old");
    makeReadOnly(path);
    EXPECT_TRUE(files().isReadonly(path));
    EXPECT_TRUE(files().WriteTextFile(path, "new"));
    EXPECT_EQ(readBytes(path), QByteArray("new"));
    EXPECT_FALSE(files().isReadonly(path));
}

TEST(FileText, UnchangeableReadOnlyFileIsRefusedAndLogged)
{
    ScopedProgramHome home;
    const QString path = home.file("locked.txt");
    writeBytes(path, "keep");
    makeReadOnly(path);
    // An immutable file refuses a change of permissions even to root.
    if (QProcess::execute("chattr", {"+i", path}) != 0)
        GTEST_SKIP() << "chattr +i is not available here";
    auto& log = cSharedLogging::instance();
    log.OverrideLogFilename(home.file("log.txt"));
    EXPECT_EQ(files().CreateOutputFile(path), -1);
    EXPECT_FALSE(files().WriteTextFile(path, "x"));
    QProcess::execute("chattr", {"-i", path});
    EXPECT_EQ(readBytes(path), QByteArray("keep"));
    EXPECT_TRUE(readBytes(home.file("log.txt"))
                    .contains(path.toUtf8() +
                              " is read only, can't change it to read write, can't update it\r\n"));
}

TEST(FileText, FailedWriteLeavesTheOldFileWhole)
{
    ScopedProgramHome home;
    const QString dir = home.file("locked");
    QDir().mkpath(dir);
    const QString path = dir + "/keep.txt";
    writeBytes(path, "precious");
    // Without write permission on the folder the temporary file cannot be created; as
    // root that still succeeds, so only check the outcome is consistent.
    QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const bool written = files().WriteTextFile(path, "replacement");
    EXPECT_EQ(readBytes(path), written ? QByteArray("replacement") : QByteArray("precious"));
    QFile::setPermissions(dir,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST(FileText, AFullDiskKeepsTheOldFileOfEveryWholeFileSave)
{
    ScopedProgramHome home;
    SmallDisk disk(home.file("disk"));
    SKIP_WITHOUT_SMALL_DISK(disk);
    const QString path = home.file("disk/pl2Dict.txt");
    const QString copy = home.file("disk/copy.txt");
    writeBytes(path, "Parlo,Par-lo\r\n");
    writeBytes(copy, "older copy");
    writeBytes(home.file("source.txt"), "new");
    disk.fill();

    TrailWatch watch;
    EXPECT_FALSE(files().WriteTextFile(path, "Parlo,Parr-lo\r\n"));
    EXPECT_EQ(files().lastError(), 61);
    EXPECT_EQ(watch.added(),
              "Disk full (61) writing " + path + " in WriteTextFile of module cFile");
    EXPECT_EQ(readBytes(path), "Parlo,Par-lo\r\n");
    EXPECT_FALSE(files().CopyFile(home.file("source.txt"), copy));
    EXPECT_EQ(readBytes(copy), "older copy");
    QStringList left = QDir(home.file("disk")).entryList(QDir::Files);
    left.sort();
    EXPECT_EQ(left, QStringList({"copy.txt", "filler", "pl2Dict.txt"}));

    disk.clear();
    EXPECT_TRUE(files().WriteTextFile(path, "Parlo,Parr-lo\r\n"));
    EXPECT_EQ(readBytes(path), "Parlo,Parr-lo\r\n");
}

TEST(FileOps, EraseCopyAndDate)
{
    ScopedProgramHome home;
    const QString src = home.file("src.bin");
    QByteArray big(3 * 1024 * 1024 + 17, 'x');
    writeBytes(src, big);
    QList<qint64> seen;
    ASSERT_TRUE(files().CopyFile(src, home.file("dst.bin"), [&](qint64 done, qint64 total) {
        EXPECT_EQ(total, big.size());
        seen << done;
    }));
    EXPECT_EQ(readBytes(home.file("dst.bin")), big);
    ASSERT_GE(seen.size(), 3);
    EXPECT_EQ(seen.first(), 0);
    EXPECT_EQ(seen.last(), big.size());
    EXPECT_FALSE(files().CopyFile(home.file("none"), home.file("x"), {}));

    EXPECT_TRUE(files().FileDate(src).isValid());
    EXPECT_FALSE(files().FileDate(home.file("none")).isValid());
    makeReadOnly(src);
    EXPECT_TRUE(files().EraseFile(src));
    EXPECT_FALSE(QFile::exists(src));
    EXPECT_FALSE(files().EraseFile(src));
}

TEST(FileNumbers, LowestFreeNumberIsReused)
{
    ScopedProgramHome home;
    const int first = files().CreateOutputFile(home.file("a"));
    const int second = files().OpenAppendFile(home.file("b"));
    EXPECT_EQ(second, first + 1);
    ASSERT_TRUE(files().CloseFile(first));
    EXPECT_EQ(files().OpenFile(home.file("b")), first);
    EXPECT_EQ(files().OpenFile(home.file("missing")), -1);
    EXPECT_TRUE(files().CloseFile(first));
    EXPECT_TRUE(files().CloseFile(second));
    EXPECT_FALSE(files().CloseFile(second));
}
