#include "epubwriter.h"
#include "files/fileselect.h"
#include "reader/bookmarks.h"
#include "readerfixture.h"
#include "wavinfo.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>

namespace {

class Reading : public ReaderWindow {};

// Runs `answer` on the next modal window as soon as it shows. It never gives up: on a busy
// machine a dialog may take seconds to appear, and one left unanswered would hang the test.
void whenModal(std::function<void(QWidget*)> answer)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, answer] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        poll->stop();
        poll->deleteLater();
        answer(modal);
    });
    poll->start(10);
}

} // namespace

TEST_F(Reading, BookmarksSurviveSwitchingDocumentsAndQuotedPaths)
{
    const QString first = book("First Book.txt", "Alpha beta. Gamma delta. Epsilon zeta.");
    const QString second = book("second.html", "<p>Other text. More of it here.</p>");
    auto window = start();
    EXPECT_TRUE(window->OpenDocument('"' + first + '"'));
    EXPECT_EQ(window->CurrentFile(), first);
    EXPECT_EQ(window->windowTitle(), "Parlo - First Book.txt");
    setCursor(*window, 12);
    EXPECT_TRUE(window->OpenDocument(second));
    EXPECT_EQ(window->windowTitle(), "Parlo - second.html");
    EXPECT_EQ(mSharedBookmarks::retrievebookmark(first), 12);
    setCursor(*window, 5);
    EXPECT_TRUE(window->OpenDocument(first));
    EXPECT_EQ(box(*window)->textCursor().position(), 12);
    EXPECT_TRUE(window->OpenDocument('"' + second + '"'));
    EXPECT_EQ(box(*window)->textCursor().position(), 5);

    // The file was shortened since: the bookmark no longer fits and the cursor goes home.
    book("First Book.txt", "Alpha.");
    EXPECT_TRUE(window->OpenDocument(first));
    EXPECT_EQ(box(*window)->textCursor().position(), 0);
    window->ShutDown();
}

TEST_F(Reading, LoadGoesThroughTheFileWindowAndCancelChangesNothing)
{
    const QString path = book("chosen.html", "<p>Chosen <b>text</b>.</p>");
    auto window = start();
    cSHAREDSettings::shared().StoreSetting("Path", "/no/such/folder/");
    QString openedIn;
    const auto answer = [&openedIn](const QString& typed) {
        whenModal([typed, &openedIn](QWidget* modal) {
            auto* select = qobject_cast<frmFileSelect*>(modal);
            ASSERT_NE(select, nullptr);
            EXPECT_EQ(select->windowTitle(), "Please select a file to open.");
            openedIn = select->DefaultPath();
            if (typed.isEmpty()) {
                select->reject();
                return;
            }
            auto* edit = select->findChild<QLineEdit*>("txtPath");
            edit->setText(typed);
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QApplication::sendEvent(edit, &enter);
        });
    };
    answer({});
    click(*window, "cmdLoad");
    // A folder that has gone opens the window in the user's own folders, never in the
    // working folder (which is "/" when started from the desktop's menu).
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    EXPECT_EQ(openedIn, QFileInfo(documents).isDir() ? documents : QDir::homePath());
    EXPECT_EQ(cSHAREDSettings::shared().RetrieveSetting("Path").toString(), "/no/such/folder/");
    EXPECT_TRUE(window->CurrentFile().isEmpty());
    EXPECT_FALSE(child<QPushButton>(*window, "cmdReload")->isEnabled());

    answer(path);
    click(*window, "cmdLoad");
    EXPECT_EQ(window->CurrentFile(), path);
    EXPECT_EQ(cSHAREDSettings::shared().RetrieveSetting("Path").toString(), home.path() + '/');
    EXPECT_EQ(box(*window)->toPlainText().trimmed(), "Chosen text.");
    EXPECT_TRUE(child<QPushButton>(*window, "cmdReload")->isEnabled());
    // The next time, the window opens where the last book came from.
    answer({});
    click(*window, "cmdLoad");
    EXPECT_EQ(openedIn, home.path() + '/');

    // Reload reads the file again and keeps the place.
    setCursor(*window, 7);
    book("chosen.html", "<p>Chosen text, changed on disk.</p>");
    click(*window, "cmdReload");
    EXPECT_TRUE(box(*window)->toPlainText().contains("changed on disk"));
    EXPECT_EQ(box(*window)->textCursor().position(), 7);
    window->ShutDown();
}

TEST_F(Reading, PronunciationsMenuOpensTheEditor)
{
    auto window = start();
    bool opened = false;
    whenModal([&](QWidget* modal) {
        opened = modal->inherits("frmLex");
        modal->close();
    });
    window->findChild<QAction*>("mnuPron")->trigger();
    EXPECT_TRUE(opened);
    window->ShutDown();
}

// A file that is not there, cannot be read or is no text is refused with a message; the
// book on display stays as it was, and no bookmark is ever kept for the refused file.
TEST_F(Reading, FilesThatCannotBeShownAreRefusedAndChangeNothing)
{
    const QString text = book("a.txt", "Some text. More text.");
    QByteArray png("\x89PNG\r\n\x1A\n\0\0\0\rIHDR\0\0\x01\0", 20);
    const QString image = book("cover.txt", png + QByteArray(300, '\x07'));
    ASSERT_TRUE(QDir(home.path()).mkdir("folder.txt"));
    auto window = start();
    ASSERT_TRUE(window->OpenDocument(text));
    setCursor(*window, 6);
    const std::pair<QString, QString> refused[] = {
        {home.file("gone.txt"), "The file cannot be found: "},
        {home.file("folder.txt"), "The file cannot be read: "},
        {image, "This is not a text document: "},
    };
    for (const auto& [path, message] : refused) {
        prompt.messages.clear();
        EXPECT_FALSE(window->OpenDocument('"' + path + '"'));
        EXPECT_EQ(prompt.messages, QStringList{message + path});
        EXPECT_EQ(box(*window)->toPlainText(), "Some text. More text.");
        EXPECT_EQ(box(*window)->textCursor().position(), 6);
        EXPECT_EQ(window->CurrentFile(), text);
        EXPECT_EQ(window->windowTitle(), "Parlo - a.txt");
    }
    // The message is in the user's language.
    const QList<QAction*> languages = window->findChild<QMenu*>("mnuLang")->actions();
    for (int i = 0; i < languages.size(); ++i) {
        if (languages[i]->text() == "Deutsch")
            window->chooseLanguage(i);
    }
    prompt.messages.clear();
    window->OpenDocument(home.file("gone.txt"));
    EXPECT_EQ(prompt.messages,
              QStringList{"Die Datei wurde nicht gefunden: " + home.file("gone.txt")});
    window->chooseLanguage(0);

    window->OpenDocument(book("b.txt", "Other."));
    window->ShutDown();
    const QString bookmarks = QString::fromUtf8(readBytes(home.file("BookMarks.ini")));
    EXPECT_TRUE(bookmarks.contains("A.TXT")) << bookmarks.toStdString();
    for (const QString name : {"gone", "GONE", "folder", "FOLDER", "cover", "COVER"})
        EXPECT_FALSE(bookmarks.contains(name)) << bookmarks.toStdString();
}

TEST_F(Reading, CommandLineBookThatIsNotThereIsReportedAndNotRead)
{
    auto window = start();
    const qsizetype spoken = m_voice->spoken.size();
    window->openFromCommandLine(home.file("no_such_book.txt"));
    EXPECT_EQ(prompt.messages,
              QStringList{"The file cannot be found: " + home.file("no_such_book.txt")});
    EXPECT_TRUE(window->CurrentFile().isEmpty());
    EXPECT_FALSE(window->Talker()->IsReading());
    EXPECT_EQ(m_voice->spoken.size(), spoken);
    EXPECT_FALSE(window->windowTitle().contains("no_such_book"));
    window->ShutDown();
}

TEST_F(Reading, RtfShowsFormattingAndTextHidesEmphasisMarkers)
{
    const QString rtf =
        book("x.Rtf", R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}\f0 Hello {\b big} world.\par})");
    const QString txt = book("y.txt", "Not <b>really</b> HTML.");
    auto window = start();
    window->OpenDocument(rtf);
    EXPECT_EQ(box(*window)->toPlainText().trimmed(), "Hello big world.");
    bool bold = false;
    for (auto it = box(*window)->document()->begin().begin(); !it.atEnd(); ++it)
        bold |= it.fragment().charFormat().fontWeight() == QFont::Bold;
    EXPECT_TRUE(bold);
    window->OpenDocument(txt);
    EXPECT_EQ(box(*window)->toPlainText(), "Not really HTML.");
    window->ShutDown();
}

TEST_F(Reading, LargeFileLoadsInTheBackground)
{
    QByteArray big;
    while (big.size() < 2 * 1024 * 1024)
        big += "A sentence of a long book. <b>Another</b> one!\r\n";
    const QString path = book("big.htm", big);
    auto window = start();
    EXPECT_TRUE(window->OpenDocument(path));
    const QString shown = box(*window)->toPlainText();
    EXPECT_TRUE(shown.startsWith("A sentence of a long book. Another one!\n"));
    EXPECT_GT(shown.size(), 1500000);
    window->ShutDown();
}

TEST_F(Reading, FontButtonsResizeTheWholeText)
{
    auto window = start();
    window->OpenDocument(book("a.txt", "One. Two."));
    const qreal before = box(*window)->document()->defaultFont().pointSizeF();
    click(*window, "cmdFontBigger");
    click(*window, "cmdFontBigger");
    EXPECT_EQ(box(*window)->textCursor().selectedText(), "One. Two.");
    EXPECT_DOUBLE_EQ(box(*window)->textCursor().charFormat().fontPointSize(), before + 2);
    click(*window, "cmdFontSmaller");
    EXPECT_DOUBLE_EQ(box(*window)->textCursor().charFormat().fontPointSize(), before + 1);
    // A long book is shown from its top, not its end.
    window->OpenDocument(book("long.txt", QByteArray("A line of a long book.\r\n").repeated(400)));
    click(*window, "cmdFontBigger");
    EXPECT_EQ(box(*window)->verticalScrollBar()->value(), 0);
    EXPECT_EQ(box(*window)->textCursor().selectionStart(), 0);
    EXPECT_GT(box(*window)->textCursor().selectionEnd(), 400 * 20);
    // Mixed sizes (RTF) all become 18 points.
    window->OpenDocument(book("m.rtf", R"({\rtf1\ansi\fs20 small {\fs40 large}\par})"));
    click(*window, "cmdFontBigger");
    QTextCursor probe(box(*window)->document());
    probe.setPosition(2);
    EXPECT_DOUBLE_EQ(probe.charFormat().fontPointSize(), 18);
    // Never below one point, and the program goes on.
    window->OpenDocument(book("b.txt", "Tiny."));
    for (int i = 0; i < 100; ++i)
        click(*window, "cmdFontSmaller");
    EXPECT_GE(box(*window)->textCursor().charFormat().fontPointSize(), 1);
    // A new document shows in the size last chosen (one point, after all that).
    window->OpenDocument(book("c.txt", "Fresh."));
    EXPECT_DOUBLE_EQ(box(*window)->document()->defaultFont().pointSizeF(), 1);
    // Latin text goes unshaped, which keeps long books quick to lay out.
    EXPECT_TRUE(box(*window)->document()->defaultFont().styleStrategy() & QFont::PreferNoShaping);
    window->ShutDown();
}

TEST_F(Reading, HighlightFollowsEachSpokenPieceAndStopRemovesIt)
{
    auto window = start();
    window->OpenDocument(book("q.txt", "\"Run!\" she said. It rained [v:2]hard. Last words"));
    click(*window, "cmdRead");
    EXPECT_EQ(selected(*window), "\"Run!\"");
    speakOn();
    EXPECT_EQ(selected(*window), "she said.");
    // Both pieces of the tagged sentence are handed over together, so the highlight moves
    // twice and runs ahead of the voice; the last sentence has no delimiter and is not
    // highlighted, the cursor waits at its start.
    speakOn();
    EXPECT_EQ(selected(*window), "");
    EXPECT_EQ(box(*window)->textCursor().position(), 38);
    EXPECT_TRUE(window->Talker()->IsReading());

    click(*window, "cmdStopReading");
    EXPECT_EQ(selected(*window), "");
    EXPECT_TRUE(m_voice->queue.empty());
    window->ShutDown();
}

// A hard-wrapped paragraph is one block with line separators; the highlight still covers
// each sentence across its line ends.
TEST_F(Reading, HighlightCrossesTheLinesOfAWrappedParagraph)
{
    auto window = start();
    window->OpenDocument(book("w.txt", "It was a cold\r\nday. Then it\r\nrained.\r\n\r\nThe end."));
    EXPECT_EQ(box(*window)->document()->blockCount(), 3);
    click(*window, "cmdRead");
    EXPECT_EQ(selected(*window), "It was a cold\nday.");
    speakOn();
    EXPECT_EQ(selected(*window), "Then it\nrained.");
    speakOn();
    EXPECT_EQ(selected(*window), "The end.");
    window->ShutDown();
}

TEST_F(Reading, ReadStartsAtTheCursorOrAtTheTopNearTheEnd)
{
    const QString text = "First sentence. Second sentence. Third.";
    auto window = start();
    window->OpenDocument(book("b.txt", text.toUtf8()));
    setCursor(*window, 16);
    click(*window, "cmdRead");
    ASSERT_FALSE(m_voice->spoken.isEmpty());
    EXPECT_TRUE(m_voice->spoken.last().endsWith("Second sentence."));
    EXPECT_EQ(selected(*window), "Second sentence.");

    for (int nearEnd : {int(text.size()) - 3, int(text.size())}) {
        setCursor(*window, nearEnd);
        click(*window, "cmdRead");
        EXPECT_TRUE(m_voice->spoken.last().endsWith("First sentence."));
        EXPECT_EQ(selected(*window), "First sentence.");
    }
    // At the end of the text the last sentence stays highlighted.
    m_voice->finishAll();
    EXPECT_FALSE(window->Talker()->IsReading());
    EXPECT_EQ(selected(*window), "Third.");
    window->ShutDown();
}

TEST_F(Reading, PauseTogglesAndStopClearsIt)
{
    auto window = start();
    window->OpenDocument(book("b.txt", "One. Two. Three."));
    click(*window, "cmdRead");
    click(*window, "cmdPause");
    EXPECT_TRUE(window->IsPaused());
    EXPECT_TRUE(m_voice->paused);
    click(*window, "cmdPause");
    EXPECT_FALSE(window->IsPaused());
    EXPECT_FALSE(m_voice->paused);
    // A change of speed while paused keeps the pause.
    click(*window, "cmdPause");
    click(*window, "cmdFaster");
    click(*window, "cmdSlower");
    EXPECT_TRUE(m_voice->paused);
    click(*window, "cmdPause");
    EXPECT_FALSE(m_voice->paused);
    click(*window, "cmdPause");
    click(*window, "cmdStopReading");
    EXPECT_FALSE(window->IsPaused());
    // The next reading is heard: the voice is not left paused.
    EXPECT_FALSE(m_voice->paused);
    const qsizetype before = m_voice->spoken.size();
    click(*window, "cmdRead");
    EXPECT_GT(m_voice->spoken.size(), before);
    window->ShutDown();
}

TEST_F(Reading, CommandLineDocumentIsReadAtOnce)
{
    const QString path = book("My Book.txt", "Hello there. Goodbye.");
    auto window = start();
    window->openFromCommandLine('"' + path + '"');
    EXPECT_EQ(window->CurrentFile(), path);
    EXPECT_TRUE(window->Talker()->IsReading());
    EXPECT_EQ(selected(*window), "Hello there.");
    // A book from a file is shown, so it can be read again from the disk.
    EXPECT_TRUE(child<QPushButton>(*window, "cmdReload")->isEnabled());
    window->ShutDown();
    const QString log = QString::fromUtf8(readBytes(home.file("log.txt")));
    EXPECT_TRUE(log.contains("Loading \"" + path + "\"")) << log.toStdString();
    EXPECT_TRUE(log.contains("Reading \"" + path + "\""));
}

TEST_F(Reading, WavOnAFakeVoiceClosesAtTheEndAndTellsTheUser)
{
    auto window = start();
    window->OpenDocument(book("b.txt", "One. Two."));
    wavChoice.clear();
    click(*window, "cmdSpeakToWav");
    EXPECT_TRUE(m_voice->wavPath.isEmpty()) << "cancelled: nothing happens";
    wavChoice = home.file("out.wav");
    click(*window, "cmdSpeakToWav");
    EXPECT_EQ(m_voice->wavPath, wavChoice);
    EXPECT_EQ(window->wavFile(), wavChoice);
    m_voice->finishAll();
    EXPECT_TRUE(m_voice->wavPath.isEmpty());
    EXPECT_TRUE(window->wavFile().isEmpty());
    ASSERT_FALSE(prompt.messages.isEmpty());
    EXPECT_TRUE(prompt.messages.last().endsWith(wavChoice));

    // Stopped half way: closed, and the user is told so.
    click(*window, "cmdSpeakToWav");
    click(*window, "cmdStopReading");
    EXPECT_TRUE(m_voice->wavPath.isEmpty());
    EXPECT_TRUE(prompt.messages.last().contains("stopped"));
    window->ShutDown();
}

TEST_F(Reading, WavLeavesTheReadersPlaceAlone)
{
    const QString path = book("b.txt", "One here. Two here. Three here. Four here. Five.");
    auto window = start();
    window->OpenDocument(path);
    wavChoice = home.file("out.wav");
    for (const bool stopped : {false, true}) {
        setCursor(*window, 10);
        click(*window, "cmdSpeakToWav");
        if (stopped) {
            m_voice->finishNext();
            m_voice->finishNext();
            click(*window, "cmdStopReading");
        } else {
            m_voice->finishAll();
        }
        EXPECT_TRUE(window->wavFile().isEmpty());
        EXPECT_EQ(box(*window)->textCursor().position(), 10) << stopped;
        EXPECT_FALSE(box(*window)->textCursor().hasSelection());
    }
    // So the bookmark keeps the reader's place too.
    window->ShutDown();
    auto again = start();
    again->OpenDocument(path);
    EXPECT_EQ(box(*again)->textCursor().position(), 10);
    again->ShutDown();
    window->ShutDown();
}

TEST_F(Reading, WavSaveDialogOffersWaveFilesAndAddsTheExtension)
{
    realSaveDialog = true;
    auto window = start();
    window->OpenDocument(book("b.txt", "One. Two."));
    // A read-only file is refused and the dialog comes back for another choice.
    writeBytes(home.file("locked.wav"), "RIFF");
    QFile::setPermissions(home.file("locked.wav"), QFileDevice::ReadOwner);
    QString title;
    QString filter;
    auto choose = [&](QWidget* modal, const QString& name) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        title = dialog->windowTitle();
        filter = dialog->selectedNameFilter();
        dialog->setDirectory(home.path());
        // Typed, as a user would; selectFile() leaves a focused name box alone.
        auto* nameBox = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(nameBox, nullptr);
        // A file still selected in the list wins over the typed name when the name box has
        // no focus, as may happen on a busy machine.
        for (auto* view : dialog->findChildren<QAbstractItemView*>())
            view->clearSelection();
        nameBox->setText(name);
        static_cast<QDialog*>(dialog)->accept(); // QFileDialog hides it
    };
    // The dialog asks before replacing the existing file; then comes the refusal, and the
    // dialog again once the refusal has been said.
    bool lockedChosen = false;
    std::function<void(QWidget*)> answer = [&](QWidget* modal) {
        if (auto* replace = qobject_cast<QMessageBox*>(modal)) {
            whenModal(answer);
            replace->button(QMessageBox::Yes)->click();
        } else if (!lockedChosen) {
            lockedChosen = true;
            whenModal(answer);
            choose(modal, QStringLiteral("locked.wav"));
        } else if (prompt.messages.isEmpty()) {
            whenModal(answer); // the first choice is still being accepted
        } else {
            choose(modal, QStringLiteral("spoken"));
        }
    };
    whenModal(answer);
    click(*window, "cmdSpeakToWav");
    EXPECT_EQ(title, "Save to a Wave File");
    EXPECT_EQ(filter, "Wave Files (*.wav)");
    ASSERT_FALSE(prompt.messages.isEmpty());
    EXPECT_EQ(prompt.messages.first(), "This file is read-only: " + home.file("locked.wav"));
    EXPECT_EQ(m_voice->wavPath, home.file("spoken.wav"));
    m_voice->finishAll();
    EXPECT_TRUE(prompt.messages.last().endsWith(home.file("spoken.wav")));

    whenModal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
    click(*window, "cmdSpeakToWav");
    EXPECT_TRUE(m_voice->wavPath.isEmpty()) << "cancelled: nothing is read";
    window->ShutDown();
}

TEST_F(Reading, WavWithTheRealVoiceIsComplete)
{
    auto window = start(-1);
    if (!m_started)
        GTEST_SKIP() << "no espeak-ng voice here";
    window->OpenDocument(
        book("b.txt", "This is the first sentence. And here is the second one. The end."));
    wavChoice = home.file("whole.wav");
    click(*window, "cmdSpeakToWav");
    QElapsedTimer timer;
    timer.start();
    while (!window->wavFile().isEmpty() && timer.elapsed() < 60000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_TRUE(window->wavFile().isEmpty()) << "the reading into the file ended";
    const WavInfo info = WavInfo::read(readBytes(wavChoice));
    EXPECT_TRUE(info.valid);
    EXPECT_TRUE(info.sizesAgree);
    EXPECT_EQ(info.sampleRate, 22050);
    // Three sentences of speech take well over two seconds; a cut-off file would not.
    EXPECT_GT(info.seconds(), 2.5);
    EXPECT_GT(info.peak, 1000);
    // Faster than speaking aloud.
    EXPECT_LT(timer.elapsed(), qint64(info.seconds() * 1000));
    window->ShutDown();
}

TEST_F(Reading, WavThatFillsUpStopsAndSaysSo)
{
    qputenv("PARLO_WAV_LIMIT", "200000");
    auto window = start(-1);
    if (!m_started)
        GTEST_SKIP() << "no espeak-ng voice here";
    QByteArray text;
    for (int i = 0; i < 150; ++i)
        text += "This sentence is one of very many in a long book. ";
    window->OpenDocument(book("long.txt", text));
    wavChoice = home.file("full.wav");
    click(*window, "cmdSpeakToWav");
    QElapsedTimer timer;
    timer.start();
    while (!window->wavFile().isEmpty() && timer.elapsed() < 60000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    qunsetenv("PARLO_WAV_LIMIT");
    ASSERT_FALSE(prompt.messages.isEmpty());
    EXPECT_TRUE(prompt.messages.last().contains("full")) << prompt.messages.last().toStdString();
    EXPECT_FALSE(window->Talker()->IsReading());
    const QByteArray bytes = readBytes(wavChoice);
    EXPECT_LE(bytes.size(), 200000);
    const WavInfo info = WavInfo::read(bytes);
    EXPECT_TRUE(info.valid);
    EXPECT_TRUE(info.sizesAgree);
    window->ShutDown();
}

TEST_F(Reading, ChaptersMenuMovesTheCursorAndReadStartsThere)
{
    const QString xhtml = "application/xhtml+xml";
    const QString epub = home.file("book.epub");
    const QByteArray nav = "<html xmlns=\"http://www.w3.org/1999/xhtml\" "
                           "xmlns:epub=\"http://www.idpf.org/2007/ops\"><body><nav "
                           "epub:type=\"toc\"><ol><li><a href=\"one.xhtml\">Rain &amp; Sun</a></li>"
                           "<li><a href=\"two.xhtml\">Snow</a></li></ol></nav></body></html>";
    ASSERT_TRUE(
        writeZip(epub, {{"mimetype", "application/epub+zip"},
                        {"META-INF/container.xml", epubContainer("c.opf")},
                        {"c.opf", epubPackage({{"n", "nav.xhtml", xhtml, "nav"},
                                               {"one", "one.xhtml", xhtml, {}},
                                               {"two", "two.xhtml", xhtml, {}}},
                                              {"one", "two"})},
                        {"nav.xhtml", nav},
                        {"one.xhtml", xhtmlChapter("Rain", "It rained.")},
                        {"two.xhtml", xhtmlChapter("Snow", "It snowed. Then it thawed.")}}));
    auto window = start();
    ASSERT_TRUE(window->OpenDocument(epub));
    QMenu* menu = child<QMenu>(*window, "mnuChapters");
    Q_EMIT menu->aboutToShow();
    const QList<QAction*> actions = menu->actions();
    ASSERT_EQ(actions.size(), 2);
    EXPECT_EQ(actions[0]->text(), "Rain && Sun");
    actions[1]->trigger();
    const QString text = box(*window)->toPlainText();
    EXPECT_EQ(box(*window)->textCursor().position(), text.indexOf("Snow"));
    click(*window, "cmdRead");
    ASSERT_FALSE(m_voice->spoken.isEmpty());
    EXPECT_TRUE(m_voice->spoken.first().contains("Snow")) << m_voice->spoken.first().toStdString();
    EXPECT_FALSE(m_voice->spoken.join(' ').contains("rained"));

    // A protected book is refused and the book on display stays where it was.
    const QString locked = home.file("locked.epub");
    ASSERT_TRUE(
        writeZip(locked, {{"META-INF/container.xml", epubContainer("c.opf")},
                          {"c.opf", epubPackage({{"one", "one.xhtml", xhtml, {}}}, {"one"})},
                          {"one.xhtml", "scrambled"},
                          {"META-INF/encryption.xml",
                           "<encryption><EncryptedData><CipherData><CipherReference "
                           "URI=\"one.xhtml\"/></CipherData></EncryptedData></encryption>"}}));
    prompt.messages.clear();
    EXPECT_FALSE(window->OpenDocument(locked));
    ASSERT_EQ(prompt.messages.size(), 1);
    EXPECT_TRUE(
        prompt.messages[0].startsWith("This book is protected and cannot be read: " + locked));
    EXPECT_EQ(box(*window)->toPlainText(), text);
    EXPECT_EQ(window->CurrentFile(), epub);

    // A text book lists the headings it has, and one without any says so.
    window->OpenDocument(book("t.txt", "Preface.\n\nCHAPTER I\n\nOnce.\n\nCHAPTER II\n\nTwice.\n"));
    Q_EMIT menu->aboutToShow();
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions()[1]->text(), "CHAPTER II");
    menu->actions()[1]->trigger();
    EXPECT_EQ(box(*window)->textCursor().position(),
              box(*window)->toPlainText().indexOf("CHAPTER II"));
    window->OpenDocument(book("plain.txt", "Nothing here."));
    Q_EMIT menu->aboutToShow();
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_FALSE(menu->actions()[0]->isEnabled());
    window->ShutDown();
}
