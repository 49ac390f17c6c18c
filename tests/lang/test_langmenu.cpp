#include "langtest.h"
#include "testsupport.h"

#include "settings/lang.h"
#include "settings/langmenu.h"

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

// The reader window's shape: a Settings menu with the Languages submenu and a button.
class LanguageMenuTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        writeLanguageFile(home.path(), "German.txt",
                          {"Deutsch", "Settings||Einstellungen", "Languages||Sprachen",
                           "Read||Vorlesen", "English||Englisch", "Deutsch||Allemand"});
        writeLanguageFile(
            home.path(), "Spanish.txt",
            {"Español", "Settings||Configuración", "Languages||Idiomas", "Read||Leer"});
        writeLanguageFile(home.path(), "Amp.txt", {"Rock & Roll", "Read||Rock"});
        lang.OverrideLanguagePath(home.path());
        window.setWindowTitle("Parlo");
        settings = window.menuBar()->addMenu("Settings");
        languages = settings->addMenu("Languages");
        read = new QPushButton("Read", &window);
        window.setCentralWidget(read);
        menu = new LanguageMenu(languages, &window, lang);
    }

    QStringList entries() const
    {
        QStringList texts;
        for (int i = 0; i < menu->count(); ++i)
            texts << menu->languageAction(i)->text();
        return texts;
    }

    ScopedProgramHome home;
    cSharedLang lang;
    QMainWindow window;
    QMenu* settings;
    QMenu* languages;
    QPushButton* read;
    LanguageMenu* menu;
};

} // namespace

TEST_F(LanguageMenuTest, OneCheckableEntryPerLanguageWithTheChosenOneChecked)
{
    menu->rebuild("Español");
    EXPECT_EQ(entries(), (QStringList{"English", "Rock && Roll", "Deutsch", "Español"}));
    EXPECT_EQ(languages->actions().size(), 4);
    EXPECT_EQ(menu->checkedIndex(), 3);
    for (int i = 0; i < menu->count(); ++i)
        EXPECT_TRUE(menu->languageAction(i)->isCheckable());
    EXPECT_EQ(menu->title(1), "Rock & Roll");

    menu->rebuild("English"); // rebuilding replaces the entries instead of adding to them
    EXPECT_EQ(languages->actions().size(), 4);
    EXPECT_EQ(menu->checkedIndex(), 0);
}

TEST_F(LanguageMenuTest, AnUnknownLanguageChecksNothingAndTranslatesNothing)
{
    EXPECT_FALSE(menu->applyLanguage("Klingon"));
    EXPECT_EQ(menu->checkedIndex(), -1);
    EXPECT_EQ(read->text(), "Read");
    EXPECT_EQ(settings->title(), "Settings");
    // Titles are matched exactly.
    EXPECT_FALSE(menu->applyLanguage("deutsch"));
    EXPECT_EQ(read->text(), "Read");
}

TEST_F(LanguageMenuTest, TheStoredLanguageIsAppliedAtStartUp)
{
    EXPECT_TRUE(menu->applyLanguage("Deutsch"));
    EXPECT_EQ(menu->checkedIndex(), 2);
    EXPECT_EQ(lang.LangID(), "Deutsch");
    EXPECT_EQ(read->text(), "Vorlesen");
    EXPECT_EQ(settings->title(), "Einstellungen");
    EXPECT_EQ(languages->title(), "Sprachen");
    // The language names stay in their own words.
    EXPECT_EQ(entries(), (QStringList{"English", "Rock && Roll", "Deutsch", "Español"}));
}

TEST_F(LanguageMenuTest, ChoosingAnEntryTranslatesEveryOpenWindowAndReportsTheTitle)
{
    QDialog other;
    auto* otherLabel = new QLabel("Read", &other);
    other.show();
    QStringList chosen;
    QObject::connect(menu, &LanguageMenu::languageChosen,
                     [&chosen](const QString& langID) { chosen << langID; });
    menu->rebuild("English");

    menu->languageAction(2)->trigger();
    EXPECT_EQ(read->text(), "Vorlesen");
    EXPECT_EQ(otherLabel->text(), "Vorlesen");
    EXPECT_EQ(menu->checkedIndex(), 2);
    EXPECT_EQ(chosen, QStringList{"Deutsch"});

    menu->languageAction(3)->trigger();
    EXPECT_EQ(read->text(), "Leer");
    EXPECT_EQ(otherLabel->text(), "Leer");
    EXPECT_EQ(settings->title(), "Configuración");
    EXPECT_EQ(menu->checkedIndex(), 3);
    EXPECT_EQ(lang.LangID(), "Español");

    menu->languageAction(0)->trigger();
    EXPECT_EQ(read->text(), "Read");
    EXPECT_EQ(otherLabel->text(), "Read");
    EXPECT_EQ(settings->title(), "Settings");
    EXPECT_EQ(menu->checkedIndex(), 0);
    EXPECT_EQ(chosen, (QStringList{"Deutsch", "Español", "English"}));
}
