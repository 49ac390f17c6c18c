#include "parlo_config.h"
#include "settings/settings.h"
#include "testsupport.h"
#include "update/versionfile.h"

#include <QCryptographicHash>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace UpdateFiles;

namespace {

Version v(const char* text)
{
    return versionFromText(QString::fromLatin1(text));
}

} // namespace

TEST(VersionText, NumbersCompareAsNumbersAndAnyLettersBeatNone)
{
    EXPECT_TRUE(isNewer(v("2.0.10"), v("2.0.9")));
    EXPECT_FALSE(isNewer(v("2.0.9"), v("2.0.10")));
    EXPECT_TRUE(isNewer(v("2.1.0"), v("2.0.99")));
    EXPECT_TRUE(isNewer(v("3.0.0"), v("2.9.9z")));
    EXPECT_TRUE(isNewer(v("2.0.9b"), v("2.0.9")));
    EXPECT_FALSE(isNewer(v("2.0.9"), v("2.0.9b")));
    EXPECT_TRUE(isNewer(v("2.0.9c"), v("2.0.9b")));
    EXPECT_FALSE(isNewer(v("2.0.9"), v("2.0.9")));
}

TEST(VersionText, LettersStartAfterTheRevisionsOwnDigits)
{
    const Version padded = v("2.1.03b");
    EXPECT_EQ(padded.revision, 3);
    EXPECT_EQ(padded.letters, "3b");
    const Version plain = v("2.1.3b");
    EXPECT_EQ(plain.revision, 3);
    EXPECT_EQ(plain.letters, "b");
    EXPECT_EQ(versionText(plain), "2.1.3B");

    // Fewer than three parts leave what the caller had.
    int major = 7, minor = 8, revision = 9;
    QString letters = "q";
    ExtractVersionFromAppVer("2.1", major, minor, revision, letters);
    EXPECT_EQ(major, 7);
    EXPECT_EQ(letters, "q");
}

TEST(VersionFileText, AddressGetsTheVersionAndTheChecksumLineIsOptional)
{
    const QString sum(64, u'A');
    VersionFile file = ExtractVersionFromWebFile(
        "2.1.3b\r\nhttps://host/dl/pkg@@@.exe\r\nsha256=" + sum + "\r\nmore\n");
    EXPECT_EQ(versionText(file.version), "2.1.3B");
    EXPECT_EQ(file.downloadUrl, "https://host/dl/pkg213b.exe");
    EXPECT_EQ(file.sha256, sum.toLower());

    // Anything else on the third line is ignored, as is a checksum of the wrong length.
    file = ExtractVersionFromWebFile("2.0.10\nhttps://host/p.exe\nnotes for 2.0.10");
    EXPECT_EQ(file.downloadUrl, "https://host/p.exe");
    EXPECT_TRUE(file.sha256.isEmpty());
    file = ExtractVersionFromWebFile("2.0.10\nhttps://host/p.exe\nsha256=" + sum.left(63));
    EXPECT_TRUE(file.sha256.isEmpty());

    // One line, with or without its line end, names no package.
    for (const char* oneLine : {"2.0.10", "2.0.10\n"}) {
        file = ExtractVersionFromWebFile(oneLine);
        EXPECT_TRUE(file.downloadUrl.isEmpty()) << oneLine;
    }
    EXPECT_EQ(versionText(ExtractVersionFromWebFile("2.0.10").version), "0.0.0");
    // A blank after the version is not taken for letters.
    EXPECT_FALSE(isNewer(ExtractVersionFromWebFile("2.0.9 \nhttps://h/p").version, v("2.0.9")));
}

TEST(PackageAddress, OnlyHttpsOrLoopbackHttp)
{
    for (const char* good : {"https://updates.example.org/p.exe", "http://127.0.0.1:8080/p",
                             "http://localhost/p", "http://[::1]:99/p", "HTTPS://Host/p"})
        EXPECT_TRUE(packageAddressAllowed(good)) << good;
    for (const char* bad :
         {"http://updates.example.org/p.exe", "ftp://127.0.0.1/p", "http://127.0.0.1.example.org/p",
          "http://128.0.0.1/p", "file:///tmp/p", "", "/versions/p.exe", "127.0.0.1/p"})
        EXPECT_FALSE(packageAddressAllowed(bad)) << bad;
}

class PackageFile : public ::testing::Test {
protected:
    QString write(const QByteArray& bytes)
    {
        const QString path = dir.filePath("Parlo2Upd.exe");
        writeBytes(path, bytes);
        return path;
    }
    QTemporaryDir dir;
};

TEST_F(PackageFile, TooSmallOrAnErrorPageIsNoPackage)
{
    EXPECT_EQ(checkPackage(write(QByteArray(24999, 'x')), 0, {}), PackageVerdict::Incomplete);
    EXPECT_EQ(checkPackage(write(QByteArray(25000, 'x')), 0, {}), PackageVerdict::Good);
    EXPECT_EQ(checkPackage(write("<p>gone</p><HtMl>404</html>"), -1, {}),
              PackageVerdict::NotFoundPage);
    EXPECT_EQ(checkPackage(dir.filePath("absent"), 0, {}), PackageVerdict::Incomplete);
}

TEST_F(PackageFile, SizeAndChecksumMustMatchWhenKnown)
{
    const QByteArray bytes(30000, 'p');
    const QString sum =
        QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    EXPECT_EQ(checkPackage(write(bytes), 30000, sum), PackageVerdict::Good);
    EXPECT_EQ(checkPackage(write(bytes), 30000, sum.toUpper()), PackageVerdict::Good);
    EXPECT_EQ(checkPackage(write(bytes), 30001, sum), PackageVerdict::Incomplete);
    QByteArray changed = bytes;
    changed[100] = 'q';
    EXPECT_EQ(checkPackage(write(changed), 30000, sum), PackageVerdict::Incomplete);
}

TEST(CheckSchedule, DueAfterSevenDaysCountingFromTheNearestDay)
{
    const QDate today(2026, 12, 8);
    const QDateTime morning(today, QTime(9, 0));
    const QDateTime evening(today, QTime(18, 0));
    EXPECT_EQ(dayNumber(QDate(1899, 12, 31)), 1);
    EXPECT_EQ(dayNumber(QDate(2000, 1, 1)), 36526);

    EXPECT_TRUE(checkDue(QVariant(), morning));
    EXPECT_FALSE(checkDue(dayNumber(today), morning));
    EXPECT_FALSE(checkDue(dayNumber(today.addDays(-6)), morning));
    EXPECT_TRUE(checkDue(dayNumber(today.addDays(-7)), morning));
    // After noon the moment rounds to tomorrow.
    EXPECT_TRUE(checkDue(dayNumber(today.addDays(-6)), evening));
    // As read back from the file, and as the date text an available update leaves.
    EXPECT_FALSE(checkDue(QStringLiteral(" %1 ").arg(dayNumber(today)), morning));
    EXPECT_EQ(dateText(today), "08/Dec/2026");
    EXPECT_FALSE(checkDue(dateText(today.addDays(-6)), morning));
    EXPECT_TRUE(checkDue(dateText(today.addDays(-7)), morning));
    EXPECT_TRUE(checkDue(QStringLiteral("31/Foo/2026"), morning));
}

TEST(UpdateServer, SettingOverridesTheBuildAndNoServerGivesNoAddress)
{
    ScopedProgramHome home;
    auto& settings = cSHAREDSettings::shared();
    settings.DeleteAllSettings();
    settings.sSet("UpdateServer", "http://127.0.0.1:9/base/");
    EXPECT_EQ(currentVersionUrl(), "http://127.0.0.1:9/base/versions/PRL2_current.txt");
    EXPECT_EQ(detailsUrl(), "http://127.0.0.1:9/base/versions/PRL2_details.txt");
    settings.DeleteAllSettings();
    if (!QStringLiteral(PARLO_UPDATE_SERVER).isEmpty())
        GTEST_SKIP() << "this build names an update server";
    EXPECT_TRUE(currentVersionUrl().isEmpty());
    EXPECT_TRUE(detailsUrl().isEmpty());
}
