// The reader window's reading controls: reading from the cursor, the highlight that
// follows the voice, reading into a WAV file, and the pronunciation editor.
#include "audiobook/audiobookplan.h"
#include "diagnostics/log.h"
#include "diagnostics/userprompt.h"
#include "files/filesubs.h"
#include "reader/documentloader.h"
#include "reader/frmMain.h"
#include "reader/quietaccessibility.h"
#include "reader/wordmark.h"
#include "settings/lang.h"
#include "speech/clsdict.h"
#include "util/delay.h"
#include "util/identity.h"

#include <QDateTime>
#include <QFileDialog>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>

#include <utility>

#ifdef PARLO_HAVE_LEX
#include "speech/editor/frmLex.h"
#endif

namespace {

QString translated(const char* english)
{
    return cSharedLang::instance().GetTranslation(QString::fromUtf8(english));
}

// Repainting more often than this only slows a fast reading (into a file) down.
constexpr qint64 kRepaintMs = 40;

} // namespace

const QString& frmMain::documentText()
{
    if (m_textStale) {
        m_textCopy = RichTextBox1->document()->toPlainText();
        m_textStale = false;
    }
    return m_textCopy;
}

void frmMain::openFromCommandLine(const QString& document)
{
    if (shuttingDown())
        return;
    if (document.isEmpty()) {
        Timer3->start();
        return;
    }
    log("Loading " + document);
    // A book that could not be opened has been reported; there is nothing to read.
    if (!OpenDocument(document) || shuttingDown())
        return;
    log("Reading " + document);
    cmdRead_Click();
}

void frmMain::cmdRead_Click()
{
    StopReading();
    if (!startReading())
        StopReading();
}

bool frmMain::startReading(bool topNearEnd)
{
    if (!m_talker)
        return false;
    const QString& text = documentText();
    // Where a selection starts, whichever way it was made.
    const int cursorAt = RichTextBox1->textCursor().selectionStart();
    const cReadingController::Start start =
        m_reading.begin(text, cursorAt, m_talker->sentenceEnds(), topNearEnd);
    if (start.cursor != cursorAt) {
        QTextCursor top(RichTextBox1->document());
        RichTextBox1->setTextCursor(top);
    }
    cSHAREDSubs::instance().BackgroundMouse();
    PronDict().LoadWords();
    m_talker->StoreTextFile(
        start.text, VoiceMarkers::from(cDocumentLoader::voiceMarkers(*RichTextBox1->document()),
                                       m_reading.textStart()));
    m_talker->ReadText();
    return true;
}

void frmMain::cmdPause_Click()
{
    if (!m_talker) {
        showPaused();
        return;
    }
    if (m_isPaused && resumeAtSkip())
        return;
    if (m_isPaused) {
        m_isPaused = false;
        m_talker->Continue();
    } else {
        m_isPaused = true;
        m_talker->Pause();
    }
    showPaused();
}

void frmMain::Talker_SpeakingSentence()
{
    // The Talker is still inside its own work below this.
    const WorkScope work(*this);
    const cReadingController::Range range = m_reading.next();
    const int last = RichTextBox1->document()->characterCount() - 1;
    QTextCursor cursor(RichTextBox1->document());
    cursor.setPosition(qBound(0, range.start, last));
    // A negative length selects nothing and leaves the cursor at the sentence start.
    if (range.length > 0)
        cursor.setPosition(qBound(0, range.start + range.length, last), QTextCursor::KeepAnchor);
    // The box would work out the exact area of every old and new selection to repaint; a
    // reading into a file moves it thousands of times a second, so it is repainted whole,
    // at most once per pass of the event loop. The box still scrolls to the sentence.
    RichTextBox1->viewport()->setUpdatesEnabled(false);
    {
        // Screen readers hear the sentence when the user asks for it, not at every move.
        const QuietAccessibility quiet(RichTextBox1);
        RichTextBox1->setTextCursor(cursor);
    }
    keepSentenceInView(cursor);
    RichTextBox1->viewport()->setUpdatesEnabled(true);
    if (m_wavProgress && m_talker)
        m_wavProgress->setValue(qMin(m_talker->Store().NextIndex(), m_wavProgress->maximum()));
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - m_lastRepaint >= kRepaintMs) {
        m_lastRepaint = now;
        cSHAREDDelay::instance().DoEventss();
    }
}

void frmMain::keepSentenceInView(const QTextCursor& sentence)
{
    // The box only scrolls the sentence's end just into view, leaving the listener reading
    // along at the bottom edge; once the end goes below the lower quarter, the sentence is
    // brought up to the upper quarter, with what follows it in sight.
    const int height = RichTextBox1->viewport()->height();
    const QRect end = RichTextBox1->cursorRect(sentence);
    if (end.bottom() <= height * 3 / 4 && end.top() >= 0)
        return;
    QTextCursor start(sentence);
    start.setPosition(sentence.selectionStart());
    const QRect top = RichTextBox1->cursorRect(start);
    QScrollBar* bar = RichTextBox1->verticalScrollBar();
    bar->setValue(bar->value() + top.top() - height / 4);
}

void frmMain::Talker_ReadingFinished()
{
    const WorkScope work(*this);
    // The last sentence stays highlighted; only a reading into a file has more to do.
    m_wordMark->clear();
    if (!m_wavFile.isEmpty())
        finishWav(true);
}

void frmMain::Talker_WavFull()
{
    if (m_wavFile.isEmpty())
        return;
    m_wavFull = true;
    StopReading();
}

QString frmMain::chooseWavFile()
{
    if (m_options.chooseWavFile)
        return m_options.chooseWavFile(this);
    QFileDialog dialog(this, translated("Save to a Wave File"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // One filter a format; the file's extension chooses what it holds.
    const AudioFormat formats[] = {AudioFormat::Wav, AudioFormat::Mp3, AudioFormat::Ogg,
                                   AudioFormat::Opus, AudioFormat::Flac};
    QStringList filters{translated("All Files (*)")};
    for (const AudioFormat format : formats)
        filters << cSharedLang::instance().GetTranslation(AudioFormats::filter(format));
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(dialog.nameFilters().at(1));
    dialog.setDefaultSuffix(QStringLiteral("wav"));
    connect(&dialog, &QFileDialog::filterSelected, &dialog,
            [&dialog, filters, formats](const QString& f) {
                const qsizetype at = filters.indexOf(f);
                if (at >= 1)
                    dialog.setDefaultSuffix(AudioFormats::extension(formats[at - 1]));
            });
    dialog.setDirectory(startFolder());
    // A read-only choice is refused with the dialog still there to choose again.
    for (;;) {
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        const QString path = dialog.selectedFiles().constFirst();
        if (!refusedAsReadOnly(path))
            return path;
    }
}

bool frmMain::refusedAsReadOnly(const QString& path)
{
    if (!cSharedFileSubs::instance().isReadonly(path))
        return false;
    cUserPrompt::current().message(translated("This file is read-only: ") + path);
    return true;
}

QProgressDialog* frmMain::readingProgress(const QString& name, const QString& title,
                                          const QString& label, int maximum)
{
    // Shown at once, and closed by the reading when it ends, not on reaching its maximum.
    auto* dialog = new QProgressDialog(label, translated("Stop"), 0, maximum, this);
    dialog->setObjectName(name);
    dialog->setWindowTitle(title);
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    dialog->setMinimumDuration(0);
    return dialog;
}

void frmMain::cmdSpeakToWav_Click()
{
    const WorkScope work(*this);
    if (!m_talker)
        return;
    const QString path = chooseWavFile();
    if (path.isEmpty() || shuttingDown())
        return;
    if (refusedAsReadOnly(path))
        return;
    StopReading();
    m_wavPlace = RichTextBox1->textCursor();
    const cBookInfo book = BookInfo::of(m_currentFile, documentText(), false);
    m_talker->setWavTags({book.title, book.author, book.title, 0});
    Failure failure;
    if (!m_talker->SetWavOutput(path, failure)) {
        cUserPrompt::current().message(translated("The WAV file could not be created: ") + path);
        return;
    }
    m_wavFile = path;
    if (!startReading() || !m_talker->isBusy()) {
        // Nothing to read: the file is closed at once rather than left open.
        finishWav(true);
        return;
    }
    m_wavProgress = readingProgress(QStringLiteral("wavProgress"), translated("Read to WAV file"),
                                    translated("Reading into ") + cSharedFileSubs::FileOnly(path),
                                    qMax(1, m_talker->Store().count()));
    connect(m_wavProgress, &QProgressDialog::canceled, this, &frmMain::StopReading);
    m_wavProgress->show();
}

void frmMain::finishWav(bool completed)
{
    if (m_wavFile.isEmpty())
        return;
    const QString path = m_wavFile;
    m_wavFile.clear();
    if (m_wavProgress) {
        m_wavProgress->disconnect(this);
        m_wavProgress->deleteLater();
        m_wavProgress = nullptr;
    }
    Failure failure;
    // After a stop the Talker has already closed the file.
    const bool closed = !completed || !m_talker || m_talker->CancelWav(failure);
    if (m_wavPlace.document() == RichTextBox1->document()) {
        RichTextBox1->setTextCursor(m_wavPlace);
        RichTextBox1->ensureCursorVisible();
    }
    m_wavPlace = QTextCursor();
    cSHAREDSubs::instance().NormalMouse();
    if (shuttingDown())
        return;
    const bool full = std::exchange(m_wavFull, false);
    if (!closed)
        cUserPrompt::current().message(translated("The WAV file could not be completed: ") + path);
    else if (full)
        cUserPrompt::current().message(
            translated("The WAV file is full (4 GB) and the reading stopped there: ") + path);
    else if (completed)
        cUserPrompt::current().message(translated("The reading has been saved in the file ") +
                                       path);
    else
        cUserPrompt::current().message(
            translated("The reading was stopped. What had been read is saved in the file ") + path);
}

void frmMain::mnuPron_Click()
{
    const WorkScope work(*this);
#ifdef PARLO_HAVE_LEX
    frmLex::showEditor(this, m_options.voiceFactory);
#endif
}
