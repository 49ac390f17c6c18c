#include "text/epub.h"

#include "diagnostics/log.h"
#include "platform/textcodec.h"

#include <QFileInfo>
#include <QHash>
#include <QUrl>
#include <QXmlStreamReader>

#include <condition_variable>
#include <mutex>
#include <thread>

#include <libdeflate.h>
#include <zip.h>

namespace {

const QString kModule = QStringLiteral("cEpubBook");
const QString kContainer = QStringLiteral("META-INF/container.xml");
const QString kEncryption = QStringLiteral("META-INF/encryption.xml");

bool hasWord(QStringView list, QStringView word)
{
    for (const QStringView part : list.split(u' ', Qt::SkipEmptyParts)) {
        if (part == word)
            return true;
    }
    return false;
}

// All the text inside the current element, which the reader leaves at its end.
QString elementText(QXmlStreamReader& xml)
{
    return xml.readElementText(QXmlStreamReader::IncludeChildElements).simplified();
}

} // namespace

struct cEpubBook::Archive {
    QFile file;
    zip_t* zip = nullptr;
    libdeflate_decompressor* decompressor = nullptr;
    ~Archive()
    {
        if (zip)
            zip_discard(zip);
        if (decompressor)
            libdeflate_free_decompressor(decompressor);
    }
    // A deflated member as a whole, which libdeflate unpacks several times faster than
    // zlib's stream does; from the packed bytes in, which holds exactly st.comp_size of them.
    // False when the member is damaged or does not unpack to its declared size.
    bool inflate(zip_file_t* in, const zip_stat_t& st, QByteArray& bytes)
    {
        if (st.comp_size > zip_uint64_t(file.size()))
            return false;
        QByteArray packed(qsizetype(st.comp_size), Qt::Uninitialized);
        qsizetype got = 0;
        while (got < packed.size()) {
            const zip_int64_t n =
                zip_fread(in, packed.data() + got, zip_uint64_t(packed.size() - got));
            if (n <= 0)
                return false;
            got += qsizetype(n);
        }
        if (!decompressor && !(decompressor = libdeflate_alloc_decompressor()))
            return false;
        bytes.resize(qsizetype(st.size));
        // Without a place for the unpacked length, anything but exactly bytes.size() fails.
        return libdeflate_deflate_decompress(decompressor, packed.constData(), size_t(got),
                                             bytes.data(), size_t(bytes.size()),
                                             nullptr) == LIBDEFLATE_SUCCESS &&
               libdeflate_crc32(0, bytes.constData(), size_t(bytes.size())) == st.crc;
    }
    // Read from the file mapped into memory, unpacking costs no system calls per member
    // (a book has hundreds). 0, or libzip's error code.
    int open(const QString& path)
    {
        int error = 0;
        file.setFileName(path);
        uchar* data = nullptr;
        if (file.open(QIODevice::ReadOnly) && file.size() > 0)
            data = file.map(0, file.size());
        if (!data) {
            zip = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &error);
            return zip ? 0 : error;
        }
        zip_error_t e;
        zip_error_init(&e);
        zip_source_t* source = zip_source_buffer_create(data, zip_uint64_t(file.size()), 0, &e);
        if (source) {
            zip = zip_open_from_source(source, ZIP_RDONLY, &e);
            if (!zip)
                zip_source_free(source);
        }
        error = zip ? 0 : zip_error_code_zip(&e);
        zip_error_fini(&e);
        return error;
    }
};

cEpubBook::cEpubBook() = default;
cEpubBook::~cEpubBook() = default;

QString cEpubBook::resolve(const QString& from, const QString& href, QString* fragment)
{
    QString ref = href.trimmed();
    const qsizetype hash = ref.indexOf(u'#');
    if (fragment)
        *fragment = hash >= 0 ? QUrl::fromPercentEncoding(ref.mid(hash + 1).toUtf8()) : QString();
    if (hash >= 0)
        ref.truncate(hash);
    ref = QUrl::fromPercentEncoding(ref.toUtf8());
    if (ref.isEmpty())
        return from;
    // Another scheme ("http:", "file:") or an absolute path is nowhere inside the archive.
    const qsizetype colon = ref.indexOf(u':');
    if (ref.startsWith(u'/') || ref.contains(u'\\') ||
        (colon >= 0 && (ref.indexOf(u'/') < 0 || colon < ref.indexOf(u'/'))))
        return {};
    const qsizetype slash = from.lastIndexOf(u'/');
    const QString joined = (slash >= 0 ? from.left(slash + 1) : QString()) + ref;
    QStringList parts;
    for (const QString& part : joined.split(u'/')) {
        if (part.isEmpty() || part == u".")
            continue;
        if (part == u"..") {
            if (parts.isEmpty())
                return {};
            parts.removeLast();
            continue;
        }
        parts << part;
    }
    return parts.join(u'/');
}

QString cEpubBook::containerRootfile(const QByteArray& xml)
{
    QXmlStreamReader reader(xml);
    QString first;
    while (!reader.atEnd() && !reader.hasError()) {
        reader.readNext();
        if (!reader.isStartElement() || reader.name() != u"rootfile")
            continue;
        const QString path = reader.attributes().value(QLatin1String("full-path")).toString();
        const QStringView type = reader.attributes().value(QLatin1String("media-type"));
        if (type == u"application/oebps-package+xml" && !path.isEmpty())
            return path;
        if (first.isEmpty())
            first = path;
    }
    return first;
}

bool cEpubBook::parsePackage(const QByteArray& xml, const QString& opfMember, cEpubPackage& out)
{
    struct Item {
        QString href;
        QString mediaType;
    };
    QHash<QString, Item> manifest;
    QStringList idrefs;
    QString tocId;
    bool sawSpine = false;
    out = {};
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement())
            continue;
        const QXmlStreamAttributes a = reader.attributes();
        if (reader.name() == u"item") {
            const QString id = a.value(QLatin1String("id")).toString();
            const QString href = resolve(opfMember, a.value(QLatin1String("href")).toString());
            manifest.insert(id, {href, a.value(QLatin1String("media-type")).toString()});
            if (hasWord(a.value(QLatin1String("properties")), u"nav") && out.navMember.isEmpty())
                out.navMember = href;
            if (a.value(QLatin1String("media-type")) == u"application/x-dtbncx+xml" &&
                out.ncxMember.isEmpty())
                out.ncxMember = href;
        } else if (reader.name() == u"spine") {
            sawSpine = true;
            tocId = a.value(QLatin1String("toc")).toString();
        } else if (reader.name() == u"itemref") {
            idrefs << a.value(QLatin1String("idref")).toString();
        } else if (reader.namespaceUri() == u"http://purl.org/dc/elements/1.1/" &&
                   (reader.name() == u"title" || reader.name() == u"creator")) {
            // The first of each: a book's main title and first author come first.
            QString& field = reader.name() == u"title" ? out.title : out.creator;
            const QString text =
                reader.readElementText(QXmlStreamReader::IncludeChildElements).simplified();
            if (field.isEmpty())
                field = text;
        }
    }
    if (reader.hasError() || !sawSpine)
        return false;
    if (!tocId.isEmpty() && manifest.contains(tocId))
        out.ncxMember = manifest.value(tocId).href;
    for (const QString& id : std::as_const(idrefs)) {
        // An itemref naming no item has nothing to read; one naming a place outside the
        // archive is kept as "" so that open() refuses the book.
        const auto it = manifest.constFind(id);
        if (it != manifest.cend())
            out.spine << it->href;
    }
    return true;
}

QList<cEpubTocEntry> cEpubBook::parseNav(const QByteArray& xml, const QString& navMember)
{
    QList<cEpubTocEntry> toc;
    QList<cEpubTocEntry> firstNav;
    QXmlStreamReader reader(xml);
    int navDepth = 0;
    bool isToc = false;
    bool sawToc = false;
    while (!reader.atEnd() && !reader.hasError()) {
        reader.readNext();
        if (reader.isEndElement() && reader.name() == u"nav" && navDepth > 0) {
            --navDepth;
            continue;
        }
        if (!reader.isStartElement())
            continue;
        if (reader.name() == u"nav") {
            ++navDepth;
            if (navDepth == 1) {
                isToc = false;
                for (const QXmlStreamAttribute& a : reader.attributes()) {
                    if (a.name() == u"type" && hasWord(a.value(), u"toc"))
                        isToc = true;
                }
                sawToc = sawToc || isToc;
            }
            continue;
        }
        if (navDepth == 0 || reader.name() != u"a")
            continue;
        cEpubTocEntry entry;
        const QString href = reader.attributes().value(QLatin1String("href")).toString();
        entry.member = resolve(navMember, href, &entry.fragment);
        entry.title = elementText(reader);
        if (entry.member.isEmpty() || href.isEmpty())
            continue;
        if (isToc)
            toc << entry;
        else if (!sawToc)
            firstNav << entry;
    }
    // Without a nav marked as the table of contents, the first one serves.
    return sawToc ? toc : firstNav;
}

QList<cEpubTocEntry> cEpubBook::parseNcx(const QByteArray& xml, const QString& ncxMember)
{
    QList<cEpubTocEntry> toc;
    QXmlStreamReader reader(xml);
    QString label;
    bool inMap = false;
    while (!reader.atEnd() && !reader.hasError()) {
        reader.readNext();
        if (reader.isEndElement() && reader.name() == u"navMap")
            inMap = false;
        if (!reader.isStartElement())
            continue;
        if (reader.name() == u"navMap") {
            inMap = true;
        } else if (inMap && reader.name() == u"text") {
            label = elementText(reader);
        } else if (inMap && reader.name() == u"content") {
            cEpubTocEntry entry;
            entry.member =
                resolve(ncxMember, reader.attributes().value(QLatin1String("src")).toString(),
                        &entry.fragment);
            entry.title = label;
            if (!entry.member.isEmpty())
                toc << entry;
        }
    }
    return toc;
}

QStringList cEpubBook::encryptedMembers(const QByteArray& xml)
{
    QStringList members;
    QXmlStreamReader reader(xml);
    while (!reader.atEnd() && !reader.hasError()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == u"CipherReference") {
            // References are made from the top of the archive.
            const QString member =
                resolve(QString(), reader.attributes().value(QLatin1String("URI")).toString());
            if (!member.isEmpty())
                members << member;
        }
    }
    return members;
}

bool cEpubBook::fail(Problem problem, const QString& why)
{
    m_problem = problem;
    m_why = why;
    return false;
}

bool cEpubBook::note(bool ok, const QString& procedure)
{
    if (!ok && m_problem != Problem::None)
        cSharedLogging::instance().AddAction(m_path + ": " + m_why, procedure, kModule);
    return ok;
}

bool cEpubBook::readMember(const QString& name, QByteArray& bytes, bool mustExist)
{
    bytes.clear();
    zip_t* zip = m_archive->zip;
    const QByteArray utf8 = name.toUtf8();
    zip_int64_t index = zip_name_locate(zip, utf8.constData(), 0);
    if (index < 0)
        index = zip_name_locate(zip, utf8.constData(), ZIP_FL_NOCASE);
    if (index < 0)
        return mustExist ? fail(Problem::Broken, QStringLiteral("%1 is missing.").arg(name))
                         : false;
    zip_stat_t st;
    if (zip_stat_index(zip, zip_uint64_t(index), 0, &st) != 0)
        return fail(Problem::Broken, QString::fromUtf8(zip_strerror(zip)));
    if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE)
        return fail(Problem::Protected,
                    QStringLiteral("This book is protected and cannot be read."));
    const qint64 size = qint64(st.size);
    m_unpacked += size;
    if (size > kMaxMemberSize || m_unpacked > kMaxTotalSize ||
        (m_archiveSize > kRatioCheckFrom && m_unpacked > m_archiveSize * kMaxRatio))
        return fail(Problem::Broken,
                    QStringLiteral("%1 would unpack to %2 bytes, more than a book may.")
                        .arg(name)
                        .arg(size));
    const bool deflated = (st.valid & ZIP_STAT_COMP_METHOD) && st.comp_method == ZIP_CM_DEFLATE &&
                          (st.valid & ZIP_STAT_COMP_SIZE) && (st.valid & ZIP_STAT_CRC);
    std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> in(
        zip_fopen_index(zip, zip_uint64_t(index), deflated ? ZIP_FL_COMPRESSED : 0), zip_fclose);
    if (!in)
        return fail(Problem::Broken,
                    QStringLiteral("%1: %2").arg(name, QString::fromUtf8(zip_strerror(zip))));
    if (deflated) {
        if (m_archive->inflate(in.get(), st, bytes))
            return true;
        bytes.clear();
        return fail(
            Problem::Broken,
            QStringLiteral("%1 is damaged: it does not unpack as its archive says.").arg(name));
    }
    bytes.resize(size);
    qint64 got = 0;
    // One byte more than declared shows a member that lies about its size.
    char extra = 0;
    while (got < size) {
        const zip_int64_t n = zip_fread(in.get(), bytes.data() + got, zip_uint64_t(size - got));
        if (n <= 0)
            break;
        got += n;
    }
    if (got != size || zip_fread(in.get(), &extra, 1) != 0)
        return fail(Problem::Broken,
                    QStringLiteral("%1 is damaged: %2")
                        .arg(name, QString::fromUtf8(zip_file_strerror(in.get()))));
    return true;
}

bool cEpubBook::open(const QString& path)
{
    return note(openArchive(path), QStringLiteral("open"));
}

bool cEpubBook::openArchive(const QString& path)
{
    m_path = path;
    m_package = {};
    m_toc.clear();
    m_problem = Problem::None;
    m_why.clear();
    m_unpacked = 0;
    m_archiveSize = QFileInfo(path).size();
    m_archive = std::make_unique<Archive>();
    const int error = m_archive->open(path);
    if (!m_archive->zip) {
        zip_error_t e;
        zip_error_init_with_code(&e, error);
        const QString why = QString::fromUtf8(zip_error_strerror(&e));
        zip_error_fini(&e);
        return fail(error == ZIP_ER_OPEN || error == ZIP_ER_READ ? Problem::Unreadable
                                                                 : Problem::Broken,
                    QStringLiteral("It is not a readable EPUB archive: %1.").arg(why));
    }
    QByteArray bytes;
    if (!readMember(kContainer, bytes))
        return false;
    const QString opf = containerRootfile(bytes);
    if (opf.isEmpty())
        return fail(Problem::Broken, kContainer + QStringLiteral(" names no package document."));
    const QString opfMember = resolve(QString(), opf);
    if (opfMember.isEmpty())
        return fail(Problem::Broken,
                    QStringLiteral("The package document %1 lies outside the archive.").arg(opf));
    if (!readMember(opfMember, bytes))
        return false;
    if (!parsePackage(bytes, opfMember, m_package))
        return fail(
            Problem::Broken,
            QStringLiteral("The package document %1 is damaged or has no spine.").arg(opfMember));
    if (m_package.spine.contains(QString()))
        return fail(Problem::Broken,
                    QStringLiteral("The book names a content document outside its archive."));
    if (m_package.spine.isEmpty())
        return fail(Problem::Broken, QStringLiteral("The book's spine names no content document."));

    if (readMember(kEncryption, bytes, false)) {
        const QStringList encrypted = encryptedMembers(bytes);
        // Fonts are often scrambled against copying; the text is what matters.
        for (const QString& member : std::as_const(m_package.spine)) {
            if (encrypted.contains(member))
                return fail(Problem::Protected,
                            QStringLiteral("This book is protected and cannot be read."));
        }
    } else if (m_problem != Problem::None) {
        return false;
    }

    if (!m_package.navMember.isEmpty() && readMember(m_package.navMember, bytes, false))
        m_toc = parseNav(bytes, m_package.navMember);
    if (m_problem == Problem::None && m_toc.isEmpty() && !m_package.ncxMember.isEmpty() &&
        readMember(m_package.ncxMember, bytes, false))
        m_toc = parseNcx(bytes, m_package.ncxMember);
    return m_problem == Problem::None;
}

bool cEpubBook::documents(QStringList& markup)
{
    markup.clear();
    return documents([&](QString&& document) { markup << std::move(document); });
}

bool cEpubBook::documents(const std::function<void(QString&&)>& take)
{
    if (!m_archive || !m_archive->zip || m_problem != Problem::None)
        return false;
    std::mutex lock;
    std::condition_variable ready;
    QStringList unpacked;
    bool finished = false;
    bool waiting = false;
    QStringList missing;
    // Only the worker touches the archive until it has finished; the log is written here.
    std::jthread reader([&] {
        QByteArray bytes;
        for (const QString& member : std::as_const(m_package.spine)) {
            QString document;
            if (readMember(member, bytes, false))
                document = TextCodec::decode(bytes);
            else if (m_problem != Problem::None)
                break;
            else
                missing << member;
            // Waking the other thread for every small document would cost more than
            // the handing over; it is woken only when it waits.
            const std::lock_guard guard(lock);
            unpacked << std::move(document);
            if (waiting)
                ready.notify_one();
        }
        const std::lock_guard guard(lock);
        finished = true;
        ready.notify_one();
    });
    QStringList taken;
    for (;;) {
        {
            std::unique_lock wait(lock);
            waiting = true;
            ready.wait(wait, [&] { return !unpacked.isEmpty() || finished; });
            waiting = false;
            if (unpacked.isEmpty())
                break;
            taken.swap(unpacked);
        }
        for (QString& document : taken)
            take(std::move(document));
        taken.clear();
    }
    reader.join();
    // The rest of the book still reads; the gaps are noted.
    for (const QString& member : std::as_const(missing))
        cSharedLogging::instance().AddAction(m_path + ": " + member + " is missing",
                                             QStringLiteral("documents"), kModule);
    return note(m_problem == Problem::None, QStringLiteral("documents"));
}
