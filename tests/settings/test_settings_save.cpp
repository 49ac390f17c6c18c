#include "settings/settings.h"

#include "../support/testsupport.h"
#include "diagnostics/failure.h"
#include "settingstest.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

const QString kReadOnly =
    QStringLiteral("Your settings file is read-only and I can't change it. Save cancelled.");
const QString kDiskFull =
    QStringLiteral("You've run out of disk space on drive /:\rPlease clear some space and then "
                   "click Retry, else click Cancel to abort.");

// A settings store with something in it, and the file it last saved.
struct SaveCase {
    ScopedProgramHome home;
    RecordingPrompt prompt;
    cSHAREDSettings settings;
    QString file = home.file("Parlo.ini");
    const QByteArray old = "LASTENGINE, 1 \r\n";

    SaveCase()
    {
        writeBytes(file, old);
        settings.StoreSetting("LastEngine", 2);
        settings.StoreSetting("LangID", "English");
    }
    // The writer fails with the given numbers in turn, then writes for real.
    void failWith(QList<int> numbers)
    {
        auto calls = std::make_shared<int>(0);
        settings.setWriter([numbers, calls](const QString& path, const QByteArray& bytes) mutable {
            ++*calls;
            if (!numbers.isEmpty())
                return numbers.takeFirst();
            return cSHAREDSettings::writeWholeFile(path, bytes);
        });
        m_calls = calls;
    }
    int calls() const { return m_calls ? *m_calls : 0; }
    void expectUnchanged() const
    {
        EXPECT_EQ(readBytes(file), old);
        EXPECT_EQ(settings.SettingsCount(), 2);
        EXPECT_EQ(settings.RetrieveSetting("LastEngine").toInt(), 2);
        EXPECT_EQ(settings.RetrieveSetting("LangID").toString(), "English");
    }
    std::shared_ptr<int> m_calls;
};

const QByteArray kNew = "LASTENGINE, 2 \r\nLANGID,English\r\n";

} // namespace

TEST(SettingsSave, AFullDiskIsOfferedRetryAndRetryWritesTheWholeFileAgain)
{
    SaveCase c;
    c.failWith({Err::DiskFull});
    c.prompt.answers = {cUserPrompt::Answer::Retry};
    EXPECT_TRUE(c.settings.SaveSettings(c.file));
    EXPECT_EQ(c.prompt.questions, QStringList{kDiskFull});
    EXPECT_EQ(c.calls(), 2);
    EXPECT_EQ(readBytes(c.file), kNew);
}

TEST(SettingsSave, AFullDiskAsksAgainWhileRetryFailsAndCancelKeepsTheOldFile)
{
    SaveCase c;
    c.failWith({Err::DiskFull, Err::DiskFull});
    c.prompt.answers = {cUserPrompt::Answer::Retry, cUserPrompt::Answer::Cancel};
    EXPECT_FALSE(c.settings.SaveSettings(c.file));
    EXPECT_EQ(c.prompt.questions.size(), 2);
    EXPECT_TRUE(c.prompt.errors.isEmpty());
    c.expectUnchanged();
}

TEST(SettingsSave, AReadOnlyFileIsMadeWritableAndWritten)
{
    SaveCase c;
    QFile::setPermissions(c.file, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    EXPECT_TRUE(c.settings.SaveSettings(c.file));
    EXPECT_EQ(readBytes(c.file), kNew);
    EXPECT_TRUE(c.prompt.messages.isEmpty());
    // Made writable for the owner, readable by others as before.
    const auto permissions = QFile::permissions(c.file);
    EXPECT_TRUE(permissions & QFile::WriteOwner);
    EXPECT_TRUE(permissions & QFile::ReadOther);
}

TEST(SettingsSave, AFileThatStaysReadOnlyIsRefused)
{
    SaveCase c;
    const QString absent = c.home.file("nowhere/Parlo.ini");
    c.failWith({Err::PathFileAccess});
    EXPECT_FALSE(c.settings.SaveSettings(absent));
    EXPECT_EQ(c.prompt.messages, QStringList{kReadOnly});
    EXPECT_EQ(c.calls(), 1);
    c.expectUnchanged();
}

TEST(SettingsSave, AnAccessFailureAfterMakingWritableIsShownOnce)
{
    SaveCase c;
    c.failWith({Err::PathFileAccess, Err::PathFileAccess});
    EXPECT_FALSE(c.settings.SaveSettings(c.file));
    EXPECT_TRUE(c.prompt.messages.isEmpty());
    EXPECT_EQ(c.prompt.errors, QStringList{"75 - Path/File access error in SaveSettings"});
    c.expectUnchanged();
}

TEST(SettingsSave, OtherFailuresAreShownAsErrors)
{
    SaveCase c;
    c.failWith({Err::DeviceIO});
    EXPECT_FALSE(c.settings.SaveSettings(c.file));
    EXPECT_EQ(c.prompt.errors, QStringList{"57 - Device I/O error in SaveSettings"});
    c.expectUnchanged();

    c.prompt.errors.clear();
    c.settings.setWriter({});
    EXPECT_FALSE(c.settings.SaveSettings(c.home.file("no such folder/Parlo.ini")));
    EXPECT_EQ(c.prompt.errors, QStringList{"76 - Path not found in SaveSettings"});

    c.prompt.errors.clear();
    ASSERT_TRUE(QDir().mkpath(c.home.file("folder.ini")));
    EXPECT_FALSE(c.settings.SaveSettings(c.home.file("folder.ini")));
    EXPECT_EQ(c.prompt.errors, QStringList{"75 - Path/File access error in SaveSettings"});
    EXPECT_TRUE(QFileInfo(c.home.file("folder.ini")).isDir());
}

TEST(SettingsSave, ARealFullDiskKeepsTheOldFileAndRetryAfterClearingSpaceWorks)
{
    ScopedProgramHome home;
    SmallDisk disk(home.file("disk"));
    SKIP_WITHOUT_SMALL_DISK(disk);
    const QString file = home.file("disk/Parlo.ini");
    const QByteArray old = "LANGID,English\r\n";
    writeBytes(file, old);
    disk.fill();

    cSHAREDSettings settings;
    for (int i = 0; i < 3000; ++i)
        settings.StoreSetting("Book" + QString::number(i), i);

    // Clears the space when asked the first time, as a user would.
    class Clearing : public RecordingPrompt {
    public:
        QString filler;
        Answer retryCancel(const QString& text) override
        {
            RecordingPrompt::retryCancel(text);
            if (questions.size() > 1)
                return Answer::Cancel;
            QFile::remove(filler);
            return Answer::Retry;
        }
    };
    {
        RecordingPrompt cancel;
        EXPECT_FALSE(settings.SaveSettings(file));
        EXPECT_EQ(cancel.questions, QStringList{kDiskFull});
        EXPECT_EQ(readBytes(file), old);
        QStringList files = QDir(home.file("disk")).entryList(QDir::Files);
        files.sort();
        EXPECT_EQ(files, QStringList({"Parlo.ini", "filler"}));
    }
    Clearing clearing;
    clearing.filler = home.file("disk/filler");
    EXPECT_TRUE(settings.SaveSettings(file));
    EXPECT_EQ(clearing.questions.size(), 1);
    EXPECT_EQ(readBytes(file), settings.fileContents());
}

TEST(SettingsSave, AFewBytesOnAFullDiskKeepTheOldFileAndAskForSpace)
{
    // Small enough to wait in the file's buffer until it is committed.
    ScopedProgramHome home;
    SmallDisk disk(home.file("disk"));
    SKIP_WITHOUT_SMALL_DISK(disk);
    const QString file = home.file("disk/Parlo.ini");
    const QByteArray old = "LANGID,English\r\nLASTENGINE, 1 \r\n";
    writeBytes(file, old);
    disk.fill();

    cSHAREDSettings settings;
    settings.StoreSetting("LangID", "Deutsch");
    RecordingPrompt prompt;
    prompt.answers = {cUserPrompt::Answer::Retry, cUserPrompt::Answer::Cancel};
    EXPECT_FALSE(settings.SaveSettings(file));
    EXPECT_EQ(prompt.questions, QStringList({kDiskFull, kDiskFull}));
    EXPECT_TRUE(prompt.errors.isEmpty());
    EXPECT_EQ(readBytes(file), old);
    EXPECT_EQ(QDir(home.file("disk")).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase),
              QStringList({"filler", "Parlo.ini"}));

    disk.clear();
    EXPECT_TRUE(settings.SaveSettings(file));
    EXPECT_EQ(readBytes(file), QByteArray("LANGID,Deutsch\r\n"));
}

TEST(SettingsSave, AFileOnAReadOnlyDiskIsRefused)
{
    ScopedProgramHome home;
    SmallDisk disk(home.file("disk"));
    SKIP_WITHOUT_SMALL_DISK(disk);
    const QString file = home.file("disk/Parlo.ini");
    writeBytes(file, "LANGID,English\r\n");
    QFile::setPermissions(file, QFile::ReadOwner);
    ASSERT_TRUE(disk.makeReadOnly());

    RecordingPrompt prompt;
    cSHAREDSettings settings;
    settings.StoreSetting("LangID", "Deutsch");
    EXPECT_FALSE(settings.SaveSettings(file));
    EXPECT_EQ(prompt.messages, QStringList{kReadOnly});
    EXPECT_EQ(readBytes(file), QByteArray("LANGID,English\r\n"));
    EXPECT_EQ(settings.RetrieveSetting("LangID").toString(), "Deutsch");
}

TEST(SettingsSave, ALinkedSettingsFileStaysALink)
{
    ScopedProgramHome home;
    writeBytes(home.file("real.ini"), "A,0\r\n");
    ASSERT_TRUE(QFile::link(home.file("real.ini"), home.file("Parlo.ini")));
    cSHAREDSettings settings;
    settings.StoreSetting("A", 1);
    ASSERT_TRUE(settings.SaveSettings(home.file("Parlo.ini")));
    EXPECT_TRUE(QFileInfo(home.file("Parlo.ini")).isSymLink());
    EXPECT_EQ(readBytes(home.file("real.ini")), QByteArray("A, 1 \r\n"));
}

TEST(SettingsSave, ANewFileGetsOrdinaryPermissions)
{
    ScopedProgramHome home;
    cSHAREDSettings settings;
    settings.StoreSetting("A", 1);
    ASSERT_TRUE(settings.SaveSettings(home.file("Parlo.ini")));
    const auto permissions = QFile::permissions(home.file("Parlo.ini"));
    EXPECT_TRUE(permissions & QFile::ReadOwner);
    EXPECT_TRUE(permissions & QFile::WriteOwner);
    EXPECT_EQ(QDir(home.path()).entryList(QDir::Files), QStringList{"Parlo.ini"});
}
