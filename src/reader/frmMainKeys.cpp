// The reader window's keys, menus of reading functions and the look of Pause.

#include "diagnostics/help.h"
#include "reader/frmMain.h"
#include "settings/lang.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTextEdit>

#include <functional>
#include <utility>

namespace {

const char* const kBaseTip = "parloBaseToolTip";
const char* const kWatched = "parloThemeWatched";

// A menu entry that does what its button does, so both stay one function; a disabled
// button (Reload with no book) makes the key do nothing too.
QAction* addFor(QMenu* menu, QPushButton* button, const char* name, const QList<QKeySequence>& keys)
{
    QAction* action = menu->addAction(button->text());
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcuts(keys);
    QObject::connect(action, &QAction::triggered, button, [button] {
        if (button->isEnabled())
            button->click();
    });
    button->setProperty("parloAction", QVariant::fromValue(static_cast<QObject*>(action)));
    return action;
}

// The desktop's key for a standard function, or the usual one where the platform has none.
QList<QKeySequence> standard(QKeySequence::StandardKey key, const QKeySequence& usual)
{
    QList<QKeySequence> keys = QKeySequence::keyBindings(key);
    if (keys.isEmpty())
        keys << usual;
    return keys;
}

} // namespace

void frmMain::buildKeyMenus()
{
    mnuSettings->setTitle(QStringLiteral("Se&ttings"));

    mnuReading = new QMenu(QStringLiteral("Readi&ng"), this);
    mnuReading->setObjectName(QStringLiteral("mnuReading"));
    menuBar()->insertMenu(mnuSettings->menuAction(), mnuReading);
    using K = QKeySequence;
    addFor(mnuReading, cmdRead, "mnuRead", {K(Qt::CTRL | Qt::Key_Return)});
    addFor(mnuReading, cmdPause, "mnuPause", {K(Qt::CTRL | Qt::Key_Space)});
    addFor(mnuReading, cmdStopReading, "mnuStop", {K(Qt::Key_Escape)});
    addFor(mnuReading, cmdSlower, "mnuSlower", {K(Qt::CTRL | Qt::Key_Down)});
    addFor(mnuReading, cmdFaster, "mnuFaster", {K(Qt::CTRL | Qt::Key_Up)});
    QAction* say = mnuReading->addAction(QStringLiteral("Sa&y the Sentence"));
    say->setObjectName(QStringLiteral("mnuSaySentence"));
    say->setShortcut(K(Qt::CTRL | Qt::SHIFT | Qt::Key_Space));
    connect(say, &QAction::triggered, this, &frmMain::announceSentence);
    buildSkipMenu();
    mnuReading->addSeparator();
    addFor(mnuReading, cmdLoad, "mnuLoad", standard(K::Open, K(Qt::CTRL | Qt::Key_O)));
    addFor(mnuReading, cmdReload, "mnuReload", {K(Qt::Key_F5)});
    addFor(mnuReading, cmdSpeakToWav, "mnuSpeakToWav",
           standard(K::SaveAs, K(Qt::CTRL | Qt::SHIFT | Qt::Key_S)));
    addFor(mnuReading, cmdGUT, "mnuLibrary", {K(Qt::CTRL | Qt::Key_L)});
    addFor(mnuReading, cmdFontBigger, "mnuFontBigger",
           standard(K::ZoomIn, K(Qt::CTRL | Qt::Key_Plus)));
    addFor(mnuReading, cmdFontSmaller, "mnuFontSmaller",
           standard(K::ZoomOut, K(Qt::CTRL | Qt::Key_Minus)));
    mnuReading->addSeparator();
    addFor(mnuReading, cmdQuit, "mnuQuit", standard(K::Quit, K(Qt::CTRL | Qt::Key_Q)));

    mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    QAction* help = mnuHelp->addAction(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelpContents"));
    help->setShortcuts(standard(K::HelpContents, K(Qt::Key_F1)));
    connect(help, &QAction::triggered, this, [] { cSharedHelp::instance().ShowHelp(); });
    addFor(mnuHelp, cmdAbout, "mnuAbout", {});

    // The shortcuts work wherever the focus is in the window, the book included.
    for (QMenu* menu : {mnuReading, mnuHelp})
        addActions(menu->actions());

    // The book's name for screen readers is its title.
    connect(this, &QWidget::windowTitleChanged, this, [this] {
        RichTextBox1->setAccessibleName(m_currentFile.isEmpty()
                                            ? QStringLiteral("Document")
                                            : QFileInfo(m_currentFile).fileName());
    });
    refreshKeyTexts();
}

void frmMain::announceSentence()
{
    // The highlight moves without telling screen readers; asked, they get the sentence as
    // the book's selection, in the book.
    RichTextBox1->setFocus(Qt::ShortcutFocusReason);
    const QTextCursor cursor = RichTextBox1->textCursor();
    QAccessibleTextSelectionEvent selection(RichTextBox1, cursor.selectionStart(),
                                            cursor.selectionEnd());
    selection.setCursorPosition(cursor.position());
    QAccessible::updateAccessibility(&selection);
}

void frmMain::refreshKeyTexts()
{
    const auto& lang = cSharedLang::instance();
    const QList<QPushButton*> buttons = Frame1->findChildren<QPushButton*>();
    for (QPushButton* button : buttons) {
        QString base = button->property(kBaseTip).toString();
        if (base.isEmpty()) {
            base = button->toolTip();
            button->setProperty(kBaseTip, base);
        }
        auto* action = qobject_cast<QAction*>(button->property("parloAction").value<QObject*>());
        button->setToolTip(withShortcut(lang.GetTranslation(base), action));
    }
    // The voice list keeps the engine's own names, so translation passes it over.
    cmbEngine->setToolTip(lang.GetTranslation(QStringLiteral("Select a voice")));
    refreshSkipTexts();
    showPaused();
}

void frmMain::showPaused()
{
    const auto& lang = cSharedLang::instance();
    cmdPause->setChecked(m_isPaused);
    cmdPause->setText(
        lang.GetTranslation(m_isPaused ? QStringLiteral("Res&ume") : QStringLiteral("&Pause")));
    if (auto* action = qobject_cast<QAction*>(cmdPause->property("parloAction").value<QObject*>()))
        action->setText(cmdPause->text());
    statusInterrupted();
    // Here, not on the button's toggle: a click toggles it before the pause is taken.
    showMediaState();
}

namespace {

// Calls back when the desktop's theme, and with it the application's palette, changes:
// the window hears of it. The box is not told, as its palette is all its own.
class ThemeWatch : public QObject {
public:
    ThemeWatch(QWidget* window, std::function<void()> changed)
        : QObject(window), m_changed(std::move(changed))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::ApplicationPaletteChange ||
            event->type() == QEvent::PaletteChange)
            m_changed();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_changed;
};

} // namespace

void frmMain::followPalette()
{
    // The selection is the highlight. The box draws it in the inactive colours once a
    // button has the focus; those get the theme's active ones, so a dark or high-contrast
    // theme shows the spoken sentence as it shows any selection.
    QPalette colours = QApplication::palette(RichTextBox1);
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
        colours.setColor(QPalette::Inactive, role, colours.color(QPalette::Active, role));
    RichTextBox1->setPalette(colours);
    if (!property(kWatched).toBool()) {
        setProperty(kWatched, true);
        new ThemeWatch(this, [this] { followPalette(); });
    }
}

QString frmMain::withShortcut(const QString& tip, const QAction* action)
{
    if (!action || action->shortcut().isEmpty())
        return tip;
    return tip + QStringLiteral(" (") + action->shortcut().toString(QKeySequence::NativeText) +
           QLatin1Char(')');
}
