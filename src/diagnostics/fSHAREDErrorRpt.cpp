#include "diagnostics/fSHAREDErrorRpt.h"

#include "diagnostics/help.h"
#include "diagnostics/log.h"
#include "diagnostics/userprompt.h"
#include "util/delay.h"

#include <QEvent>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QVBoxLayout>

namespace {

QPlainTextEdit* textBox(const QString& name, const QString& accessibleName, int lines,
                        QWidget* parent)
{
    auto* box = new QPlainTextEdit(parent);
    box->setObjectName(name);
    box->setAccessibleName(accessibleName);
    // Tab moves on to the next control, so the window can be worked from the keyboard.
    box->setTabChangesFocus(true);
    const int lineHeight = box->fontMetrics().lineSpacing();
    box->setMinimumHeight(lines * lineHeight + 2 * box->frameWidth() + 8);
    return box;
}

QPushButton* button(const QString& name, const QString& caption, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    return b;
}

} // namespace

fSHAREDErrorRpt::fSHAREDErrorRpt(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fSHAREDErrorRpt"));
    setWindowTitle(QStringLiteral("Error Reporter"));
    setSizeGripEnabled(true);

    auto* icon = new QLabel(this);
    const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()
                        ->standardIcon(QStyle::SP_MessageBoxCritical, nullptr, this)
                        .pixmap(iconSize, iconSize));
    icon->setAlignment(Qt::AlignTop);
    auto* intro = new QLabel(
        QStringLiteral(
            "Parlo has run into an error. You can send a report of it, with Parlo's log, to "
            "the makers; a few words about what you were doing help most."),
        this);
    intro->setWordWrap(true);

    // A long message scrolls; the space is better spent on the comment and the log.
    txtError = textBox(QStringLiteral("txtError"), QStringLiteral("Error"), 4, this);
    txtError->setFixedHeight(txtError->minimumHeight());
    txtError->setReadOnly(true);
    txtError->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    cmdShowComments =
        button(QStringLiteral("cmdShowComments"), QStringLiteral("Enter Comments"), this);
    cmdViewLog = button(QStringLiteral("cmdViewLog"), QStringLiteral("View Log File"), this);

    fraComments = new QGroupBox(QStringLiteral("Your comments"), this);
    fraComments->setObjectName(QStringLiteral("fraComments"));
    fraComments->setFlat(true);
    txtUserMessage =
        textBox(QStringLiteral("txtUserMessage"), QStringLiteral("Your comments"), 3, fraComments);
    txtUserMessage->setPlaceholderText(
        QStringLiteral("What were you doing when the error happened?"));
    txtUserMessage->viewport()->installEventFilter(this);
    (new QVBoxLayout(fraComments))->addWidget(txtUserMessage);
    fraComments->hide();

    fraLog = new QGroupBox(this);
    fraLog->setObjectName(QStringLiteral("fraLog"));
    fraLog->setFlat(true);
    txtLog = textBox(QStringLiteral("txtLog"), QStringLiteral("Log file"), 6, fraLog);
    txtLog->setReadOnly(true);
    txtLog->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    txtLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtLog->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    (new QVBoxLayout(fraLog))->addWidget(txtLog);
    fraLog->hide();

    cmdEmail = button(QStringLiteral("cmdEmail"), QStringLiteral("Submit Error Report"), this);
    cmdEmail->setToolTip(QStringLiteral("Opens your mail program with the report filled in"));
    cmdViewReport =
        button(QStringLiteral("cmdViewReport"), QStringLiteral("View Error Report"), this);
    cmdViewReport->setToolTip(QStringLiteral("Shows the whole report as a text file you can copy"));
    cmdHelp = button(QStringLiteral("cmdHelp"), QStringLiteral("Help"), this);
    cmdHelp->setToolTip(QStringLiteral("Opens Parlo's help page (F1)"));
    cmdExit = button(QStringLiteral("cmdExit"), QStringLiteral("Exit"), this);
    cmdExit->setDefault(true);

    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    auto* topRight = new QVBoxLayout;
    topRight->addWidget(intro);
    topRight->addWidget(txtError);
    auto* reveal = new QHBoxLayout;
    reveal->addWidget(cmdShowComments);
    reveal->addWidget(cmdViewLog);
    reveal->addStretch();
    topRight->addLayout(reveal);
    top->addLayout(topRight, 1);

    auto* actions = new QHBoxLayout;
    actions->addWidget(cmdEmail);
    actions->addWidget(cmdViewReport);
    actions->addStretch();
    actions->addWidget(cmdHelp);
    actions->addWidget(cmdExit);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(fraComments, 2);
    layout->addWidget(fraLog, 5);
    // Takes the slack only while both frames are hidden.
    layout->addStretch(0);
    layout->addLayout(actions);

    connect(cmdShowComments, &QPushButton::clicked, this, &fSHAREDErrorRpt::cmdShowComments_Click);
    connect(cmdViewLog, &QPushButton::clicked, this, &fSHAREDErrorRpt::cmdViewLog_Click);
    connect(cmdEmail, &QPushButton::clicked, this, &fSHAREDErrorRpt::cmdEmail_Click);
    connect(cmdViewReport, &QPushButton::clicked, this, &fSHAREDErrorRpt::cmdViewReport_Click);
    connect(cmdHelp, &QPushButton::clicked, this, &fSHAREDErrorRpt::cmdHelp_Click);
    connect(cmdExit, &QPushButton::clicked, this, &fSHAREDErrorRpt::cmdExit_Click);
    connect(txtUserMessage, &QPlainTextEdit::textChanged, this,
            [this] { m_userHasCommented = true; });
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, &fSHAREDErrorRpt::cmdHelp_Click);

    resize(qMax(sizeHint().width(), 600), sizeHint().height());
    cmdExit->setFocus();
}

void fSHAREDErrorRpt::LoadError(const QString& errorMessage, const QString& helpIndex)
{
    txtError->setPlainText(errorMessage);
    MakeClean();
    m_helpTopic = helpIndex;
    m_closed = false;
    // The newest notes, the ones that led to the error, wait in memory until a batch is full.
    cSharedLogging::instance().WriteActionsToLog();
    m_logFilename = cSharedLogging::instance().CurrentLogFilename();
    fraLog->setTitle(m_logFilename.isEmpty() ? QStringLiteral("Log file") : m_logFilename);
    txtLog->setPlainText(ErrorReport::displayLineEnds(ErrorReport::loadLog(m_logFilename)));
    // The lines that led to the error are the last ones.
    txtLog->moveCursor(QTextCursor::End);
}

void fSHAREDErrorRpt::ShowError(const QString& errorMessage, const QString& helpIndex)
{
    LoadError(errorMessage, helpIndex);
    exec();
}

ErrorReport fSHAREDErrorRpt::report() const
{
    ErrorReport r;
    r.errorText = ErrorReport::windowsLineEnds(txtError->toPlainText());
    r.comment = ErrorReport::windowsLineEnds(txtUserMessage->toPlainText());
    r.userHasCommented = m_userHasCommented;
    r.logText = ErrorReport::windowsLineEnds(txtLog->toPlainText());
    r.logFilename = m_logFilename;
    return r;
}

void fSHAREDErrorRpt::growToFit()
{
    const QScreen* screen = this->screen();
    if (!screen) {
        resize(sizeHint().expandedTo(size()));
        return;
    }
    // Grown downwards, the window's buttons could end up below the bottom of the screen.
    const QRect available = screen->availableGeometry();
    const QSize frame = frameGeometry().size() - size();
    resize(sizeHint().expandedTo(size()).boundedTo(available.size() - frame));
    QRect placed = frameGeometry();
    placed.moveBottom(qMin(placed.bottom(), available.bottom()));
    placed.moveTop(qMax(placed.top(), available.top()));
    if (placed.topLeft() != frameGeometry().topLeft())
        move(placed.topLeft());
}

void fSHAREDErrorRpt::cmdShowComments_Click()
{
    fraComments->show();
    cmdShowComments->hide();
    growToFit();
    txtUserMessage->setFocus(Qt::OtherFocusReason);
}

void fSHAREDErrorRpt::cmdViewLog_Click()
{
    fraLog->show();
    cmdViewLog->hide();
    growToFit();
    txtLog->setFocus(Qt::OtherFocusReason);
}

void fSHAREDErrorRpt::cmdEmail_Click()
{
    // Without a mail program the request simply fails; WebSiteVisit notes that.
    cSharedWWW::instance().WebSiteVisit(report().mailtoAddress());
}

void fSHAREDErrorRpt::cmdViewReport_Click()
{
    const QString written = report().writeReportFile();
    if (written.isEmpty()) {
        // Opening whatever FullLog.txt holds now would show an older or a stranger's report.
        cUserPrompt::current().message(
            cUserPrompt::translated("The error report could not be written to ") +
            ErrorReport::reportFilePath());
        return;
    }
    cSharedWWW::instance().WebSiteVisit(written);
}

void fSHAREDErrorRpt::cmdHelp_Click()
{
    cSharedHelp::instance().ShowHelp(m_helpTopic);
}

void fSHAREDErrorRpt::cmdExit_Click()
{
    hide();
    cSHAREDDelay::instance().DoEventss();
    m_closed = true;
}

void fSHAREDErrorRpt::reject()
{
    // Escape and the close box end up here.
    m_closed = true;
    QDialog::reject();
}

bool fSHAREDErrorRpt::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == txtUserMessage->viewport() && event->type() == QEvent::MouseButtonPress)
        m_userHasCommented = true;
    return QDialog::eventFilter(watched, event);
}
