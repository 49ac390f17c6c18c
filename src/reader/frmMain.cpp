#include "reader/frmMain.h"

#include "diagnostics/log.h"
#include "diagnostics/userprompt.h"
#include "files/filesubs.h"
#include "parlo_config.h"
#include "reader/bookmarks.h"
#include "reader/fAbout.h"
#include "reader/fSplash.h"
#include "reader/flowlayout.h"
#include "reader/themeicons.h"
#include "reader/wordmark.h"
#include "settings/lang.h"
#include "settings/langmenu.h"
#include "settings/settings.h"
#include "speech/clsdict.h"
#include "util/delay.h"
#include "util/identity.h"
#include "util/programpaths.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

namespace {

constexpr int kTwips = 15;
// Small enough for a phone-sized or magnified screen; the layouts still show the book and
// every button there, in rows.
constexpr QSize kSmallest(480, 320);
const QString kModule = QStringLiteral("frmMain");

int px(int twips)
{
    return (twips + kTwips / 2) / kTwips;
}

bool fontInstalled(const QString& upperName)
{
    const QStringList families = QFontDatabase::families();
    for (const QString& family : families) {
        if (family.toUpper() == upperName)
            return true;
    }
    return false;
}

QString exeBaseName()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

// A caption with an access key, the theme's icon beside it when the theme has one. The
// screen reader's name is the caption; its description comes from the tool tip.
QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption,
                        const char* iconName, const QString& tip)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    if (iconName)
        button->setIcon(QIcon::fromTheme(QString::fromLatin1(iconName)));
    button->setToolTip(tip);
    button->setFocusPolicy(Qt::StrongFocus);
    button->setAutoDefault(false);
    return button;
}

// A list and its label, kept together on one row of the panel.
QWidget* labelled(QWidget* parent, QLabel* label, QWidget* field)
{
    auto* pair = new QWidget(parent);
    auto* row = new QHBoxLayout(pair);
    row->setContentsMargins(0, 0, 0, 0);
    label->setParent(pair);
    field->setParent(pair);
    label->setBuddy(field);
    row->addWidget(label);
    row->addWidget(field);
    return pair;
}

} // namespace

frmMain::frmMain(QWidget* parent) : frmMain(Options{}, parent) {}

frmMain::frmMain(Options options, QWidget* parent)
    : QMainWindow(parent), m_options(std::move(options))
{
    setObjectName(QStringLiteral("frmMain"));
    buildControls();
    buildMenu();
    buildChaptersMenu();
    buildStatusBar();
    connectUpdateControls();
    buildKeyMenus();
    buildMemory();
    buildAudiobookMenu();
    // The design's inner area, with the menu bar above it.
    resize(px(9024), px(5400) + menuBar()->sizeHint().height());
}

frmMain::~frmMain()
{
    if (m_splash)
        delete m_splash;
}

void frmMain::buildControls()
{
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralArea"));
    setCentralWidget(central);

    RichTextBox1 = new QTextEdit(central);
    RichTextBox1->setObjectName(QStringLiteral("RichTextBox1"));
    RichTextBox1->setAccessibleName(QStringLiteral("Document"));
    RichTextBox1->setAcceptRichText(false);
    // Tab moves on to the buttons; the caret stays for choosing where to read.
    RichTextBox1->setTabChangesFocus(true);
    RichTextBox1->setMinimumHeight(RichTextBox1->fontMetrics().lineSpacing() * 3);
    connect(RichTextBox1->document(), &QTextDocument::contentsChanged, this,
            [this] { m_textStale = true; });
    followPalette();

    Frame1 = new QFrame(central);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setAccessibleName(QStringLiteral("Reading controls"));
    auto* panel = new FlowLayout(Frame1);
    panel->setContentsMargins(0, 0, 0, 0);

    auto* page = new QVBoxLayout(central);
    page->addWidget(RichTextBox1, 1);
    page->addWidget(Frame1);

    cmdRead = makeButton(Frame1, "cmdRead", QStringLiteral("&Read"), "media-playback-start",
                         QStringLiteral("Read from cursor position"));
    cmdPause = makeButton(Frame1, "cmdPause", QStringLiteral("&Pause"), "media-playback-pause",
                          QStringLiteral("Pause"));
    cmdPause->setCheckable(true);
    cmdStopReading = makeButton(Frame1, "cmdStopReading", QStringLiteral("&Stop"),
                                "media-playback-stop", QStringLiteral("Stop Speaking"));
    cmdSlower = makeButton(Frame1, "cmdSlower", QStringLiteral("Slo&wer"), "media-seek-backward",
                           QStringLiteral("Speak Slower"));
    cmdFaster = makeButton(Frame1, "cmdFaster", QStringLiteral("&Faster"), "media-seek-forward",
                           QStringLiteral("Speak Faster"));
    cmdSpeakToWav = makeButton(Frame1, "cmdSpeakToWav", QStringLiteral("Read to WA&V"),
                               "document-save-as", QStringLiteral("Read to WAV file"));

    cmbEngine = new QComboBox(Frame1);
    cmbEngine->setObjectName(QStringLiteral("cmbEngine"));
    cmbEngine->setToolTip(QStringLiteral("Select a voice"));
    cmbEngine->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    // Voice names are the engine's own, never translated.
    cmbEngine->setProperty(cSharedLang::kNoTranslate, true);
    lblEngine = new QLabel(QStringLiteral("V&oice:"));
    lblEngine->setObjectName(QStringLiteral("lblEngine"));
    cmbPitch = new QComboBox(Frame1);
    cmbPitch->setObjectName(QStringLiteral("cmbPitch"));
    cmbPitch->setToolTip(QStringLiteral(
        "Changes the pitch. Default is zero, negative numbers for a deeper voice, positive "
        "numbers for a higher voice."));
    lblPitch = new QLabel(QStringLiteral("P&itch:"));
    lblPitch->setObjectName(QStringLiteral("lblPitch"));

    cmdFontBigger = makeButton(Frame1, "cmdFontBigger", QStringLiteral("Bi&gger"), "zoom-in",
                               QStringLiteral("Make the font bigger"));
    cmdFontSmaller = makeButton(Frame1, "cmdFontSmaller", QStringLiteral("S&maller"), "zoom-out",
                                QStringLiteral("Make the font smaller"));
    cmdGUT = makeButton(Frame1, "cmdGUT", QStringLiteral("Li&brary"), nullptr,
                        QStringLiteral("Project Gutenberg Downloads"));
    cmdLoad = makeButton(Frame1, "cmdLoad", QStringLiteral("&Load"), "document-open",
                         QStringLiteral("Load a file"));
    cmdReload = makeButton(Frame1, "cmdReload", QStringLiteral("R&eload"), "view-refresh",
                           QStringLiteral("Reload current file"));
    cmdAbout = makeButton(Frame1, "cmdAbout", QStringLiteral("&About"), "help-about",
                          QStringLiteral("About"));
    cmdQuit = makeButton(Frame1, "cmdQuit", QStringLiteral("&Quit"), "application-exit",
                         QStringLiteral("Quit"));

    // The most used first; the order of the panel is also the keyboard's order.
    const QList<QWidget*> order{cmdRead,       cmdPause,       cmdStopReading, cmdSlower,
                                cmdFaster,     cmdSpeakToWav,  cmbEngine,      cmbPitch,
                                cmdFontBigger, cmdFontSmaller, cmdGUT,         cmdLoad,
                                cmdReload,     cmdAbout,       cmdQuit};
    QWidget* voice = labelled(Frame1, lblEngine, cmbEngine);
    QWidget* pitch = labelled(Frame1, lblPitch, cmbPitch);
    for (QWidget* control : order)
        panel->addWidget(control == cmbEngine ? voice : control == cmbPitch ? pitch : control);
    QWidget* previous = RichTextBox1;
    for (QWidget* control : order) {
        QWidget::setTabOrder(previous, control);
        previous = control;
    }

    Timer3 = new QTimer(this);
    Timer3->setObjectName(QStringLiteral("Timer3"));
    Timer3->setInterval(30000);
    Timer3->setSingleShot(true);

    connect(cmdQuit, &QPushButton::clicked, this, &frmMain::ShutDown);
    connect(cmdAbout, &QPushButton::clicked, this, &frmMain::cmdAbout_Click);
    connect(cmdGUT, &QPushButton::clicked, this, &frmMain::mnugutenberg_click);
    connect(cmdRead, &QPushButton::clicked, this, &frmMain::cmdRead_Click);
    connect(cmdStopReading, &QPushButton::clicked, this, &frmMain::StopReading);
    connect(cmdPause, &QPushButton::clicked, this, &frmMain::cmdPause_Click);
    connect(cmdLoad, &QPushButton::clicked, this, &frmMain::cmdLoad_Click);
    connect(cmdReload, &QPushButton::clicked, this, &frmMain::cmdReload_Click);
    connect(cmdFontBigger, &QPushButton::clicked, this, [this] { changeFontSize(+1); });
    connect(cmdFontSmaller, &QPushButton::clicked, this, [this] { changeFontSize(-1); });
    connect(cmdSpeakToWav, &QPushButton::clicked, this, &frmMain::cmdSpeakToWav_Click);
    connect(cmdFaster, &QPushButton::clicked, this, [this] {
        if (m_talker)
            m_talker->Faster();
    });
    connect(cmdSlower, &QPushButton::clicked, this, [this] {
        if (m_talker)
            m_talker->Slower();
    });
    connect(cmbEngine, &QComboBox::activated, this, &frmMain::cmbEngine_Click);
    connect(cmbEngine, &QComboBox::currentIndexChanged, this, &frmMain::cmbEngine_Click);
    connect(cmbPitch, &QComboBox::currentIndexChanged, this, &frmMain::cmbPitch_Click);
}

void frmMain::buildMenu()
{
    mnuSettings = menuBar()->addMenu(QStringLiteral("Settings"));
    mnuSettings->setObjectName(QStringLiteral("mnuSettings"));
    mnuLang = mnuSettings->addMenu(QStringLiteral("Languages"));
    mnuLang->setObjectName(QStringLiteral("mnuLang"));
    mnuPron = mnuSettings->addAction(QStringLiteral("Pronunciations"));
    mnuPron->setObjectName(QStringLiteral("mnuPron"));
    connect(mnuPron, &QAction::triggered, this, &frmMain::mnuPron_Click);
    mnuCheckForUpdate = mnuSettings->addAction(QStringLiteral("Check for Update"));
    mnuCheckForUpdate->setObjectName(QStringLiteral("mnuCheckForUpdate"));
    buildWordMark();
}

void frmMain::log(const QString& text)
{
    cSharedLogging::instance().LogEvent(text);
}

void frmMain::splashText(const QString& text)
{
    if (m_splash)
        m_splash->setTitle(cSharedLang::instance().GetTranslation(text));
}

bool frmMain::startUp()
{
    const WorkScope work(*this);
    Failure failure;
    auto failed = [&](int number, const QString& description) {
        failure.number = number;
        failure.description = description;
        startUpFailed(failure);
        return false;
    };

    // 1. Pitch list; its handler does nothing until the Talker exists.
    for (int pitch = -10; pitch <= 10; ++pitch)
        cmbPitch->addItem(QString::number(pitch));
    cmbPitch->setCurrentIndex(10);
    // 2.
    PronDict();
    cmdReload->setEnabled(false);
    // 3.
    setWindowTitle(exeBaseName() + ' ' + cSHAREDSubs::instance().AppVersion());
    // 4.
    cSHAREDSettings::shared().LoadSettings(cSHAREDSettings::sharedFilename());
    // 5. A new log for every run.
    cSharedLogging::instance().LogEvent(
        "Program startup.  " + exeBaseName() + ' ' + cSHAREDSubs::instance().AppVersion(), true);
    // 6.
    if (m_options.showSplash)
        m_splash = new fSplash;
    // 7.
    buildLanguageMenu();
    // 8.
    if (m_splash) {
        if (QScreen* screen = QGuiApplication::primaryScreen())
            m_splash->move(screen->availableGeometry().center() - m_splash->rect().center());
        m_splash->show();
        cSHAREDDelay::instance().DoEventss();
        cSHAREDDelay::instance().MsgWait(500);
    }
    // 9.
    log(QStringLiteral("Checking for Webdings font"));
    splashText(QStringLiteral("Finding suitable font"));
    m_webdings = fontInstalled(QStringLiteral("WEBDINGS"));
    if (m_webdings) {
        splashText(QStringLiteral("Using Webdings"));
    } else {
        log(QStringLiteral("Webdings font not found. Replacing with MS Sans Serif."));
        splashText(QStringLiteral("Finding alternate font"));
        replaceSymbolFonts();
    }
    // 10.
    log(QStringLiteral("Initialising Talker"));
    splashText(QStringLiteral("Initialising Talker"));
    m_talker = m_options.voiceFactory ? std::make_unique<clsTalker>(m_options.voiceFactory)
                                      : std::make_unique<clsTalker>();
    connect(m_talker.get(), &clsTalker::SpeakingSentence, this, &frmMain::Talker_SpeakingSentence);
    connect(m_talker.get(), &clsTalker::ReadingFinished, this, &frmMain::Talker_ReadingFinished);
    connect(m_talker.get(), &clsTalker::WavFull, this, &frmMain::Talker_WavFull);
    connectWordMark();
    // 11.
    splashText(QStringLiteral("Initialising Speech Engine"));
    log(QStringLiteral("Initialising Speech Engine"));
    if (!m_talker->InitEngine(failure))
        return failed(failure.number, failure.description);
    // 12.
    splashText(QStringLiteral("Filling voice list"));
    m_talker->FillEngine(cmbEngine);
    if (cmbEngine->count() == 0)
        return failed(Err::NoVoices, Err::description(Err::NoVoices));
    // 13.
    splashText(QStringLiteral("Setting voice to last used"));
    const int last = clsTalker::findStoredVoice(
        m_talker->voiceList(),
        cSHAREDSettings::shared()
            .RetrieveSetting(QStringLiteral("LastEngineName"), QString())
            .toString(),
        cSHAREDSettings::shared().RetrieveSetting(QStringLiteral("LastEngine"), 0).toInt());
    m_startedUp = true;
    cmbEngine->setCurrentIndex(last);
    // Stored even when the list already showed it, as choosing it would.
    storeVoice(last);
    connectStatusBar();
    // 14.
    if (m_splash) {
        m_splash->hide();
        cSHAREDDelay::instance().DoEventss();
        delete m_splash;
    }
    // 15.
    m_minHeight = kSmallest.height();
    m_minWidth = kSmallest.width();
    setMinimumSize(kSmallest);
    restoreMemory();
    // 16.
    log(QStringLiteral("Startup Complete"));
    createUpdater();
    connectMediaControls();
    return true;
}

void frmMain::replaceSymbolFonts()
{
    // The buttons show words and the theme's icons, never symbol-font letters; where the
    // theme has no icon, the old plain captions stand in for it beside the word.
    log(QStringLiteral("Webdings font not found. Changing button text."));
    const std::pair<QPushButton*, const char*> stand[] = {
        {cmdSlower, "<<"},     {cmdFaster, ">>"}, {cmdFontBigger, "+"},
        {cmdFontSmaller, "-"}, {cmdAbout, "?"},   {cmdQuit, "X"},
    };
    for (const auto& [button, text] : stand) {
        if (button->icon().isNull())
            button->setIcon(ThemeIcons::textIcon(QString::fromLatin1(text)));
    }
}

void frmMain::startUpFailed(const Failure& failure)
{
    cSHAREDSubs::instance().NormalMouse();
    const QString site = QStringLiteral(PARLO_MAKER_SITE);
    QString text;
    const auto& lang = cSharedLang::instance();
    if (failure.number == Err::NoVoices) {
        text = lang.GetTranslation("You must install a Text To Speech engine to use this "
                                   "program.  Visit the Parlo page at ") +
               site + lang.GetTranslation(" for more information.");
    } else if (failure.number == Err::CannotCreateObject) {
        text = lang.GetTranslation("One or more runtimes are not installed on your PC.  See the "
                                   "'Runtimes' page at ") +
               site + lang.GetTranslation(" for more information.");
    } else {
        text = "Error " + QString::number(failure.number) + " - " + failure.description;
        log(text);
    }
    // The splash stays on top of other windows; it must not hide the message.
    if (m_splash)
        m_splash->hide();
    cUserPrompt::current().message(text);
    if (m_splash)
        delete m_splash;
    m_talker.reset();
    shutDownNow();
}

void frmMain::StopReading()
{
    const WorkScope work(*this);
    const bool wasPaused = std::exchange(m_isPaused, false);
    showPaused();
    if (m_talker) {
        m_talker->StopSpeaking();
        // A voice left paused would keep the next reading silent, with the Pause button
        // already showing "not paused"; with its queue emptied, resuming it plays nothing.
        if (wasPaused)
            m_talker->Continue();
    }
    if (!m_wavFile.isEmpty())
        finishWav(false);
    m_wordMark->clear();
    QTextCursor cursor = RichTextBox1->textCursor();
    cursor.setPosition(cursor.selectionStart());
    RichTextBox1->setTextCursor(cursor);
    m_skipTarget = -1;
    showMediaState();
    cSHAREDSubs::instance().NormalMouse();
    cSHAREDDelay::instance().DoEventss();
}

void frmMain::saveState()
{
    rememberWindow();
    storeBookmark();
    storeBookSpeech();
    mSharedBookmarks::savebookmarks();
    cSHAREDSettings::shared().SaveSettings(cSHAREDSettings::sharedFilename());
}

frmMain::WorkScope::WorkScope(frmMain& window) : m_window(window)
{
    ++m_window.m_work;
}

frmMain::WorkScope::~WorkScope()
{
    if (--m_window.m_work == 0 && m_window.m_shutDownPending)
        QTimer::singleShot(0, &m_window, &frmMain::ShutDown);
}

void frmMain::ShutDown()
{
    if (m_shutDown)
        return;
    if (m_work > 0) {
        // Whatever is under way still uses the Talker and the box; the dialogs it waits on
        // are closed so that it can unwind.
        if (!std::exchange(m_shutDownPending, true))
            closeOtherWindows(false);
        return;
    }
    shutDownNow();
}

void frmMain::shutDownNow()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    m_shutDownPending = false;
    StopReading();
    m_talker.reset();
    saveState();
    closeOtherWindows(true);
    cSharedLogging::instance().WriteActionsToLog();
    hide();
    Q_EMIT shutDownFinished();
    QCoreApplication::quit();
}

void frmMain::closeOtherWindows(bool letEventsRun)
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        if (*it != this && (*it)->isVisible()) {
            (*it)->close();
            if (letEventsRun)
                cSHAREDDelay::instance().DoEventss();
        }
    }
}

void frmMain::closeEvent(QCloseEvent* event)
{
    // Every way of closing saves the reader's place, whoever asks for it. A shutdown that
    // has to wait keeps the window, or the program would end without it.
    ShutDown();
    if (m_shutDown)
        event->accept();
    else
        event->ignore();
}

void frmMain::cmdAbout_Click()
{
    const WorkScope work(*this);
    fAbout about(this);
    about.exec();
}

void frmMain::cmbEngine_Click(int index)
{
    if (!m_startedUp || !m_talker || index < 0)
        return;
    storeVoice(index);
}

void frmMain::storeVoice(int index)
{
    // A book's own voice is no choice to keep for the next run.
    if (!m_applyingSpeech) {
        cSHAREDSettings::shared().StoreSetting(QStringLiteral("LASTENGINE"), index);
        // By name too: the index alone means another voice once the list's order changes.
        cSHAREDSettings::shared().StoreSetting(QStringLiteral("LastEngineName"),
                                               m_talker->voiceList().value(index));
    }
    m_talker->SelectVoice(index);
}

void frmMain::cmbPitch_Click(int index)
{
    if (!m_talker || index < 0)
        return;
    m_talker->ChangePitch(cmbPitch->itemText(index).toInt());
}

void frmMain::buildLanguageMenu()
{
    auto& lang = cSharedLang::instance();
    const QString langID = cSHAREDSettings::shared()
                               .RetrieveSetting(QStringLiteral("langID"), QStringLiteral("English"))
                               .toString();
    lang.setLangID(langID);
    m_languageMenu = new LanguageMenu(mnuLang, this, lang);
    m_languageMenu->applyLanguage(langID);
    refreshKeyTexts();
    connect(m_languageMenu, &LanguageMenu::languageChosen, this, [this](const QString& chosen) {
        refreshKeyTexts();
        cSharedLang::instance().setLangID(chosen);
        cSHAREDSettings::shared().StoreSetting(QStringLiteral("LangID"), chosen);
    });
}

void frmMain::chooseLanguage(int index)
{
    if (m_languageMenu)
        m_languageMenu->choose(index);
}
