// The reader window driven by keys alone, and as a screen reader sees it.

#include "diagnostics/help.h"
#include "readerfixture.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class Keys : public ReaderWindow {
protected:
    std::unique_ptr<frmMain> shown(const QByteArray& text = "One. Two. Three. Four.")
    {
        bookPath = home.file("Book.txt");
        writeBytes(bookPath, text);
        auto window = start();
        EXPECT_TRUE(window->OpenDocument(bookPath));
        window->show();
        window->activateWindow();
        QApplication::setActiveWindow(window.get());
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        box(*window)->setFocus();
        return window;
    }
    static void key(frmMain& window, int k, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QWidget* target = QApplication::focusWidget();
        QTest::keyClick(target ? target : &window, Qt::Key(k), mods);
    }
    static QString focusName()
    {
        return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
    }
    QString bookPath;
};

QString withoutAmpersands(QString text)
{
    return text.remove(QLatin1Char('&'));
}

} // namespace

TEST_F(Keys, TabLeavesTheBookAndWalksThePanelInOrder)
{
    auto window = shown();
    box(*window)->textCursor().setPosition(3);
    key(*window, Qt::Key_Tab);
    EXPECT_EQ(focusName(), "cmdRead");
    EXPECT_EQ(box(*window)->toPlainText(), "One. Two. Three. Four.") << "no tab typed";
    // The book came from a file, so Reload is enabled and takes its turn.
    QStringList order;
    for (int i = 0; i < 14; ++i) {
        key(*window, Qt::Key_Tab);
        order << focusName();
    }
    EXPECT_EQ(order,
              QStringList({"cmdPause", "cmdStopReading", "cmdSlower", "cmdFaster", "cmdSpeakToWav",
                           "cmbEngine", "cmbPitch", "cmdFontBigger", "cmdFontSmaller", "cmdGUT",
                           "cmdLoad", "cmdReload", "cmdAbout", "cmdQuit"}));
    key(*window, Qt::Key_Tab);
    EXPECT_EQ(focusName(), "RichTextBox1");
    key(*window, Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(focusName(), "cmdQuit");
    window->ShutDown();
}

TEST_F(Keys, EditsToTheBookAreUndoneAndNeverReachItsFile)
{
    auto window = shown();
    key(*window, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box(*window), "Hi.");
    EXPECT_EQ(box(*window)->toPlainText(), "Hi.");
    key(*window, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(box(*window)->toPlainText(), "One. Two. Three. Four.");
    key(*window, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(box(*window)->toPlainText(), "Hi.");
    // What was typed is read aloud...
    setCursor(*window, 0);
    key(*window, Qt::Key_Return, Qt::ControlModifier);
    ASSERT_FALSE(m_voice->spoken.isEmpty());
    EXPECT_TRUE(m_voice->spoken.first().contains("Hi."));
    // ...but the book on disk stays as it was; opened again, it has nothing to undo.
    window->StopReading();
    ASSERT_TRUE(window->OpenDocument(bookPath));
    EXPECT_EQ(box(*window)->toPlainText(), "One. Two. Three. Four.");
    box(*window)->setFocus();
    key(*window, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(box(*window)->toPlainText(), "One. Two. Three. Four.");
    window->ShutDown();
    EXPECT_EQ(readBytes(bookPath), "One. Two. Three. Four.");
}

TEST_F(Keys, ShortcutsWorkFromTheBookAndPauseShowsResume)
{
    auto window = shown();
    auto* pause = child<QPushButton>(*window, "cmdPause");
    setCursor(*window, 0);
    key(*window, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_TRUE(window->Talker()->IsReading());
    EXPECT_EQ(selected(*window), "One.");

    key(*window, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_TRUE(window->IsPaused());
    EXPECT_TRUE(m_voice->paused);
    EXPECT_TRUE(pause->isChecked());
    EXPECT_EQ(pause->text(), "Res&ume");
    EXPECT_EQ(window->findChild<QAction*>("mnuPause")->text(), "Res&ume");
    key(*window, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_FALSE(window->IsPaused());
    EXPECT_FALSE(pause->isChecked());
    EXPECT_EQ(pause->text(), "&Pause");

    const int rate = m_voice->rate();
    key(*window, Qt::Key_Up, Qt::ControlModifier);
    EXPECT_GT(m_voice->rate(), rate);
    key(*window, Qt::Key_Down, Qt::ControlModifier);
    key(*window, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_LT(m_voice->rate(), rate);

    // Paused, then stopped: the button must not stay pressed.
    key(*window, Qt::Key_Space, Qt::ControlModifier);
    key(*window, Qt::Key_Escape);
    EXPECT_FALSE(window->Talker()->IsReading());
    EXPECT_FALSE(pause->isChecked());
    EXPECT_EQ(pause->text(), "&Pause");

    // Access keys press the buttons too.
    setCursor(*window, 0);
    const qsizetype before = m_voice->spoken.size();
    // An access key shows the button pressed for a moment before it acts.
    QSignalSpy clicked(child<QPushButton>(*window, "cmdRead"), &QPushButton::clicked);
    key(*window, Qt::Key_R, Qt::AltModifier);
    ASSERT_TRUE(clicked.count() > 0 || clicked.wait(10000));
    EXPECT_GT(m_voice->spoken.size(), before);
    window->ShutDown();
}

TEST_F(Keys, F1OpensHelpAndTheMenusHoldEveryFunction)
{
    QStringList opened;
    const auto previous = cSharedWWW::setOpener([&](const QString& address) {
        opened << address;
        return true;
    });
    auto window = shown();
    key(*window, Qt::Key_F1);
    cSharedWWW::setOpener(previous);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_TRUE(opened.first().endsWith("Index.htm"));

    QStringList reading;
    for (QAction* a : window->findChild<QMenu*>("mnuReading")->actions()) {
        if (!a->isSeparator())
            reading << withoutAmpersands(a->text());
    }
    EXPECT_EQ(reading, QStringList({"Read", "Pause", "Stop", "Slower", "Faster", "Say the Sentence",
                                    "Back a Sentence", "Forward a Sentence", "Back a Paragraph",
                                    "Forward a Paragraph", "Load", "Reload", "Recent Books",
                                    "Read to WAV", "Read into audio files by chapter…", "Library",
                                    "Bigger", "Smaller", "Quit"}));
    QStringList help;
    for (QAction* a : window->findChild<QMenu*>("mnuHelp")->actions())
        help << withoutAmpersands(a->text());
    EXPECT_EQ(help, QStringList({"Help", "About"}));
    // Every button's tool tip names its shortcut.
    EXPECT_EQ(child<QPushButton>(*window, "cmdLoad")->toolTip(),
              "Load a file (" +
                  QKeySequence(QKeySequence::Open).toString(QKeySequence::NativeText) + ")");
    EXPECT_EQ(child<QPushButton>(*window, "cmdQuit")->toolTip(),
              "Quit (" + QKeySequence(Qt::CTRL | Qt::Key_Q).toString(QKeySequence::NativeText) +
                  ")");
    window->ShutDown();
}

TEST_F(Keys, TranslatedTipsKeepTheirShortcutsAndPauseItsState)
{
    auto window = shown();
    int german = -1;
    const QList<QAction*> languages = window->findChild<QMenu*>("mnuLang")->actions();
    for (int i = 0; i < languages.size(); ++i) {
        if (languages[i]->text() == "Deutsch")
            german = i;
    }
    ASSERT_GT(german, 0);
    key(*window, Qt::Key_Space, Qt::ControlModifier);
    window->chooseLanguage(german);
    auto* read = child<QPushButton>(*window, "cmdRead");
    EXPECT_EQ(read->text(), "&Vorlesen");
    EXPECT_TRUE(read->toolTip().startsWith("Ab der Cursorposition vorlesen ("));
    EXPECT_EQ(child<QPushButton>(*window, "cmdPause")->text(), "F&ortsetzen");
    EXPECT_EQ(child<QComboBox>(*window, "cmbEngine")->toolTip(), "Stimme auswählen");
    EXPECT_EQ(child<QComboBox>(*window, "cmbEngine")->itemText(1), "Voice B");
    window->chooseLanguage(0);
    EXPECT_EQ(read->toolTip(),
              "Read from cursor position (" +
                  QKeySequence(Qt::CTRL | Qt::Key_Return).toString(QKeySequence::NativeText) + ")");
    EXPECT_EQ(child<QPushButton>(*window, "cmdPause")->text(), "Res&ume");
    EXPECT_EQ(child<QComboBox>(*window, "cmbEngine")->toolTip(), "Select a voice");
    window->ShutDown();
}

TEST_F(Keys, EveryMenuKeepsItsAccessKeysApartInEveryLanguage)
{
    // Two items sharing a key in one menu only take turns: neither is chosen by its key.
    auto window = shown();
    const auto clashes = [](const QMenu* menu) {
        QStringList found;
        QHash<QChar, QString> taken;
        for (const QAction* action : menu->actions()) {
            const QString text = action->text();
            const qsizetype amp = text.indexOf(QRegularExpression("&[^&]"));
            if (action->isSeparator() || amp < 0)
                continue;
            const QChar key = text[amp + 1].toLower();
            if (taken.contains(key))
                found << menu->title() + ": " + taken[key] + " / " + text;
            taken.insert(key, text);
        }
        return found;
    };
    const QList<QAction*> languages = window->findChild<QMenu*>("mnuLang")->actions();
    QStringList found;
    for (int i = 0; i < languages.size(); ++i) {
        window->chooseLanguage(i);
        for (const QMenu* menu : window->menuBar()->findChildren<QMenu*>())
            found << clashes(menu);
        found << clashes(window->findChild<QMenu*>("mnuReading"));
    }
    window->chooseLanguage(0);
    EXPECT_TRUE(found.isEmpty()) << qPrintable(found.join('\n'));
    window->ShutDown();
}

TEST_F(Keys, ScreenReadersGetCaptionsLabelsAndTheBooksTitle)
{
    auto window = shown();
    auto name = [](QObject* o) {
        return QAccessible::queryAccessibleInterface(o)->text(QAccessible::Name);
    };
    auto role = [](QObject* o) { return QAccessible::queryAccessibleInterface(o)->role(); };
    const QList<QPushButton*> buttons =
        window->findChild<QWidget*>("Frame1")->findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 13);
    for (QPushButton* button : buttons) {
        SCOPED_TRACE(button->objectName().toStdString());
        EXPECT_EQ(name(button), withoutAmpersands(button->text()));
        // Pause is a toggle: pressed while paused.
        EXPECT_EQ(role(button),
                  button->isCheckable() ? QAccessible::CheckBox : QAccessible::Button);
        EXPECT_EQ(QAccessible::queryAccessibleInterface(button)->text(QAccessible::Description),
                  button->toolTip());
    }
    for (const char* list : {"cmbEngine", "cmbPitch"}) {
        auto* combo = child<QComboBox>(*window, list);
        EXPECT_EQ(role(combo), QAccessible::ComboBox);
        const QList<QLabel*> labels = window->findChildren<QLabel*>();
        QLabel* label = nullptr;
        for (QLabel* l : labels) {
            if (l->buddy() == combo)
                label = l;
        }
        ASSERT_NE(label, nullptr) << list;
        // Linux screen readers name a list by its label, not by the value it shows.
        const auto relations =
            QAccessible::queryAccessibleInterface(combo)->relations(QAccessible::Label);
        ASSERT_EQ(relations.size(), 1) << list;
        EXPECT_EQ(relations.first().first->object(), label);
    }
    EXPECT_EQ(name(box(*window)), "Book.txt");
    EXPECT_EQ(role(box(*window)), QAccessible::EditableText);
    EXPECT_EQ(name(window->findChild<QWidget*>("Frame1")), "Reading controls");
    window->ShutDown();
}

TEST_F(Keys, TheHighlightTakesANewThemesColours)
{
    auto window = shown();
    const QPalette before = QApplication::palette();
    QPalette dark = before;
    dark.setColor(QPalette::Base, QColor(20, 20, 20));
    dark.setColor(QPalette::Text, Qt::white);
    dark.setColor(QPalette::Highlight, QColor(255, 200, 0));
    dark.setColor(QPalette::HighlightedText, Qt::black);
    QApplication::setPalette(dark);
    // What a running program's event loop delivers to its windows; a test has none.
    QEvent changed(QEvent::ApplicationPaletteChange);
    QCoreApplication::sendEvent(window.get(), &changed);
    // With the focus on a button the box draws its selection in the inactive colours.
    const QPalette shown = box(*window)->palette();
    QApplication::setPalette(before);
    QCoreApplication::sendEvent(window.get(), &changed);
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        EXPECT_EQ(shown.color(group, QPalette::Highlight), QColor(255, 200, 0)) << group;
        EXPECT_EQ(shown.color(group, QPalette::HighlightedText), QColor(Qt::black)) << group;
        EXPECT_EQ(shown.color(group, QPalette::Base), QColor(20, 20, 20)) << group;
    }
    EXPECT_EQ(box(*window)->palette().color(QPalette::Inactive, QPalette::Highlight),
              before.color(QPalette::Active, QPalette::Highlight));
    window->ShutDown();
}

namespace {
QList<QAccessible::Event> g_heard;
void hear(QAccessibleEvent* event)
{
    if (event->object() && event->object()->objectName() == "RichTextBox1")
        g_heard << event->type();
}
} // namespace

TEST_F(Keys, TheSentenceIsAnnouncedOnlyWhenAskedFor)
{
    auto window = shown();
    // Stands in for the desktop's screen reader.
    QAccessible::setActive(true);
    if (!QAccessible::isActive())
        GTEST_SKIP() << "no accessibility bridge on this platform; run under Xvfb with "
                        "QT_QPA_PLATFORM=xcb, an AT-SPI bus and "
                        "QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1";
    const auto previous = QAccessible::installUpdateHandler(hear);
    g_heard.clear();
    setCursor(*window, 0);
    key(*window, Qt::Key_Tab);
    key(*window, Qt::Key_Return, Qt::ControlModifier);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(m_voice->finishNext());
    EXPECT_EQ(selected(*window), "Four.");
    EXPECT_FALSE(g_heard.contains(QAccessible::TextSelectionChanged));
    EXPECT_FALSE(g_heard.contains(QAccessible::TextCaretMoved));

    key(*window, Qt::Key_Space, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(g_heard.count(QAccessible::TextSelectionChanged), 1);
    EXPECT_EQ(focusName(), "RichTextBox1");
    // A caret the user moves is heard as always.
    g_heard.clear();
    key(*window, Qt::Key_Home);
    EXPECT_TRUE(g_heard.contains(QAccessible::TextCaretMoved));
    QAccessible::installUpdateHandler(previous);
    window->ShutDown();
}
