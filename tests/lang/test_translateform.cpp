#include "langtest.h"
#include "testsupport.h"

#include "diagnostics/errorreport.h"
#include "diagnostics/fSHAREDErrorRpt.h"
#include "diagnostics/help.h"
#include "parlo_config.h"
#include "settings/lang.h"
#include "shippedlanguages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>

namespace {

// A window with one control of every kind the translation knows.
struct SampleWindow {
    SampleWindow()
    {
        window.setObjectName("frmSample");
        window.setWindowTitle("Reader");
        settings = window.menuBar()->addMenu("&Settings");
        languages = settings->addMenu("Languages");
        settings->addSeparator();
        pron = settings->addAction("Pronunciations");
        toolbar = window.addToolBar("Tools");
        toolAction = toolbar->addAction("Load");
        toolAction->setToolTip("Load a file");

        auto* central = new QWidget(&window);
        auto* layout = new QVBoxLayout(central);
        read = new QPushButton("Read", central);
        read->setToolTip("Read from cursor position");
        read->setAccessibleName("Read from cursor position");
        tool = new QToolButton(central);
        tool->setText("Pause");
        dropDown = std::make_unique<QMenu>(); // a drop-down menu with no parent
        dropDown->addAction("Stop");
        tool->setMenu(dropDown.get());
        label = new QLabel("Say", central);
        check = new QCheckBox("Word pair setup", central);
        radio = new QRadioButton("Original", central);
        group = new QGroupBox("Settings", central);
        group->setToolTip("Pronunciations");
        inGroup = new QPushButton("Stop", group);
        status = new QLineEdit("Read", central);
        status->setReadOnly(true);
        input = new QLineEdit(central);
        input->setText("Read"); // typed by the user
        input->setPlaceholderText("Original");
        pitch = new QComboBox(central);
        pitch->addItems({"New", "-10"});
        pitch->setToolTip("Select a voice");
        editable = new QComboBox(central);
        editable->setEditable(true);
        editable->addItem("Read");
        tree = new QTreeWidget(central);
        tree->setHeaderLabels({"Original", "New"});
        tree->addTopLevelItem(new QTreeWidgetItem(QStringList{"Read", "Stop"}));
        model.setHorizontalHeaderLabels({"New", "Original"});
        view = new QTreeView(central);
        view->setModel(&model);
        tabs = new QTabWidget(central);
        tabs->addTab(new QWidget, "Settings");
        tabs->addTab(new QLabel("Stop"), "Languages");
        document = new QPlainTextEdit("Read", central);
        document->setPlaceholderText("Original");
        keep = new QLabel("Read", central);
        keep->setProperty(cSharedLang::kNoTranslate, true);
        for (QWidget* w :
             std::initializer_list<QWidget*>{read, tool, label, check, radio, group, status, input,
                                             pitch, editable, tree, view, tabs, document, keep})
            layout->addWidget(w);
        window.setCentralWidget(central);
    }

    // Every text the window shows, in a fixed order.
    QStringList texts() const
    {
        return {window.windowTitle(),
                settings->title(),
                languages->title(),
                pron->text(),
                toolAction->text(),
                toolAction->toolTip(),
                toolbar->windowTitle(),
                qobject_cast<QToolButton*>(toolbar->widgetForAction(toolAction))->text(),
                read->text(),
                read->toolTip(),
                read->accessibleName(),
                tool->text(),
                dropDown->actions().at(0)->text(),
                label->text(),
                check->text(),
                radio->text(),
                group->title(),
                group->toolTip(),
                inGroup->text(),
                status->text(),
                input->placeholderText(),
                pitch->itemText(0),
                pitch->itemText(1),
                pitch->toolTip(),
                tree->headerItem()->text(0),
                tree->headerItem()->text(1),
                model.headerData(0, Qt::Horizontal).toString(),
                model.headerData(1, Qt::Horizontal).toString(),
                tabs->tabText(0),
                tabs->tabText(1),
                qobject_cast<QLabel*>(tabs->widget(1))->text(),
                document->placeholderText()};
    }

    // What the program and the user put there themselves, never translated.
    QStringList ownTexts() const
    {
        return {input->text(), editable->itemText(0), tree->topLevelItem(0)->text(0),
                document->toPlainText(), keep->text()};
    }

    std::unique_ptr<QMenu> dropDown;
    QMainWindow window;
    QStandardItemModel model;
    QMenu* settings;
    QMenu* languages;
    QAction* pron;
    QToolBar* toolbar;
    QAction* toolAction;
    QPushButton* read;
    QToolButton* tool;
    QLabel* label;
    QCheckBox* check;
    QRadioButton* radio;
    QGroupBox* group;
    QPushButton* inGroup;
    QLineEdit* status;
    QLineEdit* input;
    QComboBox* pitch;
    QComboBox* editable;
    QTreeWidget* tree;
    QTreeView* view;
    QTabWidget* tabs;
    QPlainTextEdit* document;
    QLabel* keep;
};

const QStringList kEnglish = {"Reader",
                              "&Settings",
                              "Languages",
                              "Pronunciations",
                              "Load",
                              "Load a file",
                              "Tools",
                              "Load",
                              "Read",
                              "Read from cursor position",
                              "Read from cursor position",
                              "Pause",
                              "Stop",
                              "Say",
                              "Word pair setup",
                              "Original",
                              "Settings",
                              "Pronunciations",
                              "Stop",
                              "Read",
                              "Original",
                              "New",
                              "-10",
                              "Select a voice",
                              "Original",
                              "New",
                              "New",
                              "Original",
                              "Settings",
                              "Languages",
                              "Stop",
                              "Original"};
const QStringList kGerman = {"Leser",
                             "Einstellungen",
                             "Sprachen",
                             "Aussprache",
                             "Öffnen",
                             "Datei öffnen",
                             "Werkzeuge",
                             "Öffnen",
                             "Vorlesen",
                             "Ab Cursor vorlesen",
                             "Ab Cursor vorlesen",
                             "Pause",
                             "Stopp",
                             "Sprich",
                             "Wortpaar einrichten",
                             "Urtext",
                             "Einstellungen",
                             "Aussprache",
                             "Stopp",
                             "Vorlesen",
                             "Urtext",
                             "Neu",
                             "-10",
                             "Stimme auswählen",
                             "Urtext",
                             "Neu",
                             "Neu",
                             "Urtext",
                             "Einstellungen",
                             "Sprachen",
                             "Stopp",
                             "Urtext"};
const QStringList kSpanish = {"Lector",
                              "Configuración",
                              "Idiomas",
                              "Pronunciaciones",
                              "Abrir",
                              "Abrir un archivo",
                              "Herramientas",
                              "Abrir",
                              "Leer",
                              "Leer desde el cursor",
                              "Leer desde el cursor",
                              "Pausa",
                              "Detener",
                              "Decir",
                              "Par de palabras",
                              "Original",
                              "Configuración",
                              "Pronunciaciones",
                              "Detener",
                              "Leer",
                              "Original",
                              "Nueva",
                              "-10",
                              "Seleccione una voz",
                              "Original",
                              "Nueva",
                              "Nueva",
                              "Original",
                              "Configuración",
                              "Idiomas",
                              "Detener",
                              "Original"};

class TranslateForm : public ::testing::Test {
protected:
    void SetUp() override
    {
        writeLanguageFile(
            home.path(), "German.txt",
            {"Deutsch", "Reader||Leser", "Settings||Einstellungen", "Languages||Sprachen",
             "Pronunciations||Aussprache", "Load||Öffnen", "Load a file||Datei öffnen",
             "Read||Vorlesen", "Read from cursor position||Ab Cursor vorlesen", "Pause||Pause",
             "Say||Sprich", "Word pair setup||Wortpaar einrichten", "Original||Urtext",
             "Stop||Stopp", "New||Neu", "Select a voice||Stimme auswählen", "Tools||Werkzeuge",
             "English||Englisch"});
        writeLanguageFile(
            home.path(), "Spanish.txt",
            {"Español", "Reader||Lector", "Settings||Configuración", "Languages||Idiomas",
             "Pronunciations||Pronunciaciones", "Load||Abrir", "Load a file||Abrir un archivo",
             "Read||Leer", "Read from cursor position||Leer desde el cursor", "Pause||Pausa",
             "Say||Decir", "Word pair setup||Par de palabras", "Stop||Detener", "New||Nueva",
             "Select a voice||Seleccione una voz", "Tools||Herramientas"},
            "\n");
        lang.OverrideLanguagePath(home.path());
        lang.LoadAllLanguages();
        ASSERT_EQ(lang.LanguageCount(), 2);
    }

    ScopedProgramHome home;
    cSharedLang lang;
    SampleWindow sample;
};

} // namespace

TEST_F(TranslateForm, TranslatesEveryKindOfControlAndBackToEnglish)
{
    const QStringList own = sample.ownTexts();
    ASSERT_EQ(sample.texts(), kEnglish);
    lang.Localise(&sample.window, 1);
    EXPECT_EQ(sample.texts(), kGerman);
    EXPECT_EQ(sample.ownTexts(), own);
    lang.Localise(&sample.window, 0);
    EXPECT_EQ(sample.texts(), kEnglish);
    lang.Localise(&sample.window, 1); // a second switch starts from English again
    EXPECT_EQ(sample.texts(), kGerman);
    EXPECT_EQ(sample.ownTexts(), own);
}

TEST_F(TranslateForm, SwitchesStraightFromOneLanguageToAnotherInEveryWindow)
{
    SampleWindow other;
    other.window.show();
    lang.SwitchLanguage(&sample.window, 1);
    EXPECT_EQ(sample.texts(), kGerman);
    EXPECT_EQ(other.texts(), kGerman);
    // Spanish has no "Original": the English text comes back, not the German one.
    lang.SwitchLanguage(&sample.window, 2);
    EXPECT_EQ(sample.texts(), kSpanish);
    EXPECT_EQ(other.texts(), kSpanish);
    lang.SwitchLanguage(&sample.window, 0);
    EXPECT_EQ(sample.texts(), kEnglish);
    EXPECT_EQ(other.texts(), kEnglish);
}

TEST_F(TranslateForm, WindowsOpenedLaterTakeTheCurrentLanguage)
{
    lang.Localise(&sample.window, 2);
    SampleWindow later;
    lang.TranslateForm(&later.window);
    EXPECT_EQ(later.texts(), kSpanish);
    lang.LoadLanguage(0);
    lang.TranslateForm(&later.window);
    EXPECT_EQ(later.texts(), kEnglish);
}

TEST_F(TranslateForm, AnEmptyTranslationEmptiesTheTextUntilEnglishReturns)
{
    writeLanguageFile(home.path(), "Blank.txt", {"Blank", "Read||", "Select a voice||"});
    lang.LoadAllLanguages(); // Blank.txt comes first
    lang.Localise(&sample.window, 1);
    EXPECT_EQ(sample.read->text(), "");
    EXPECT_EQ(sample.pitch->toolTip(), "");
    EXPECT_EQ(sample.tool->toolTip(), ""); // an empty text stays empty
    lang.Localise(&sample.window, 0);
    EXPECT_EQ(sample.read->text(), "Read");
    EXPECT_EQ(sample.pitch->toolTip(), "Select a voice");
    EXPECT_EQ(sample.tool->toolTip(), "");
}

TEST_F(TranslateForm, TextsTheProgramChangesAfterwardsFollowTheLanguage)
{
    lang.Localise(&sample.window, 1);
    sample.read->setText("Stop");   // the program changes a caption while in German
    sample.label->setText("Hello"); // and sets one nobody translated
    lang.TranslateForm(&sample.window);
    EXPECT_EQ(sample.read->text(), "Stopp");
    EXPECT_EQ(sample.label->text(), "Hello");
    lang.Localise(&sample.window, 0);
    EXPECT_EQ(sample.read->text(), "Stop");
    EXPECT_EQ(sample.label->text(), "Hello");
    // A German text set by the program is turned back by the reversed table.
    lang.Localise(&sample.window, 1);
    sample.check->setText("Vorlesen");
    lang.Localise(&sample.window, 0);
    EXPECT_EQ(sample.check->text(), "Read");
}

TEST_F(TranslateForm, ActionToolTipsDerivedFromTheTextFollowIt)
{
    lang.Localise(&sample.window, 1);
    EXPECT_EQ(sample.pron->toolTip(), "Aussprache");
    lang.Localise(&sample.window, 0);
    EXPECT_EQ(sample.pron->toolTip(), "Pronunciations");
    sample.pron->setText("Languages");
    EXPECT_EQ(sample.pron->toolTip(), "Languages");
}

TEST_F(TranslateForm, NoLanguageOrAnUnknownNumberLeavesEnglish)
{
    lang.TranslateForm(&sample.window);
    EXPECT_EQ(sample.texts(), kEnglish);
    lang.Localise(&sample.window, 7);
    EXPECT_EQ(sample.texts(), kEnglish);
    lang.TranslateForm(nullptr);
}

TEST_F(TranslateForm, FormFontGoesOnTheWindowButNotOnSymbolButtons)
{
    QFont symbols("Webdings");
    sample.tool->setFont(symbols);
    QFont arial("Arial", 14);
    arial.setBold(true);
    sample.inGroup->setFont(arial);
    lang.setFormFontName(" dejavu sans ");
    lang.TranslateForm(&sample.window);
    EXPECT_EQ(sample.window.font().family(), "DejaVu Sans");
    EXPECT_EQ(sample.label->font().family(), "DejaVu Sans");
    EXPECT_EQ(sample.inGroup->font().family(), "DejaVu Sans");
    EXPECT_EQ(sample.inGroup->font().pointSize(), 14);
    EXPECT_TRUE(sample.inGroup->font().bold());
    EXPECT_EQ(sample.tool->font().family(), "Webdings");
}

TEST_F(TranslateForm, AMissingFormFontIsLoggedAndForgotten)
{
    const QFont before = sample.window.font();
    lang.setFormFontName("No Such Font Anywhere");
    lang.TranslateForm(&sample.window);
    EXPECT_EQ(lang.FormFontName(), "");
    EXPECT_EQ(sample.window.font(), before);
    const QString log =
        QString::fromUtf8(readBytes(cSharedLogging::instance().CurrentLogFilename()));
    EXPECT_TRUE(log.contains("Cannot set font to No Such Font Anywhere. Not present."));
}

TEST(TranslateRealWindow, ErrorReportInGermanAndBack)
{
    ScopedProgramHome home;
    cSharedLang lang;
    const int german = shippedLanguage(lang, "Deutsch");
    ASSERT_GT(german, 0);
    fSHAREDErrorRpt report;
    auto* email = report.findChild<QPushButton*>("cmdEmail");
    auto* comments = report.findChild<QGroupBox*>("fraComments");
    auto* userMessage = report.findChild<QPlainTextEdit*>("txtUserMessage");
    ASSERT_TRUE(email && comments && userMessage);
    report.show();

    lang.Localise(&report, german);
    EXPECT_EQ(report.windowTitle(), "Fehlerbericht");
    EXPECT_EQ(email->text(), "Fehlerbericht senden");
    EXPECT_EQ(email->toolTip(), "Öffnet Ihr E-Mail-Programm mit dem ausgefüllten Bericht");
    EXPECT_EQ(comments->title(), "Ihre Kommentare");
    EXPECT_EQ(userMessage->placeholderText(),
              "Was haben Sie gerade getan, als der Fehler auftrat?");
    EXPECT_EQ(userMessage->accessibleName(), "Ihre Kommentare");
    EXPECT_EQ(lang.GetTranslation("Cannot find help file /x/Index.htm"),
              "Cannot find help file /x/Index.htm");
    EXPECT_EQ(lang.GetTranslation("Cannot find help file "), "Hilfedatei nicht gefunden: ");
    // Messages of the services below the language layer, once the program connects them.
    cUserPrompt::setTranslator([&](const QString& text) { return lang.GetTranslation(text); });
    EXPECT_EQ(ErrorReport::loadLog(QString()), "Keine Protokolldatei");
    {
        RecordingPrompt prompt;
        cSharedHelp::instance().ShowHelpFile(QStringLiteral("/nowhere/Index.htm"));
        EXPECT_EQ(prompt.messages, QStringList{"Hilfedatei nicht gefunden: /nowhere/Index.htm"});
    }
    cUserPrompt::setTranslator({});
    EXPECT_EQ(ErrorReport::loadLog(QString()), "No log file");

    lang.Localise(&report, 0);
    EXPECT_EQ(report.windowTitle(), "Error Reporter");
    EXPECT_EQ(email->text(), "Submit Error Report");
    EXPECT_EQ(comments->title(), "Your comments");
}
