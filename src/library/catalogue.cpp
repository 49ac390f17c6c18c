#include "library/catalogue.h"

#include "diagnostics/failure.h"
#include "files/filesubs.h"
#include "library/catalogueparse.h"
#include "platform/textcodec.h"
#include "util/programpaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>

const QString cCatalogueBuilder::kListing = QStringLiteral("ls-R");
const QString cCatalogueBuilder::kFileList = QStringLiteral("GutFiles.txt");
const QString cCatalogueBuilder::kIndex = QStringLiteral("GUTINDEX.ALL");
const QString cCatalogueBuilder::kAustralian = QStringLiteral("catalogue.txt");
const QString cCatalogueBuilder::kCatalogue = QStringLiteral("GutIndex.txt");
const QString cCatalogueBuilder::kCsv = QStringLiteral("pg_catalog.csv");
const QString cCatalogueBuilder::kBooks = QStringLiteral("GutBooks.txt");

namespace {

const QString kModule = QStringLiteral("frmGUT");
const QString kLSLR = QStringLiteral("ParseLSLR");
const QString kGutindexAll = QStringLiteral("ParseGutindexAll");
const QString kPGAustralia = QStringLiteral("ParsePGAustralia");
const QString kPgCatalog = QStringLiteral("ParsePgCatalog");
const QString kCannotCreate =
    QStringLiteral("Cannot create catalog. Please download and try again.");

QByteArray joinLines(const QList<CatalogueParse::Record>& records)
{
    QString text;
    for (const CatalogueParse::Record& record : records) {
        text += record.line();
        text += QStringLiteral("\r\n");
    }
    return TextCodec::encode(text);
}

// Whether a file list names anything at all; blank lines alone are an empty list.
bool hasPath(const QStringList& lines)
{
    return std::any_of(lines.begin(), lines.end(), [](const QString& line) {
        return !CatalogueParse::trimBlanks(line).isEmpty();
    });
}

// Busy pointer from construction to the end of the scope, whichever way the scope ends.
class BusyPointer {
public:
    explicit BusyPointer(cCatalogueReport& report) : m_report(report)
    {
        m_report.busyPointer(true);
    }
    ~BusyPointer() { release(); }
    void release()
    {
        if (m_busy)
            m_report.busyPointer(false);
        m_busy = false;
    }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;

private:
    cCatalogueReport& m_report;
    bool m_busy = true;
};

} // namespace

cCatalogueBuilder::cCatalogueBuilder(cCatalogueReport& report, const QString& folder)
    : m_report(report), m_folder(folder.isEmpty() ? ProgramPaths::programFolder() : folder)
{
}

QString cCatalogueBuilder::fileNamed(const QString& name) const
{
    const QDir dir(m_folder);
    if (QFileInfo(dir.filePath(name)).isFile())
        return dir.filePath(name);
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    }
    return dir.filePath(name);
}

bool cCatalogueBuilder::hasFile(const QString& name) const
{
    return QFileInfo(fileNamed(name)).isFile();
}

bool cCatalogueBuilder::read(const QString& name, QByteArray& bytes, const QString& procedure) const
{
    QFile file(fileNamed(name));
    if (!file.open(QIODevice::ReadOnly)) {
        if (!procedure.isEmpty())
            noteFailure(Err::fromFileError(file.error(), errno), procedure, kModule);
        return false;
    }
    bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (!procedure.isEmpty())
            noteFailure(Err::fromFileError(file.error(), errno), procedure, kModule);
        return false;
    }
    return true;
}

bool cCatalogueBuilder::write(const QString& name, const QByteArray& bytes,
                              const QString& procedure) const
{
    // Whole, or not at all: a full disk never leaves half a catalogue behind.
    const int number = cSharedFileSubs::saveWholeFile(fileNamed(name), bytes);
    const bool written = number == 0;
    if (!written && !procedure.isEmpty())
        noteFailure(number, procedure, kModule);
    return written;
}

bool cCatalogueBuilder::ParseLSLR()
{
    if (!hasFile(kListing))
        return false;
    QByteArray listing;
    if (!read(kListing, listing, kLSLR))
        return false;
    QString list = CatalogueParse::listingPaths(listing).join(QStringLiteral("\r\n"));
    listing.clear();
    if (!list.isEmpty())
        list += QStringLiteral("\r\n");
    return write(kFileList, TextCodec::encode(list), kLSLR);
}

int cCatalogueBuilder::ParseGutindexAll()
{
    if (!hasFile(kIndex))
        return -1;
    BusyPointer busy(m_report);
    QByteArray bytes;
    if (hasFile(kFileList))
        read(kFileList, bytes, kGutindexAll);
    QStringList files = CatalogueParse::lines(bytes);
    if (!hasPath(files)) {
        busy.release();
        m_report.message(kCannotCreate);
        return -1;
    }
    m_report.status(QStringLiteral("Recreating catalogue"));
    m_report.letEventsRun();

    // The list keeps the empty entry after its last line end, as a split at the line ends
    // does, so that a listing of a single book still has a last index above 0.
    if (bytes.endsWith('\n'))
        files.append(QString());
    bytes.clear();
    CatalogueParse::SortArray(files);

    if (!read(kIndex, bytes, kGutindexAll))
        return -1;
    const QList<CatalogueParse::Record> records =
        CatalogueParse::indexRecords(bytes, files, [this](int line, int lineCount) {
            m_report.lineStatus(QStringLiteral("Line %1 of %2").arg(line).arg(lineCount), line,
                                lineCount);
            m_report.letEventsRun();
        });
    bytes.clear();
    files.clear();
    if (!write(kCatalogue, joinLines(records), kGutindexAll))
        return -1;
    m_report.status(QStringLiteral("Catalogue created"));
    return int(records.size());
}

int cCatalogueBuilder::ParsePGAustralia()
{
    if (!hasFile(kAustralian)) {
        m_report.message(QStringLiteral("PG Australia file not found. Please download again."));
        return -1;
    }
    QByteArray bytes;
    if (!read(kAustralian, bytes, {}))
        return -1;
    const CatalogueParse::Australian australian = CatalogueParse::australianRecords(bytes);
    if (australian.wrapped)
        write(kAustralian, TextCodec::encode(australian.unwrapped), {});

    QByteArray catalogue;
    if (hasFile(kCatalogue) && !read(kCatalogue, catalogue, {}))
        return -1;
    if (!catalogue.isEmpty() && !catalogue.endsWith('\n'))
        catalogue += "\r\n";
    catalogue += joinLines(australian.records);
    return write(kCatalogue, catalogue, {}) ? int(australian.records.size()) : -1;
}

int cCatalogueBuilder::ParsePgCatalog()
{
    m_skipped = 0;
    if (!hasFile(kCsv))
        return -1;
    BusyPointer busy(m_report);
    m_report.status(QStringLiteral("Recreating catalogue"));
    m_report.letEventsRun();
    QByteArray bytes;
    if (!read(kCsv, bytes, kPgCatalog))
        return -1;
    const PgCatalogue::Catalogue catalogue = PgCatalogue::fromCsv(bytes);
    bytes.clear();
    m_skipped = catalogue.skipped;
    if (catalogue.books.isEmpty()) {
        busy.release();
        m_report.message(kCannotCreate);
        return -1;
    }
    m_report.letEventsRun();
    if (!write(kCatalogue, joinLines(PgCatalogue::indexRecords(catalogue.books)), kPgCatalog) ||
        !write(kBooks, PgCatalogue::detailsFile(catalogue.books), kPgCatalog))
        return -1;
    m_report.status(QStringLiteral("Catalogue created"));
    return int(catalogue.books.size());
}

QList<PgCatalogue::Book> cCatalogueBuilder::LoadBookDetails() const
{
    QByteArray bytes;
    if (!hasFile(kBooks) || !read(kBooks, bytes, {}))
        return {};
    return PgCatalogue::readDetails(bytes);
}
