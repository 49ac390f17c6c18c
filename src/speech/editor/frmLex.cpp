#include "speech/editor/frmLex.h"

#include "diagnostics/userprompt.h"
#include "settings/lang.h"
#include "speech/clsdict.h"
#include "speech/editor/frmWordPair.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <memory>

namespace {

QString translated(const char* english)
{
    return cSharedLang::instance().GetTranslation(QString::fromUtf8(english));
}

QPushButton* button(const QString& caption, const QString& name, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAccessibleName(QString(caption).remove(u'&'));
    return b;
}

bool isEnterKey(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

frmLex::frmLex(QWidget* parent, clsTalker::VoiceFactory voiceFactory)
    : QDialog(parent), m_voiceFactory(std::move(voiceFactory))
{
    setObjectName(QStringLiteral("frmLex"));
    setWindowTitle(QStringLiteral("Pronunciation Setup"));
    setSizeGripEnabled(true);

    ListView1 = new QTreeWidget(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setAccessibleName(QStringLiteral("Pronunciations"));
    ListView1->setColumnCount(2);
    ListView1->setHeaderLabels({QStringLiteral("Original"), QStringLiteral("New")});
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setSortingEnabled(false);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->header()->setStretchLastSection(true);
    ListView1->header()->setSectionsMovable(false);
    ListView1->setColumnWidth(0, fontMetrics().averageCharWidth() * 22);
    ListView1->installEventFilter(this);
    connect(ListView1, &QTreeWidget::itemDoubleClicked, this, &frmLex::cmdEdit_Click);
    connect(ListView1, &QTreeWidget::itemSelectionChanged, this, &frmLex::updateButtons);

    cmdAdd = button(QStringLiteral("&Add"), QStringLiteral("cmdAdd"), this);
    cmdEdit = button(QStringLiteral("&Edit"), QStringLiteral("cmdEdit"), this);
    cmdDelete = button(QStringLiteral("&Delete"), QStringLiteral("cmdDelete"), this);
    cmdOK = button(QStringLiteral("OK"), QStringLiteral("cmdOK"), this);
    cmdCancel = button(QStringLiteral("Cancel"), QStringLiteral("cmdCancel"), this);
    cmdAdd->setToolTip(QStringLiteral("Add a word and how to say it"));
    cmdEdit->setToolTip(QStringLiteral("Change the selected pair"));
    cmdDelete->setToolTip(QStringLiteral("Remove the selected pair"));
    for (QPushButton* b : {cmdAdd, cmdEdit, cmdDelete, cmdCancel})
        b->setAutoDefault(false);
    cmdOK->setDefault(true);
    connect(cmdAdd, &QPushButton::clicked, this, &frmLex::cmdAdd_Click);
    connect(cmdEdit, &QPushButton::clicked, this, &frmLex::cmdEdit_Click);
    connect(cmdDelete, &QPushButton::clicked, this, &frmLex::cmdDelete_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmLex::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmLex::cmdCancel_Click);

    auto* side = new QVBoxLayout;
    side->addWidget(cmdAdd);
    side->addWidget(cmdEdit);
    side->addWidget(cmdDelete);
    side->addStretch(1);
    side->addWidget(cmdOK);
    side->addWidget(cmdCancel);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(ListView1, 1);
    layout->addLayout(side);
    resize(460, 320);

    setTabOrder(ListView1, cmdAdd);
    setTabOrder(cmdAdd, cmdEdit);
    setTabOrder(cmdEdit, cmdDelete);
    setTabOrder(cmdDelete, cmdOK);
    setTabOrder(cmdOK, cmdCancel);
    ListView1->setFocus();

    Form_Load();
}

frmLex::~frmLex() = default;

void frmLex::showEditor(QWidget* parent, clsTalker::VoiceFactory voiceFactory)
{
    QPointer<frmLex> lex = new frmLex(parent, std::move(voiceFactory));
    lex->exec();
    delete lex;
}

void frmLex::Form_Load()
{
    if (parentWidget())
        setWindowIcon(parentWidget()->window()->windowIcon());
    // Always from the file: edits cancelled last time must not come back.
    clsDict& dict = PronDict();
    dict.LoadWords();
    const clsDict::WordList& words = dict.Words();
    for (const auto& pair : words) {
        if (pair)
            addRow(pair->OriginalWord, pair->NewWord);
    }
    cSharedLang::instance().TranslateForm(this);
    updateButtons();
}

void frmLex::addRow(const QString& original, const QString& replacement)
{
    auto* item = new QTreeWidgetItem(ListView1, {original, replacement});
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
}

QTreeWidgetItem* frmLex::selectedRow() const
{
    const QList<QTreeWidgetItem*> selected = ListView1->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

void frmLex::updateButtons()
{
    const bool any = selectedRow() != nullptr;
    cmdEdit->setEnabled(any);
    cmdDelete->setEnabled(any);
}

std::optional<std::pair<QString, QString>> frmLex::askPair(const QString& original,
                                                           const QString& replacement)
{
    // Either window may be closed from outside while the pair window waits.
    QPointer<frmLex> self(this);
    QPointer<frmWordPair> pair = new frmWordPair(this, m_voiceFactory);
    pair->setWords(original, replacement);
    pair->exec();
    if (!self || !pair)
        return std::nullopt;
    std::optional<std::pair<QString, QString>> words;
    if (!pair->Cancelled)
        words.emplace(pair->originalWord(), pair->newWord());
    delete pair;
    return words;
}

void frmLex::cmdAdd_Click()
{
    if (ListView1->topLevelItemCount() >= clsDict::MaxWords) {
        cUserPrompt::current().message(
            translated("The list cannot hold more than %1 pronunciations.").arg(clsDict::MaxWords));
        return;
    }
    const auto words = askPair(QString(), QString());
    if (!words)
        return;
    addRow(words->first, words->second);
    QTreeWidgetItem* added = ListView1->topLevelItem(ListView1->topLevelItemCount() - 1);
    ListView1->setCurrentItem(added);
    ListView1->scrollToItem(added);
}

void frmLex::cmdEdit_Click()
{
    QTreeWidgetItem* row = selectedRow();
    if (!row)
        return;
    const QPointer<frmLex> self(this);
    const auto words = askPair(row->text(0), row->text(1));
    // The row may have gone with the window.
    if (!self || !words || ListView1->indexOfTopLevelItem(row) < 0)
        return;
    row->setText(1, words->second);
    row->setText(0, words->first);
}

void frmLex::cmdDelete_Click()
{
    QTreeWidgetItem* row = selectedRow();
    if (!row)
        return;
    const int index = ListView1->indexOfTopLevelItem(row);
    delete row;
    // The next row takes its place, so pairs can be removed one after another by keyboard.
    const int count = ListView1->topLevelItemCount();
    if (count > 0)
        ListView1->setCurrentItem(ListView1->topLevelItem(std::min(index, count - 1)));
    updateButtons();
}

void frmLex::cmdOK_Click()
{
    clsDict& dict = PronDict();
    dict.ClearWords();
    for (int i = 0; i < ListView1->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = ListView1->topLevelItem(i);
        auto pair = std::make_shared<clsWordPair>();
        pair->OriginalWord = row->text(0);
        pair->NewWord = row->text(1);
        dict.AddWordPair(pair);
    }
    if (!dict.SaveWords()) {
        // Closing now would lose the edits at the next start of reading without a word.
        cUserPrompt::current().message(
            translated("The pronunciations could not be saved in \"%1\". Check that the "
                       "folder can be written to and press OK again, or press Cancel to "
                       "leave the file as it was.")
                .arg(QDir::toNativeSeparators(clsDict::fileName())));
        return;
    }
    accept();
}

void frmLex::cmdCancel_Click()
{
    reject();
}

bool frmLex::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ListView1 && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() & ~Qt::KeypadModifier)
            return QDialog::eventFilter(watched, event);
        if (key->key() == Qt::Key_Delete && selectedRow()) {
            cmdDelete_Click();
            return true;
        }
        if (key->key() == Qt::Key_Insert) {
            cmdAdd_Click();
            return true;
        }
        // Enter on a row edits it; with no row selected it is the window's OK.
        if (isEnterKey(key->key()) && selectedRow()) {
            cmdEdit_Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
