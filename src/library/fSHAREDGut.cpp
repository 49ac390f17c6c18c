#include "library/fSHAREDGut.h"

#include "diagnostics/userprompt.h"
#include "files/filesubs.h"
#include "net/fSHAREDProxy.h"
#include "settings/lang.h"
#include "util/identity.h"
#include "util/programpaths.h"

#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QTreeView>
#include <QUrl>
#include <QUrlQuery>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace {

template <typename Widget> Widget* named(Widget* widget, const char* name, const QString& access)
{
    widget->setObjectName(QString::fromLatin1(name));
    widget->setAccessibleName(access);
    return widget;
}

// Screen readers name a button by its caption, in whatever language it is shown.
QPushButton* button(QWidget* parent, const char* name, const QString& caption,
                    const QString& tip = {})
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(tip);
    b->setAutoDefault(false);
    return b;
}

QLineEdit* textBox(QWidget* parent, const char* name, const QString& access,
                   const QString& tip = {})
{
    auto* box = named(new QLineEdit(parent), name, access);
    box->setToolTip(tip);
    return box;
}

QLabel* caption(QWidget* parent, const QString& text, QWidget* buddy = nullptr)
{
    auto* label = new QLabel(text, parent);
    if (buddy)
        label->setBuddy(buddy);
    return label;
}

// Enter on a row of the list selects it, as a click does.
class EnterSelects : public QObject {
public:
    EnterSelects(QTreeView* view, std::function<void()> select)
        : QObject(view), m_select(std::move(select))
    {
        view->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter)
            return false;
        m_select();
        return true;
    }

private:
    std::function<void()> m_select;
};

} // namespace

fSHAREDGut::fSHAREDGut(QWidget* parent) : QDialog(parent), m_library(*this)
{
    setObjectName(QStringLiteral("frmGUT"));
    setWindowTitle(QStringLiteral("Project Gutenberg"));
    buildControls();
}

fSHAREDGut::~fSHAREDGut() = default;

void fSHAREDGut::buildControls()
{
    Picture1 = named(new QLabel(this), "Picture1", QStringLiteral("Project Gutenberg"));
    txtSearch = textBox(this, "txtSearch", QStringLiteral("Search words"));
    auto* lblSearch = caption(this, QStringLiteral("Searc&h:"), txtSearch);
    cmdFind = button(this, "cmdFind", QStringLiteral("&Find"));
    cmdFindNext = button(this, "cmdFindNext", QStringLiteral("&Next"));

    Frame1 = named(new QGroupBox(QStringLiteral("Book Info"), this), "Frame1",
                   QStringLiteral("Book Info"));
    lblTitle = named(new QLabel(QStringLiteral("-"), Frame1), "lblTitle", QStringLiteral("Title"));
    lblTitle->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblTitle->setWordWrap(true);
    txtUrl = textBox(Frame1, "txtUrl", QStringLiteral("URL"));
    lblFilename =
        named(new QLabel(QStringLiteral("-"), Frame1), "lblFilename", QStringLiteral("Filename"));
    lblFilename->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Catalogue texts, not the program's own.
    for (QWidget* w : {static_cast<QWidget*>(lblTitle), static_cast<QWidget*>(lblFilename)})
        w->setProperty(cSharedLang::kNoTranslate, true);
    cmdDownload = button(Frame1, "cmdDownload", QStringLiteral("Download &Book"));
    cmdDownloadAndRead = button(Frame1, "cmdDownloadAndRead", QStringLiteral("Download and &Read"));
    cmdAmazon = button(Frame1, "cmdAmazon", QStringLiteral("A&mazon"),
                       QStringLiteral("Search for this book in Amazon's store"));
    auto* info = new QGridLayout(Frame1);
    info->addWidget(caption(Frame1, QStringLiteral("Title:")), 0, 0);
    info->addWidget(lblTitle, 0, 1, 1, 3);
    info->addWidget(caption(Frame1, QStringLiteral("&URL:"), txtUrl), 1, 0);
    info->addWidget(txtUrl, 1, 1, 1, 3);
    info->addWidget(caption(Frame1, QStringLiteral("Filename:")), 2, 0);
    info->addWidget(lblFilename, 2, 1, 1, 3);
    auto* bookButtons = new QHBoxLayout;
    bookButtons->addWidget(cmdDownload);
    bookButtons->addWidget(cmdDownloadAndRead);
    bookButtons->addWidget(cmdAmazon);
    bookButtons->addStretch();
    info->addLayout(bookButtons, 3, 0, 1, 4);
    info->setColumnStretch(1, 1);

    txtDownloadPath = textBox(this, "txtDownloadPath", QStringLiteral("Save books to"));
    txtCatalogURL = textBox(this, "txtCatalogURL", QStringLiteral("Catalogue URL"),
                            QStringLiteral("Don't include the actual name of the catalogue file."));
    txtDLSource = textBox(this, "txtDLSource", QStringLiteral("Download Source"),
                          QStringLiteral("You can specify a mirror of the Gutenberg site here"));
    cmdUpdateCat = button(this, "cmdUpdateCat", QStringLiteral("&Download Catalogue"),
                          QStringLiteral("Retrieves the two catalogue files from the Catalogue "
                                         "URL and generates a new catalogue"));
    cmdRegenCatalogue = button(
        this, "cmdRegenCatalogue", QStringLiteral("Re&gen Catalogue"),
        QStringLiteral("Don't blame me if it looks strange, 'Catalog' is the US spelling ;-)"));
    cmdWebCat = button(this, "cmdWebCat", QStringLiteral("Use &Web"),
                       QStringLiteral("Use this when Download Catalogue fails: download LS-R and "
                                      "GUTINDEX.ALL into the program folder yourself"));
    cmdDefaults = button(this, "cmdDefaults", QStringLiteral("Reset to Defau&lts"));
    cmdProxy = button(this, "cmdProxy", QStringLiteral("&Proxy Setup"));
    cmdExit = button(this, "cmdExit", QStringLiteral("E&xit"));

    ListView1 = named(new QTreeView(this), "ListView1", QStringLiteral("Catalogue"));
    ListView1->setModel(&m_library.books());
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    QHeaderView* header = ListView1->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(cBookList::BookColumn, QHeaderView::Stretch);
    const int x = fontMetrics().horizontalAdvance(u'x');
    for (auto [column, width] : {std::pair{cBookList::FilenameColumn, 24},
                                 {cBookList::AuthorColumn, 36},
                                 {cBookList::LanguageColumn, 10}}) {
        header->setSectionResizeMode(column, QHeaderView::Interactive);
        header->resizeSection(column, x * width);
    }
    // Shown as Book, Author, Language, Filename.
    header->moveSection(header->visualIndex(cBookList::AuthorColumn), 1);
    header->moveSection(header->visualIndex(cBookList::LanguageColumn), 2);
    header->setSortIndicator(cBookList::BookColumn, Qt::AscendingOrder);
    ListView1->setSortingEnabled(true);

    txtFilter = textBox(this, "txtFilter", QStringLiteral("Filter"));
    txtFilter->setPlaceholderText(QStringLiteral("Title or author"));
    txtFilter->setClearButtonEnabled(true);
    cboLanguage = named(new QComboBox(this), "cboLanguage", QStringLiteral("Language"));
    cboLanguage->addItem(QStringLiteral("All languages"), QString());

    lblCatalogueDate = named(new QLabel(QStringLiteral("Catalogue date"), this), "lblCatalogueDate",
                             QStringLiteral("Catalogue date"));
    lblStatus = named(new QLabel(this), "lblStatus", QStringLiteral("Status"));
    lblStatus->setProperty(cSharedLang::kNoTranslate, true);
    lblStatus->setMinimumWidth(1);
    prgStatus = named(new QProgressBar(this), "prgStatus", QStringLiteral("Progress"));
    prgStatus->setMaximumWidth(fontMetrics().horizontalAdvance(u'x') * 30);
    prgStatus->hide();

    // Layout: the search and the chosen book on the left, the sources on the right, the
    // list below them taking what room there is.
    auto* search = new QHBoxLayout;
    search->addWidget(Picture1);
    search->addWidget(lblSearch);
    search->addWidget(txtSearch, 1);
    search->addWidget(cmdFind);
    search->addWidget(cmdFindNext);
    auto* left = new QVBoxLayout;
    left->addLayout(search);
    left->addWidget(Frame1);

    auto* sources = new QGridLayout;
    sources->addWidget(caption(this, QStringLiteral("&Save books to:"), txtDownloadPath), 0, 0);
    sources->addWidget(txtDownloadPath, 0, 1, 1, 3);
    sources->addWidget(caption(this, QStringLiteral("&Catalogue URL:"), txtCatalogURL), 1, 0);
    sources->addWidget(txtCatalogURL, 1, 1, 1, 3);
    sources->addWidget(caption(this, QStringLiteral("Download S&ource:"), txtDLSource), 2, 0);
    sources->addWidget(txtDLSource, 2, 1, 1, 3);
    sources->addWidget(cmdUpdateCat, 3, 0);
    sources->addWidget(cmdRegenCatalogue, 3, 1);
    sources->addWidget(cmdWebCat, 3, 2);
    sources->addWidget(cmdDefaults, 4, 0);
    sources->addWidget(cmdProxy, 4, 1);
    sources->addWidget(cmdExit, 4, 2);
    sources->setColumnStretch(3, 1);
    auto* top = new QHBoxLayout;
    top->addLayout(left, 3);
    top->addLayout(sources, 2);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lblCatalogueDate);
    bottom->addSpacing(fontMetrics().horizontalAdvance(u'x') * 2);
    bottom->addWidget(lblStatus, 1);
    bottom->addWidget(prgStatus);

    auto* filter = new QHBoxLayout;
    filter->addWidget(caption(this, QStringLiteral("Fil&ter:"), txtFilter));
    filter->addWidget(txtFilter, 1);
    filter->addWidget(caption(this, QStringLiteral("L&anguage:"), cboLanguage));
    filter->addWidget(cboLanguage);

    // Magnified on a small screen the controls need more room than there is: the window
    // then scrolls, and every control stays within reach.
    auto* content = new QWidget(this);
    content->setObjectName(QStringLiteral("content"));
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("scroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);
    auto* layout = new QVBoxLayout(content);
    layout->addLayout(top);
    layout->addLayout(filter);
    layout->addWidget(ListView1, 1);
    layout->addLayout(bottom);
    scroll->setWidget(content);

    setTabOrder(txtSearch, cmdFind);
    setTabOrder(cmdFind, cmdFindNext);
    setTabOrder(cmdFindNext, txtFilter);
    setTabOrder(txtFilter, cboLanguage);
    setTabOrder(cboLanguage, ListView1);
    setTabOrder(ListView1, txtUrl);
    setTabOrder(txtUrl, cmdDownload);
    setTabOrder(cmdDownload, cmdDownloadAndRead);
    setTabOrder(cmdDownloadAndRead, cmdAmazon);
    setTabOrder(cmdAmazon, txtDownloadPath);
    setTabOrder(txtDownloadPath, txtCatalogURL);
    setTabOrder(txtCatalogURL, txtDLSource);
    setTabOrder(txtDLSource, cmdUpdateCat);
    setTabOrder(cmdUpdateCat, cmdRegenCatalogue);
    setTabOrder(cmdRegenCatalogue, cmdWebCat);
    setTabOrder(cmdWebCat, cmdDefaults);
    setTabOrder(cmdDefaults, cmdProxy);
    setTabOrder(cmdProxy, cmdExit);

    connect(cmdFind, &QPushButton::clicked, this, &fSHAREDGut::cmdFind_Click);
    connect(cmdFindNext, &QPushButton::clicked, this, &fSHAREDGut::cmdFindNext_Click);
    connect(txtSearch, &QLineEdit::returnPressed, this, &fSHAREDGut::cmdFind_Click);
    connect(txtFilter, &QLineEdit::textChanged, this, &fSHAREDGut::applyFilter);
    connect(cboLanguage, &QComboBox::currentIndexChanged, this, &fSHAREDGut::applyFilter);
    connect(cmdDownload, &QPushButton::clicked, this,
            [this] { m_library.cmdDownload_Click(false); });
    connect(cmdDownloadAndRead, &QPushButton::clicked, this,
            [this] { m_library.cmdDownload_Click(true); });
    connect(cmdAmazon, &QPushButton::clicked, this, &fSHAREDGut::cmdAmazon_Click);
    connect(cmdUpdateCat, &QPushButton::clicked, this, [this] { m_library.cmdUpdateCat_Click(); });
    connect(cmdRegenCatalogue, &QPushButton::clicked, this, [this] {
        m_library.cmdRegenCatalogue_Click();
        cmdRegenCatalogue->setEnabled(m_library.CheckSourceFiles());
    });
    connect(cmdWebCat, &QPushButton::clicked, this, &fSHAREDGut::cmdWebCat_Click);
    connect(cmdDefaults, &QPushButton::clicked, this, [this] { m_library.ResetToDefaults(); });
    connect(cmdProxy, &QPushButton::clicked, this, &fSHAREDGut::cmdProxy_Click);
    connect(cmdExit, &QPushButton::clicked, this, &fSHAREDGut::CloseWindow);
    connect(ListView1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!m_showing && current.isValid())
                    m_library.ShowBookInfo(current.row());
            });
    new EnterSelects(ListView1, [this] {
        const QModelIndex current = ListView1->currentIndex();
        if (current.isValid()) {
            ListView1->selectionModel()->select(current, QItemSelectionModel::ClearAndSelect |
                                                             QItemSelectionModel::Rows);
            m_library.ShowBookInfo(current.row());
        }
    });
    // What the user types is what the library works with.
    auto keep = [this](QLineEdit* box, QString cLibrary::Fields::*field) {
        connect(box, &QLineEdit::textEdited, this,
                [this, field](const QString& text) { m_library.fields.*field = text; });
    };
    keep(txtUrl, &cLibrary::Fields::url);
    keep(txtDownloadPath, &cLibrary::Fields::downloadPath);
    keep(txtCatalogURL, &cLibrary::Fields::catalogURL);
    keep(txtDLSource, &cLibrary::Fields::dlSource);
    connect(txtUrl, &QLineEdit::textEdited, this, [this](const QString& text) {
        m_library.fields.filename = cSharedFileSubs::FileOnly(text);
        lblFilename->setText(m_library.fields.filename);
    });

    resize(fontMetrics().horizontalAdvance(u'x') * 130, fontMetrics().height() * 48);
    if (const QScreen* shown = screen())
        resize(size().boundedTo(shown->availableGeometry().size() * 0.9));
}

void fSHAREDGut::Form_Load()
{
    cSharedLang::instance().TranslateForm(this);
    if (parentWidget())
        setWindowIcon(parentWidget()->window()->windowIcon());
    const int side = fontMetrics().height() * 2;
    Picture1->setPixmap(windowIcon().pixmap(QSize(side, side)));
    m_library.ReadSettings();
    cmdRegenCatalogue->setEnabled(m_library.CheckSourceFiles());
    m_library.LoadCatalogue();
}

int fSHAREDGut::selectedRow() const
{
    const QModelIndexList rows = ListView1->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void fSHAREDGut::selectRow(int row)
{
    if (row < 0)
        return;
    const QModelIndex index = m_library.books().index(row, 0);
    m_showing = true;
    ListView1->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                            QItemSelectionModel::Rows);
    m_showing = false;
    ListView1->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

void fSHAREDGut::applyFilter()
{
    m_library.books().setFilter(txtFilter->text(), cboLanguage->currentData().toString());
}

void fSHAREDGut::fillLanguages()
{
    const QString chosen = cboLanguage->currentData().toString();
    const QSignalBlocker quiet(cboLanguage);
    while (cboLanguage->count() > 1)
        cboLanguage->removeItem(1);
    for (const QString& code : m_library.books().languages())
        cboLanguage->addItem(code, code);
    cboLanguage->setCurrentIndex(std::max(0, cboLanguage->findData(chosen)));
}

void fSHAREDGut::cmdFind_Click()
{
    selectRow(m_library.Find(txtSearch->text()));
}

void fSHAREDGut::cmdFindNext_Click()
{
    selectRow(m_library.FindNext(txtSearch->text(), selectedRow()));
}

void fSHAREDGut::cmdAmazon_Click()
{
    QString title = lblTitle->text();
    title.remove(QStringLiteral("*PG-OZ*"));
    QUrl url(QStringLiteral("https://www.amazon.com/s"));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("k"), title.trimmed());
    query.addQueryItem(QStringLiteral("i"), QStringLiteral("stripbooks"));
    query.addQueryItem(QStringLiteral("tag"), QStringLiteral("parlo-20"));
    url.setQuery(query);
    QDesktopServices::openUrl(url);
}

void fSHAREDGut::cmdProxy_Click()
{
    fSHAREDProxy proxy(this);
    proxy.Form_Load();
    proxy.exec();
}

void fSHAREDGut::cmdWebCat_Click()
{
    const auto& lang = cSharedLang::instance();
    message(lang.GetTranslation(QStringLiteral(
                "Your web browser will now open with the Gutenberg index displayed.")) +
            QStringLiteral("\r\n") +
            lang.GetTranslation(QStringLiteral(
                "Download the files 'LS-R' (NOT LS-lR!) and 'GUTINDEX.ALL' and save them to ")) +
            ProgramPaths::programFolder() + QStringLiteral("\r\n") +
            lang.GetTranslation(QStringLiteral(
                "Afterwards, click Regen Catalogue to create a catalogue from the data.")));
    QDesktopServices::openUrl(QUrl(cLibrary::kDefaultURL));
    const auto answer =
        QMessageBox::question(this, windowTitle(),
                              lang.GetTranslation(QStringLiteral(
                                  "Click OK once you've downloaded 'LS-R' and 'Gutindex.all'")),
                              QMessageBox::Ok | QMessageBox::Cancel);
    if (answer == QMessageBox::Ok)
        cmdRegenCatalogue->setEnabled(m_library.CheckSourceFiles());
}

void fSHAREDGut::reject()
{
    if (m_library.busy()) {
        m_library.cancelDownload();
        return;
    }
    QDialog::reject();
}

void fSHAREDGut::CloseWindow()
{
    m_library.StoreSettings();
    accept();
    QCoreApplication::processEvents();
}

// ---- what the library reports --------------------------------------------------------------

void fSHAREDGut::status(const QString& text)
{
    lblStatus->setText(text);
}

void fSHAREDGut::progress(int percent)
{
    if (percent == kProgressOff) {
        prgStatus->hide();
        return;
    }
    if (percent == kProgressBusy) {
        prgStatus->setRange(0, 0);
    } else {
        prgStatus->setRange(0, 100);
        prgStatus->setValue(percent);
    }
    prgStatus->show();
}

void fSHAREDGut::message(const QString& text)
{
    cUserPrompt::current().message(text);
}

bool fSHAREDGut::askYesNo(const QString& text)
{
    if (askYesNoHook)
        return askYesNoHook(text);
    return QMessageBox::question(this, windowTitle(), text, QMessageBox::Yes | QMessageBox::No) !=
           QMessageBox::No;
}

void fSHAREDGut::busyPointer(bool busy)
{
    if (busy)
        cSHAREDSubs::instance().BusyMouse();
    else
        cSHAREDSubs::instance().NormalMouse();
}

void fSHAREDGut::fieldsChanged()
{
    const cLibrary::Fields& f = m_library.fields;
    lblTitle->setText(f.title);
    txtUrl->setText(f.url);
    lblFilename->setText(f.filename);
    txtDownloadPath->setText(f.downloadPath);
    txtCatalogURL->setText(f.catalogURL);
    txtDLSource->setText(f.dlSource);
}

void fSHAREDGut::catalogueLoaded()
{
    setWindowTitle(m_library.captionText());
    lblCatalogueDate->setText(m_library.catalogueDateText());
    // A new catalogue comes sorted by title and unfiltered; what the user chose holds for it.
    ListView1->header()->setSortIndicator(cBookList::BookColumn, Qt::AscendingOrder);
    fillLanguages();
    applyFilter();
    // A downloaded catalogue leaves its sources behind to rebuild from.
    cmdRegenCatalogue->setEnabled(m_library.CheckSourceFiles());
}

void fSHAREDGut::bookReady(const QString&)
{
    hide();
    // Hiding a modal window ends its wait as Exit does.
    accept();
}
