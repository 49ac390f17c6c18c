// The reader window's status bar: where the reader is in the book and in which chapter, the
// time the rest takes at the speed measured while reading, the speed and the pitch, and a
// word when no audio device plays the reading.
#include "reader/documentloader.h"
#include "reader/flowlayout.h"
#include "reader/frmMain.h"
#include "reader/readingstatus.h"
#include "settings/lang.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>

#include <utility>

namespace {

// Often enough to follow the reading, seldom enough that a screen reader gets no stream of
// changes: after the figures were shown, they are shown again no sooner than this.
constexpr int kStatusMs = 500;
// A longer chapter title is cut, so that the bar stays narrow enough for a small window.
constexpr int kLongestTitle = 40;

QString translated(const QString& english)
{
    return cSharedLang::instance().GetTranslation(english);
}

QString shortTitle(QString title)
{
    title = title.simplified();
    if (title.size() > kLongestTitle)
        title = title.left(kLongestTitle - 1).trimmed() + QChar(0x2026);
    return title;
}

QString duration(qint64 seconds)
{
    if (seconds < 60)
        return translated(QStringLiteral("less than a minute"));
    const qint64 minutes = (seconds + 30) / 60;
    if (minutes < 60)
        return translated(QStringLiteral("%1 min")).arg(minutes);
    return translated(QStringLiteral("%1 h %2 min"))
        .arg(minutes / 60)
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString signedNumber(int value)
{
    return value > 0 ? QStringLiteral("+%1").arg(value) : QString::number(value);
}

} // namespace

// The figures and their labels. The labels' texts are made in the chosen language here; the
// window's translation passes them over.
class cReaderStatusBar : public QStatusBar {
public:
    explicit cReaderStatusBar(QWidget* parent) : QStatusBar(parent)
    {
        setObjectName(QStringLiteral("statusBar"));
        setAccessibleName(QStringLiteral("Reading status"));
        auto* area = new QWidget(this);
        area->setObjectName(QStringLiteral("statusFigures"));
        area->setProperty(cSharedLang::kNoTranslate, true);
        // Rows rather than cut texts in a narrow window or a long language.
        auto* rows = new FlowLayout(area, fontMetrics().averageCharWidth() * 3);
        rows->setContentsMargins(0, 0, 0, 0);
        // Missing sound first: it explains what the other figures cannot.
        for (QLabel** label : {&audio, &position, &chapter, &timeLeft, &speed, &pitch}) {
            *label = new QLabel(area);
            rows->addWidget(*label);
        }
        position->setObjectName(QStringLiteral("lblStatusPosition"));
        chapter->setObjectName(QStringLiteral("lblStatusChapter"));
        timeLeft->setObjectName(QStringLiteral("lblStatusTimeLeft"));
        speed->setObjectName(QStringLiteral("lblStatusSpeed"));
        pitch->setObjectName(QStringLiteral("lblStatusPitch"));
        audio->setObjectName(QStringLiteral("lblStatusAudio"));
        audio->hide();
        // Messages shown for a moment (menu items' tips) leave the figures in place.
        addPermanentWidget(area, 1);
        timer.setSingleShot(true);
        timer.setInterval(kStatusMs);
        clock.start();
    }

    // Only a change of text reaches screen readers.
    static void setFigure(QLabel* label, const QString& text)
    {
        label->setText(text);
        label->setVisible(!text.isEmpty());
    }

    cReadingStatus figures;
    QElapsedTimer clock;
    QTimer timer;
    // Figures changed while the timer ran: shown when it runs out.
    bool pending = false;
    bool silent = false;
    QPointer<QTextDocument> book;
    int bookLength = -1;
    QLabel* position = nullptr;
    QLabel* chapter = nullptr;
    QLabel* timeLeft = nullptr;
    QLabel* speed = nullptr;
    QLabel* pitch = nullptr;
    QLabel* audio = nullptr;
};

void frmMain::buildStatusBar()
{
    m_statusBar = new cReaderStatusBar(this);
    setStatusBar(m_statusBar);
    connect(&m_statusBar->timer, &QTimer::timeout, this, [this] {
        if (std::exchange(m_statusBar->pending, false)) {
            refreshStatus();
            m_statusBar->timer.start();
        }
    });
    connect(RichTextBox1, &QTextEdit::cursorPositionChanged, this, &frmMain::scheduleStatus);
    connect(cmbPitch, &QComboBox::currentIndexChanged, this, &frmMain::scheduleStatus);
    connect(cmdFaster, &QPushButton::clicked, this, &frmMain::scheduleStatus);
    connect(cmdSlower, &QPushButton::clicked, this, &frmMain::scheduleStatus);
}

void frmMain::connectStatusBar()
{
    connect(m_talker.get(), &clsTalker::SpeakingSentence, this, &frmMain::statusSentence);
    if (cSpeechVoice* voice = m_talker->voice()) {
        m_statusBar->silent = voice->silentOutput();
        connect(voice, &cSpeechVoice::silentOutputChanged, this, [this](bool silent) {
            m_statusBar->silent = silent;
            scheduleStatus();
        });
    }
    scheduleStatus();
}

void frmMain::scheduleStatus()
{
    if (!m_statusBar || shuttingDown())
        return;
    if (m_statusBar->timer.isActive()) {
        m_statusBar->pending = true;
        return;
    }
    refreshStatus();
    m_statusBar->timer.start();
}

void frmMain::statusInterrupted()
{
    if (!m_statusBar)
        return;
    m_statusBar->figures.interrupt();
    scheduleStatus();
}

void frmMain::statusSentence()
{
    // A reading into a file runs faster than anyone hears it.
    if (!m_talker || !m_wavFile.isEmpty() || m_isPaused || !m_talker->IsReading()) {
        m_statusBar->figures.interrupt();
    } else {
        m_statusBar->figures.setRate(m_talker->TalkSpeed());
        m_statusBar->figures.sentenceHeard(RichTextBox1->textCursor().selectionStart(),
                                           m_statusBar->clock.elapsed());
    }
    scheduleStatus();
}

void frmMain::refreshStatus()
{
    cReaderStatusBar& bar = *m_statusBar;
    cReadingStatus& figures = bar.figures;
    QTextDocument* doc = RichTextBox1->document();
    const int length = doc->characterCount() - 1;
    if (bar.book != doc || bar.bookLength != length) {
        figures.setBook(length, cDocumentLoader::chapters(*doc));
        bar.book = doc;
        bar.bookLength = length;
    }
    // The sentence being read is selected; otherwise reading would start at the cursor.
    figures.setPosition(RichTextBox1->textCursor().selectionStart());
    if (m_talker)
        figures.setRate(m_talker->TalkSpeed());

    const bool hasBook = length > 0;
    cReaderStatusBar::setFigure(
        bar.position,
        hasBook ? translated(QStringLiteral("Position: %1%")).arg(figures.percent()) : QString());
    const QString chapter = hasBook ? figures.chapter() : QString();
    cReaderStatusBar::setFigure(
        bar.chapter, chapter.isEmpty()
                         ? QString()
                         : translated(QStringLiteral("Chapter: %1")).arg(shortTitle(chapter)));
    cReaderStatusBar::setFigure(
        bar.timeLeft,
        hasBook ? translated(QStringLiteral("Time left: %1")).arg(duration(figures.secondsLeft()))
                : QString());
    cReaderStatusBar::setFigure(bar.speed,
                                translated(QStringLiteral("Speed: %1 words/min"))
                                    .arg(cReadingStatus::wordsPerMinute(figures.rate())));
    cReaderStatusBar::setFigure(
        bar.pitch,
        translated(QStringLiteral("Pitch: %1")).arg(signedNumber(cmbPitch->currentText().toInt())));
    cReaderStatusBar::setFigure(
        bar.audio,
        bar.silent ? translated(QStringLiteral("No audio output: reading silently")) : QString());
}
