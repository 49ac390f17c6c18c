// The library window over a catalogue of its own and a loopback mirror.
#include "library/fSHAREDGut.h"
#include "mirror.h"
#include "net/fSHAREDInternet.h"
#include "settings/lang.h"
#include "settings/settings.h"
#include "testsupport.h"

#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimeZone>
#include <QTreeView>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QByteArray kCatalogue = "/1/4/0/1400/1400.txt, Great Expectations, by Charles Dickens\r\n"
                              "/0/7/7.txt, A Short One, by A. Writer\r\n"
                              "/GUTINDEX.ALL, the index itself\r\n"
                              "/0/1/1.txt, Pride and Prejudice, Vol. 1, by Jane Austen\r\n"
                              "/ebooks01/0100011.txt, *PG-OZ* Anne of Windy Poplars\r\n"
                              "/0/2/2.txt, the last of the great books\r\n";

class LibraryWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        cSHAREDSettings::shared().DeleteAllSettings();
        cSharedLang::instance().RevertToEnglish();
        cLibrary::setTimerIntervalForTests(10);
    }
    void TearDown() override { cLibrary::setTimerIntervalForTests(0); }

    std::unique_ptr<fSHAREDGut> open()
    {
        auto window = std::make_unique<fSHAREDGut>();
        window->askYesNoHook = [this](const QString& question) {
            questions << question;
            return answers.isEmpty() ? false : answers.takeFirst();
        };
        window->Form_Load();
        return window;
    }
    template <typename T> static T* child(fSHAREDGut& window, const char* name)
    {
        T* found = window.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    static void click(fSHAREDGut& window, const char* name)
    {
        child<QPushButton>(window, name)->click();
    }
    static QString text(fSHAREDGut& window, const char* name)
    {
        if (auto* label = window.findChild<QLabel*>(QString::fromLatin1(name)))
            return label->text();
        return child<QLineEdit>(window, name)->text();
    }
    static void type(fSHAREDGut& window, const char* name, const QString& words)
    {
        auto* box = child<QLineEdit>(window, name);
        box->selectAll();
        QTest::keyClicks(box, words);
    }
    static void select(fSHAREDGut& window, int row)
    {
        auto* list = child<QTreeView>(window, "ListView1");
        list->setFocus();
        list->setCurrentIndex(list->model()->index(row, 0));
    }
    static int rowOf(fSHAREDGut& window, const QString& title)
    {
        return window.library().books().find(title);
    }
    // Waits for the download under way to end.
    static bool settled(fSHAREDGut& window)
    {
        return waitUntil([&] { return !window.library().busy(); }, 60000);
    }

    ScopedProgramHome home;
    RecordingPrompt prompt;
    QStringList questions;
    QList<bool> answers;
};

TEST_F(LibraryWindow, WithoutACatalogueItSaysHowToGetOne)
{
    auto window = open();
    EXPECT_EQ(window->windowTitle(), "Project Gutenberg: Download a catalogue file to begin.");
    EXPECT_EQ(text(*window, "lblCatalogueDate"), "No catalogue file. Click Download Catalogue.");
    ASSERT_EQ(prompt.messages.size(), 1);
    EXPECT_EQ(prompt.messages[0],
              "Cannot find GutIndex.txt. Please download or generate a new catalogue.");
    EXPECT_FALSE(child<QPushButton>(*window, "cmdRegenCatalogue")->isEnabled());

    // Without a chosen book nothing is fetched.
    click(*window, "cmdDownload");
    EXPECT_EQ(prompt.messages.last(), "Please select a book from the list first");
}

TEST_F(LibraryWindow, ListsTheCatalogueSortedByTitleAndShowsTheChosenBook)
{
    writeBytes(home.file("GutIndex.txt"), kCatalogue);
    auto window = open();
    EXPECT_TRUE(prompt.messages.isEmpty());
    EXPECT_EQ(window->windowTitle(), "Project Gutenberg: 5 titles.");
    EXPECT_TRUE(text(*window, "lblCatalogueDate").startsWith("Catalogue last updated: "));
    const auto& books = window->library().books();
    ASSERT_EQ(books.count(), 5);
    // Letter case does not order the list; the index's own record is not listed.
    EXPECT_EQ(books.entry(0).title, "*PG-OZ* Anne of Windy Poplars");
    EXPECT_EQ(books.entry(1).title, "A Short One, by A. Writer");
    EXPECT_EQ(books.entry(3).title, "Pride and Prejudice, Vol. 1, by Jane Austen");
    EXPECT_EQ(books.entry(4).title, "the last of the great books");
    EXPECT_EQ(books.data(books.index(3, 1)).toString(), "1.txt");

    select(*window, 3);
    EXPECT_EQ(text(*window, "lblTitle"), "Pride and Prejudice, Vol. 1, by Jane Austen");
    EXPECT_EQ(text(*window, "txtUrl"), cLibrary::kDefaultURL + "0/1/1.txt");
    EXPECT_EQ(text(*window, "lblFilename"), "1.txt");

    // An Australian book comes from the Australian site, whatever the download source.
    type(*window, "txtDLSource", "http://mirror.invalid/");
    select(*window, 0);
    EXPECT_EQ(text(*window, "txtUrl"), cLibrary::kDefaultAustraliaURL + "ebooks01/0100011.txt");
    select(*window, 2);
    EXPECT_EQ(text(*window, "txtUrl"), "http://mirror.invalid/1/4/0/1400/1400.txt");
}

TEST_F(LibraryWindow, FindAndNextSearchTitlesWithoutRegardToCase)
{
    writeBytes(home.file("GutIndex.txt"), kCatalogue);
    auto window = open();
    auto* list = child<QTreeView>(*window, "ListView1");

    click(*window, "cmdFind");
    EXPECT_EQ(prompt.messages.value(0), "Please enter one or more words to search for");
    click(*window, "cmdFindNext");
    EXPECT_EQ(prompt.messages.value(1), "Please enter one or more words to search for");

    type(*window, "txtSearch", "GREAT");
    click(*window, "cmdFind");
    EXPECT_EQ(window->selectedRow(), 2);
    EXPECT_EQ(text(*window, "lblTitle"), "Great Expectations, by Charles Dickens");
    type(*window, "txtSearch", "great");
    click(*window, "cmdFind");
    EXPECT_EQ(window->selectedRow(), 2);
    click(*window, "cmdFindNext");
    EXPECT_EQ(window->selectedRow(), 4);
    EXPECT_EQ(list->currentIndex().row(), 4);
    EXPECT_EQ(text(*window, "lblTitle"), "the last of the great books");
    // From the last match Next starts again at the top.
    click(*window, "cmdFindNext");
    EXPECT_EQ(window->selectedRow(), 2);

    // Two words match only side by side, in that order.
    type(*window, "txtSearch", "great books");
    click(*window, "cmdFind");
    EXPECT_EQ(window->selectedRow(), 4);
    type(*window, "txtSearch", "books great");
    prompt.messages.clear();
    click(*window, "cmdFind");
    EXPECT_EQ(prompt.messages, QStringList{"No matches"});
    // Next says nothing when nothing matches.
    click(*window, "cmdFindNext");
    EXPECT_EQ(prompt.messages.size(), 1);
    EXPECT_EQ(window->selectedRow(), 4);

    // Enter in the search box finds; Enter on a row chooses it.
    type(*window, "txtSearch", "pride");
    QTest::keyClick(child<QLineEdit>(*window, "txtSearch"), Qt::Key_Return);
    EXPECT_EQ(window->selectedRow(), 3);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(window->selectedRow(), 4);
    EXPECT_EQ(text(*window, "lblTitle"), "the last of the great books");
}

// A catalogue built from today's CSV: authors and languages beside the titles.
const QByteArray kCsv =
    "Text#,Type,Issued,Title,Language,Authors,Subjects,LoCC,Bookshelves\n"
    "2600,Text,2001-04-01,War and Peace,en,\"Tolstoy, Leo, graf, 1828-1910\",,,\n"
    "1399,Text,1998-07-01,Anna Karenina,en,\"Tolstoy, Leo, graf, 1828-1910\",,,\n"
    "986,Text,1997-06-01,Master and Man,en,\"Tolstoy, Leo, graf, 1828-1910\",,,\n"
    "135,Text,2008-06-22,Les Misérables,fr,\"Hugo, Victor, 1802-1885\",,,\n"
    "9000,Text,2003-01-01,Guerre et paix,fr,\"TOLSTOÏ, Léon\",,,\n"
    "1400,Text,1998-07-01,Great Expectations,en,\"Dickens, Charles, 1812-1870\",,,\n"
    "7,Text,1975-12-01,The Mayflower Compact,en,,,,\n";

void writeCsvCatalogue(const ScopedProgramHome& home)
{
    const QList<PgCatalogue::Book> books = PgCatalogue::fromCsv(kCsv).books;
    QByteArray index;
    for (const CatalogueParse::Record& record : PgCatalogue::indexRecords(books))
        index += (record.path + ", " + record.title + "\r\n").toUtf8();
    writeBytes(home.file("GutIndex.txt"), index);
    writeBytes(home.file("GutBooks.txt"), PgCatalogue::detailsFile(books));
}

TEST_F(LibraryWindow, TheFilterNarrowsTheListByTitleOrAuthorAndLanguage)
{
    writeCsvCatalogue(home);
    auto window = open();
    auto& books = window->library().books();
    ASSERT_EQ(books.count(), 7);
    const int row = rowOf(*window, "Guerre et paix");
    EXPECT_EQ(books.data(books.index(row, cBookList::AuthorColumn)).toString(), "TOLSTOÏ, Léon");
    EXPECT_EQ(books.data(books.index(row, cBookList::LanguageColumn)).toString(), "fr");

    // Typed as a user types, letter case and accents not counting.
    QTest::keyClicks(child<QLineEdit>(*window, "txtFilter"), "tolstoy");
    QStringList shown;
    for (int i = 0; i < books.count(); ++i)
        shown << books.entry(i).title + '|' + books.entry(i).language;
    EXPECT_EQ(shown, (QStringList{"Anna Karenina|en", "Master and Man|en", "War and Peace|en"}));
    type(*window, "txtFilter", "tolstoi");
    EXPECT_EQ(books.count(), 1);
    type(*window, "txtFilter", "MISERABLES");
    EXPECT_EQ(books.count(), 1);
    type(*window, "txtFilter", "and");
    EXPECT_EQ(books.count(), 2);

    // The language choice narrows it further; all languages is the first choice.
    auto* language = child<QComboBox>(*window, "cboLanguage");
    EXPECT_EQ(language->currentIndex(), 0);
    EXPECT_EQ(language->findText("fr"), 2);
    child<QLineEdit>(*window, "txtFilter")->clear();
    language->setCurrentIndex(language->findText("fr"));
    EXPECT_EQ(books.count(), 2);

    // Find and Next search what is shown, and the chosen row is the book shown.
    language->setCurrentIndex(0);
    type(*window, "txtFilter", "tolstoy");
    type(*window, "txtSearch", "an");
    click(*window, "cmdFind");
    EXPECT_EQ(window->selectedRow(), 0);
    EXPECT_EQ(text(*window, "lblTitle"), "Anna Karenina");
    click(*window, "cmdFindNext");
    EXPECT_EQ(text(*window, "lblTitle"), "Master and Man");
    click(*window, "cmdFindNext");
    click(*window, "cmdFindNext");
    EXPECT_EQ(window->selectedRow(), 0);
    EXPECT_EQ(text(*window, "lblTitle"), "Anna Karenina");
    EXPECT_EQ(text(*window, "txtUrl"), "https://www.gutenberg.org/cache/epub/1399/pg1399.txt");
}

TEST_F(LibraryWindow, ClickingAHeaderSortsByItsColumnAndAgainReversesIt)
{
    writeCsvCatalogue(home);
    auto window = open();
    auto& books = window->library().books();
    QHeaderView* header = child<QTreeView>(*window, "ListView1")->header();
    const auto clickHeader = [&](int column) {
        const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    };
    window->show();
    clickHeader(cBookList::AuthorColumn);
    // No author sorts first; accents do not count; equal authors stay in title order.
    EXPECT_EQ(books.entry(0).title, "The Mayflower Compact");
    EXPECT_EQ(books.entry(1).title, "Great Expectations");
    EXPECT_EQ(books.entry(3).title, "Guerre et paix");
    EXPECT_EQ(books.entry(4).title, "Anna Karenina");
    EXPECT_EQ(books.entry(6).title, "War and Peace");
    clickHeader(cBookList::AuthorColumn);
    EXPECT_EQ(books.entry(0).title, "War and Peace");

    // The filter keeps the order chosen.
    clickHeader(cBookList::LanguageColumn);
    type(*window, "txtFilter", "tols");
    EXPECT_EQ(books.count(), 4);
    EXPECT_EQ(books.entry(0).language, "en");
    EXPECT_EQ(books.entry(3).title, "Guerre et paix");
    clickHeader(cBookList::BookColumn);
    EXPECT_EQ(books.entry(0).title, "Anna Karenina");
}

TEST_F(LibraryWindow, ExitKeepsTheAddressesAndClosingByTheFrameDoesNot)
{
    auto window = open();
    EXPECT_EQ(text(*window, "txtCatalogURL"), cLibrary::kDefaultURL);
    EXPECT_EQ(text(*window, "txtDownloadPath"), home.path() + '/');
    type(*window, "txtCatalogURL", "http://a.invalid/dirs/");
    type(*window, "txtDLSource", "http://b.invalid/dirs/");
    click(*window, "cmdExit");
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(window->FileToLoad().isEmpty());

    window = open();
    EXPECT_EQ(text(*window, "txtCatalogURL"), "http://a.invalid/dirs/");
    EXPECT_EQ(text(*window, "txtDLSource"), "http://b.invalid/dirs/");
    click(*window, "cmdDefaults");
    EXPECT_EQ(text(*window, "txtCatalogURL"), cLibrary::kDefaultURL);
    // Closed by its frame, the window keeps nothing.
    window->reject();
    window = open();
    EXPECT_EQ(text(*window, "txtDLSource"), "http://b.invalid/dirs/");
    click(*window, "cmdDefaults");
    click(*window, "cmdExit");
    window = open();
    EXPECT_EQ(text(*window, "txtCatalogURL"), cLibrary::kDefaultURL);
    EXPECT_EQ(text(*window, "txtDLSource"), cLibrary::kDefaultURL);
}

TEST_F(LibraryWindow, EveryControlHasANameAndTheButtonsAnAccessKey)
{
    auto window = open();
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (widget->objectName().startsWith("cmd") || widget->objectName().startsWith("txt") ||
            widget->objectName() == "ListView1") {
            QAccessibleInterface* access = QAccessible::queryAccessibleInterface(widget);
            ASSERT_NE(access, nullptr);
            EXPECT_FALSE(access->text(QAccessible::Name).isEmpty())
                << widget->objectName().toStdString();
        }
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            EXPECT_TRUE(button->text().contains('&')) << button->objectName().toStdString();
        }
    }
}

TEST_F(LibraryWindow, RegenCatalogueRebuildsFromTheSourcesUnlessAnsweredNo)
{
    LoopbackMirror mirror; // only for its files
    writeBytes(home.file("GutIndex.txt"), kCatalogue);
    auto window = open();
    EXPECT_FALSE(child<QPushButton>(*window, "cmdRegenCatalogue")->isEnabled());
    window.reset();
    // Source files written by hand, as Use Web asks.
    writeBytes(home.file("ls-R"), ".:\n\n./1/4/0/1400:\n1400.txt\n1400.zip\n\n");
    writeBytes(home.file("GUTINDEX.ALL"), "<==Start GUTINDEX.ALL listings==>\r\n"
                                          "Great Expectations, by Charles Dickens  1400\r\n");
    window = open();
    ASSERT_TRUE(child<QPushButton>(*window, "cmdRegenCatalogue")->isEnabled());
    answers = {false};
    click(*window, "cmdRegenCatalogue");
    EXPECT_EQ(questions.value(0), "This will regenerate your catalogue using the downloaded "
                                  "source files. Are you sure?");
    EXPECT_EQ(window->library().books().count(), 5);
    answers = {true};
    click(*window, "cmdRegenCatalogue");
    EXPECT_EQ(window->windowTitle(), "Project Gutenberg: 1 titles.");
    EXPECT_EQ(text(*window, "lblStatus"), "Catalogue created");
}

TEST(FriendlyName, StaysInTheFolderAndWithinTwoHundredBytes)
{
    EXPECT_EQ(cLibrary::friendlyName("12345.txt", "Some Title"), "12345 - Some Title.txt");
    EXPECT_EQ(cLibrary::friendlyName("12345.txt", "../../etc/passwd"),
              "12345 - .. .. etc passwd.txt");
    EXPECT_EQ(cLibrary::friendlyName("1.txt", "A\\B: C\nD"), "1 - A B C D.txt");
    EXPECT_EQ(cLibrary::friendlyName("1.txt", ".."), "1.txt");
    EXPECT_EQ(cLibrary::friendlyName("1.txt", ""), "1.txt");
    const QString longName = cLibrary::friendlyName("1.txt", QString(150, QChar(0x00e9)));
    EXPECT_LE(longName.toUtf8().size(), 200);
    EXPECT_TRUE(longName.endsWith(".txt"));
    EXPECT_TRUE(longName.startsWith("1 - " + QString(10, QChar(0x00e9))));
    for (const QString& name : {cLibrary::friendlyName("1.txt", "a/../../b"), longName})
        EXPECT_FALSE(name.contains('/'));
}

// ---- downloads from the mirror ---------------------------------------------------------------

class LibraryDownloads : public LibraryWindow {
protected:
    void SetUp() override
    {
        LibraryWindow::SetUp();
        ASSERT_TRUE(mirror.ok());
        mirror.useInSettings();
    }
    // Starts the catalogue chain and waits for its end: the records, -1 on failure.
    int downloadCatalogue(fSHAREDGut& window)
    {
        QSignalSpy finished(&window.library(), &cLibrary::chainFinished);
        click(window, "cmdUpdateCat");
        if (!waitUntil([&] { return !finished.isEmpty(); }, 60000))
            return -2;
        return finished.first().first().toInt();
    }
    void chooseBook(fSHAREDGut& window, const QString& title)
    {
        select(window, rowOf(window, title));
    }

    LoopbackMirror mirror;
};

TEST_F(LibraryDownloads, DownloadCatalogueFetchesTheSourcesAndRebuilds)
{
    auto window = open();
    prompt.messages.clear();
    answers = {false};
    EXPECT_EQ(downloadCatalogue(*window), 3);
    // With no catalogue yet only the Australia question is asked.
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions[0].endsWith("Do you live in Australia?"));
    EXPECT_EQ(window->windowTitle(), "Project Gutenberg: 3 titles.");
    EXPECT_FALSE(QFile::exists(home.file("catalogue.txt")));
    EXPECT_FALSE(child<QProgressBar>(*window, "prgStatus")->isVisible());
    EXPECT_TRUE(child<QPushButton>(*window, "cmdRegenCatalogue")->isEnabled());

    // Yes fetches the Australian catalogue too, after the question about the one we have.
    questions.clear();
    answers = {true, true};
    EXPECT_EQ(downloadCatalogue(*window), 5);
    ASSERT_EQ(questions.size(), 2);
    EXPECT_TRUE(questions[0].startsWith("You already have a catalogue."));
    EXPECT_EQ(window->windowTitle(), "Project Gutenberg: 5 titles.");
    EXPECT_GE(rowOf(*window, "*PG-OZ* The Salzburg Tales"), 0);

    // No to the first question changes nothing.
    questions.clear();
    answers = {false};
    click(*window, "cmdUpdateCat");
    EXPECT_EQ(questions.size(), 1);
    EXPECT_FALSE(window->library().busy());
}

TEST_F(LibraryDownloads, AFailedFirstTransferEndsTheChain)
{
    writeBytes(home.file("GutIndex.txt"), kCatalogue);
    auto window = open();
    mirror.remove("dirs/ls-R");
    answers = {true, false};
    EXPECT_EQ(downloadCatalogue(*window), -1);
    EXPECT_FALSE(QFile::exists(home.file("ls-R")));
    EXPECT_FALSE(QFile::exists(home.file("GUTINDEX.ALL")));
    EXPECT_EQ(readBytes(home.file("GutIndex.txt")), kCatalogue);
    EXPECT_FALSE(text(*window, "lblStatus").isEmpty());
    EXPECT_NE(text(*window, "lblStatus"), "Download finished");

    // An error page in place of the listing ends it as well, and the status keeps saying so.
    mirror.put("dirs/ls-R", "<html><body>Moved for maintenance</body></html>");
    answers = {true, false};
    EXPECT_EQ(downloadCatalogue(*window), -1);
    EXPECT_EQ(prompt.messages.last(),
              "File not found on server. Please check the URL and try again.");
    EXPECT_EQ(text(*window, "lblStatus"), "Error - Could not retrieve file");
    EXPECT_FALSE(QFile::exists(home.file("ls-R")));
    EXPECT_FALSE(QFile::exists(home.file("GUTINDEX.ALL")));
    EXPECT_EQ(readBytes(home.file("GutIndex.txt")), kCatalogue);
}

TEST_F(LibraryDownloads, DownloadBookSavesItUnderItsFriendlyName)
{
    writeBytes(home.file("GutIndex.txt"), kCatalogue);
    auto window = open();
    chooseBook(*window, "Great Expectations");
    // A folder without its closing slash is corrected before the download starts.
    QDir(home.path()).mkdir("books");
    type(*window, "txtDownloadPath", home.file("books"));
    click(*window, "cmdDownload");
    EXPECT_EQ(text(*window, "txtDownloadPath"), home.file("books/"));
    ASSERT_TRUE(settled(*window));
    const QString book = home.file("books/1400 - Great Expectations by Charles Dickens.txt");
    EXPECT_EQ(readBytes(book), LoopbackMirror::kBookText);
    EXPECT_FALSE(QFile::exists(home.file("books/1400.txt")));
    EXPECT_EQ(text(*window, "lblStatus"), "Download finished");
    EXPECT_TRUE(window->FileToLoad().isEmpty());
    EXPECT_TRUE(prompt.messages.isEmpty()) << prompt.messages.join('|').toStdString();

    // A folder that does not exist is refused.
    type(*window, "txtDownloadPath", home.file("nowhere"));
    click(*window, "cmdDownload");
    EXPECT_EQ(prompt.messages.value(0), "Invalid output folder. Please fix it.");
}

TEST_F(LibraryDownloads, FailedDownloadsLeaveNoFileAndSaySo)
{
    writeBytes(home.file("GutIndex.txt"), kCatalogue + "/1/4/0/1402/1402.txt, Lost\r\n"
                                                       "/1/4/0/1403/1403.txt, Error Page\r\n");
    auto window = open();
    const QStringList before = QDir(home.path()).entryList(QDir::Files);

    chooseBook(*window, "Lost");
    click(*window, "cmdDownloadAndRead");
    ASSERT_TRUE(settled(*window));
    EXPECT_EQ(QDir(home.path()).entryList(QDir::Files), before);
    EXPECT_FALSE(text(*window, "lblStatus").isEmpty());
    EXPECT_NE(text(*window, "lblStatus"), "Download finished");
    EXPECT_TRUE(window->FileToLoad().isEmpty());

    // A small page in place of the book is the server's error page.
    chooseBook(*window, "Error Page");
    click(*window, "cmdDownloadAndRead");
    ASSERT_TRUE(settled(*window));
    EXPECT_EQ(QDir(home.path()).entryList(QDir::Files), before);
    EXPECT_EQ(text(*window, "lblStatus"), "Error - Could not retrieve file");
    EXPECT_EQ(prompt.messages,
              QStringList{"File not found on server. Please check the URL and try again."});
    EXPECT_TRUE(window->FileToLoad().isEmpty());
    EXPECT_TRUE(window->isHidden() || !window->isVisible());
}

TEST_F(LibraryDownloads, EscapeStopsADownloadAndLeavesNoFile)
{
    HttpTestServer slow;
    ASSERT_TRUE(slow.ok());
    writeBytes(home.file("GutIndex.txt"), kCatalogue);
    auto window = open();
    window->show();
    // A progress bar stands beside the status line while the file comes.
    auto* bar = child<QProgressBar>(*window, "prgStatus");
    chooseBook(*window, "Great Expectations");
    type(*window, "txtUrl", slow.url("/stall?size=100000&after=5000"));
    const QStringList before = QDir(home.path()).entryList(QDir::Files);
    click(*window, "cmdDownloadAndRead");
    ASSERT_TRUE(waitUntil([&] { return text(*window, "lblStatus").contains("kb"); }));
    EXPECT_TRUE(bar->isVisible());
    QTest::keyClick(window.get(), Qt::Key_Escape);
    ASSERT_TRUE(settled(*window));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(text(*window, "lblStatus"), "Download cancelled");
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(QDir(home.path()).entryList(QDir::Files), before);
    EXPECT_TRUE(window->FileToLoad().isEmpty());
    // With nothing under way Escape closes the window.
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(LibraryDownloads, AZippedBookIsUnpackedAndItsTextHandedOver)
{
    writeBytes(home.file("GutIndex.txt"), kCatalogue);
    auto window = open();
    window->show();
    chooseBook(*window, "Great Expectations");
    // The user may edit the address.
    type(*window, "txtUrl", mirror.url("/dirs/1/4/0/1400/1400.zip"));
    EXPECT_EQ(text(*window, "lblFilename"), "1400.zip");
    click(*window, "cmdDownloadAndRead");
    ASSERT_TRUE(settled(*window));
    const QString book = home.file("1400 - Great Expectations by Charles Dickens.txt");
    EXPECT_EQ(window->FileToLoad(), book);
    EXPECT_EQ(readBytes(book), LoopbackMirror::kBookText);
    EXPECT_FALSE(window->isVisible());
    // The archive keeps its name; the other member stays where it was unpacked.
    EXPECT_TRUE(QFileInfo(home.file("1400.zip")).size() > 0);
    EXPECT_TRUE(QFile::exists(home.file("1400/readme.htm")));
    EXPECT_FALSE(QFile::exists(home.file("1400/1400.txt")));
    // Handing over stores the settings, as Exit does.
    EXPECT_EQ(cSHAREDSettings::shared().sGet("BookPath").toString(), home.path() + '/');
}

} // namespace

// ---- a site without a listing: today's catalogue for programs ----------------------------

TEST_F(LibraryDownloads, WithoutAListingTheCsvBecomesTheCatalogueAndItsBooksDownload)
{
    writeBytes(home.file("GUTINDEX.ALL"), "left from a mirror's chain\r\n");
    mirror.serveCsvSite();
    auto window = open();
    answers = {false};
    EXPECT_EQ(downloadCatalogue(*window), 2);
    EXPECT_EQ(window->windowTitle(), "Project Gutenberg: 2 titles.");
    EXPECT_FALSE(QFile::exists(home.file("ls-R")));
    EXPECT_EQ(rowOf(*window, "War and Peace"), 1);
    EXPECT_LT(rowOf(*window, "Bible"), 0);
    EXPECT_TRUE(child<QPushButton>(*window, "cmdRegenCatalogue")->isEnabled());

    // Its books are fetched from the root of the CSV's site, not from the mirror's folder.
    chooseBook(*window, "Great Expectations");
    EXPECT_EQ(text(*window, "txtUrl"), mirror.url("/cache/epub/1400/pg1400.txt"));
    click(*window, "cmdDownload");
    ASSERT_TRUE(settled(*window));
    EXPECT_EQ(readBytes(home.file("pg1400 - Great Expectations.txt")), LoopbackMirror::kBookText);
    EXPECT_EQ(text(*window, "lblStatus"), "Download finished");

    // With the CSV missing as well the chain ends with nothing changed.
    mirror.remove("cache/epub/feeds/pg_catalog.csv");
    const QByteArray catalogue = readBytes(home.file("GutIndex.txt"));
    answers = {true, false};
    EXPECT_EQ(downloadCatalogue(*window), -1);
    EXPECT_EQ(readBytes(home.file("GutIndex.txt")), catalogue);
}

TEST_F(LibraryDownloads, ACatalogueUrlNamingTheCsvSkipsTheListing)
{
    mirror.serveCsvSite();
    // A listing is there, but the setting asks for the CSV.
    mirror.put("dirs/ls-R", ".:\n1\n\n./1/4/0/1400:\n1400.txt\n\n");
    writeBytes(home.file("ls-R"), "an old listing\n");
    cSHAREDSettings::shared().sSet("GutenCatalogURL2", mirror.csvUrl());
    cSHAREDSettings::shared().sSet("GutenCSVURL", "http://127.0.0.1:9/not/used.csv");
    auto window = open();
    answers = {false};
    EXPECT_EQ(downloadCatalogue(*window), 2);
    EXPECT_FALSE(QFile::exists(home.file("ls-R")));
    chooseBook(*window, "Great Expectations");
    EXPECT_EQ(text(*window, "txtUrl"), mirror.url("/cache/epub/1400/pg1400.txt"));
}

TEST_F(LibraryDownloads, AnUnchangedCatalogueIsNotDownloadedAgain)
{
    mirror.serveCsvSite();
    auto window = open();
    answers = {false};
    ASSERT_EQ(downloadCatalogue(*window), 2);
    const QByteArray csv = readBytes(home.file("pg_catalog.csv"));
    ASSERT_EQ(csv, LoopbackMirror::kSiteCsv);

    answers = {true, false};
    EXPECT_EQ(downloadCatalogue(*window), 2);
    const QString path = "/cache/epub/feeds/pg_catalog.csv";
    EXPECT_EQ(mirror.requests().filter(path).last().section(' ', 1, 2), "304 ims");
    EXPECT_EQ(readBytes(home.file("pg_catalog.csv")), csv);
    // Nothing was downloaded, and the status line does not pretend otherwise.
    EXPECT_EQ(text(*window, "lblStatus"),
              "The catalogue is up to date: the site has no newer one.");

    // A newer catalogue on the site is fetched.
    mirror.put("cache/epub/feeds/pg_catalog.csv",
               LoopbackMirror::kSiteCsv + "7,Text,1975-12-01,The Mayflower Compact,en,,,,\n");
    mirror.setModified("cache/epub/feeds/pg_catalog.csv",
                       QDateTime::currentDateTimeUtc().addSecs(3600));
    answers = {true, false};
    EXPECT_EQ(downloadCatalogue(*window), 3);
    EXPECT_EQ(mirror.requests().filter(path).last().section(' ', 1, 2), "200 ims");
    EXPECT_EQ(text(*window, "lblStatus"), "Catalogue created");
    // Every request names the program.
    for (const QString& request : mirror.requests())
        EXPECT_TRUE(request.section(' ', 3).startsWith("Parlo/")) << request.toStdString();
}

TEST(BusyServer, IsAskedOnceMoreAfterItsRetryAfterThenTheFailureIsClear)
{
    ScopedProgramHome home;
    LoopbackMirror mirror;
    ASSERT_TRUE(mirror.ok());
    const QString path = "/dirs/1/4/0/1400/1400.txt";
    const QString file = home.file("1400.txt");
    const auto download = [&](QStringList& statuses) {
        fSHAREDInternet form;
        QSignalSpy finished(&form, &fSHAREDInternet::DownloadFinished);
        QSignalSpy failed(&form, &fSHAREDInternet::DownloadError);
        QObject::connect(&form, &fSHAREDInternet::Status,
                         [&](const QString& text) { statuses << text; });
        form.DownloadFile(mirror.url(path), file, true);
        EXPECT_TRUE(waitUntil([&] { return !finished.isEmpty() || !failed.isEmpty(); }, 60000));
        return failed.isEmpty() ? QString() : failed.first().first().toString();
    };

    mirror.put("dirs/1/4/0/1400/1400.txt.busy", "429 1\n");
    QStringList statuses;
    EXPECT_EQ(download(statuses), QString());
    EXPECT_TRUE(statuses.contains("Server busy, trying again in 1 second"))
        << statuses.join('|').toStdString();
    EXPECT_EQ(readBytes(file), LoopbackMirror::kBookText);
    QStringList asked = mirror.requests().filter(path);
    ASSERT_EQ(asked.size(), 2);
    EXPECT_EQ(asked[0].section(' ', 1, 1), "429");
    EXPECT_EQ(asked[1].section(' ', 1, 1), "200");

    // Busy twice: no third request, no file, and a message that says why.
    mirror.put("dirs/1/4/0/1400/1400.txt.busy", "503 0\n503 0\n");
    statuses.clear();
    EXPECT_EQ(download(statuses), "The server is busy (HTTP 503). Please try again later.");
    EXPECT_TRUE(statuses.contains("Server busy, trying again in 0 seconds"))
        << statuses.join('|').toStdString();
    EXPECT_EQ(mirror.requests().filter(path).size(), 4);
    EXPECT_FALSE(QFile::exists(file));

    // Retry-After as seconds or a date, never more than a minute.
    const QDateTime now(QDate(2026, 12, 8), QTime(14, 0), QTimeZone::utc());
    EXPECT_EQ(fSHAREDInternet::retryAfterSeconds(" 7 ", now), 7);
    EXPECT_EQ(fSHAREDInternet::retryAfterSeconds("3600", now), 60);
    EXPECT_EQ(fSHAREDInternet::retryAfterSeconds("-5", now), 0);
    EXPECT_EQ(fSHAREDInternet::retryAfterSeconds("Tue, 08 Dec 2026 14:00:20 GMT", now), 20);
}
