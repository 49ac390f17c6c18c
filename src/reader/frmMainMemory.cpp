// The reader window's memory between runs: the speech last chosen and each book's own, the
// voice's variant, the text size, the window's place and the recent books.
#include "diagnostics/userprompt.h"
#include "reader/bookmarks.h"
#include "reader/frmMain.h"
#include "settings/lang.h"
#include "settings/langmenu.h"
#include "settings/readermemory.h"
#include "settings/recentbooks.h"
#include "settings/settings.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QTextDocument>
#include <QTextEdit>

namespace {

QString translated(const char* english)
{
    return cSharedLang::instance().GetTranslation(QString::fromUtf8(english));
}

cSHAREDSettings& settings()
{
    return cSHAREDSettings::shared();
}

// "&1 Book.txt" .. "1&0 Book.txt": the digits choose an entry from the keyboard.
QString numbered(int number, QString name)
{
    const QString digits = number < 10 ? QStringLiteral("&%1").arg(number)
                                       : QStringLiteral("%1&%2").arg(number / 10).arg(number % 10);
    return digits + u' ' + name.replace(u'&', QStringLiteral("&&"));
}

} // namespace

void frmMain::buildMemory()
{
    cmbVariant = new QComboBox(Frame1);
    cmbVariant->setObjectName(QStringLiteral("cmbVariant"));
    cmbVariant->setToolTip(QStringLiteral(
        "Changes how the voice sounds: female and male variants and others. None keeps the "
        "voice's own sound."));
    cmbVariant->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    lblVariant = new QLabel(QStringLiteral("Voi&ce variant:"), Frame1);
    lblVariant->setObjectName(QStringLiteral("lblVariant"));
    lblVariant->setBuddy(cmbVariant);
    // Beside the voice, on the same row of the panel, and next in the keyboard's order.
    if (QLayout* voiceRow = cmbEngine->parentWidget()->layout()) {
        voiceRow->addWidget(lblVariant);
        voiceRow->addWidget(cmbVariant);
    }
    QWidget::setTabOrder(cmbEngine, cmbVariant);
    // Shown once the voice turns out to have variants.
    lblVariant->setVisible(false);
    cmbVariant->setVisible(false);
    connect(cmbVariant, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (m_talker && index >= 0)
            m_talker->SelectVariant(cmbVariant->itemData(index).toString());
    });

    // Every way the user changes the speech; the buttons' own handlers run first.
    connect(cmbEngine, &QComboBox::currentIndexChanged, this, &frmMain::speechChosen);
    connect(cmbVariant, &QComboBox::currentIndexChanged, this, &frmMain::speechChosen);
    connect(cmbPitch, &QComboBox::currentIndexChanged, this, &frmMain::speechChosen);
    connect(cmdFaster, &QPushButton::clicked, this, &frmMain::speechChosen);
    connect(cmdSlower, &QPushButton::clicked, this, &frmMain::speechChosen);

    mnuRecent = new QMenu(QStringLiteral("Re&cent Books"), this);
    mnuRecent->setObjectName(QStringLiteral("mnuRecent"));
    mnuRecent->setToolTipsVisible(true);
    // After Load and Reload, the other ways to a book.
    const QList<QAction*> reading = mnuReading->actions();
    QAction* before = nullptr;
    for (qsizetype i = 0; i + 1 < reading.size(); ++i) {
        if (reading[i]->objectName() == QLatin1String("mnuReload"))
            before = reading[i + 1];
    }
    mnuReading->insertMenu(before, mnuRecent);
    connect(mnuRecent, &QMenu::aboutToShow, this, &frmMain::fillRecentMenu);
}

void frmMain::restoreMemory()
{
    fillVariants();
    {
        // The voice itself has been found by name already; the rest follows it.
        cSpeechChoice last = ReaderMemory::speech(settings());
        last.voice.clear();
        applySpeech(last);
    }
    if (const auto size = ReaderMemory::fontSize(settings()))
        rememberFontSize(*size);
    if (const auto place = ReaderMemory::windowPlace(settings())) {
        QList<QRect> screens;
        for (const QScreen* screen : QGuiApplication::screens())
            screens << screen->availableGeometry();
        // A place on a screen that is no longer there would hide the window.
        const QRect fitted = ReaderMemory::fitToScreens(place->geometry, screens);
        if (!fitted.isNull()) {
            setGeometry(fitted);
            if (place->maximized)
                setWindowState(windowState() | Qt::WindowMaximized);
        }
    }
    if (m_languageMenu) {
        connect(m_languageMenu, &LanguageMenu::languageChosen, this, [this] {
            if (cmbVariant->count() > 0)
                cmbVariant->setItemText(0, translated("None"));
        });
    }
    m_speechRestored = true;
}

void frmMain::fillVariants()
{
    const QSignalBlocker quiet(cmbVariant);
    cmbVariant->clear();
    cmbVariant->addItem(translated("None"), QString());
    if (m_talker) {
        const QList<cVoiceVariant> variants = m_talker->variantList();
        for (const cVoiceVariant& variant : variants)
            cmbVariant->addItem(variant.name, variant.key);
    }
    const bool any = cmbVariant->count() > 1;
    lblVariant->setVisible(any);
    cmbVariant->setVisible(any);
}

cSpeechChoice frmMain::currentSpeech() const
{
    cSpeechChoice choice;
    // The list's choice, not the Talker's: a voice tag in the text changes that for a while.
    choice.voice = cmbEngine->currentText();
    choice.variant = cmbVariant->currentData().toString();
    choice.rate = m_talker ? m_talker->TalkSpeed() : m_rateSeen;
    choice.pitch = cmbPitch->currentText().toInt();
    return choice;
}

void frmMain::speechChosen()
{
    if (m_talker)
        m_rateSeen = m_talker->TalkSpeed();
    if (!m_speechRestored || m_applyingSpeech || !m_talker)
        return;
    ReaderMemory::storeSpeech(settings(), currentSpeech());
}

void frmMain::applySpeech(const cSpeechChoice& choice)
{
    if (!m_talker)
        return;
    const QScopedValueRollback applying(m_applyingSpeech, true);
    if (!choice.voice.isEmpty()) {
        // A voice no longer installed leaves the one in use.
        const int voice = int(m_talker->voiceList().indexOf(choice.voice));
        if (voice >= 0)
            cmbEngine->setCurrentIndex(voice);
    }
    const int variant = std::max(0, cmbVariant->findData(choice.variant));
    cmbVariant->setCurrentIndex(variant);
    m_talker->SelectVariant(cmbVariant->itemData(variant).toString());
    m_talker->SetTalkSpeed(choice.rate);
    m_rateSeen = m_talker->TalkSpeed();
    const int pitch = cmbPitch->findText(QString::number(choice.pitch));
    if (pitch >= 0)
        cmbPitch->setCurrentIndex(pitch);
}

void frmMain::bookShown(const QString& file, bool readOk)
{
    if (readOk)
        cRecentBooks(settings()).add(file);
    // A book read before has its own speech; any other one the speech last chosen.
    const std::optional<cSpeechChoice> own = mSharedBookmarks::instance().retrievespeech(file);
    applySpeech(own ? *own : ReaderMemory::speech(settings()));
}

void frmMain::storeBookSpeech()
{
    if (!m_currentFile.isEmpty() && m_speechRestored)
        mSharedBookmarks::instance().storespeech(m_currentFile, currentSpeech());
}

void frmMain::rememberFontSize(qreal pointSize)
{
    // Books opened later start in the box's font; the one on display keeps how its
    // loader chose to draw it.
    QTextDocument* doc = RichTextBox1->document();
    const QFont::StyleStrategy strategy = doc->defaultFont().styleStrategy();
    QFont font = RichTextBox1->font();
    font.setPointSizeF(pointSize);
    RichTextBox1->setFont(font);
    font.setStyleStrategy(strategy);
    doc->setDefaultFont(font);
    ReaderMemory::storeFontSize(settings(), pointSize);
}

void frmMain::rememberWindow()
{
    // A window never shown has no place of its own.
    if (!isVisible())
        return;
    cWindowPlace place;
    place.maximized = isMaximized();
    place.geometry = place.maximized || isFullScreen() ? normalGeometry() : geometry();
    ReaderMemory::storeWindowPlace(settings(), place);
}

void frmMain::offerRecentBooks(const QStringList& books)
{
    cRecentBooks recent(settings());
    // The first one named ends up first.
    for (auto it = books.rbegin(); it != books.rend(); ++it)
        recent.add(*it);
}

void frmMain::fillRecentMenu()
{
    mnuRecent->clear();
    const QStringList books = cRecentBooks(settings()).books();
    if (books.isEmpty()) {
        mnuRecent->addAction(translated("No recent books"))->setEnabled(false);
        return;
    }
    QStringList names;
    for (const QString& book : books)
        names << QFileInfo(book).fileName();
    for (qsizetype i = 0; i < books.size(); ++i) {
        const QString& book = books[i];
        QString text = names[i];
        // Books of the same name are told apart by their folders.
        if (names.count(names[i]) > 1)
            text += QStringLiteral(" (") +
                    QDir::toNativeSeparators(QFileInfo(book).absolutePath()) + u')';
        const bool there = QFileInfo(book).isFile();
        if (!there)
            text += u' ' + translated("(not found)");
        QAction* action = mnuRecent->addAction(numbered(int(i) + 1, text));
        action->setProperty(cSharedLang::kNoTranslate, true);
        action->setToolTip(QDir::toNativeSeparators(book));
        action->setEnabled(there);
        connect(action, &QAction::triggered, this, [this, book] { openRecent(book); });
    }
    mnuRecent->addSeparator();
    QAction* clear = mnuRecent->addAction(translated("&Clear List"));
    clear->setObjectName(QStringLiteral("mnuRecentClear"));
    connect(clear, &QAction::triggered, this, [] { cRecentBooks(settings()).clear(); });
}

void frmMain::openRecent(const QString& path)
{
    const WorkScope work(*this);
    if (!QFileInfo(path).isFile()) {
        // Gone since the menu was shown.
        cRecentBooks(settings()).remove(path);
        cUserPrompt::current().message(
            translated("This book is no longer there and has been taken off the recent books: ") +
            path);
        return;
    }
    StopReading();
    if (!shuttingDown())
        OpenDocument(path);
}
