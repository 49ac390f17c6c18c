// The reader's Gutenberg button: a book downloaded with Download and Read is opened and read.
#include "fakevoice.h"
#include "library/fSHAREDGut.h"
#include "mirror.h"
#include "reader/frmMain.h"
#include "settings/lang.h"
#include "settings/settings.h"
#include "testsupport.h"

#include <QApplication>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <QTreeView>

#include <gtest/gtest.h>

namespace {

fSHAREDGut* libraryWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* library = qobject_cast<fSHAREDGut*>(widget); library && library->isVisible())
            return library;
    }
    return nullptr;
}

// Great Expectations is chosen from the catalogue and Download and Read clicked: the book
// arrives as file and is read aloud.
void downloadAndRead(const QByteArray& catalogue, const QString& file, bool csvSite)
{
    ScopedProgramHome home;
    RecordingPrompt prompt;
    cSHAREDSettings::shared().DeleteAllSettings();
    cSharedLang::instance().RevertToEnglish();
    LoopbackMirror mirror;
    ASSERT_TRUE(mirror.ok());
    if (csvSite)
        mirror.serveCsvSite();
    writeBytes(home.file("GutIndex.txt"), catalogue);

    FakeVoice* voice = nullptr;
    frmMain::Options options;
    options.showSplash = false;
    options.voiceFactory = [&voice](Failure&) -> std::unique_ptr<cSpeechVoice> {
        auto made = std::make_unique<FakeVoice>();
        voice = made.get();
        return made;
    };
    frmMain reader(options);
    ASSERT_TRUE(reader.startUp());
    mirror.useInSettings();

    // The library window is modal: the user's part is played once it shows.
    bool played = false;
    QTimer user;
    user.setInterval(10);
    QObject::connect(&user, &QTimer::timeout, [&] {
        fSHAREDGut* library = libraryWindow();
        if (!library || played)
            return;
        played = true;
        auto* list = library->findChild<QTreeView*>("ListView1");
        list->setCurrentIndex(list->model()->index(library->library().books().find("great"), 0));
        library->findChild<QPushButton*>("cmdDownloadAndRead")->click();
    });
    user.start();
    reader.findChild<QPushButton*>("cmdGUT")->click();
    user.stop();

    ASSERT_TRUE(played);
    EXPECT_EQ(libraryWindow(), nullptr);
    const QString book = home.file(file);
    EXPECT_EQ(reader.CurrentFile(), book);
    EXPECT_TRUE(reader.findChild<QTextEdit*>("RichTextBox1")
                    ->toPlainText()
                    .startsWith("Great Expectations."));
    ASSERT_NE(voice, nullptr);
    ASSERT_FALSE(voice->spoken.isEmpty()) << prompt.messages.join('|').toStdString();
    EXPECT_TRUE(voice->spoken.first().contains("Great Expectations"));
    reader.ShutDown();
}

TEST(LibraryAndReader, DownloadAndReadOpensTheBookInTheReaderAndReadsIt)
{
    downloadAndRead("/1/4/0/1400/1400.txt, Great Expectations, by Charles Dickens\r\n"
                    "/0/7/7.txt, A Short One\r\n",
                    "1400 - Great Expectations by Charles Dickens.txt", false);
}

TEST(LibraryAndReader, ABookOfTodaysSiteIsReadFromItsModernPath)
{
    downloadAndRead("/cache/epub/1400/pg1400.txt, Great Expectations\r\n"
                    "/cache/epub/7/pg7.txt, A Short One\r\n",
                    "pg1400 - Great Expectations.txt", true);
}

} // namespace
