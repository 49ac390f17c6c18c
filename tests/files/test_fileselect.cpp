#include "files/fileselect.h"

#include "settings/lang.h"
#include "testsupport.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>

namespace {

const QString kPattern = QStringLiteral("*.txt;*.text;*.html;*.htm;*.rtf");
const QString kSub = QStringLiteral("Bücher und Texte");

class FileSelect : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        root = QDir::cleanPath(folder.path());
        for (const char* name : {"a book.txt", "Chapter 10.txt", "Chapter 2.txt", "notes.md",
                                 "STORY.HTML", "Émile – Band 1.rtf"})
            writeBytes(root + '/' + QString::fromUtf8(name), "x");
        QDir(root).mkpath(kSub + "/deeper");
        writeBytes(root + '/' + kSub + "/Ñandú.txt", "x");
        QDir(root).mkpath(".hidden");
        QDir(root).mkpath("empty");
        dialog = new frmFileSelect;
        dialog->SetFilepattern(kPattern);
        dialog->SetWindowTitle("Please select a file to open.");
    }
    void TearDown() override { delete dialog; }

    QStringList files() const
    {
        QStringList names;
        auto* list = dialog->findChild<QListWidget*>("File1");
        for (int i = 0; i < list->count(); ++i)
            names << list->item(i)->text();
        return names;
    }
    QString status() const { return dialog->findChild<QLabel*>("lblStatus")->text(); }

    // Shows the window through GetFilename and works it from the keyboard while it is up.
    void runModal(const std::function<void()>& actions)
    {
        bool ran = false;
        QTimer::singleShot(0, dialog, [&] {
            EXPECT_TRUE(QTest::qWaitForWindowActive(dialog));
            actions();
            ran = true;
        });
        // A window left open by a failing step must not hang the test run.
        QTimer::singleShot(5000, dialog, [this] {
            ADD_FAILURE() << "the window was still open";
            dialog->hide();
        });
        dialog->GetFilename();
        EXPECT_TRUE(ran);
        EXPECT_FALSE(dialog->isVisible());
    }
    static void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
    }
    static QString focused()
    {
        return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
    }

    QTemporaryDir folder;
    QString root;
    frmFileSelect* dialog = nullptr;
};

TEST_F(FileSelect, ChoosingAFileWithTheKeyboardFillsTheOutcome)
{
    dialog->SetDefaultPath(root);
    runModal([&] {
        EXPECT_EQ(dialog->windowTitle(), "Please select a file to open.");
        EXPECT_EQ(focused(), "File1");
        press(Qt::Key_Down);
        press(Qt::Key_Return);
    });
    EXPECT_FALSE(dialog->Cancelled());
    // Numbers sort as numbers: "Chapter 2" comes before "Chapter 10".
    EXPECT_EQ(dialog->SelectedFilename(), "Chapter 2.txt");
    EXPECT_EQ(dialog->SelectedPath(), root);
    EXPECT_EQ(dialog->SelectedDrive(), "/");
    EXPECT_TRUE(QFileInfo::exists(dialog->SelectedPath() + '/' + dialog->SelectedFilename()));
}

TEST_F(FileSelect, CancelEscapeAndTheCloseBoxHideWithoutDestroying)
{
    dialog->SetDefaultPath(root);
    runModal([&] { press(Qt::Key_Return); });
    ASSERT_FALSE(dialog->Cancelled());
    EXPECT_EQ(dialog->SelectedFilename(), "a book.txt");

    runModal([&] { press(Qt::Key_Escape); });
    EXPECT_TRUE(dialog->Cancelled());

    QPointer<frmFileSelect> alive(dialog);
    runModal([&] { dialog->close(); });
    EXPECT_TRUE(dialog->Cancelled());

    runModal([&] {
        // Tab order: files, OK, Cancel.
        press(Qt::Key_Tab);
        EXPECT_EQ(focused(), "cmdOK");
        press(Qt::Key_Tab);
        EXPECT_EQ(focused(), "cmdCancel");
        press(Qt::Key_Space);
    });
    EXPECT_TRUE(dialog->Cancelled());
    QApplication::processEvents();
    EXPECT_FALSE(alive.isNull());
}

TEST_F(FileSelect, PatternFiltersWithoutRegardToCaseAndEmptyShowsAll)
{
    dialog->SetDefaultPath(root);
    EXPECT_EQ(files(), QStringList({"a book.txt", "Chapter 2.txt", "Chapter 10.txt",
                                    QString::fromUtf8("Émile – Band 1.rtf"), "STORY.HTML"}));
    dialog->SetFilepattern("*.md");
    EXPECT_EQ(files(), QStringList("notes.md"));
    dialog->SetFilepattern(" *.rtf ; ;*.md");
    EXPECT_EQ(files().size(), 2);
    dialog->SetFilepattern("");
    EXPECT_EQ(files().size(), 6);
    dialog->SetFilepattern("*.epub");
    EXPECT_TRUE(files().isEmpty());
    EXPECT_TRUE(status().contains("*.epub")) << status().toStdString();
}

TEST_F(FileSelect, NamedFiltersAreChosenFromTheirList)
{
    dialog->SetDefaultPath(root);
    auto* types = dialog->findChild<QComboBox*>("cboFilter");
    ASSERT_NE(types, nullptr);
    EXPECT_TRUE(types->isHidden());
    dialog->SetFilters({"*.txt;*.rtf", "EPUB Books (*.epub)", "Pages (*.html *.HTM)"});
    EXPECT_FALSE(types->isHidden());
    EXPECT_EQ(types->itemText(1), "EPUB Books (*.epub)");
    EXPECT_EQ(dialog->Filepattern(), "*.txt;*.rtf");
    EXPECT_EQ(files().size(), 4);
    runModal([&] {
        types->setFocus();
        press(Qt::Key_Down);
        EXPECT_EQ(dialog->Filepattern(), "*.epub");
        EXPECT_TRUE(files().isEmpty());
        EXPECT_TRUE(status().contains("*.epub")) << status().toStdString();
        press(Qt::Key_Down);
        EXPECT_EQ(files(), QStringList("STORY.HTML"));
        dialog->reject();
    });
}

TEST_F(FileSelect, FolderWithNonAsciiNameAndBlanksIsReachedByArrowKeys)
{
    dialog->SetDefaultPath(root);
    auto* tree = dialog->findChild<QTreeWidget*>("Dir1");
    runModal([&] {
        dialog->findChild<QWidget*>("Dir1")->setFocus(Qt::TabFocusReason);
        EXPECT_EQ(focused(), "Dir1");
        // Subfolders of the open folder are listed below it, hidden ones left out.
        QStringList shown;
        for (int i = 0; i < tree->currentItem()->childCount(); ++i)
            shown << tree->currentItem()->child(i)->text(0);
        EXPECT_EQ(shown, QStringList({kSub, "empty"}));
        press(Qt::Key_Down);
        EXPECT_EQ(dialog->currentFolder(), root + '/' + kSub);
        EXPECT_EQ(files(), QStringList(QString::fromUtf8("Ñandú.txt")));
        // Enter in the folder tree takes the user to the files, it does not choose.
        press(Qt::Key_Return);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(focused(), "File1");
        press(Qt::Key_Return);
    });
    EXPECT_FALSE(dialog->Cancelled());
    EXPECT_EQ(dialog->SelectedPath(), root + '/' + kSub);
    EXPECT_EQ(dialog->SelectedFilename(), QString::fromUtf8("Ñandú.txt"));
    EXPECT_TRUE(QFileInfo::exists(dialog->SelectedPath() + '/' + dialog->SelectedFilename()));

    // Backspace in the file list goes up again.
    runModal([&] {
        press(Qt::Key_Backspace);
        EXPECT_EQ(dialog->currentFolder(), root);
        press(Qt::Key_Escape);
    });
}

TEST_F(FileSelect, AcceptingWithNoFileGivesAnEmptyNameNotACancel)
{
    dialog->SetDefaultPath(root + "/empty");
    runModal([&] {
        EXPECT_FALSE(status().isEmpty());
        press(Qt::Key_Return);
    });
    EXPECT_FALSE(dialog->Cancelled());
    EXPECT_EQ(dialog->SelectedFilename(), "");
    EXPECT_EQ(dialog->SelectedPath(), root + "/empty");
}

TEST_F(FileSelect, DoubleClickChooses)
{
    dialog->SetDefaultPath(root);
    runModal([&] {
        auto* list = dialog->findChild<QListWidget*>("File1");
        const QRect rect = list->visualItemRect(list->item(4));
        // A real double-click starts with a press on the same item.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    });
    EXPECT_FALSE(dialog->Cancelled());
    EXPECT_EQ(dialog->SelectedFilename(), "STORY.HTML");
}

TEST_F(FileSelect, DefaultPathMovesOnlyToAnExistingAbsoluteFolder)
{
    const QString start = dialog->currentFolder();
    EXPECT_EQ(start, QDir::cleanPath(QDir::currentPath()));
    for (const QString& ignored : {QString("books"), root + "/gone", QString("C:\\Books\\")}) {
        dialog->SetDefaultPath(ignored);
        EXPECT_EQ(dialog->DefaultPath(), ignored);
        EXPECT_EQ(dialog->currentFolder(), start) << ignored.toStdString();
    }
    // The stored "Path" setting carries a trailing separator.
    dialog->SetDefaultPath(root + '/' + kSub + '/');
    EXPECT_EQ(dialog->currentFolder(), root + '/' + kSub);
    // A hidden folder is not listed, but can still be the one shown.
    dialog->SetDefaultPath(root + "/.hidden");
    EXPECT_EQ(dialog->currentFolder(), root + "/.hidden");
    EXPECT_EQ(dialog->findChild<QTreeWidget*>("Dir1")->currentItem()->text(0), ".hidden");
}

TEST_F(FileSelect, TypedLocationOpensFoldersAndChoosesFiles)
{
    dialog->SetDefaultPath(root);
    runModal([&] {
        auto* path = dialog->findChild<QLineEdit*>("txtPath");
        path->setFocus(Qt::ShortcutFocusReason);
        path->setText("nowhere");
        press(Qt::Key_Return);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_TRUE(status().contains("nowhere"));
        path->setText(kSub + "/deeper");
        press(Qt::Key_Return);
        EXPECT_EQ(dialog->currentFolder(), root + '/' + kSub + "/deeper");
        EXPECT_EQ(focused(), "File1");
        path->setFocus(Qt::ShortcutFocusReason);
        // A file the pattern hides is still taken when the user names it.
        path->setText(root + "/notes.md");
        press(Qt::Key_Return);
    });
    EXPECT_FALSE(dialog->Cancelled());
    EXPECT_EQ(dialog->SelectedPath(), root);
    EXPECT_EQ(dialog->SelectedFilename(), "notes.md");
}

TEST_F(FileSelect, EveryControlHasAnAccessibleNameAndTheParentsIcon)
{
    for (QWidget* widget : dialog->findChildren<QWidget*>()) {
        if (widget->focusPolicy() & Qt::TabFocus) {
            const QString name = widget->accessibleName().isEmpty()
                                     ? (qobject_cast<QPushButton*>(widget)
                                            ? qobject_cast<QPushButton*>(widget)->text()
                                            : QString())
                                     : widget->accessibleName();
            EXPECT_FALSE(name.isEmpty()) << widget->metaObject()->className();
        }
    }
    QWidget owner;
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::red);
    owner.setWindowIcon(QIcon(pixmap));
    frmFileSelect child(&owner);
    EXPECT_EQ(child.windowIcon().cacheKey(), owner.windowIcon().cacheKey());
}

TEST_F(FileSelect, ShowsItselfInTheChosenLanguage)
{
    ScopedProgramHome home;
    QDir(home.path()).mkpath("Languages");
    writeBytes(home.file("Languages/Deutsch.txt"),
               QString::fromUtf8("Deutsch\r\nCancel||Abbrechen\r\n&Files:||&Dateien:\r\n"
                                 "Please select a file to open.||Bitte eine Datei wählen.\r\n"
                                 "No files here match %1.||Keine Datei passt zu %1.\r\n"
                                 "EPUB Books (*.epub)||EPUB-Bücher (*.epub)\r\n")
                   .toUtf8());
    cSharedLang& lang = cSharedLang::instance();
    lang.OverrideLanguagePath(home.path());
    lang.LoadAllLanguages();
    lang.LoadLanguage(1);
    frmFileSelect german;
    german.SetDefaultPath(root + "/empty");
    german.SetFilepattern("*.txt");
    german.SetFilters({"*.txt", "EPUB Books (*.epub)"});
    EXPECT_EQ(german.findChild<QComboBox*>("cboFilter")->itemText(1),
              QString::fromUtf8("EPUB-Bücher (*.epub)"));
    german.SetWindowTitle("Please select a file to open.");
    EXPECT_EQ(german.findChild<QPushButton*>("cmdCancel")->text(), "Abbrechen");
    EXPECT_EQ(german.findChild<QLabel*>("lblStatus")->text(), "Keine Datei passt zu *.txt.");
    QTimer::singleShot(0, &german, [&] {
        EXPECT_EQ(german.windowTitle(), QString::fromUtf8("Bitte eine Datei wählen."));
        german.reject();
    });
    german.GetFilename();
    lang.RevertToEnglish();
    EXPECT_TRUE(german.Cancelled());
}

} // namespace
