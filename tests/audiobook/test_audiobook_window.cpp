#include "fakevoice.h"
#include "reader/frmMain.h"
#include "settings/lang.h"
#include "settings/settings.h"
#include "testsupport.h"

#include <QAction>
#include <QDir>
#include <QProgressDialog>

#include <gtest/gtest.h>

namespace {

// The reader window with a book open, its audiobooks made by the real program's workers.
class AudiobookWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        cSHAREDSettings::shared().DeleteAllSettings();
        cSharedLang::instance().RevertToEnglish();
        qputenv("PARLO_AUDIOBOOK_WORKER", PARLO_BINARY);
        qputenv("PARLO_AUDIOBOOK_WORKERS", "2");
        frmMain::Options options;
        options.showSplash = false;
        options.voiceFactory = [](Failure&) -> std::unique_ptr<cSpeechVoice> {
            return std::make_unique<FakeVoice>();
        };
        options.chooseAudiobook = [this](QWidget*, QString& folder, AudioFormat& format) {
            ++asked;
            folder = this->folder;
            format = AudioFormat::Ogg;
            return !folder.isEmpty();
        };
        window = std::make_unique<frmMain>(options);
        ASSERT_TRUE(window->startUp());
        QByteArray text = "Title: A Walk\nAuthor: Ann Writer\n\n";
        for (const char* chapter : {"CHAPTER I", "CHAPTER II"})
            text += QByteArray(chapter) + "\n\nWe walked on and on until the sun went down.\n\n";
        writeBytes(home.file("walk.txt"), text);
        ASSERT_TRUE(window->OpenDocument(home.file("walk.txt")));
    }
    void TearDown() override
    {
        window.reset();
        qunsetenv("PARLO_AUDIOBOOK_WORKER");
        qunsetenv("PARLO_AUDIOBOOK_WORKERS");
    }
    QAction* menuItem() const
    {
        return window->findChild<QAction*>(QStringLiteral("mnuAudiobook"));
    }
    QStringList entries() const
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                      QDir::Name);
    }

    ScopedProgramHome home;
    RecordingPrompt prompt;
    std::unique_ptr<frmMain> window;
    QString folder;
    int asked = 0;
};

} // namespace

TEST_F(AudiobookWindow, MenuItemWritesAFileAPerChapter)
{
    ASSERT_NE(menuItem(), nullptr);
    EXPECT_EQ(menuItem()->text(), "Read into a&udio files by chapter…");
    // Cancelled at the choice: nothing happens.
    menuItem()->trigger();
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(prompt.messages.isEmpty());

    folder = home.file("audio");
    menuItem()->trigger();
    ASSERT_TRUE(waitUntil([&] { return !prompt.messages.isEmpty(); }, 300000));
    EXPECT_EQ(prompt.messages.value(0), "The audio files have been saved in " + folder);
    EXPECT_EQ(entries(), (QStringList{"01 - CHAPTER I.ogg", "02 - CHAPTER II.ogg", "A Walk.m3u"}));
    EXPECT_TRUE(waitUntil(
        [&] { return !window->findChild<QProgressDialog*>(QStringLiteral("audiobookProgress")); }));
}

TEST_F(AudiobookWindow, StopEndsTheWorkersAndLeavesNoFile)
{
    folder = home.file("audio");
    menuItem()->trigger();
    auto* progress = window->findChild<QProgressDialog*>(QStringLiteral("audiobookProgress"));
    ASSERT_NE(progress, nullptr);
    // As its Stop button does.
    Q_EMIT progress->canceled();
    ASSERT_TRUE(waitUntil([&] { return !prompt.messages.isEmpty(); }, 60000));
    EXPECT_EQ(prompt.messages.value(0), "The reading was stopped. No audio file was saved.");
    EXPECT_EQ(entries(), QStringList{});
}
