#include "files/fileselect.h"

#include "files/filesubs.h"
#include "settings/lang.h"

#include <QAbstractItemView>
#include <QCollator>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QTreeWidget>

#include <algorithm>

namespace {

constexpr int PathRole = Qt::UserRole;
constexpr int FilledRole = Qt::UserRole + 1;

QCollator nameCollator()
{
    // "Chapter 2" before "Chapter 10", and letter case does not split the list. The C
    // locale would compare code points, which puts "Émile" after "Zola".
    QCollator collator(QLocale().language() == QLocale::C ? QLocale(QLocale::English) : QLocale());
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    return collator;
}

QStringList sortedNames(QStringList names)
{
    const QCollator collator = nameCollator();
    std::sort(names.begin(), names.end(), collator);
    return names;
}

QString cleanFolder(const QString& folder)
{
    return QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
}

QString childPath(const QString& folder, const QString& name)
{
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

QTreeWidgetItem* newFolderItem(const QString& name, const QString& path, const QIcon& icon)
{
    auto* item = new QTreeWidgetItem(QStringList(name));
    item->setIcon(0, icon);
    item->setData(0, PathRole, path);
    item->setData(0, FilledRole, false);
    // Whether it has subfolders is found out when it is first opened.
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return item;
}

QString translated(const char* english)
{
    return cSharedLang::instance().GetTranslation(QString::fromUtf8(english));
}

// The patterns of a filter: those in its parentheses, else the filter itself.
QString filterPattern(const QString& filter)
{
    const qsizetype open = filter.lastIndexOf(u'(');
    const qsizetype close = filter.lastIndexOf(u')');
    if (open < 0 || close < open)
        return filter;
    return filter.mid(open + 1, close - open - 1).simplified().replace(u' ', u';');
}

bool isEnterKey(const QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

} // namespace

frmFileSelect::frmFileSelect(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmFileSelect"));
    setSizeGripEnabled(true);
    m_folderIcon = style()->standardIcon(QStyle::SP_DirIcon);
    m_fileIcon = style()->standardIcon(QStyle::SP_FileIcon);
    if (parent)
        setWindowIcon(parent->window()->windowIcon());

    txtPath = new QLineEdit(this);
    txtPath->setObjectName(QStringLiteral("txtPath"));
    txtPath->setAccessibleName(QStringLiteral("Location"));
    txtPath->setToolTip(QStringLiteral("Type a folder or a file and press Enter"));
    txtPath->installEventFilter(this);
    auto* lblPath = new QLabel(QStringLiteral("&Location:"), this);
    lblPath->setBuddy(txtPath);

    Dir1 = new QTreeWidget(this);
    Dir1->setObjectName(QStringLiteral("Dir1"));
    Dir1->setAccessibleName(QStringLiteral("Folders"));
    Dir1->setHeaderLabel(QStringLiteral("Folders"));
    Dir1->setHeaderHidden(true);
    Dir1->setColumnCount(1);
    Dir1->setUniformRowHeights(true);
    Dir1->setSelectionMode(QAbstractItemView::SingleSelection);
    Dir1->installEventFilter(this);
    auto* lblDir = new QLabel(QStringLiteral("F&olders:"), this);
    lblDir->setBuddy(Dir1);

    File1 = new QListWidget(this);
    File1->setObjectName(QStringLiteral("File1"));
    File1->setAccessibleName(QStringLiteral("Files"));
    File1->setSelectionMode(QAbstractItemView::SingleSelection);
    const int iconSize = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
    File1->setIconSize(QSize(iconSize, iconSize));
    File1->installEventFilter(this);
    auto* lblFile = new QLabel(QStringLiteral("&Files:"), this);
    lblFile->setBuddy(File1);

    cboFilter = new QComboBox(this);
    cboFilter->setObjectName(QStringLiteral("cboFilter"));
    cboFilter->setAccessibleName(QStringLiteral("File types"));
    cboFilter->view()->setAccessibleName(QStringLiteral("File types"));
    cboFilter->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    lblFilter = new QLabel(QStringLiteral("Files of &type:"), this);
    lblFilter->setBuddy(cboFilter);
    lblFilter->hide();
    cboFilter->hide();

    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setWordWrap(true);
    lblStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Its texts name folders and patterns; they are translated as they are made.
    lblStatus->setProperty(cSharedLang::kNoTranslate, true);

    auto* buttons = new QDialogButtonBox(this);
    cmdOK = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdCancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &frmFileSelect::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &frmFileSelect::reject);

    auto* grid = new QGridLayout(this);
    grid->addWidget(lblPath, 0, 0);
    grid->addWidget(txtPath, 0, 1, 1, 2);
    grid->addWidget(lblDir, 1, 0, 1, 2);
    grid->addWidget(lblFile, 1, 2);
    grid->addWidget(Dir1, 2, 0, 1, 2);
    grid->addWidget(File1, 2, 2);
    grid->addWidget(lblFilter, 3, 0, 1, 2, Qt::AlignRight);
    grid->addWidget(cboFilter, 3, 2);
    grid->addWidget(lblStatus, 4, 0, 1, 3);
    grid->addWidget(buttons, 5, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(2, 1);

    setTabOrder(txtPath, Dir1);
    setTabOrder(Dir1, File1);
    setTabOrder(File1, cboFilter);
    setTabOrder(cboFilter, cmdOK);
    setTabOrder(cmdOK, cmdCancel);

    connect(Dir1, &QTreeWidget::currentItemChanged, this, &frmFileSelect::Dir1_Change);
    connect(Dir1, &QTreeWidget::itemExpanded, this, &frmFileSelect::fillFolderItem);
    connect(File1, &QListWidget::itemDoubleClicked, this, &frmFileSelect::File1_DblClick);
    connect(cboFilter, &QComboBox::activated, this, &frmFileSelect::cboFilter_Click);
    auto* refresh = new QShortcut(QKeySequence::Refresh, this);
    connect(refresh, &QShortcut::activated, this, [this] {
        if (QTreeWidgetItem* item = Dir1->currentItem()) {
            qDeleteAll(item->takeChildren());
            item->setData(0, FilledRole, false);
            fillFolderItem(item);
        }
        fillFileList();
    });

    auto* root = newFolderItem(QStringLiteral("/"), QStringLiteral("/"), m_folderIcon);
    Dir1->addTopLevelItem(root);

    const QFontMetrics metrics = fontMetrics();
    resize(metrics.averageCharWidth() * 90, metrics.lineSpacing() * 26);
    setMinimumSize(metrics.averageCharWidth() * 50, metrics.lineSpacing() * 14);

    // The working folder may have been deleted under the program.
    goToFolder(QFileInfo(QDir::currentPath()).isDir() ? QDir::currentPath() : QDir::homePath());
    File1->setFocus();
    cSharedLang::instance().TranslateForm(this);
}

frmFileSelect::~frmFileSelect() = default;

void frmFileSelect::SetFilepattern(const QString& pattern)
{
    m_filepattern = pattern;
    m_nameFilters.clear();
    for (const QString& part : pattern.split(';', Qt::SkipEmptyParts)) {
        if (!part.trimmed().isEmpty())
            m_nameFilters << part.trimmed();
    }
    fillFileList();
}

void frmFileSelect::SetFilters(const QStringList& filters)
{
    cboFilter->clear();
    for (const QString& filter : filters)
        cboFilter->addItem(cSharedLang::instance().GetTranslation(filter), filterPattern(filter));
    lblFilter->setVisible(!filters.isEmpty());
    cboFilter->setVisible(!filters.isEmpty());
    if (!filters.isEmpty())
        cboFilter_Click(0);
}

void frmFileSelect::cboFilter_Click(int index)
{
    if (index < 0 || index >= cboFilter->count())
        return;
    SetFilepattern(cboFilter->itemData(index).toString());
}

void frmFileSelect::SetDefaultPath(const QString& path)
{
    m_defaultPath = path;
    // As given first: a Linux folder name may hold blanks at its ends or a backslash.
    const QString trimmed = path.trimmed();
    for (const QString& folder : {path, trimmed, QString(trimmed).replace('\\', '/')}) {
        if (QDir::isAbsolutePath(folder) && QFileInfo(folder).isDir()) {
            goToFolder(folder);
            return;
        }
    }
}

void frmFileSelect::GetFilename()
{
    showModal();
}

void frmFileSelect::GetPath()
{
    showModal();
}

void frmFileSelect::showModal()
{
    QWidget::setWindowTitle(cSharedLang::instance().GetTranslation(m_windowTitle));
    // The folder may have changed since the window was last shown.
    fillFileList();
    File1->setFocus();
    exec();
}

QString frmFileSelect::currentFolder() const
{
    const QTreeWidgetItem* item = Dir1->currentItem();
    return item ? item->data(0, PathRole).toString() : QString();
}

void frmFileSelect::accept()
{
    const QList<QListWidgetItem*> chosen = File1->selectedItems();
    m_selectedFilename = chosen.isEmpty() ? QString() : chosen.first()->text();
    m_selectedPath = currentFolder();
    m_selectedDrive = cSharedFileSubs::DriveOnly(m_selectedPath);
    m_cancelled = false;
    QDialog::accept();
}

void frmFileSelect::reject()
{
    // Cancel, Escape and the close box all end here; the window is hidden, not destroyed.
    m_cancelled = true;
    QDialog::reject();
}

bool frmFileSelect::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == txtPath && isEnterKey(event)) {
        // Enter here means "go there", not "OK".
        txtPath_Enter();
        return true;
    }
    if (watched == Dir1 && isEnterKey(event)) {
        // The folder is already open on the right; Enter takes the user there.
        File1->setFocus(Qt::OtherFocusReason);
        return true;
    }
    if (watched == File1) {
        if (event->type() == QEvent::FocusIn && File1->currentItem() &&
            File1->selectedItems().isEmpty()) {
            // What is highlighted is what Enter chooses.
            File1->currentItem()->setSelected(true);
        } else if (event->type() == QEvent::KeyPress &&
                   static_cast<QKeyEvent*>(event)->key() == Qt::Key_Backspace) {
            const QString folder = currentFolder();
            if (folder != QLatin1String("/"))
                goToFolder(QFileInfo(folder).absolutePath());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmFileSelect::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Only now does the tree know its height, so centring before this misses.
    if (QTreeWidgetItem* item = Dir1->currentItem())
        Dir1->scrollToItem(item, QAbstractItemView::PositionAtCenter);
}

void frmFileSelect::Dir1_Change()
{
    const QString folder = currentFolder();
    txtPath->setText(folder);
    fillFileList();
}

void frmFileSelect::File1_DblClick()
{
    accept();
}

void frmFileSelect::txtPath_Enter()
{
    QString typed = txtPath->text().trimmed();
    if (typed.isEmpty())
        return;
    if (typed == QLatin1String("~") || typed.startsWith(QLatin1String("~/")))
        typed = QDir::homePath() + typed.mid(1);
    const QFileInfo info(QDir(currentFolder()), typed);
    if (info.isDir()) {
        goToFolder(info.absoluteFilePath());
        File1->setFocus(Qt::OtherFocusReason);
    } else if (info.isFile()) {
        goToFolder(info.absolutePath());
        selectFile(info.fileName());
        if (File1->selectedItems().isEmpty()) {
            // Not in the list because the pattern hides it; the user named it, so take it.
            auto* item = new QListWidgetItem(info.fileName(), File1);
            File1->setCurrentItem(item);
        }
        accept();
    } else {
        showStatus(translated("There is no folder or file called \"%1\".").arg(typed));
        txtPath->selectAll();
    }
}

void frmFileSelect::goToFolder(const QString& folder)
{
    QTreeWidgetItem* item = itemForFolder(folder);
    if (!item)
        return;
    for (QTreeWidgetItem* up = item->parent(); up; up = up->parent())
        up->setExpanded(true);
    Dir1->setCurrentItem(item);
    item->setExpanded(true);
    // Centred, so that the folders around it show where it is.
    Dir1->scrollToItem(item, QAbstractItemView::PositionAtCenter);
    // setCurrentItem does not announce an item that was current already.
    Dir1_Change();
}

QTreeWidgetItem* frmFileSelect::itemForFolder(const QString& folder)
{
    const QString target = cleanFolder(folder);
    if (!QFileInfo(target).isDir())
        return nullptr;
    QTreeWidgetItem* item = Dir1->topLevelItem(0);
    const QStringList parts = target.split('/', Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        fillFolderItem(item);
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; i < item->childCount() && !next; ++i) {
            if (item->child(i)->text(0) == part)
                next = item->child(i);
        }
        if (!next) {
            // A hidden folder is not listed, but when it is on the way it must be shown.
            const QCollator collator = nameCollator();
            int at = 0;
            while (at < item->childCount() && collator.compare(item->child(at)->text(0), part) < 0)
                ++at;
            next = newFolderItem(part, childPath(item->data(0, PathRole).toString(), part),
                                 m_folderIcon);
            item->insertChild(at, next);
            item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
        }
        item = next;
    }
    return item;
}

void frmFileSelect::fillFolderItem(QTreeWidgetItem* item)
{
    if (!item || item->data(0, FilledRole).toBool())
        return;
    item->setData(0, FilledRole, true);
    const QString path = item->data(0, PathRole).toString();
    const QStringList names =
        sortedNames(QDir(path).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::NoSort));
    QList<QTreeWidgetItem*> children;
    children.reserve(names.size());
    for (const QString& name : names)
        children << newFolderItem(name, childPath(path, name), m_folderIcon);
    item->addChildren(children);
    item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

void frmFileSelect::fillFileList()
{
    const QString folder = currentFolder();
    File1->clear();
    if (folder.isEmpty())
        return;
    const QDir dir(folder);
    const QStringList filters =
        m_nameFilters.isEmpty() ? QStringList(QStringLiteral("*")) : m_nameFilters;
    // Without QDir::CaseSensitive the patterns match "BOOK.TXT" as well as "book.txt".
    const QStringList names = sortedNames(dir.entryList(filters, QDir::Files, QDir::NoSort));
    for (const QString& name : names)
        new QListWidgetItem(m_fileIcon, name, File1);
    if (File1->count() > 0) {
        File1->setCurrentRow(0, QItemSelectionModel::NoUpdate);
        if (File1->hasFocus())
            File1->currentItem()->setSelected(true);
        showStatus({});
    } else if (!dir.isReadable()) {
        showStatus(translated("This folder cannot be read."));
    } else {
        showStatus(translated("No files here match %1.")
                       .arg(m_nameFilters.isEmpty() ? QStringLiteral("*")
                                                    : m_nameFilters.join(QLatin1String("; "))));
    }
}

void frmFileSelect::selectFile(const QString& name)
{
    const QList<QListWidgetItem*> found = File1->findItems(name, Qt::MatchExactly);
    if (!found.isEmpty()) {
        File1->setCurrentItem(found.first());
        found.first()->setSelected(true);
    }
}

void frmFileSelect::showStatus(const QString& text)
{
    lblStatus->setText(text);
    lblStatus->setVisible(!text.isEmpty());
}
