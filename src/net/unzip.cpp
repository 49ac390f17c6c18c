#include "net/unzip.h"

#include "diagnostics/log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <zip.h>

#include <cstdio>
#include <memory>

namespace {

const QString kModule = QStringLiteral("cSHAREDUnzip2");

struct ArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using Archive = std::unique_ptr<zip_t, ArchiveCloser>;

struct FileCloser {
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using MemberFile = std::unique_ptr<zip_file_t, FileCloser>;

QString methodName(zip_uint16_t method)
{
    switch (method) {
    case ZIP_CM_STORE:
        return QStringLiteral("Stored");
    case ZIP_CM_DEFLATE:
        return QStringLiteral("Deflated");
    case ZIP_CM_DEFLATE64:
        return QStringLiteral("Deflate64");
    case ZIP_CM_BZIP2:
        return QStringLiteral("BZip2");
    case ZIP_CM_LZMA:
        return QStringLiteral("LZMA");
    case ZIP_CM_XZ:
        return QStringLiteral("XZ");
    default:
        return QStringLiteral("Unknown");
    }
}

bool isSymlink(zip_t* archive, zip_uint64_t index)
{
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(archive, index, 0, &system, &attributes) != 0)
        return false;
    constexpr zip_uint32_t kTypeMask = 0170000, kLink = 0120000;
    return system == ZIP_OPSYS_UNIX && ((attributes >> 16) & kTypeMask) == kLink;
}

// Why a member's name could lead outside the target folder, or "" when it cannot.
QString unsafeName(const QString& name)
{
    if (name.startsWith(u'/') || name.startsWith(u'\\') ||
        (name.size() > 1 && name[1] == u':' && name[0].isLetter()))
        return QStringLiteral("an absolute path");
    const QStringList parts = QString(name).replace(u'\\', u'/').split(u'/');
    if (parts.contains(QStringLiteral("..")))
        return QStringLiteral("a \"..\" in its path");
    return {};
}

bool inside(const QString& path, const QString& folder)
{
    const QString root = QDir::cleanPath(folder) + u'/';
    return QDir::cleanPath(path).startsWith(root);
}

} // namespace

// The members to extract of one open archive.
struct cSHAREDUnzip2::Run {
    zip_uint64_t index;
    QString name;
    zip_stat_t stat;
};

cSHAREDUnzip2::cSHAREDUnzip2(QObject* parent) : QObject(parent) {}

void cSHAREDUnzip2::setZipfile(const QString& zipfile)
{
    m_zipfile = zipfile;
    m_members.clear();
}

void cSHAREDUnzip2::GetVersion(int& major, int& minor, int& revision, QString& extra)
{
    const QStringList parts = QString::fromLatin1(zip_libzip_version()).split(u'.');
    major = parts.value(0).toInt();
    minor = parts.value(1).toInt();
    // "1.7.3" or "1.10.0-beta": the revision's digits, the rest as the extra text.
    const QString last = parts.value(2);
    qsizetype digits = 0;
    while (digits < last.size() && last[digits].isDigit())
        ++digits;
    revision = last.left(digits).toInt();
    extra = last.mid(digits);
}

bool cSHAREDUnzip2::fail(const QString& why)
{
    m_lastError = why;
    cSharedLogging::instance().AddAction(why, QStringLiteral("Unzip"), kModule);
    return false;
}

void cSHAREDUnzip2::Directory()
{
    m_members.clear();
    int error = 0;
    Archive archive(zip_open(m_zipfile.toLocal8Bit().constData(), ZIP_RDONLY, &error));
    if (!archive) {
        zip_error_t e;
        zip_error_init_with_code(&e, error);
        cSharedLogging::instance().AddAction(QString::fromUtf8(zip_error_strerror(&e)),
                                             QStringLiteral("Directory"), kModule);
        zip_error_fini(&e);
        return;
    }
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        if (zip_stat_index(archive.get(), zip_uint64_t(i), 0, &st) != 0)
            continue;
        cUnzipMember m;
        const QString name = QString::fromUtf8(st.name);
        const auto cut = std::max(name.lastIndexOf(u'/'), name.lastIndexOf(u'\\'));
        m.FileDirectory = name.left(std::max<qsizetype>(cut, 0));
        m.Filename = name.mid(cut + 1);
        m.FileSize = qint64(st.size);
        m.FilePackedSize = qint64(st.comp_size);
        m.FileCompressionRatio = st.size ? int(st.comp_size * 100 / st.size) : 0;
        m.FileDate = QDateTime::fromSecsSinceEpoch(qint64(st.mtime));
        m.FileCRC = st.crc;
        m.FileCompressionMethod = methodName(st.comp_method);
        m.FileEncrypted = st.encryption_method != ZIP_EM_NONE;
        m_members.append(m);
    }
}

bool cSHAREDUnzip2::Unzip()
{
    m_lastError.clear();
    if (m_zipfile.isEmpty())
        return false;
    int error = 0;
    Archive archive(zip_open(m_zipfile.toLocal8Bit().constData(), ZIP_RDONLY, &error));
    if (!archive) {
        zip_error_t e;
        zip_error_init_with_code(&e, error);
        const QString why = QString::fromUtf8(zip_error_strerror(&e));
        zip_error_fini(&e);
        return fail(QStringLiteral("Cannot open %1: %2").arg(m_zipfile, why));
    }

    // Which members: the selected ones when a listing chose some, else all.
    QStringList include;
    const bool allSelected = std::all_of(m_members.begin(), m_members.end(),
                                         [](const cUnzipMember& m) { return m.FileSelected; });
    if (!allSelected) {
        for (const cUnzipMember& m : std::as_const(m_members)) {
            if (m.FileSelected)
                include << QString(m.FileDirectory.isEmpty() ? m.Filename
                                                             : m.FileDirectory + '/' + m.Filename)
                               .replace(u'\\', u'/');
        }
    }
    const Qt::CaseSensitivity matchCase =
        CaseSensitiveFileNames ? Qt::CaseSensitive : Qt::CaseInsensitive;

    // Every check comes before the first byte is written.
    QList<Run> runs;
    qint64 total = 0;
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        Run run{zip_uint64_t(i), {}, {}};
        if (zip_stat_index(archive.get(), run.index, 0, &run.stat) != 0)
            return fail(QString::fromUtf8(zip_strerror(archive.get())));
        run.name = QString::fromUtf8(run.stat.name);
        if (!include.isEmpty() && !include.contains(run.name, matchCase))
            continue;
        if (const QString why = unsafeName(run.name); !why.isEmpty())
            return fail(
                QStringLiteral("Refused %1: member \"%2\" has %3").arg(m_zipfile, run.name, why));
        if (isSymlink(archive.get(), run.index))
            return fail(QStringLiteral("Refused %1: member \"%2\" is a symbolic link")
                            .arg(m_zipfile, run.name));
        total += qint64(run.stat.size);
        runs.append(run);
    }
    const qint64 archiveSize = QFileInfo(m_zipfile).size();
    if (total > kMaxTotalSize || (archiveSize > kRatioCheckFrom && total > archiveSize * kMaxRatio))
        return fail(QStringLiteral("Refused %1: it would unpack to %2 bytes from %3")
                        .arg(m_zipfile)
                        .arg(total)
                        .arg(archiveSize));

    const QString folder = UnzipFolder.isEmpty() ? QDir::currentPath() : UnzipFolder;
    if (!TestZip && !ExtractToStdOut && !QDir().mkpath(folder))
        return fail(QStringLiteral("Cannot create %1").arg(folder));
    const QString realFolder = QFileInfo(folder).canonicalFilePath();
    bool passwordSet = false;

    for (const Run& run : std::as_const(runs)) {
        QString name = UseFolderNames ? run.name : run.name.section(u'/', -1);
        if (SpaceToUnderScore)
            name.replace(u' ', u'_');
        if (name.isEmpty() || name.endsWith(u'/')) {
            if (UseFolderNames && !TestZip && !ExtractToStdOut)
                QDir(folder).mkpath(name);
            continue;
        }
        bool cancel = false;
        Q_EMIT Service(name, &cancel);
        if (cancel)
            return fail(QStringLiteral("Unzip of %1 cancelled").arg(m_zipfile));

        const QString target = QDir::cleanPath(folder + u'/' + name);
        const bool writing = !TestZip && !ExtractToStdOut;
        if (writing) {
            if (!inside(target, folder))
                return fail(QStringLiteral("Refused %1: \"%2\" lies outside %3")
                                .arg(m_zipfile, run.name, folder));
            const QFileInfo info(target);
            if (info.exists()) {
                bool replace = OverwriteExisting;
                if (!replace && ExtractOnlyNewer)
                    replace = info.lastModified().toSecsSinceEpoch() < qint64(run.stat.mtime);
                else if (!replace) {
                    int answer = ReplaceNo;
                    Q_EMIT OverwritePrompt(name, &answer);
                    replace = answer == ReplaceYes || answer == ReplaceAll;
                }
                if (!replace)
                    continue;
            }
            QDir().mkpath(info.path());
            // A folder already there may be a link elsewhere; the file must land inside.
            if (!inside(QFileInfo(info.path()).canonicalFilePath() + "/x", realFolder))
                return fail(QStringLiteral("Refused %1: \"%2\" lies outside %3")
                                .arg(m_zipfile, run.name, folder));
        }

        // Asked once: a declined request ends the call.
        if (run.stat.encryption_method != ZIP_EM_NONE && !passwordSet) {
            QString password;
            bool cancelled = false;
            Q_EMIT PasswordRequest(&password, &cancelled);
            password = password.trimmed().left(254);
            if (password.isEmpty() || cancelled)
                return fail(QStringLiteral("%1: no password for \"%2\"").arg(m_zipfile, name));
            zip_set_default_password(archive.get(), password.toUtf8().constData());
            passwordSet = true;
        }

        MemberFile in(zip_fopen_index(archive.get(), run.index, 0));
        if (!in)
            return fail(QStringLiteral("%1: \"%2\": %3")
                            .arg(m_zipfile, name, QString::fromUtf8(zip_strerror(archive.get()))));
        QSaveFile out(target);
        if (writing && !out.open(QIODevice::WriteOnly))
            return fail(QStringLiteral("Cannot write %1: %2").arg(target, out.errorString()));
        qint64 written = 0;
        char buffer[64 * 1024];
        for (;;) {
            const zip_int64_t got = zip_fread(in.get(), buffer, sizeof buffer);
            if (got < 0)
                return fail(
                    QStringLiteral("%1: \"%2\": %3")
                        .arg(m_zipfile, name, QString::fromUtf8(zip_file_strerror(in.get()))));
            if (got == 0)
                break;
            written += got;
            // A member that unpacks to more than it declared is lying about the rest too.
            if (zip_uint64_t(written) > run.stat.size)
                return fail(QStringLiteral("Refused %1: \"%2\" is larger than it claims")
                                .arg(m_zipfile, name));
            if (writing && out.write(buffer, got) != got)
                return fail(QStringLiteral("Cannot write %1: %2").arg(target, out.errorString()));
            if (ExtractToStdOut)
                std::fwrite(buffer, 1, size_t(got), stdout);
        }
        if (writing) {
            // The member's own date, set once every byte is out so that it stays.
            // commit() does not report a flush that fails on a full disk.
            if (!out.flush())
                return fail(QStringLiteral("Cannot write %1: %2").arg(target, out.errorString()));
            out.setFileTime(QDateTime::fromSecsSinceEpoch(qint64(run.stat.mtime)),
                            QFileDevice::FileModificationTime);
            if (!out.commit())
                return fail(QStringLiteral("Cannot write %1: %2").arg(target, out.errorString()));
        }
        if (MessageLevel == 0)
            Q_EMIT Message(QStringLiteral("  inflating: %1").arg(name));
    }
    return true;
}
