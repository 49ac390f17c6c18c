#include "testsupport.h"
#include "updater/handoff.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class Handoff : public ::testing::Test {
protected:
    Handoff()
    {
        handoff.message = [this](const QString& title, const QString& text) {
            titles << title;
            messages << text;
        };
        handoff.open = [this](const QUrl& file) {
            opened << file;
            return true;
        };
    }
    QString file(const QString& name) const { return folder.filePath(name); }

    QTemporaryDir folder;
    cUpdateHandoff handoff;
    QStringList titles, messages;
    QList<QUrl> opened;
};

} // namespace

TEST_F(Handoff, NamedPackageGoesToTheDesktop)
{
    writeBytes(file("updater.ini"), "Parlo2Upd.exe");
    writeBytes(file("Parlo2Upd.exe"), "package");
    EXPECT_EQ(handoff.run("parlo 0.1.0", folder.path()), 0);
    EXPECT_EQ(opened, QList<QUrl>{QUrl::fromLocalFile(file("Parlo2Upd.exe"))});
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(Handoff, MissingPackageIsReportedUnderTheCaption)
{
    writeBytes(file("updater.ini"), "Parlo2Upd.exe\r\n");
    EXPECT_EQ(handoff.run("parlo 0.1.0", folder.path()), 1);
    EXPECT_TRUE(opened.isEmpty());
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(file("Parlo2Upd.exe")));
    EXPECT_EQ(titles[0], "parlo 0.1.0");
}

TEST_F(Handoff, OnlyAFileOfTheProgramFolderIsHandedOver)
{
    writeBytes(file("outside"), "x");
    for (const QByteArray& name :
         {QByteArray("../outside"), QByteArray("/etc/passwd"), QByteArray(""), QByteArray("..")}) {
        writeBytes(file("updater.ini"), name);
        EXPECT_EQ(handoff.run("parlo", folder.path()), 1) << name.constData();
    }
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_EQ(messages.size(), 4);
}
