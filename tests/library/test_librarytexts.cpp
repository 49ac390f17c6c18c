// The library window for every user: every text offered to translators, the shipped German
// shown in the window, its list and its status lines, and a window that fits the screen.
#include "library/fSHAREDGut.h"
#include "mirror.h"
#include "net/fSHAREDInternet.h"
#include "parlo_config.h"
#include "platform/textcodec.h"
#include "settings/lang.h"
#include "settings/langwidgets.h"
#include "settings/settings.h"
#include "shippedlanguages.h"
#include "testsupport.h"

#include <QComboBox>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSet>
#include <QSignalSpy>
#include <QTreeView>

#include <gtest/gtest.h>

#include <memory>

namespace {

QSet<QString> templateTexts()
{
    QSet<QString> texts;
    const QString text = TextCodec::decode(
        readBytes(QStringLiteral(PARLO_SOURCE_RESOURCES) + "/Languages/Template.txt"));
    for (const QString& line : text.split("\r\n")) {
        if (!line.startsWith('#') && line.contains("||"))
            texts.insert(line.section("||", 0, 0).trimmed());
    }
    return texts;
}

bool hasLetter(const QString& text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetter(); });
}

class LibraryTexts : public ::testing::Test {
protected:
    void SetUp() override
    {
        cSHAREDSettings::shared().DeleteAllSettings();
        cLibrary::setTimerIntervalForTests(10);
    }
    void TearDown() override
    {
        cSharedLang::instance().RevertToEnglish();
        cLibrary::setTimerIntervalForTests(0);
    }
    static void useGerman()
    {
        auto& lang = cSharedLang::instance();
        lang.LoadLanguage(shippedLanguage(lang, "Deutsch"));
        ASSERT_EQ(lang.currentLanguageName(), "Deutsch");
    }
    std::unique_ptr<fSHAREDGut> open()
    {
        auto window = std::make_unique<fSHAREDGut>();
        // Yes to a new catalogue, no to Australia's.
        window->askYesNoHook = [](const QString& question) {
            return !question.contains("Austral");
        };
        window->Form_Load();
        return window;
    }
    ScopedProgramHome home;
    RecordingPrompt prompt;
};

} // namespace

TEST_F(LibraryTexts, EveryTextOfTheWindowIsOfferedToTranslators)
{
    const QSet<QString> offered = templateTexts();
    fSHAREDGut window;
    QStringList missing;
    LangWidgets::visitTexts(
        &window,
        [&](LangWidgets::TextSlot& slot) {
            if (hasLetter(slot.text) && !offered.contains(slot.text))
                missing << slot.key + ": " + slot.text;
        },
        QStringLiteral("test"));
    EXPECT_EQ(missing, QStringList());
}

TEST_F(LibraryTexts, InGermanTheWindowItsListAndItsStatusLinesAreGerman)
{
    useGerman();
    LoopbackMirror mirror;
    ASSERT_TRUE(mirror.ok());
    mirror.useInSettings();
    mirror.serveCsvSite();
    auto window = open();
    EXPECT_EQ(window->windowTitle(),
              "Project Gutenberg: Laden Sie zuerst eine Katalogdatei herunter.");
    EXPECT_EQ(window->findChild<QPushButton*>("cmdFind")->text(), "&Finden");
    EXPECT_EQ(window->findChild<QLineEdit*>("txtFilter")->placeholderText(), "Titel oder Autor");
    EXPECT_EQ(window->findChild<QComboBox*>("cboLanguage")->itemText(0), "Alle Sprachen");
    const QAbstractItemModel* list = window->findChild<QTreeView*>("ListView1")->model();
    EXPECT_EQ(list->headerData(cBookList::AuthorColumn, Qt::Horizontal).toString(), "Autor");
    EXPECT_EQ(list->headerData(cBookList::LanguageColumn, Qt::Horizontal).toString(), "Sprache");

    // Downloaded, then asked for again: the site has nothing newer.
    for (const QString& status :
         {QStringLiteral("Katalog erstellt"),
          QStringLiteral("Der Katalog ist aktuell: Die Seite hat keinen neueren.")}) {
        QSignalSpy finished(&window->library(), &cLibrary::chainFinished);
        window->findChild<QPushButton*>("cmdUpdateCat")->click();
        ASSERT_TRUE(waitUntil([&] { return !finished.isEmpty(); }, 60000));
        EXPECT_EQ(window->findChild<QLabel*>("lblStatus")->text(), status);
    }
    EXPECT_EQ(window->windowTitle(), "Project Gutenberg: 2 Titel.");
    // The catalogue's date with the month in German.
    QDirIterator found(home.path(), {QStringLiteral("GutIndex.txt")}, QDir::Files,
                       QDirIterator::Subdirectories);
    ASSERT_TRUE(found.hasNext());
    QFile index(found.next());
    ASSERT_TRUE(index.open(QIODevice::ReadWrite));
    ASSERT_TRUE(index.setFileTime(QDateTime(QDate(2024, 3, 5), QTime(12, 0)),
                                  QFileDevice::FileModificationTime));
    index.close();
    EXPECT_EQ(open()->findChild<QLabel*>("lblCatalogueDate")->text(),
              QString::fromUtf8("Katalog zuletzt aktualisiert: März 05, 2024"));

    // A busy server's wait, in a whole sentence.
    mirror.put("dirs/1/4/0/1400/1400.txt.busy", "429 1\n");
    fSHAREDInternet form;
    QStringList statuses;
    QObject::connect(&form, &fSHAREDInternet::Status,
                     [&](const QString& text) { statuses << text; });
    QSignalSpy finished(&form, &fSHAREDInternet::DownloadFinished);
    form.DownloadFile(mirror.url("/dirs/1/4/0/1400/1400.txt"), home.file("1400.txt"), true);
    ASSERT_TRUE(waitUntil([&] { return !finished.isEmpty(); }, 60000));
    EXPECT_TRUE(statuses.contains("Server ausgelastet, neuer Versuch in 1 Sekunde"))
        << statuses.join('|').toStdString();
}

TEST_F(LibraryTexts, TheWindowFitsTheScreenAndScrollsToTheControlsThatDoNot)
{
    auto window = open();
    const QSize screen = window->screen()->availableGeometry().size();
    window->show();
    EXPECT_LE(window->width(), screen.width());
    EXPECT_LE(window->height(), screen.height());

    // Smaller than its controls need, it still reaches every one of them.
    auto* scroll = window->findChild<QScrollArea*>("scroll");
    ASSERT_NE(scroll, nullptr);
    const QSize needed = scroll->widget()->minimumSizeHint();
    EXPECT_LT(window->minimumSizeHint().width(), needed.width() / 2);
    window->resize(needed / 2);
    auto* exit = window->findChild<QPushButton*>("cmdExit");
    exit->setFocus();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    scroll->ensureWidgetVisible(exit);
    const QRect shown(exit->mapTo(scroll->viewport(), QPoint(0, 0)), exit->size());
    EXPECT_TRUE(scroll->viewport()->rect().contains(shown))
        << shown.x() << "," << shown.y() << " in " << scroll->viewport()->width();
}
