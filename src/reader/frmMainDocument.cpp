// The reader window's documents: opening, loading, reloading and the font buttons.
#include "diagnostics/userprompt.h"
#include "files/fileselect.h"
#include "files/filesubs.h"
#include "library/fSHAREDGut.h"
#include "reader/bookmarks.h"
#include "reader/documentloader.h"
#include "reader/frmMain.h"
#include "settings/lang.h"
#include "settings/settings.h"
#include "util/delay.h"
#include "util/identity.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QSet>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QThread>

namespace {

// Smaller files are converted at once; larger ones on a worker thread while the window
// keeps repainting.
constexpr qint64 kBackgroundBytes = 1024 * 1024;
// QFont refuses point sizes beyond this.
constexpr qreal kLargestPointSize = 1638;

QString refusalText(cDocumentLoader::Refusal refusal)
{
    switch (refusal) {
    case cDocumentLoader::Refusal::Missing:
        return QStringLiteral("The file cannot be found: ");
    case cDocumentLoader::Refusal::Unreadable:
        return QStringLiteral("The file cannot be read: ");
    case cDocumentLoader::Refusal::NotText:
        return QStringLiteral("This is not a text document: ");
    case cDocumentLoader::Refusal::Protected:
        return QStringLiteral("This book is protected and cannot be read: ");
    case cDocumentLoader::Refusal::Broken:
        return QStringLiteral("This book is damaged and cannot be read: ");
    case cDocumentLoader::Refusal::None:
        break;
    }
    return {};
}

} // namespace

QString frmMain::startFolder()
{
    // Started from the desktop's menu, the working folder is "/": no place for books.
    const QString last =
        cSHAREDSettings::shared().RetrieveSetting(QStringLiteral("Path"), QString()).toString();
    if (!last.isEmpty() && QFileInfo(last).isDir())
        return last;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir())
        return documents;
    return QDir::homePath();
}

std::unique_ptr<QTextDocument> frmMain::loadDocument(const QString& path, bool& readOk)
{
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable()) {
        // Noted by the file library just as a failed read would be.
        QString ignored;
        cSharedFileSubs::instance().LoadTextFile(path, ignored);
        readOk = false;
        return std::make_unique<QTextDocument>();
    }
    if (info.size() < kBackgroundBytes)
        return cDocumentLoader::load(path, &readOk);

    std::unique_ptr<QTextDocument> doc;
    QThread* const home = thread();
    QThread* worker = QThread::create([&] {
        doc = cDocumentLoader::load(path, &readOk);
        doc->moveToThread(home);
    });
    QEventLoop wait;
    connect(worker, &QThread::finished, &wait, &QEventLoop::quit);
    worker->start();
    // Clicks wait until the document is there; the window still repaints meanwhile.
    wait.exec(QEventLoop::ExcludeUserInputEvents);
    worker->wait();
    delete worker;
    return doc;
}

void frmMain::showDocument(std::unique_ptr<QTextDocument> doc)
{
    // A new document starts in the box's own font, whatever the font buttons did before,
    // drawn with or without shaping as its loader found best.
    QFont font = RichTextBox1->font();
    font.setStyleStrategy(doc->defaultFont().styleStrategy());
    doc->setDefaultFont(font);
    // Pasted or typed text can be taken back; loading itself leaves nothing to undo.
    doc->clearUndoRedoStacks();
    doc->setUndoRedoEnabled(true);
    doc->setParent(RichTextBox1);
    connect(doc.get(), &QTextDocument::contentsChanged, this, [this] { m_textStale = true; });
    // The box deletes the document it made itself; the ones given to it are ours.
    const QPointer<QTextDocument> previous = RichTextBox1->document();
    RichTextBox1->setDocument(doc.release());
    if (previous && previous->parent() == RichTextBox1)
        delete previous;
    m_textStale = true;
}

bool frmMain::OpenDocument(const QString& path)
{
    const WorkScope work(*this);
    if (shuttingDown())
        return false;
    const QString file = cDocumentLoader::cleanPath(path);
    // Nothing changes for a file that cannot be shown: the document on display stays, at
    // its place, and no bookmark is kept for the file.
    QString why;
    const QString refused = refusalText(cDocumentLoader::refusal(file, &why));
    if (!refused.isEmpty()) {
        cUserPrompt::current().message(cSharedLang::instance().GetTranslation(refused) + file +
                                       (why.isEmpty() ? QString() : u'\n' + why));
        return false;
    }
    // The library opens books without stopping first; a reading of text that is about to
    // disappear would go on highlighting the new one at random.
    if (m_talker && m_talker->isBusy())
        StopReading();
    storeBookmark();
    storeBookSpeech();
    // Until the new book shows, the box holds no place worth keeping: a shutdown meanwhile
    // keeps the stored ones.
    m_currentFile.clear();
    m_shownAt = 0;
    cmdReload->setEnabled(false);
    cSHAREDSubs::instance().BusyMouse();
    cSHAREDDelay::instance().DoEventss();

    // The document being left goes first: its memory is freed, and the box stops laying
    // it out while the new one is read.
    showDocument(std::make_unique<QTextDocument>());
    // Shown in the empty box while a large book is read.
    RichTextBox1->setPlaceholderText(
        cSharedLang::instance().GetTranslation(QStringLiteral("Opening")) + ' ' +
        cSharedFileSubs::FileOnly(file) + QStringLiteral(" ..."));
    bool readOk = false;
    std::unique_ptr<QTextDocument> doc = loadDocument(file, readOk);
    RichTextBox1->setPlaceholderText(QString());
    if (shuttingDown())
        return readOk;
    showDocument(std::move(doc));
    m_currentFile = file;
    // However the book came (the file window, the library, the command line).
    cmdReload->setEnabled(true);

    const int length = RichTextBox1->document()->characterCount() - 1;
    const int mark = mSharedBookmarks::retrievebookmark(file);
    QTextCursor cursor(RichTextBox1->document());
    cursor.setPosition(mark != 0 && mark <= length ? mark : 0);
    RichTextBox1->setTextCursor(cursor);
    m_shownAt = cursor.position();
    bookShown(file, readOk);
    RichTextBox1->ensureCursorVisible();
    setWindowTitle("Parlo - " + cSharedFileSubs::FileOnly(file));
    cSHAREDSubs::instance().NormalMouse();
    cSHAREDDelay::instance().DoEventss();
    return readOk;
}

void frmMain::storeBookmark()
{
    if (m_currentFile.isEmpty())
        return;
    // The top of a document that was opened there (a place beyond its end, a load that
    // failed or was cut short) is no place the reader chose: a stored place stays.
    const int position = RichTextBox1->textCursor().selectionStart();
    if (position == 0 && m_shownAt == 0 && mSharedBookmarks::retrievebookmark(m_currentFile) != 0)
        return;
    mSharedBookmarks::storebookmark(m_currentFile, position);
}

void frmMain::cmdLoad_Click()
{
    const WorkScope work(*this);
    StopReading();
    frmFileSelect select(this);
    select.SetFilepattern(QStringLiteral("*.txt;*.text;*.html;*.htm;*.rtf;*.epub"));
    // The window translates its own title.
    select.SetWindowTitle(QStringLiteral("Please select a file to open."));
    select.SetDefaultPath(startFolder());
    select.GetFilename();
    if (!shuttingDown() && !select.Cancelled() && !select.SelectedFilename().isEmpty()) {
        const QString chosen = cSharedFileSubs::AddSlashIfMissing(select.SelectedPath());
        cSHAREDSettings::shared().StoreSetting(QStringLiteral("Path"), chosen);
        OpenDocument(chosen + select.SelectedFilename());
    }
    cSHAREDSubs::instance().NormalMouse();
}

void frmMain::cmdReload_Click()
{
    const WorkScope work(*this);
    StopReading();
    if (!m_currentFile.isEmpty())
        OpenDocument(m_currentFile);
    cSHAREDSubs::instance().NormalMouse();
}

void frmMain::changeFontSize(int step)
{
    QTextDocument* doc = RichTextBox1->document();
    const qreal standard = doc->defaultFont().pointSizeF();
    QSet<qreal> sizes;
    for (QTextBlock block = doc->begin(); block.isValid() && sizes.size() < 2;
         block = block.next()) {
        for (auto it = block.begin(); !it.atEnd() && sizes.size() < 2; ++it) {
            const qreal size = it.fragment().charFormat().fontPointSize();
            sizes.insert(size > 0 ? size : standard);
        }
    }
    if (sizes.isEmpty())
        sizes.insert(standard);
    const qreal size = sizes.size() > 1 ? 18.0 : *sizes.begin() + step;
    // Everything stays selected, so Read starts again from the top; with the caret at the
    // top, the box shows the top rather than scrolling to the end of the book.
    QTextCursor all(doc);
    all.movePosition(QTextCursor::End);
    all.setPosition(0, QTextCursor::KeepAnchor);
    if (size >= 1 && size <= kLargestPointSize) {
        QTextCharFormat format;
        format.setFontPointSize(size);
        all.mergeCharFormat(format);
        rememberFontSize(size);
    }
    RichTextBox1->setTextCursor(all);
}

void frmMain::mnugutenberg_click()
{
    QString book;
    {
        fSHAREDGut library(this);
        library.Form_Load();
        library.exec();
        book = library.FileToLoad();
    }
    if (book.isEmpty())
        return;
    log("Loading " + book);
    if (OpenDocument(book))
        cmdRead_Click();
}
