#include "speech/editor/frmWordPair.h"

#include "diagnostics/failure.h"
#include "diagnostics/userprompt.h"
#include "settings/lang.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

namespace {

const QString kModule = QStringLiteral("frmWordPair");

QString translated(const char* english)
{
    return cSharedLang::instance().GetTranslation(QString::fromUtf8(english));
}

bool isLineBreak(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
}

QLineEdit* wordBox(const QString& name, const QString& accessibleName, QWidget* parent)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setAccessibleName(accessibleName);
    box->setMinimumWidth(box->fontMetrics().averageCharWidth() * 28);
    // A line box still takes pasted line breaks, and the file keeps one pair a line: a
    // break would split the pair when the file is read again.
    QObject::connect(box, &QLineEdit::textChanged, box, [box](const QString& text) {
        if (std::none_of(text.begin(), text.end(), isLineBreak))
            return;
        QString oneLine = text;
        std::replace_if(oneLine.begin(), oneLine.end(), isLineBreak, QChar(u' '));
        const int cursor = box->cursorPosition();
        box->setText(oneLine);
        box->setCursorPosition(cursor);
    });
    return box;
}

} // namespace

frmWordPair::frmWordPair(QWidget* parent, clsTalker::VoiceFactory voiceFactory) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmWordPair"));
    setWindowTitle(QStringLiteral("Word pair setup"));
    if (parent)
        setWindowIcon(parent->window()->windowIcon());

    txtOriginalWord =
        wordBox(QStringLiteral("txtOriginalWord"), QStringLiteral("Word as it is written"), this);
    txtNewWord = wordBox(QStringLiteral("txtNewWord"), QStringLiteral("Word as it is said"), this);

    lblSay = new QLabel(QStringLiteral("Say"), this);
    lblSay->setObjectName(QStringLiteral("lblSay"));
    lblSay->setAccessibleName(lblSay->text());
    lblSay->setBuddy(txtOriginalWord);
    lblAs = new QLabel(QStringLiteral("as"), this);
    lblAs->setObjectName(QStringLiteral("lblAs"));
    lblAs->setAccessibleName(lblAs->text());
    lblAs->setBuddy(txtNewWord);

    const std::array<QString, 2> testNames = {QStringLiteral("Say the word as it is written"),
                                              QStringLiteral("Say the word as it is said")};
    for (int index = 0; index < 2; ++index) {
        auto* button = new QPushButton(QStringLiteral("Test"), this);
        button->setObjectName(QStringLiteral("cmdTest_%1").arg(index));
        button->setProperty("index", index);
        button->setAccessibleName(testNames[index]);
        button->setToolTip(testNames[index]);
        // Enter in a box means OK, not Test.
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, index] { cmdTest_Click(index); });
        cmdTest[index] = button;
    }

    auto* buttons = new QDialogButtonBox(this);
    cmdOK = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdCancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdOK->setAccessibleName(cmdOK->text());
    cmdCancel->setAccessibleName(cmdCancel->text());
    connect(cmdOK, &QPushButton::clicked, this, &frmWordPair::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmWordPair::reject);

    auto* grid = new QGridLayout(this);
    grid->addWidget(lblSay, 0, 0);
    grid->addWidget(txtOriginalWord, 0, 1);
    grid->addWidget(cmdTest[0], 0, 2);
    grid->addWidget(lblAs, 1, 0);
    grid->addWidget(txtNewWord, 1, 1);
    grid->addWidget(cmdTest[1], 1, 2);
    grid->setRowMinimumHeight(2, fontMetrics().height() / 2);
    grid->addWidget(buttons, 3, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setSizeConstraint(QLayout::SetMinAndMaxSize);

    setTabOrder(txtOriginalWord, cmdTest[0]);
    setTabOrder(cmdTest[0], txtNewWord);
    setTabOrder(txtNewWord, cmdTest[1]);
    setTabOrder(cmdTest[1], cmdOK);
    setTabOrder(cmdOK, cmdCancel);
    txtOriginalWord->setFocus();

    Form_Load(std::move(voiceFactory));
}

frmWordPair::~frmWordPair() = default;

void frmWordPair::Form_Load(clsTalker::VoiceFactory voiceFactory)
{
    // A voice of its own, freshly started: the reader may be speaking with its voice.
    m_talker = voiceFactory ? std::make_unique<clsTalker>(std::move(voiceFactory))
                            : std::make_unique<clsTalker>();
    Failure failure;
    if (!m_talker->InitEngine(failure)) {
        noteFailure(failure.number, failure.description, QStringLiteral("Form_Load"), kModule);
        m_talker.reset();
        for (QPushButton* button : cmdTest) {
            button->setEnabled(false);
            button->setToolTip(QStringLiteral("No speech voice could be started"));
        }
    }
    cSharedLang::instance().TranslateForm(this);
}

QString frmWordPair::originalWord() const
{
    return txtOriginalWord->text();
}

QString frmWordPair::newWord() const
{
    return txtNewWord->text();
}

void frmWordPair::setWords(const QString& original, const QString& replacement)
{
    txtOriginalWord->setText(original);
    txtNewWord->setText(replacement);
}

void frmWordPair::cmdTest_Click(int index)
{
    if (!m_talker || index < 0 || index > 1)
        return;
    const QString text = (index == 0 ? txtOriginalWord : txtNewWord)->text().toLower();
    if (text.trimmed().isEmpty())
        return;
    m_talker->Say(text);
}

void frmWordPair::cmdOK_Click()
{
    // The file keeps a pair as "original,new" on one line: a comma in the original word
    // would move the rest of it into the new word the next time the file is read.
    if (txtOriginalWord->text().contains(u',')) {
        cUserPrompt::current().message(
            translated("The word to look for cannot contain a comma. Please leave the comma "
                       "out, or use two pairs."));
        txtOriginalWord->setFocus();
        return;
    }
    Cancelled = false;
    accept();
}

void frmWordPair::reject()
{
    Cancelled = true;
    QDialog::reject();
}
