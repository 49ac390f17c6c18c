#include "net/unzip.h"
#include "testsupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <zip.h>

namespace {

struct Member {
    Member(const QString& n, const QByteArray& d, bool s = false, const QString& pw = {},
           bool link = false)
        : name(n), data(d), stored(s), password(pw), symlink(link)
    {
    }
    QString name;
    QByteArray data;
    bool stored;      // no compression
    QString password; // encrypted with it when not empty
    bool symlink;     // data is the link's target
};

// A real archive made with libzip.
bool makeZip(const QString& path, const QList<Member>& members)
{
    int error = 0;
    zip_t* archive = zip_open(path.toUtf8().constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive)
        return false;
    for (const Member& m : members) {
        zip_source_t* source =
            zip_source_buffer(archive, m.data.constData(), zip_uint64_t(m.data.size()), 0);
        const zip_int64_t index =
            zip_file_add(archive, m.name.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(source);
            zip_discard(archive);
            return false;
        }
        zip_set_file_compression(archive, zip_uint64_t(index),
                                 m.stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
        if (!m.password.isEmpty())
            zip_file_set_encryption(archive, zip_uint64_t(index), ZIP_EM_AES_256,
                                    m.password.toUtf8().constData());
        if (m.symlink)
            zip_file_set_external_attributes(archive, zip_uint64_t(index), 0, ZIP_OPSYS_UNIX,
                                             zip_uint32_t(0120777) << 16);
    }
    return zip_close(archive) == 0;
}

// Rewrites the size a member claims, in its local and its central header.
void claimSize(const QString& path, const QString& name, quint32 size)
{
    QByteArray bytes = readBytes(path);
    auto patch = [&](const QByteArray& signature, int sizeAt, int nameLengthAt, int nameAt) {
        for (qsizetype at = bytes.indexOf(signature); at >= 0;
             at = bytes.indexOf(signature, at + 4)) {
            const int nameLength =
                uchar(bytes[at + nameLengthAt]) | (uchar(bytes[at + nameLengthAt + 1]) << 8);
            if (bytes.mid(at + nameAt, nameLength) != name.toUtf8())
                continue;
            for (int i = 0; i < 4; ++i)
                bytes[at + sizeAt + i] = char((size >> (8 * i)) & 0xFF);
        }
    };
    patch(QByteArray("PK\x03\x04", 4), 22, 26, 30);
    patch(QByteArray("PK\x01\x02", 4), 24, 28, 46);
    writeBytes(path, bytes);
}

QByteArray noise(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(7);
    for (auto& b : bytes)
        b = char(generator.generate() & 0xFF);
    return bytes;
}

class UnzipTest : public ::testing::Test {
protected:
    QString zipPath() const { return work.filePath("book.zip"); }
    QString out(const QString& name = {}) const
    {
        return name.isEmpty() ? work.filePath("out") : work.filePath("out/" + name);
    }
    // Every file under the work folder but the archive.
    QStringList written() const
    {
        QStringList found;
        QDirIterator it(work.path(), QDir::Files | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (path != zipPath())
                found << QDir(work.path()).relativeFilePath(path);
        }
        return found;
    }
    bool unzip()
    {
        zip.setZipfile(zipPath());
        zip.UnzipFolder = out();
        return zip.Unzip();
    }

    ScopedProgramHome home;
    QTemporaryDir work;
    cSHAREDUnzip2 zip;
};

TEST_F(UnzipTest, ExtractsWithFoldersReplacingOldFiles)
{
    ASSERT_TRUE(makeZip(zipPath(), {{"pg1234.txt", "The whole book"},
                                    {"images/", ""},
                                    {"images/cover.png", noise(5000), true}}));
    QDir().mkpath(out());
    writeBytes(out("pg1234.txt"), "an old copy");
    zip.OverwriteExisting = true;
    zip.UseFolderNames = true;
    QStringList messages;
    QObject::connect(&zip, &cSHAREDUnzip2::Message, [&](const QString& m) { messages << m; });
    ASSERT_TRUE(unzip()) << zip.lastError().toStdString();
    EXPECT_EQ(readBytes(out("pg1234.txt")), "The whole book");
    EXPECT_EQ(readBytes(out("images/cover.png")), noise(5000));
    EXPECT_EQ(messages.size(), 2);

    // Without folder names every member lands in the folder itself.
    QDir(out()).removeRecursively();
    zip.UseFolderNames = false;
    ASSERT_TRUE(unzip());
    EXPECT_EQ(readBytes(out("cover.png")), noise(5000));
    EXPECT_FALSE(QFileInfo::exists(out("images")));
}

TEST_F(UnzipTest, AnExistingFileIsKeptUnlessTheAnswerIsToReplace)
{
    ASSERT_TRUE(makeZip(zipPath(), {{"a.txt", "new"}}));
    QDir().mkpath(out());
    writeBytes(out("a.txt"), "old");
    QStringList asked;
    int answer = cSHAREDUnzip2::ReplaceNo;
    QObject::connect(&zip, &cSHAREDUnzip2::OverwritePrompt, [&](const QString& name, int* a) {
        asked << name;
        EXPECT_EQ(*a, cSHAREDUnzip2::ReplaceNo);
        *a = answer;
    });
    EXPECT_TRUE(unzip());
    EXPECT_EQ(readBytes(out("a.txt")), "old");
    answer = cSHAREDUnzip2::ReplaceYes;
    EXPECT_TRUE(unzip());
    EXPECT_EQ(readBytes(out("a.txt")), "new");
    EXPECT_EQ(asked, (QStringList{"a.txt", "a.txt"}));
}

TEST_F(UnzipTest, DirectoryListsMembersAndASelectionLimitsTheExtraction)
{
    ASSERT_TRUE(makeZip(zipPath(), {{"one.txt", QByteArray(10000, 'a')},
                                    {"sub/two.txt", "two", true},
                                    {"sub/three.txt", "three"}}));
    zip.setZipfile(zipPath());
    zip.Directory();
    ASSERT_EQ(zip.FileCount(), 3);
    const cUnzipMember& one = zip.member(1);
    EXPECT_EQ(one.Filename, "one.txt");
    EXPECT_EQ(one.FileDirectory, "");
    EXPECT_EQ(one.FileSize, 10000);
    EXPECT_EQ(one.FileCompressionMethod, "Deflated");
    EXPECT_LT(one.FilePackedSize, 1000);
    EXPECT_LT(one.FileCompressionRatio, 10);
    EXPECT_FALSE(one.FileEncrypted);
    EXPECT_TRUE(one.FileSelected);
    EXPECT_EQ(zip.member(2).FileDirectory, "sub");
    EXPECT_EQ(zip.member(2).Filename, "two.txt");
    EXPECT_EQ(zip.member(2).FileCompressionMethod, "Stored");
    EXPECT_EQ(zip.member(2).FileCRC, 0x11ca8a66u) << std::hex << zip.member(2).FileCRC;

    zip.setFileSelected(1, false);
    zip.setFileSelected(3, false);
    zip.UseFolderNames = true;
    zip.UnzipFolder = out();
    ASSERT_TRUE(zip.Unzip());
    EXPECT_EQ(written(), QStringList{"out/sub/two.txt"});

    // A new archive name forgets the selection.
    zip.setZipfile(zipPath());
    EXPECT_EQ(zip.FileCount(), 0);
    ASSERT_TRUE(zip.Unzip());
    EXPECT_EQ(written().size(), 3);
}

TEST_F(UnzipTest, AnEncryptedArchiveAsksForItsPasswordOncePerCall)
{
    ASSERT_TRUE(makeZip(zipPath(),
                        {{"a.txt", "secret a", false, "pw"}, {"b.txt", "secret b", false, "pw"}}));
    int requests = 0;
    QString answer;
    QObject::connect(&zip, &cSHAREDUnzip2::PasswordRequest, [&](QString* password, bool* cancel) {
        ++requests;
        EXPECT_TRUE(password->isEmpty());
        EXPECT_FALSE(*cancel);
        *password = answer;
    });
    EXPECT_FALSE(unzip());
    EXPECT_EQ(requests, 1);
    EXPECT_TRUE(written().isEmpty());

    answer = "  pw ";
    requests = 0;
    ASSERT_TRUE(unzip()) << zip.lastError().toStdString();
    EXPECT_EQ(requests, 1);
    EXPECT_EQ(readBytes(out("b.txt")), "secret b");
    zip.setZipfile(zipPath());
    zip.Directory();
    EXPECT_TRUE(zip.member(1).FileEncrypted);
}

TEST_F(UnzipTest, MembersThatPointOutsideAreRefusedAndNothingIsWritten)
{
    const QList<QList<Member>> hostile = {
        {{"fine.txt", "ok"}, {"../evil.txt", "escaped"}},
        {{"fine.txt", "ok"}, {"deep/../../evil.txt", "escaped"}},
        {{"fine.txt", "ok"}, {"/tmp/parlo-evil.txt", "escaped"}},
        {{"fine.txt", "ok"}, {"..\\evil.txt", "escaped"}},
        {{"fine.txt", "ok"}, {"link", "/etc/passwd", false, {}, true}},
    };
    const QStringList why = {"\"..\"", "\"..\"", "absolute", "\"..\"", "symbolic link"};
    for (int i = 0; i < hostile.size(); ++i) {
        SCOPED_TRACE(hostile[i].last().name.toStdString());
        ASSERT_TRUE(makeZip(zipPath(), hostile[i]));
        TrailWatch trail;
        zip.UseFolderNames = true;
        zip.OverwriteExisting = true;
        EXPECT_FALSE(unzip());
        EXPECT_TRUE(zip.lastError().contains(why[i])) << zip.lastError().toStdString();
        EXPECT_TRUE(trail.added().startsWith(zip.lastError())) << trail.added().toStdString();
        EXPECT_TRUE(written().isEmpty()) << written().join(',').toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists("/tmp/parlo-evil.txt"));
}

TEST_F(UnzipTest, AFolderLinkedElsewhereIsNotFollowed)
{
    QTemporaryDir elsewhere;
    QDir().mkpath(out());
    ASSERT_TRUE(QFile::link(elsewhere.path(), out("books")));
    ASSERT_TRUE(makeZip(zipPath(), {{"books/evil.txt", "escaped"}}));
    zip.UseFolderNames = true;
    EXPECT_FALSE(unzip());
    EXPECT_TRUE(QDir(elsewhere.path()).isEmpty());
}

TEST_F(UnzipTest, ArchivesClaimingTooMuchAreRefusedBeforeWriting)
{
    // Over 1 MB, three members claiming nearly 4 GiB each: some 11 GB in all.
    ASSERT_TRUE(makeZip(zipPath(), {{"pad.bin", noise(1100000), true},
                                    {"a.txt", "a", true},
                                    {"b.txt", "b", true},
                                    {"c.txt", "c", true}}));
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        claimSize(zipPath(), name, 0xF0000000u);
    EXPECT_FALSE(unzip());
    EXPECT_TRUE(zip.lastError().contains("would unpack to")) << zip.lastError().toStdString();
    EXPECT_TRUE(written().isEmpty());

    // Below 4 GiB but two hundred times the archive's size.
    ASSERT_TRUE(makeZip(zipPath(), {{"pad.bin", noise(1100000), true}, {"a.txt", "a", true}}));
    claimSize(zipPath(), "a.txt", 220u * 1000 * 1000);
    EXPECT_FALSE(unzip());
    EXPECT_TRUE(written().isEmpty());

    // Small archives may pack tightly: ten megabytes of one letter in a few kilobytes.
    ASSERT_TRUE(makeZip(zipPath(), {{"a.txt", QByteArray(10 << 20, 'a')}}));
    ASSERT_LT(QFileInfo(zipPath()).size(), 1 << 20);
    EXPECT_TRUE(unzip()) << zip.lastError().toStdString();
    EXPECT_EQ(QFileInfo(out("a.txt")).size(), 10 << 20);
}

TEST_F(UnzipTest, AMemberLargerThanItClaimsLeavesNoFile)
{
    ASSERT_TRUE(makeZip(zipPath(), {{"a.txt", QByteArray(200000, 'x')}}));
    claimSize(zipPath(), "a.txt", 10);
    EXPECT_FALSE(unzip());
    EXPECT_TRUE(written().isEmpty()) << written().join(',').toStdString();
}

TEST_F(UnzipTest, NoArchiveNoExtraction)
{
    EXPECT_FALSE(zip.Unzip());
    writeBytes(zipPath(), "not a zip at all");
    EXPECT_FALSE(unzip());
    EXPECT_FALSE(zip.lastError().isEmpty());

    int major = -1, minor = -1, revision = -1;
    QString extra = "x";
    cSHAREDUnzip2::GetVersion(major, minor, revision, extra);
    EXPECT_EQ(QStringLiteral("%1.%2.%3%4").arg(major).arg(minor).arg(revision).arg(extra),
              QString::fromLatin1(zip_libzip_version()));
}

} // namespace
