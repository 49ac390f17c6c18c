// parlo --build-catalogue, run as a script runs it.
#include "testsupport.h"

#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace {

QByteArray fixture(const char* name)
{
    return readBytes(QStringLiteral(TEST_DATA_DIR "/") + QLatin1StringView(name));
}

class BuildCatalogueCli : public ::testing::Test {
protected:
    void put(const QString& name, const QByteArray& bytes) { writeBytes(home.file(name), bytes); }
    // Runs parlo on pipes, or on a pseudo-terminal through script(1).
    void run(bool terminal = false)
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("PARLO_HOME"), home.path());
        process.setProcessEnvironment(env);
        if (terminal)
            process.start(
                QStringLiteral("script"),
                {"-qec", QStringLiteral("'%1' --build-catalogue").arg(PARLO_BINARY), "/dev/null"});
        else
            process.start(QStringLiteral(PARLO_BINARY), {"--build-catalogue"});
        ASSERT_TRUE(process.waitForFinished(120000));
        exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        out = QString::fromUtf8(process.readAllStandardOutput());
        err = QString::fromUtf8(process.readAllStandardError());
    }

    ScopedProgramHome home;
    int exitCode = -1;
    QString out;
    QString err;
};

} // namespace

TEST_F(BuildCatalogueCli, BuildsFromTheSourcesAndCountsTheRecords)
{
    put("ls-R", fixture("ls-R.crlf"));
    put("GUTINDEX.ALL", fixture("GUTINDEX.ALL"));
    run();
    EXPECT_EQ(exitCode, 0) << err.toStdString();
    EXPECT_EQ(out, "8\n");
    EXPECT_EQ(err, "Recreating catalogue\nCatalogue created\n");
    EXPECT_EQ(readBytes(home.file("GutIndex.txt")).count("\r\n"), 8);

    // With the Australian catalogue beside them, its books are counted too.
    put("catalogue.txt", fixture("catalogue.txt"));
    run();
    EXPECT_EQ(exitCode, 0) << err.toStdString();
    EXPECT_EQ(out, "12\n");
    EXPECT_EQ(readBytes(home.file("GutIndex.txt")).count("\r\n"), 12);
}

TEST_F(BuildCatalogueCli, MissingSourcesAreAnError)
{
    put("GutIndex.txt", "/0/1/1.txt, Kept\r\n");
    const QString message = "parlo: Cannot create catalog. Please download and try again.\n";
    put("GUTINDEX.ALL", fixture("GUTINDEX.ALL"));
    run();
    EXPECT_EQ(exitCode, 1);
    EXPECT_EQ(err, message);
    EXPECT_EQ(out, "");
    QFile::remove(home.file("GUTINDEX.ALL"));
    put("ls-R", fixture("ls-R.lf"));
    run();
    EXPECT_EQ(exitCode, 1);
    EXPECT_EQ(err, message);
    // A listing without a single book gives no file list to build from.
    put("GUTINDEX.ALL", fixture("GUTINDEX.ALL"));
    put("ls-R", "./1:\nreadme.pdf\n");
    run();
    EXPECT_EQ(exitCode, 1);
    EXPECT_EQ(err, message);
    EXPECT_EQ(readBytes(home.file("GutIndex.txt")), "/0/1/1.txt, Kept\r\n");
}

TEST_F(BuildCatalogueCli, UnwritableCatalogueIsAnError)
{
    put("ls-R", fixture("ls-R.lf"));
    put("GUTINDEX.ALL", fixture("GUTINDEX.ALL"));
    ASSERT_TRUE(QDir(home.path()).mkdir("GutIndex.txt"));
    run();
    EXPECT_EQ(exitCode, 1);
    EXPECT_TRUE(err.contains("cannot write")) << err.toStdString();
    EXPECT_EQ(out, "");
}

TEST_F(BuildCatalogueCli, ProgressBarOnATerminal)
{
    if (QStandardPaths::findExecutable("script").isEmpty())
        GTEST_SKIP() << "no script(1) to give parlo a terminal";
    QByteArray index = fixture("GUTINDEX.ALL");
    for (int i = 0; i < 200; ++i)
        index += "\r\n";
    put("ls-R", fixture("ls-R.lf"));
    put("GUTINDEX.ALL", index);
    run(true);
    EXPECT_EQ(exitCode, 0);
    // script(1) shows stderr and stdout alike.
    EXPECT_TRUE(out.contains("Line 200 of 230")) << out.toStdString();
    EXPECT_TRUE(out.contains("%")) << out.toStdString();
    EXPECT_TRUE(out.contains("Catalogue created")) << out.toStdString();
}

TEST_F(BuildCatalogueCli, TodaysCatalogueWhereThereIsNoListing)
{
    put("pg_catalog.csv", fixture("pg_catalog.csv"));
    put("GUTINDEX.ALL", fixture("GUTINDEX.ALL"));
    run();
    EXPECT_EQ(exitCode, 0) << err.toStdString();
    EXPECT_EQ(out, "7\n");
    EXPECT_EQ(err, "Recreating catalogue\nCatalogue created\n"
                   "parlo: 2 records of pg_catalog.csv could not be read and were left out\n");
    EXPECT_TRUE(readBytes(home.file("GutIndex.txt")).startsWith("/cache/epub/1/pg1.txt, "));
    EXPECT_TRUE(readBytes(home.file("GutBooks.txt")).startsWith("#path\t"));

    // A mirror's listing goes first.
    put("ls-R", fixture("ls-R.crlf"));
    run();
    EXPECT_EQ(exitCode, 0) << err.toStdString();
    EXPECT_EQ(out, "8\n");
    EXPECT_TRUE(readBytes(home.file("GutIndex.txt")).startsWith("/1/4/0/1400/1400.txt, "));
}
