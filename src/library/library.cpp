#include "library/library.h"

#include "diagnostics/log.h"
#include "files/filesubs.h"
#include "net/fSHAREDInternet.h"
#include "net/unzip.h"
#include "settings/lang.h"
#include "settings/settings.h"
#include "util/programpaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

const QString cLibrary::kDefaultURL = QStringLiteral("https://www.gutenberg.org/dirs/");
const QString cLibrary::kDefaultAustraliaURL = QStringLiteral("https://gutenberg.net.au/");

namespace {

const QString kBookPath = QStringLiteral("BookPath");
const QString kCatalogURL = QStringLiteral("GutenCatalogURL2");
const QString kDownloadSource = QStringLiteral("GutenDownloadPath2");
// Not in the window: tests and mirrors of the Australian site set it by hand.
const QString kAustraliaURL = QStringLiteral("GutenAustraliaURL");
const QString kOzMarker = QStringLiteral("*PG-OZ*");
// Small files are read to see whether a server sent an error page in place of them.
constexpr qint64 kErrorPageLimit = 5000;
constexpr int kFriendlyNameBytes = 200;
int g_timerInterval = 1000;
const QString kUpToDate = QStringLiteral("The catalogue is up to date: the site has no newer one.");

QString australiaURL()
{
    return cSharedFileSubs::AddSlashIfMissing(
        cSHAREDSettings::shared().sGet(kAustraliaURL, cLibrary::kDefaultAustraliaURL).toString());
}

} // namespace

void cLibraryView::letEventsRun()
{
    QCoreApplication::processEvents();
}

// The builder's reports go to the library's view.
class cLibrary::Report : public cCatalogueReport {
public:
    explicit Report(cLibraryView& view) : m_view(view) {}
    void status(const QString& text) override
    {
        m_view.status(cSharedLang::instance().GetTranslation(text));
    }
    void lineStatus(const QString&, int line, int lineCount) override
    {
        m_view.status(cSharedLang::instance()
                          .GetTranslation(QStringLiteral("Line %1 of %2"))
                          .arg(line)
                          .arg(lineCount));
        if (lineCount > 0)
            m_view.progress(int(qint64(line) * 100 / lineCount));
    }
    void message(const QString& text) override
    {
        m_view.message(cSharedLang::instance().GetTranslation(text));
    }
    void busyPointer(bool busy) override { m_view.busyPointer(busy); }
    void letEventsRun() override { m_view.letEventsRun(); }

private:
    cLibraryView& m_view;
};

cLibrary::cLibrary(cLibraryView& view, QObject* parent) : QObject(parent), m_view(view)
{
    Timer1.setInterval(g_timerInterval);
    connect(&Timer1, &QTimer::timeout, this, &cLibrary::Timer1_Timer);
}

cLibrary::~cLibrary()
{
    delete m_inetForm.data();
}

void cLibrary::setTimerIntervalForTests(int ms)
{
    g_timerInterval = ms > 0 ? ms : 1000;
}

QString cLibrary::translate(const QString& text) const
{
    return cSharedLang::instance().GetTranslation(text);
}

QString cLibrary::programFile(const QString& name) const
{
    return ProgramPaths::programFile(name);
}

// ---- settings and the list ---------------------------------------------------------------

void cLibrary::ReadSettings()
{
    auto& settings = cSHAREDSettings::shared();
    fields.downloadPath = settings.sGet(kBookPath, ProgramPaths::programFolder() + '/').toString();
    fields.catalogURL = settings.sGet(kCatalogURL, kDefaultURL).toString();
    fields.dlSource = settings.sGet(kDownloadSource, kDefaultURL).toString();
    m_view.fieldsChanged();
}

void cLibrary::StoreSettings()
{
    auto& settings = cSHAREDSettings::shared();
    settings.sSet(kBookPath, fields.downloadPath);
    settings.sSet(kCatalogURL, fields.catalogURL);
    settings.sSet(kDownloadSource, fields.dlSource);
}

bool cLibrary::CheckSourceFiles() const
{
    Report report(m_view);
    const cCatalogueBuilder builder(report);
    return (builder.hasFile(cCatalogueBuilder::kListing) &&
            builder.hasFile(cCatalogueBuilder::kIndex)) ||
           builder.hasFile(cCatalogueBuilder::kCsv);
}

QString cLibrary::csvUrl() const
{
    const QString named = fields.catalogURL.trimmed();
    return named.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)
               ? named
               : PgCatalogue::csvUrlSetting();
}

bool cLibrary::LoadCatalogue(bool quiet)
{
    Report report(m_view);
    const QString file = cCatalogueBuilder(report).fileNamed(cCatalogueBuilder::kCatalogue);
    if (!QFileInfo::exists(file)) {
        m_books.setEntries({});
        m_catalogueDate = translate(QStringLiteral("No catalogue file. Click Download Catalogue."));
        m_caption =
            translate(QStringLiteral("Project Gutenberg: Download a catalogue file to begin."));
        m_view.catalogueLoaded();
        if (!quiet)
            m_view.message(
                translate(QStringLiteral("Cannot find ")) + cCatalogueBuilder::kCatalogue +
                translate(QStringLiteral(". Please download or generate a new catalogue.")));
        return false;
    }
    m_view.busyPointer(true);
    const QDate date = cSharedFileSubs::instance().FileDate(file).date();
    m_catalogueDate =
        translate(QStringLiteral("Catalogue last updated: ")) +
        cSharedLang::instance().locale().toString(date, QStringLiteral("MMMM dd, yyyy"));
    m_books.load(file);
    m_books.setDetails(cCatalogueBuilder(report).LoadBookDetails());
    m_caption = QStringLiteral("%1: %2 %3")
                    .arg(translate(QStringLiteral("Project Gutenberg")))
                    .arg(m_books.count())
                    .arg(translate(QStringLiteral("titles.")));
    m_view.busyPointer(false);
    m_view.catalogueLoaded();
    return true;
}

QString cLibrary::bookUrl(const QString& path, const QString& title) const
{
    if (PgCatalogue::isSitePath(path))
        return PgCatalogue::bookUrl(PgCatalogue::siteRoot(csvUrl()), path);
    const QString base =
        title.contains(kOzMarker, Qt::CaseInsensitive) ? australiaURL() : fields.dlSource;
    return base + path.mid(1);
}

void cLibrary::ShowBookInfo(int row)
{
    if (row < 0 || row >= m_books.count())
        return;
    const cBookEntry& book = m_books.entry(row);
    fields.title = book.title;
    fields.url = bookUrl(book.path, book.title);
    fields.filename = cSharedFileSubs::FileOnly(fields.url);
    m_view.fieldsChanged();
}

int cLibrary::Find(const QString& text)
{
    if (text.isEmpty()) {
        m_view.message(translate(QStringLiteral("Please enter one or more words to search for")));
        return -1;
    }
    const int row = m_books.find(text);
    if (row < 0)
        m_view.message(translate(QStringLiteral("No matches")));
    else
        ShowBookInfo(row);
    return row;
}

int cLibrary::FindNext(const QString& text, int selectedRow)
{
    if (text.isEmpty()) {
        m_view.message(translate(QStringLiteral("Please enter one or more words to search for")));
        return -1;
    }
    // From the last entry, and with nothing selected, the search starts at the top.
    const int from = selectedRow < 0 || selectedRow >= m_books.count() - 1 ? 0 : selectedRow + 1;
    int row = m_books.find(text, from);
    if (row < 0 && from > 0)
        row = m_books.find(text, 0);
    if (row >= 0)
        ShowBookInfo(row);
    return row;
}

void cLibrary::ResetToDefaults()
{
    fields.catalogURL = kDefaultURL;
    fields.dlSource = kDefaultURL;
    m_view.fieldsChanged();
}

void cLibrary::cmdRegenCatalogue_Click()
{
    if (!m_view.askYesNo(translate(QStringLiteral(
            "This will regenerate your catalogue using the downloaded source files. Are you "
            "sure?"))))
        return;
    rebuildCatalogue();
}

int cLibrary::rebuildCatalogue()
{
    Report report(m_view);
    cCatalogueBuilder builder(report);
    m_view.progress(cLibraryView::kProgressBusy);
    // A listing means a mirror's chain; without one the CSV is the source.
    const bool fromCsv =
        !builder.hasFile(cCatalogueBuilder::kListing) && builder.hasFile(cCatalogueBuilder::kCsv);
    int records = -1;
    if (fromCsv) {
        records = builder.ParsePgCatalog();
    } else {
        builder.ParseLSLR();
        records = builder.ParseGutindexAll();
    }
    if (records >= 0 && builder.hasFile(cCatalogueBuilder::kAustralian)) {
        const int australian = builder.ParsePGAustralia();
        records = australian < 0 ? -1 : records + australian;
    }
    m_view.progress(cLibraryView::kProgressOff);
    LoadCatalogue();
    return records;
}

// ---- the catalogue chain -----------------------------------------------------------------

void cLibrary::cmdUpdateCat_Click()
{
    Report report(m_view);
    if (cCatalogueBuilder(report).hasFile(cCatalogueBuilder::kCatalogue) &&
        !m_view.askYesNo(translate(QStringLiteral(
            "You already have a catalogue. Are you sure you want to download a new one? (9mb or "
            "more of data)"))))
        return;
    IncludeAustralia = m_view.askYesNo(
        translate(QStringLiteral("If you live in Australia, you can also access the Project "
                                 "Gutenberg Australia files. Do you live in Australia?")));
    if (fields.catalogURL.trimmed().endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)) {
        // No listing to be had there: a listing left from a mirror would win the rebuild.
        QFile::remove(programFile(cCatalogueBuilder::kListing));
        downloadCsv();
        return;
    }
    DownloadURL = fields.catalogURL + cCatalogueBuilder::kListing;
    m_localFile = programFile(cCatalogueBuilder::kListing);
    m_stage = 1;
    DownloadFile(true);
}

void cLibrary::downloadCsv()
{
    m_stage = kCsvStage;
    m_csvUnchanged = false;
    DownloadURL = csvUrl();
    m_localFile = programFile(cCatalogueBuilder::kCsv);
    DownloadFile(true);
}

void cLibrary::Timer1_Timer()
{
    Timer1.stop();
    if (DownloadDone) {
        switch (m_stage) {
        case 1:
            m_stage = 2;
            DownloadURL = fields.catalogURL + cCatalogueBuilder::kIndex;
            m_localFile = programFile(cSharedFileSubs::FileOnly(DownloadURL));
            DownloadFile(true);
            break;
        case 2:
        case kCsvStage:
            if (IncludeAustralia) {
                m_stage = 3;
                DownloadURL = australiaURL() + cCatalogueBuilder::kAustralian;
                m_localFile = programFile(cSharedFileSubs::FileOnly(DownloadURL));
                DownloadFile(true);
                break;
            }
            // A catalogue of the Australian site from an earlier chain is not one of ours now.
            QFile::remove(programFile(cCatalogueBuilder::kAustralian));
            [[fallthrough]];
        case 3: {
            m_stage = 0;
            const int records = rebuildCatalogue();
            // Rebuilt from the same file: the user learns that nothing new came.
            if (records >= 0 && m_csvUnchanged && !IncludeAustralia)
                m_view.status(translate(kUpToDate));
            Q_EMIT chainFinished(records);
            break;
        }
        default:
            break;
        }
    } else if (DownloadFailed) {
        // A site without a listing: today's catalogue for programs takes its place.
        if (m_stage == 1 && m_lastStatus == 404) {
            downloadCsv();
            return;
        }
        if (isChainStage())
            Q_EMIT chainFinished(-1);
        m_stage = 0;
    } else {
        Timer1.start();
    }
}

// ---- one book ----------------------------------------------------------------------------

void cLibrary::cmdDownload_Click(bool readAfterDownload)
{
    if (fields.url == QLatin1String("-")) {
        m_view.message(translate(QStringLiteral("Please select a book from the list first")));
        return;
    }
    if (!cSharedFileSubs::instance().FolderExists(fields.downloadPath)) {
        m_view.message(translate(QStringLiteral("Invalid output folder. Please fix it.")));
        return;
    }
    m_stage = 4;
    ReadAfterDownload = readAfterDownload;
    DownloadAndUnpack(true);
}

QString cLibrary::friendlyName(const QString& bookFileName, const QString& title)
{
    QString clean = title;
    cSharedFileSubs::CleanString(clean);
    // Nothing a file name on Linux may not hold, nor anything that moves between folders.
    for (QChar& c : clean) {
        if (c.category() == QChar::Other_Control || c == u'/' || c == u'\\')
            c = u' ';
    }
    clean = clean.simplified();
    const QString root = cSharedFileSubs::Fileroot(bookFileName);
    const QString prefix = root + QStringLiteral(" - ");
    const QString ext = QStringLiteral(".txt");
    qsizetype room = kFriendlyNameBytes - prefix.toUtf8().size() - ext.size();
    while (clean.toUtf8().size() > room && !clean.isEmpty()) {
        clean.chop(clean.size() >= 2 && clean.at(clean.size() - 1).isLowSurrogate() ? 2 : 1);
        room = kFriendlyNameBytes - prefix.toUtf8().size() - ext.size();
    }
    clean = clean.trimmed();
    if (clean.isEmpty() || clean == QLatin1String(".") || clean == QLatin1String(".."))
        return root + ext;
    return prefix + clean + ext;
}

void cLibrary::DownloadAndUnpack(bool getSize)
{
    BookFileName = fields.filename;
    DownloadURL = fields.url;
    if (fields.filename.contains(u'?')) {
        // A name with "?" in place of a character is completed from the file list.
        QString list;
        cSharedFileSubs::instance().LoadTextFile(programFile(cCatalogueBuilder::kFileList), list);
        const qsizetype at = list.lastIndexOf(fields.filename.mid(1));
        if (at > 0) {
            BookFileName = QString(fields.filename).replace(u'?', list.at(at - 1));
            DownloadURL.replace(fields.filename, BookFileName);
        }
    }
    BookFolder = fields.downloadPath;
    if (BookFolder.isEmpty())
        BookFolder = ProgramPaths::programFolder() + '/';
    BookFolder = cSharedFileSubs::AddSlashIfMissing(BookFolder);
    fields.downloadPath = BookFolder;
    m_view.fieldsChanged();
    if (BookFileName.isEmpty() || BookFileName == QLatin1String(".") ||
        BookFileName == QLatin1String("..")) {
        m_view.status(translate(QStringLiteral("Please select a book from the list first")));
        return;
    }
    m_friendlyName = friendlyName(BookFileName, fields.title);
    m_localFile = BookFolder + BookFileName;
    DownloadFile(getSize);
}

fSHAREDInternet* cLibrary::inetForm()
{
    if (m_inetForm)
        return m_inetForm;
    m_inetForm = new fSHAREDInternet;
    connect(m_inetForm, &fSHAREDInternet::Status, this, &cLibrary::InetForm_Status);
    connect(m_inetForm, &fSHAREDInternet::DownloadFinished, this,
            &cLibrary::InetForm_DownloadFinished);
    connect(m_inetForm, &fSHAREDInternet::DownloadError, this, &cLibrary::InetForm_DownloadError);
    connect(m_inetForm, &fSHAREDInternet::DownloadCancelled, this,
            [this] { InetForm_DownloadError(translate(QStringLiteral("Download cancelled"))); });
    connect(m_inetForm, &fSHAREDInternet::Progress, this, &cLibrary::InetForm_Progress);
    return m_inetForm;
}

void cLibrary::DownloadFile(bool getSize)
{
    Timer1.setInterval(g_timerInterval);
    Timer1.start();
    m_view.busyPointer(true);
    m_view.progress(cLibraryView::kProgressBusy);
    DownloadDone = false;
    DownloadFailed = false;
    UnzipOK = false;
    m_lastStatus = 0;
    fSHAREDInternet* form = inetForm();
    form->ApplyProxy();
    // The weekly catalogue is fetched only when the site has a newer one than ours.
    const QFileInfo local(m_localFile);
    form->setIfModifiedSince(m_stage == kCsvStage && local.isFile() && local.size() > 0
                                 ? local.lastModified()
                                 : QDateTime());
    form->DownloadFile(DownloadURL, m_localFile, getSize);
}

void cLibrary::cancelDownload()
{
    if (m_inetForm && m_inetForm->Connected()) {
        // Ends as a failed transfer: no file, the chain stopped, the status saying so.
        m_inetForm->CancelDownload();
        return;
    }
    if (!Timer1.isActive())
        return;
    // Between two transfers of the chain.
    Timer1.stop();
    m_view.status(translate(QStringLiteral("Download cancelled")));
    m_view.progress(cLibraryView::kProgressOff);
    m_view.busyPointer(false);
    if (isChainStage())
        Q_EMIT chainFinished(-1);
    m_stage = 0;
}

void cLibrary::InetForm_Status(const QString& message)
{
    m_view.status(message);
    m_view.letEventsRun();
}

void cLibrary::InetForm_Progress(float percent)
{
    // Without a size from the server the bar only says that work goes on.
    const bool sized = m_inetForm && m_inetForm->ExpectedFilesize() > 0;
    m_view.progress(sized ? qBound(0, int(percent), 100) : cLibraryView::kProgressBusy);
}

void cLibrary::InetForm_DownloadFinished()
{
    // Asked before the download window goes.
    const bool unchanged = m_stage == kCsvStage && m_inetForm && m_inetForm->NotModified();
    DownloadCompleted();
    // An error page in place of the file is a failure, and the status line keeps saying so.
    if (DownloadFailed)
        return;
    m_csvUnchanged = unchanged;
    m_view.status(translate(unchanged ? kUpToDate : QStringLiteral("Download finished")));
    DownloadDone = true;
}

void cLibrary::InetForm_DownloadError(const QString& message)
{
    if (DownloadFailed || DownloadDone)
        return; // the transfer has ended already
    if (m_inetForm)
        m_lastStatus = m_inetForm->transfer().statusCode();
    m_view.status(message);
    DownloadFailed = true;
    DownloadCompleted();
}

bool cLibrary::isErrorPage(const QString& file) const
{
    const QFileInfo info(file);
    if (!info.isFile() || info.size() >= kErrorPageLimit)
        return false;
    QFile page(file);
    if (!page.open(QIODevice::ReadOnly))
        return false;
    return page.readAll().toUpper().contains("</HTML>");
}

void cLibrary::DownloadCompleted()
{
    auto& files = cSharedFileSubs::instance();
    // The server's error page saved in place of the file: checked before anything is unpacked
    // or renamed, so the page is what goes.
    if (isErrorPage(m_localFile)) {
        m_view.status(translate(QStringLiteral("Error - Could not retrieve file")));
        files.EraseFile(m_localFile);
        DownloadFailed = true;
        m_view.busyPointer(false);
        m_view.message(translate(
            QStringLiteral("File not found on server. Please check the URL and try again.")));
    } else if (m_stage == 4 && !DownloadFailed) {
        m_view.status(translate(QStringLiteral("Unpacking file")));
        m_view.letEventsRun();
        Unzip(m_localFile, BookFolder);
        m_view.status({});
        m_view.letEventsRun();
        nameTheBook();
    }
    if (m_stage == 4 && (DownloadFailed || QFileInfo(m_localFile).size() == 0)) {
        files.EraseFile(m_localFile);
        if (!DownloadFailed) {
            DownloadFailed = true;
            m_view.status(translate(QStringLiteral("Error - Could not retrieve file")));
        }
    }
    const bool ok = m_stage == 4 && !DownloadFailed && UnzipOK && QFileInfo::exists(m_localFile);
    if (ok && ReadAfterDownload) {
        m_fileToLoad = m_localFile;
        StoreSettings();
        m_view.bookReady(m_fileToLoad);
        m_view.letEventsRun();
    } else if (m_stage == 4 && ReadAfterDownload && !DownloadFailed && UnzipOK) {
        m_view.message(
            translate(QStringLiteral("Cannot determine the file name, please open manually from")) +
            ' ' + fields.downloadPath);
    }
    // The download window is loaded again for the next transfer.
    if (m_inetForm) {
        m_inetForm->deleteLater();
        m_inetForm = nullptr;
    }
    m_view.progress(cLibraryView::kProgressOff);
    m_view.busyPointer(false);
    if (m_stage == 4)
        Q_EMIT bookFinished(ok, ok ? m_localFile : QString());
}

// The book gets its friendly name: a plain download itself, from an archive the first text
// member (else the first HTML member), which keeps its own extension. The archive keeps
// its name.
void cLibrary::nameTheBook()
{
    QString book = BookFolder + BookFileName;
    QString ext = QStringLiteral(".txt");
    if (!m_unpacked.isEmpty()) {
        book.clear();
        for (const char* wanted : {".txt", ".htm", ".html"}) {
            for (const QString& member : std::as_const(m_unpacked)) {
                if (book.isEmpty() && member.endsWith(QLatin1String(wanted), Qt::CaseInsensitive)) {
                    book = BookFolder + member;
                    ext = '.' + cSharedFileSubs::ExtOnly(member).toLower();
                }
            }
        }
        if (book.isEmpty())
            return; // nothing readable in it: the archive stays what the user gets
    }
    if (!QFileInfo::exists(book))
        return;
    const QString target = BookFolder + cSharedFileSubs::Fileroot(m_friendlyName) + ext;
    if (QFileInfo(target).absoluteFilePath() == QFileInfo(book).absoluteFilePath()) {
        m_localFile = target;
        return;
    }
    if (QFile::exists(target))
        cSharedFileSubs::instance().EraseFile(target);
    if (QFile::rename(book, target))
        m_localFile = target;
    else if (!m_unpacked.isEmpty())
        m_localFile = book;
}

void cLibrary::Unzip(const QString& file, const QString& folder)
{
    m_unpacked.clear();
    cSharedFileSubs::instance().MkMissingDir(folder);
    if (!file.toLower().contains(QLatin1String(".zip"))) {
        UnzipOK = true;
        return;
    }
    UnzipOK = false;
    cSHAREDUnzip2 zip;
    zip.setZipfile(file);
    zip.OverwriteExisting = true;
    zip.UnzipFolder = folder;
    zip.UseFolderNames = true;
    zip.MessageLevel = 2;
    if (zip.Unzip()) {
        m_view.status(translate(QStringLiteral("Unpacked ")) + file +
                      translate(QStringLiteral(" to ")) + folder);
        UnzipOK = true;
        zip.Directory();
        for (int i = 1; i <= zip.FileCount(); ++i) {
            const cUnzipMember& member = zip.member(i);
            m_unpacked << (member.FileDirectory.isEmpty()
                               ? member.Filename
                               : cSharedFileSubs::AddSlashIfMissing(member.FileDirectory) +
                                     member.Filename);
        }
    } else {
        m_view.message(translate(QStringLiteral("Error unpacking zip file")));
    }
}
