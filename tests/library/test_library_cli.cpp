// parlo --update-catalogue, --search and --download against a loopback mirror, run as a
// script runs them.
#include "mirror.h"
#include "settings/settings.h"
#include "testsupport.h"

#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

class LibraryCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(mirror.ok());
        auto& settings = cSHAREDSettings::shared();
        settings.DeleteAllSettings();
        mirror.useInSettings();
        ASSERT_TRUE(settings.SaveSettings(home.file("Parlo.ini")));
        settings.DeleteAllSettings();
    }
    // Runs parlo with no display, as a script on a server would.
    void run(const QStringList& arguments)
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("PARLO_HOME"), home.path());
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(PARLO_BINARY), arguments);
        ASSERT_TRUE(process.waitForFinished(120000));
        exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        out = QString::fromUtf8(process.readAllStandardOutput());
        err = QString::fromUtf8(process.readAllStandardError());
    }

    ScopedProgramHome home;
    LoopbackMirror mirror;
    int exitCode = -1;
    QString out;
    QString err;
};

TEST_F(LibraryCli, UpdateCatalogueThenSearchThenDownload)
{
    run({"--search", "great"});
    EXPECT_EQ(exitCode, 1);
    EXPECT_EQ(err.count('\n'), 1);
    EXPECT_TRUE(err.startsWith("parlo: Cannot find GutIndex.txt")) << err.toStdString();

    run({"--update-catalogue"});
    EXPECT_EQ(exitCode, 0) << err.toStdString();
    EXPECT_EQ(out, "3\n");
    EXPECT_FALSE(QFileInfo::exists(home.file("catalogue.txt")));
    run({"--update-catalogue", "--australia"});
    EXPECT_EQ(exitCode, 0) << err.toStdString();
    EXPECT_EQ(out, "5\n");

    // Every word, in any order and letter case.
    run({"--search", "DICKENS", "great"});
    EXPECT_EQ(exitCode, 0) << err.toStdString();
    EXPECT_EQ(out, "/1/4/0/1400/1400.txt\tGreat Expectations, by Charles Dickens\n");
    run({"--search", "book"});
    EXPECT_EQ(out.count('\n'), 2);
    run({"--search", "nothing-like-it"});
    EXPECT_EQ(exitCode, 1);
    EXPECT_EQ(err, "parlo: No matches\n");

    run({"--download", "/1/4/0/1400/1400.txt"});
    EXPECT_EQ(exitCode, 0) << err.toStdString();
    const QString book = home.file("1400 - Great Expectations by Charles Dickens.txt");
    EXPECT_EQ(out, book + '\n');
    EXPECT_EQ(readBytes(book), LoopbackMirror::kBookText);

    // A zip outside the catalogue: its text is unpacked under the archive's own root.
    run({"--download", "1/4/0/1400/1400.zip"});
    EXPECT_EQ(exitCode, 0) << err.toStdString();
    EXPECT_EQ(out, home.file("1400.txt") + '\n');
    EXPECT_EQ(readBytes(home.file("1400.txt")), LoopbackMirror::kBookText);
}

TEST_F(LibraryCli, TodaysSiteWithoutAListingServesTheCatalogueAndItsBooks)
{
    mirror.serveCsvSite(LoopbackMirror::kSiteCsv +
                        "135,Text,2008-06-22,Les Misérables,fr,\"Hugo, Victor, 1802-1885\",,PQ,\n");
    run({"--update-catalogue"});
    EXPECT_EQ(exitCode, 0) << err.toStdString();
    EXPECT_EQ(out, "3\n");

    // Authors count as much as titles, and accents do not.
    run({"--search", "tolstoy"});
    EXPECT_EQ(out, "/cache/epub/2600/pg2600.txt\tWar and Peace\n") << err.toStdString();
    run({"--search", "MISERABLES", "hugo"});
    EXPECT_EQ(out, "/cache/epub/135/pg135.txt\tLes Misérables\n") << err.toStdString();
    run({"--search", "--language", "fr"});
    EXPECT_EQ(out.count('\n'), 1) << out.toStdString();
    run({"--search", "--language", "EN"});
    EXPECT_EQ(out.count('\n'), 2) << out.toStdString();
    run({"--search", "tolstoy", "--language", "fr"});
    EXPECT_EQ(exitCode, 1);
    EXPECT_EQ(err, "parlo: No matches\n");

    run({"--download", "/cache/epub/1400/pg1400.txt"});
    EXPECT_EQ(exitCode, 0) << err.toStdString();
    EXPECT_EQ(readBytes(home.file("pg1400 - Great Expectations.txt")), LoopbackMirror::kBookText);
}

TEST_F(LibraryCli, FailuresAreOneLineAndExitStatusOne)
{
    mirror.remove("dirs/ls-R");
    writeBytes(home.file("GutIndex.txt"), "/1/4/0/1402/1402.txt, Lost\r\n"
                                          "/1/4/0/1403/1403.txt, Error Page\r\n");
    run({"--update-catalogue"});
    EXPECT_EQ(exitCode, 1);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
    EXPECT_EQ(readBytes(home.file("GutIndex.txt")).count("\r\n"), 2);

    for (const char* path : {"/1/4/0/1402/1402.txt", "/1/4/0/1403/1403.txt"}) {
        run({"--download", path});
        EXPECT_EQ(exitCode, 1) << path;
        EXPECT_EQ(out, "");
        EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
        EXPECT_TRUE(err.startsWith("parlo: ")) << err.toStdString();
    }
    EXPECT_EQ(err, "parlo: File not found on server. Please check the URL and try again.\n");

    // A transfer that cannot even start ends the command too.
    auto& settings = cSHAREDSettings::shared();
    settings.LoadSettings(home.file("Parlo.ini"));
    settings.sSet("GutenDownloadPath2", "ftp:///");
    ASSERT_TRUE(settings.SaveSettings(home.file("Parlo.ini")));
    settings.DeleteAllSettings();
    run({"--download", "/1/4/0/1400/1400.txt"});
    EXPECT_EQ(exitCode, 1);
    EXPECT_EQ(err, "parlo: No address specified\n");
    EXPECT_FALSE(QFileInfo::exists(home.file("1402.txt")));
    EXPECT_FALSE(QFileInfo::exists(home.file("1403.txt")));
    EXPECT_FALSE(QFileInfo::exists(home.file("1403 - Error Page.txt")));
}

} // namespace
