// The reader window's skipping: back and forward by sentence and by paragraph, while
// reading, while paused (the reading stays paused at the new place) and while stopped
// (the caret moves).

#include "reader/frmMain.h"
#include "settings/lang.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

namespace {

struct SkipItem {
    const char* name;
    const char* caption;
    const char* tip;
    cSkipPlaces::Step step;
    QList<QKeySequence> keys;
};

const char* const kCaption = "parloSkipCaption";
const char* const kTip = "parloSkipTip";

} // namespace

void frmMain::buildSkipMenu()
{
    using Step = cSkipPlaces::Step;
    using K = QKeySequence;
    const SkipItem items[] = {
        {"mnuBackSentence",
         "Back a Sen&tence",
         "Back to the sentence before",
         Step::BackSentence,
         {K(Qt::ALT | Qt::Key_Left), K(Qt::Key_MediaPrevious)}},
        {"mnuForwardSentence",
         "Forward a Sente&nce",
         "On to the next sentence",
         Step::ForwardSentence,
         {K(Qt::ALT | Qt::Key_Right), K(Qt::Key_MediaNext)}},
        {"mnuBackParagraph",
         "Back a Paragrap&h",
         "Back to the start of the paragraph",
         Step::BackParagraph,
         {K(Qt::ALT | Qt::Key_Up)}},
        {"mnuForwardParagraph",
         "Forward a Par&agraph",
         "On to the next paragraph",
         Step::ForwardParagraph,
         {K(Qt::ALT | Qt::Key_Down)}},
    };
    for (const SkipItem& item : items) {
        QAction* action = mnuReading->addAction(QString::fromLatin1(item.caption));
        action->setObjectName(QString::fromLatin1(item.name));
        action->setShortcuts(item.keys);
        // Translated here, with the shortcut in the tip, rather than by the window's walk.
        action->setProperty(cSharedLang::kNoTranslate, true);
        action->setProperty(kCaption, QString::fromLatin1(item.caption));
        action->setProperty(kTip, QString::fromLatin1(item.tip));
        const cSkipPlaces::Step step = item.step;
        connect(action, &QAction::triggered, this, [this, step] { skip(step); });
        m_skipActions << action;
    }
    mnuReading->setToolTipsVisible(true);
    refreshSkipTexts();
}

void frmMain::refreshSkipTexts()
{
    const auto& lang = cSharedLang::instance();
    for (QAction* action : std::as_const(m_skipActions)) {
        action->setText(lang.GetTranslation(action->property(kCaption).toString()));
        action->setToolTip(
            withShortcut(lang.GetTranslation(action->property(kTip).toString()), action));
    }
}

void frmMain::skip(cSkipPlaces::Step step)
{
    // A reading into a file goes through the whole book; it is not steered.
    if (!m_talker || shuttingDown() || !m_wavFile.isEmpty())
        return;
    const WorkScope work(*this);
    const cSkipPlaces places(documentText(), m_talker->sentenceEnds());
    const int at = RichTextBox1->textCursor().selectionStart();
    const int target = places.step(at, step);
    const bool reading = m_talker->isBusy();
    QTextCursor cursor(RichTextBox1->document());
    if (target == cSkipPlaces::kPastEnd) {
        // Past the last sentence the book is done: nothing is left to read or resume.
        if (reading)
            StopReading();
        cursor.movePosition(QTextCursor::End);
        RichTextBox1->setTextCursor(cursor);
        return;
    }
    if (reading && !m_isPaused) {
        readFrom(target);
        return;
    }
    cursor.setPosition(target);
    if (reading) {
        // Paused: the new sentence shows, and a resume reads from it.
        const int length = places.sentenceLength(target);
        if (length > 0)
            cursor.setPosition(target + length, QTextCursor::KeepAnchor);
        m_skipTarget = target;
    }
    RichTextBox1->setTextCursor(cursor);
    RichTextBox1->ensureCursorVisible();
    // The desktop shows the sentence a resume will read.
    if (reading)
        showMediaTrack(cursor.selectedText());
}

void frmMain::readFrom(int position)
{
    StopReading();
    if (shuttingDown())
        return;
    QTextCursor cursor(RichTextBox1->document());
    cursor.setPosition(position);
    RichTextBox1->setTextCursor(cursor);
    if (!startReading(false))
        StopReading();
}

bool frmMain::resumeAtSkip()
{
    if (m_skipTarget < 0)
        return false;
    readFrom(m_skipTarget);
    return true;
}
