#include "lextest.h"
#include "testsupport.h"

#include "settings/lang.h"
#include "speech/clsdict.h"
#include "speech/editor/frmLex.h"
#include "speech/editor/frmWordPair.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

// The list window against pl2Dict.txt in a fresh program folder, with the pair windows
// answered as a user would.
namespace {

class LexTest : public ::testing::Test {
protected:
    void SetUp() override { PronDict().ClearWords(); }
    void TearDown() override { PronDict().ClearWords(); }

    QString dictFile() const { return home.file("pl2Dict.txt"); }
    void writeDict(const QByteArray& bytes) { writeBytes(dictFile(), bytes); }
    QByteArray dictBytes() const { return readBytes(dictFile()); }

    std::unique_ptr<frmLex> openLex()
    {
        auto lex = std::make_unique<frmLex>(nullptr, fakeVoiceFactory(&voiceLog));
        lex->show();
        return lex;
    }

    static QList<QStringList> rows(const frmLex& lex)
    {
        QList<QStringList> result;
        for (int i = 0; i < lex.ListView1->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* item = lex.ListView1->topLevelItem(i);
            result.append({item->text(0), item->text(1)});
        }
        return result;
    }

    static QList<QStringList> pairs()
    {
        QList<QStringList> result;
        for (const auto& pair : PronDict().Words())
            result.append({pair->OriginalWord, pair->NewWord});
        return result;
    }

    static void select(frmLex& lex, int row)
    {
        lex.ListView1->setCurrentItem(lex.ListView1->topLevelItem(row));
    }

    ScopedProgramHome home;
    RecordingPrompt prompt;
    QStringList voiceLog;
};

TEST_F(LexTest, OpensWithTheFilesPairsInFileOrder)
{
    writeDict("colour,color\r\na note without a comma\r\n\r\n,nothing\r\nSt,saint, street\n");
    // What was in memory before is dropped: the window starts from the file.
    auto stale = std::make_shared<clsWordPair>();
    stale->OriginalWord = "stale";
    PronDict().AddWordPair(stale);

    auto lex = openLex();
    const QList<QStringList> expected = {
        {"colour", "color"}, {"", "nothing"}, {"St", "saint, street"}};
    EXPECT_EQ(rows(*lex), expected);
    EXPECT_EQ(pairs(), expected);
    EXPECT_EQ(lex->windowTitle(), "Pronunciation Setup");
    EXPECT_EQ(lex->ListView1->headerItem()->text(0), "Original");
    EXPECT_EQ(lex->ListView1->headerItem()->text(1), "New");
    EXPECT_FALSE(lex->ListView1->isSortingEnabled());
    EXPECT_TRUE(lex->ListView1->selectedItems().isEmpty());
}

TEST_F(LexTest, MissingFileGivesAnEmptyListAndNoMessage)
{
    auto lex = openLex();
    EXPECT_EQ(lex->ListView1->topLevelItemCount(), 0);
    EXPECT_TRUE(prompt.messages.isEmpty());
    EXPECT_FALSE(QFile::exists(dictFile()));
}

TEST_F(LexTest, AddEditDeleteThenOkWritesTheRowsInOrder)
{
    writeDict("colour,color\r\ngaol,jail\r\nSt,saint\r\n");
    auto lex = openLex();

    answerWith("  Tolkien ", " toll keen  ");
    lex->cmdAdd->click();
    select(*lex, 1);
    whenPairShown([](frmWordPair& pair) {
        // The pair window starts from the row.
        EXPECT_EQ(pair.txtOriginalWord->text(), "gaol");
        EXPECT_EQ(pair.txtNewWord->text(), "jail");
        pair.txtNewWord->setText("jayl");
        pair.cmdOK->click();
    });
    lex->cmdEdit->click();
    select(*lex, 0);
    lex->cmdDelete->click();
    EXPECT_EQ(rows(*lex), (QList<QStringList>{
                              {"gaol", "jayl"}, {"St", "saint"}, {"  Tolkien ", " toll keen  "}}));
    // Nothing reaches the file or the shared list before OK.
    EXPECT_EQ(dictBytes(), "colour,color\r\ngaol,jail\r\nSt,saint\r\n");
    EXPECT_EQ(pairs().size(), 3);
    EXPECT_EQ(pairs().first(), (QStringList{"colour", "color"}));

    lex->cmdOK->click();
    EXPECT_FALSE(lex->isVisible());
    EXPECT_EQ(lex->result(), QDialog::Accepted);
    EXPECT_EQ(dictBytes(), "gaol,jayl\r\nSt,saint\r\nTolkien,toll keen\r\n");
    // In memory the blanks stay until the file is read again.
    EXPECT_EQ(pairs().last(), (QStringList{"  Tolkien ", " toll keen  "}));
    EXPECT_EQ(PronDict().TranslateText("Ask   Tolkien  now."), " Ask  toll keen   now.");
    PronDict().LoadWords();
    EXPECT_EQ(pairs().last(), (QStringList{"Tolkien", "toll keen"}));
    EXPECT_TRUE(prompt.messages.isEmpty());
}

TEST_F(LexTest, CancelEscapeAndTheCloseBoxLeaveFileAndListAlone)
{
    const QByteArray original = "colour,color\r\ngaol,jail\r\n";
    const QList<QStringList> loaded = {{"colour", "color"}, {"gaol", "jail"}};
    writeDict(original);
    const std::vector<std::function<void(frmLex&)>> closers = {
        [](frmLex& lex) { lex.cmdCancel->click(); },
        [](frmLex& lex) { QTest::keyClick(lex.ListView1, Qt::Key_Escape); },
        [](frmLex& lex) { lex.close(); },
    };
    for (size_t i = 0; i < closers.size(); ++i) {
        SCOPED_TRACE(i);
        auto lex = openLex();
        answerWith("new", "word");
        lex->cmdAdd->click();
        select(*lex, 0);
        lex->cmdDelete->click();
        ASSERT_EQ(rows(*lex).size(), 2);
        closers[i](*lex);
        EXPECT_FALSE(lex->isVisible());
        EXPECT_EQ(lex->result(), QDialog::Rejected);
        EXPECT_EQ(dictBytes(), original);
        EXPECT_EQ(pairs(), loaded);
    }
    // The next opening shows the file, not the discarded rows.
    auto again = openLex();
    EXPECT_EQ(rows(*again), loaded);
}

TEST_F(LexTest, CancelledPairWindowsChangeNoRow)
{
    writeDict("gaol,jail\r\n");
    auto lex = openLex();
    const std::vector<std::function<void(frmWordPair&)>> cancels = {
        [](frmWordPair& pair) { pair.cmdCancel->click(); },
        [](frmWordPair& pair) { QTest::keyClick(pair.txtOriginalWord, Qt::Key_Escape); },
        [](frmWordPair& pair) { pair.close(); },
    };
    for (size_t i = 0; i < cancels.size(); ++i) {
        SCOPED_TRACE(i);
        whenPairShown([&](frmWordPair& pair) {
            pair.txtOriginalWord->setText("changed");
            cancels[i](pair);
        });
        lex->cmdAdd->click();
        select(*lex, 0);
        whenPairShown([&](frmWordPair& pair) {
            pair.txtNewWord->setText("changed");
            cancels[i](pair);
        });
        lex->cmdEdit->click();
        EXPECT_EQ(rows(*lex), (QList<QStringList>{{"gaol", "jail"}}));
    }
    // Every pair window is released once it has been read.
    EXPECT_TRUE(lex->findChildren<frmWordPair*>().isEmpty());
}

TEST_F(LexTest, EditAndDeleteNeedASelectedRow)
{
    writeDict("gaol,jail\r\n");
    auto lex = openLex();
    PairWindowCatcher catcher;
    EXPECT_FALSE(lex->cmdEdit->isEnabled());
    EXPECT_FALSE(lex->cmdDelete->isEnabled());
    lex->cmdEdit_Click();
    lex->cmdDelete_Click();
    QTest::keyClick(lex->ListView1, Qt::Key_Delete);
    EXPECT_EQ(rows(*lex).size(), 1);
    select(*lex, 0);
    lex->cmdDelete->click();
    EXPECT_EQ(rows(*lex).size(), 0);
    // An empty list.
    lex->cmdEdit_Click();
    lex->cmdDelete_Click();
    QTest::qWait(20);
    EXPECT_EQ(catcher.shown, 0);
    EXPECT_TRUE(prompt.messages.isEmpty());
}

TEST_F(LexTest, OkWithAnEmptyListWritesAnEmptyFile)
{
    writeDict("gaol,jail\r\n");
    auto lex = openLex();
    select(*lex, 0);
    lex->cmdDelete->click();
    lex->cmdOK->click();
    EXPECT_TRUE(QFile::exists(dictFile()));
    EXPECT_EQ(dictBytes(), QByteArray());
    EXPECT_EQ(PronDict().TranslateText("The gaol."), " The gaol.");
}

TEST_F(LexTest, EmptyPairAndCommasGoThroughTheFileAsItsFormatAllows)
{
    auto lex = openLex();
    answerWith("", "");
    lex->cmdAdd->click();
    answerWith("Dr", "doctor, sir");
    lex->cmdAdd->click();
    EXPECT_EQ(rows(*lex), (QList<QStringList>{{"", ""}, {"Dr", "doctor, sir"}}));
    lex->cmdOK->click();
    EXPECT_EQ(dictBytes(), ",\r\nDr,doctor, sir\r\n");
    auto reopened = openLex();
    EXPECT_EQ(rows(*reopened), (QList<QStringList>{{"", ""}, {"Dr", "doctor, sir"}}));
}

TEST_F(LexTest, AFailedSaveIsToldAndKeepsTheWindowOpen)
{
    writeDict("gaol,jail\r\n");
    auto lex = openLex();
    answerWith("colour", "color");
    lex->cmdAdd->click();
    // A folder where the file should be: it cannot be replaced.
    ASSERT_TRUE(QFile::remove(dictFile()));
    ASSERT_TRUE(QDir(home.path()).mkdir("pl2Dict.txt"));
    lex->cmdOK->click();
    ASSERT_EQ(prompt.messages.size(), 1);
    EXPECT_TRUE(prompt.messages.first().contains("could not be saved"))
        << prompt.messages.first().toStdString();
    EXPECT_TRUE(prompt.messages.first().contains(QDir::toNativeSeparators(dictFile())));
    EXPECT_TRUE(lex->isVisible());
    EXPECT_EQ(rows(*lex).size(), 2);

    ASSERT_TRUE(QDir(home.path()).rmdir("pl2Dict.txt"));
    lex->cmdOK->click();
    EXPECT_FALSE(lex->isVisible());
    EXPECT_EQ(dictBytes(), "gaol,jail\r\ncolour,color\r\n");
    EXPECT_EQ(prompt.messages.size(), 1);
}

TEST_F(LexTest, KeyboardReachesEveryCommand)
{
    writeDict("one,1\r\ntwo,2\r\nthree,3\r\n");
    auto lex = openLex();
    lex->activateWindow();
    lex->ListView1->setFocus();
    select(*lex, 0);
    // Delete removes the row and leaves the next one selected.
    QTest::keyClick(lex->ListView1, Qt::Key_Delete);
    EXPECT_EQ(rows(*lex), (QList<QStringList>{{"two", "2"}, {"three", "3"}}));
    QTest::keyClick(lex->ListView1, Qt::Key_Delete);
    EXPECT_EQ(rows(*lex), (QList<QStringList>{{"three", "3"}}));

    // Enter on a row edits it, and Enter in the pair window is its OK.
    whenPairShown([](frmWordPair& pair) {
        pair.txtNewWord->setText("drei");
        QTest::keyClick(pair.txtNewWord, Qt::Key_Return);
    });
    QTest::keyClick(lex->ListView1, Qt::Key_Return);
    EXPECT_EQ(rows(*lex), (QList<QStringList>{{"three", "drei"}}));
    EXPECT_TRUE(lex->isVisible());

    answerWith("four", "vier");
    QTest::keyClick(lex->ListView1, Qt::Key_Insert);
    ASSERT_EQ(rows(*lex).size(), 2);
    EXPECT_EQ(lex->ListView1->currentItem()->text(0), "four");

    // With no row selected Enter is the window's OK.
    lex->ListView1->clearSelection();
    QTest::keyClick(lex->ListView1, Qt::Key_Return);
    EXPECT_FALSE(lex->isVisible());
    EXPECT_EQ(dictBytes(), "three,drei\r\nfour,vier\r\n");
}

TEST_F(LexTest, EveryControlHasItsNameAndAnAccessibleName)
{
    const auto check = [](const QWidget& window, const QStringList& names) {
        for (const QString& name : names) {
            SCOPED_TRACE(name.toStdString());
            const auto* widget = window.findChild<QWidget*>(name);
            ASSERT_NE(widget, nullptr);
            EXPECT_FALSE(widget->accessibleName().isEmpty());
        }
    };
    auto lex = openLex();
    check(*lex, {"ListView1", "cmdAdd", "cmdEdit", "cmdDelete", "cmdOK", "cmdCancel"});
    whenPairShown([&](frmWordPair& pair) {
        check(pair, {"txtOriginalWord", "txtNewWord", "lblSay", "lblAs", "cmdTest_0", "cmdTest_1",
                     "cmdOK", "cmdCancel"});
        // The two Test buttons must be told apart by ear.
        EXPECT_NE(pair.cmdTest[0]->accessibleName(), pair.cmdTest[1]->accessibleName());
        pair.reject();
    });
    lex->cmdAdd->click();
}

TEST_F(LexTest, AFullListRefusesAnotherPair)
{
    QByteArray text;
    for (int i = 0; i < clsDict::MaxWords; ++i)
        text += "w" + QByteArray::number(i) + ",x\r\n";
    writeDict(text);
    auto lex = openLex();
    ASSERT_EQ(lex->ListView1->topLevelItemCount(), clsDict::MaxWords);
    PairWindowCatcher catcher;
    lex->cmdAdd->click();
    QTest::qWait(20);
    EXPECT_EQ(catcher.shown, 0);
    ASSERT_EQ(prompt.messages.size(), 1);
    EXPECT_TRUE(prompt.messages.first().contains("32767"));
    lex->cmdOK->click();
    EXPECT_EQ(dictBytes(), text);
}

TEST_F(LexTest, CaptionsFollowTheChosenLanguage)
{
    QDir(home.path()).mkdir("Languages");
    writeBytes(home.file("Languages/German.txt"),
               "Deutsch\r\nPronunciation Setup||Aussprache einrichten\r\nNew||Neu\r\n"
               "Add||Hinzufügen\r\nWord pair setup||Wortpaar einrichten\r\nSay||Sprich\r\n"
               "Test||Testen\r\n");
    cSharedLang& lang = cSharedLang::instance();
    const QString previousPath = lang.languagePath();
    lang.OverrideLanguagePath(home.path());
    lang.LoadAllLanguages();
    lang.LoadLanguage(1);

    auto lex = openLex();
    EXPECT_EQ(lex->windowTitle(), "Aussprache einrichten");
    EXPECT_EQ(lex->ListView1->headerItem()->text(1), "Neu");
    EXPECT_EQ(lex->cmdAdd->text(), "Hinzufügen");
    whenPairShown([](frmWordPair& pair) {
        EXPECT_EQ(pair.windowTitle(), "Wortpaar einrichten");
        EXPECT_EQ(pair.lblSay->text(), "Sprich");
        EXPECT_EQ(pair.cmdTest[1]->text(), "Testen");
        pair.reject();
    });
    lex->cmdAdd->click();

    lang.LoadLanguage(0);
    lang.OverrideLanguagePath(previousPath);
    lang.LoadAllLanguages();
}

} // namespace
