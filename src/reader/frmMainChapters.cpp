// The reader window's Chapters menu: the book's table of contents, or the headings found
// in it, each moving the cursor to its place so that Read starts there.
#include "reader/documentloader.h"
#include "reader/frmMain.h"
#include "settings/lang.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

namespace {

// A menu taller than the screen scrolls slowly; long tables of contents are cut there.
constexpr int kMostChapters = 500;

} // namespace

void frmMain::buildChaptersMenu()
{
    mnuChapters = menuBar()->addMenu(QStringLiteral("Chapters"));
    mnuChapters->setObjectName(QStringLiteral("mnuChapters"));
    connect(mnuChapters, &QMenu::aboutToShow, this, &frmMain::fillChaptersMenu);
}

void frmMain::fillChaptersMenu()
{
    mnuChapters->clear();
    const QList<cChapter> chapters = cDocumentLoader::chapters(*RichTextBox1->document());
    if (chapters.isEmpty()) {
        mnuChapters
            ->addAction(cSharedLang::instance().GetTranslation(QStringLiteral("No chapters found")))
            ->setEnabled(false);
        return;
    }
    for (qsizetype i = 0; i < chapters.size() && i < kMostChapters; ++i) {
        // "&" would otherwise mark a shortcut letter.
        QString title = chapters[i].title;
        QAction* action = mnuChapters->addAction(title.replace(u'&', QStringLiteral("&&")));
        const qsizetype position = chapters[i].position;
        connect(action, &QAction::triggered, this, [this, position] { goToChapter(position); });
    }
}

void frmMain::goToChapter(qsizetype position)
{
    // A reading going on would pull the cursor back to its sentence.
    StopReading();
    QTextDocument* doc = RichTextBox1->document();
    QTextCursor cursor(doc);
    cursor.setPosition(int(std::clamp<qsizetype>(position, 0, doc->characterCount() - 1)));
    // The chapter's start at the top of the box, rather than at its bottom edge.
    QTextCursor end(doc);
    end.movePosition(QTextCursor::End);
    RichTextBox1->setTextCursor(end);
    RichTextBox1->ensureCursorVisible();
    RichTextBox1->setTextCursor(cursor);
    RichTextBox1->ensureCursorVisible();
}
