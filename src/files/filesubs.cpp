#include "files/filesubs.h"

#include "diagnostics/failure.h"
#include "diagnostics/log.h"
#include "platform/textcodec.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QUrl>

#include <cerrno>

#include <unistd.h>

namespace {

const QString kModule = QStringLiteral("cFile");

QString slashed(const QString& path)
{
    QString out = path;
    out.replace('\\', '/');
    return out;
}

bool hasWildcards(const QString& name)
{
    return name.contains('*') || name.contains('?');
}

} // namespace

cSharedFileSubs& cSharedFileSubs::instance()
{
    static cSharedFileSubs files;
    return files;
}

cSharedFileSubs::~cSharedFileSubs() = default;

void cSharedFileSubs::fail(int number, const QString& procedure)
{
    m_lastError = number;
    noteFailure(number, procedure, kModule);
}

// ---- tests and paths ------------------------------------------------------------------

bool cSharedFileSubs::FileExists(const QString& filename) const
{
    if (filename.trimmed().isEmpty())
        return false;
    const QString name = slashed(filename);
    if (hasWildcards(FileOnly(name))) {
        QDir dir(PathOnly(name));
        return !dir.entryList({FileOnly(name)}, QDir::Files | QDir::Hidden | QDir::System)
                    .isEmpty();
    }
    const QFileInfo info(name);
    return info.exists() && !info.isDir();
}

bool cSharedFileSubs::FolderExists(const QString& foldername) const
{
    if (foldername.trimmed().isEmpty())
        return false;
    QString name = slashed(foldername);
    if (name.size() > 1 && name.endsWith('/'))
        name.chop(1);
    return QFileInfo(name).isDir();
}

bool cSharedFileSubs::MkMissingDir(const QString& foldername)
{
    if (foldername.trimmed().isEmpty() || FolderExists(foldername))
        return false;
    if (!QDir().mkpath(slashed(foldername)))
        fail(Err::PathNotFound, QStringLiteral("MkMissingDir"));
    return true;
}

QString cSharedFileSubs::PathOnly(const QString& pathPlusFile)
{
    const QString path = slashed(pathPlusFile);
    const int slash = path.lastIndexOf('/');
    return slash < 0 ? QStringLiteral("./") : path.left(slash + 1);
}

QString cSharedFileSubs::FileOnly(const QString& pathPlusFile)
{
    const QString path = slashed(pathPlusFile);
    return path.mid(path.lastIndexOf('/') + 1);
}

QString cSharedFileSubs::ExtOnly(const QString& filename)
{
    const int dot = filename.lastIndexOf('.');
    return dot < 0 ? QString() : filename.mid(dot + 1);
}

QString cSharedFileSubs::FileWithoutExt(const QString& filename)
{
    const int dot = filename.lastIndexOf('.');
    return dot < 0 ? filename : filename.left(dot);
}

QString cSharedFileSubs::AddSlashIfMissing(const QString& path)
{
    if (path.isEmpty() || path.endsWith('/') || path.endsWith('\\'))
        return path;
    return path + '/';
}

QString cSharedFileSubs::RemoveSlashFromEnd(const QString& path)
{
    if (path.endsWith('/') || path.endsWith('\\'))
        return path.chopped(1);
    return path;
}

QString cSharedFileSubs::DriveOnly(const QString& path)
{
    const QString abs = QFileInfo(slashed(path)).absoluteFilePath();
    return abs.isEmpty() ? QStringLiteral("/") : abs.left(1);
}

bool cSharedFileSubs::isReadonly(const QString& filename) const
{
    // The owner's write bit stands for the read-only attribute; as root every file is
    // writable, so isWritable() would never say read-only.
    const QFileInfo info(slashed(filename));
    return info.exists() && !(info.permissions() & QFileDevice::WriteOwner);
}

bool cSharedFileSubs::MakeReadWrite(const QString& filename)
{
    const QString name = slashed(filename);
    if (!QFileInfo::exists(name))
        return false;
    QFile file(name);
    if (file.setPermissions(file.permissions() | QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return true;
    fail(Err::PathFileAccess, QStringLiteral("MakeReadWrite"));
    return false;
}

void cSharedFileSubs::CleanString(QString& stringToClean)
{
    static const QString bad = QStringLiteral("\\/:*?<>|&,%");
    for (QChar& c : stringToClean) {
        if (bad.contains(c))
            c = ' ';
    }
    for (const char* reserved : {"PRN", "CON", "NUL", "AUX"}) {
        if (stringToClean == QLatin1String(reserved)) {
            stringToClean += '1';
            break;
        }
    }
    stringToClean.replace('"', ' ');
    stringToClean = stringToClean.trimmed();
}

// ---- whole files ------------------------------------------------------------------------

bool cSharedFileSubs::LoadTextFile(const QString& filename, QString& text)
{
    text.clear();
    if (!FileExists(filename))
        return false;
    QFile file(slashed(filename));
    if (!file.open(QIODevice::ReadOnly)) {
        fail(Err::fromFileError(file.error(), errno), QStringLiteral("LoadTextFile"));
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        fail(Err::fromFileError(file.error(), errno), QStringLiteral("LoadTextFile"));
        return false;
    }
    text = TextCodec::decode(bytes);
    return true;
}

bool cSharedFileSubs::ensureWritable(const QString& filename)
{
    if (QFileInfo::exists(filename) && isReadonly(filename) && !MakeReadWrite(filename)) {
        cSharedLogging::instance().LogEvent(
            filename + " is read only, can't change it to read write, can't update it");
        return false;
    }
    return true;
}

bool cSharedFileSubs::WriteTextFile(const QString& filename, const QString& text)
{
    const QString name = slashed(filename);
    auto noteWrite = [&](int number) {
        m_lastError = number;
        cSharedLogging::instance().AddAction(Err::description(number) + " (" +
                                                 QString::number(number) + ") writing " + name,
                                             QStringLiteral("WriteTextFile"), kModule);
        return false;
    };
    if (!ensureWritable(name)) {
        m_lastError = Err::PathFileAccess;
        return false;
    }
    if (QFileInfo(name).isDir())
        return noteWrite(Err::PathFileAccess);
    if (const int number = saveWholeFile(name, TextCodec::encode(text)))
        return noteWrite(number);
    m_lastError = 0;
    return true;
}

int cSharedFileSubs::commitSave(QSaveFile& file)
{
    auto failed = [&file](int systemErrno) {
        const int number = Err::fromFileError(file.error(), systemErrno);
        file.cancelWriting();
        return number ? number : int(Err::DeviceIO);
    };
    // A small file sits in the buffer until commit(), whose flush does not report a full
    // disk on every Qt: the empty file would replace the real one. So the bytes go out, and
    // to the disk, while cancelling still keeps the old file.
    errno = 0;
    if (!file.flush())
        return failed(errno);
    // EINVAL: a file system that cannot sync, which says nothing about the bytes.
    if (::fsync(file.handle()) != 0 && errno != EINVAL)
        return failed(errno);
    errno = 0;
    if (!file.commit()) {
        const int number = Err::fromFileError(file.error(), errno);
        return number ? number : int(Err::DeviceIO);
    }
    return 0;
}

int cSharedFileSubs::saveWholeFile(const QString& filename, const QByteArray& bytes)
{
    QSaveFile file(slashed(filename));
    errno = 0;
    if (!file.open(QIODevice::WriteOnly)) {
        const int number = Err::fromFileError(file.error(), errno);
        return number ? number : int(Err::PathFileAccess);
    }
    errno = 0;
    if (file.write(bytes) != bytes.size()) {
        const int number = Err::fromFileError(file.error(), errno);
        file.cancelWriting();
        return number ? number : int(Err::DeviceIO);
    }
    return commitSave(file);
}

bool cSharedFileSubs::AppendToTextFile(const QString& filename, const QString& text)
{
    const int number = OpenAppendFile(filename);
    if (number < 0)
        return false;
    const bool written = WriteToFile(number, text + "\r\n");
    return CloseFile(number) && written;
}

QDateTime cSharedFileSubs::FileDate(const QString& filename) const
{
    const QFileInfo info(slashed(filename));
    if (!info.exists() || info.isDir())
        return {};
    return info.lastModified();
}

int cSharedFileSubs::LinesInFile(const QString& filename)
{
    if (!FileExists(filename))
        return 0;
    QFile file(slashed(filename));
    if (!file.open(QIODevice::ReadOnly)) {
        fail(Err::fromFileError(file.error(), errno), QStringLiteral("LinesInFile"));
        return 0;
    }
    int lines = 0;
    char last = '\n';
    char buffer[65536];
    qint64 got;
    while ((got = file.read(buffer, sizeof buffer)) > 0) {
        for (qint64 i = 0; i < got; ++i) {
            if (buffer[i] == '\n')
                ++lines;
        }
        last = buffer[got - 1];
    }
    if (last != '\n')
        ++lines;
    return lines;
}

bool cSharedFileSubs::EraseFile(const QString& filename)
{
    const QString name = slashed(filename);
    if (!FileExists(name))
        return false;
    MakeReadWrite(name);
    QFile file(name);
    if (file.remove())
        return true;
    const int number = Err::fromFileError(file.error(), errno);
    cSharedLogging::instance().AddAction(Err::description(number) + " (" + QString::number(number) +
                                             ") erasing " + name,
                                         QStringLiteral("EraseFile"), kModule);
    return false;
}

bool cSharedFileSubs::CopyFile(const QString& source, const QString& dest, const Progress& progress)
{
    QFile in(slashed(source));
    if (!in.open(QIODevice::ReadOnly)) {
        fail(Err::fromFileError(in.error(), errno), QStringLiteral("CopyFile"));
        return false;
    }
    QSaveFile out(slashed(dest));
    if (!out.open(QIODevice::WriteOnly)) {
        fail(Err::fromFileError(out.error(), errno), QStringLiteral("CopyFile"));
        return false;
    }
    const qint64 total = in.size();
    qint64 done = 0;
    QByteArray chunk;
    if (progress)
        progress(0, total);
    while (!(chunk = in.read(1 << 20)).isEmpty()) {
        if (out.write(chunk) != chunk.size()) {
            fail(Err::fromFileError(out.error(), errno), QStringLiteral("CopyFile"));
            out.cancelWriting();
            return false;
        }
        done += chunk.size();
        if (progress)
            progress(done, total);
    }
    if (in.error() != QFileDevice::NoError) {
        fail(Err::fromFileError(in.error(), errno), QStringLiteral("CopyFile"));
        out.cancelWriting();
        return false;
    }
    if (const int number = commitSave(out)) {
        fail(number, QStringLiteral("CopyFile"));
        return false;
    }
    return true;
}

void cSharedFileSubs::RunFile(const QString& filename, const QString& path)
{
    if (filename.isEmpty())
        return;
    QString full = slashed(filename);
    if (QFileInfo(full).isRelative() && !path.isEmpty())
        full = AddSlashIfMissing(slashed(path)) + full;
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(full)))
        fail(Err::FileNotFound, QStringLiteral("RunFile"));
}

// ---- numbered files -----------------------------------------------------------------------

int cSharedFileSubs::openNumbered(const QString& filename, int mode, const QString& procedure)
{
    auto file = std::make_unique<QFile>(slashed(filename));
    if (!file->open(QIODevice::OpenMode(mode))) {
        fail(Err::fromFileError(file->error(), errno), procedure);
        return -1;
    }
    int number = 1;
    while (m_open.count(number))
        ++number;
    m_open.emplace(number, std::move(file));
    return number;
}

int cSharedFileSubs::CreateOutputFile(const QString& filename)
{
    if (!ensureWritable(slashed(filename)))
        return -1;
    return openNumbered(filename, QIODevice::WriteOnly | QIODevice::Truncate,
                        QStringLiteral("CreateOutputFile"));
}

int cSharedFileSubs::OpenAppendFile(const QString& filename)
{
    if (!ensureWritable(slashed(filename)))
        return -1;
    return openNumbered(filename, QIODevice::WriteOnly | QIODevice::Append,
                        QStringLiteral("OpenAppendFile"));
}

int cSharedFileSubs::OpenFile(const QString& filename)
{
    if (!FileExists(filename))
        return -1;
    return openNumbered(filename, QIODevice::ReadOnly, QStringLiteral("OpenFile"));
}

QFile* cSharedFileSubs::fileFor(int fileNumber) const
{
    const auto it = m_open.find(fileNumber);
    return it == m_open.end() ? nullptr : it->second.get();
}

bool cSharedFileSubs::WriteToFile(int fileNumber, const QString& text)
{
    QFile* file = fileFor(fileNumber);
    if (!file) {
        fail(Err::BadFileName, QStringLiteral("WriteToFile"));
        return false;
    }
    const QByteArray bytes = TextCodec::encode(text);
    if (file->write(bytes) != bytes.size() || !file->flush()) {
        fail(Err::fromFileError(file->error(), errno), QStringLiteral("WriteToFile"));
        return false;
    }
    m_lastError = 0;
    return true;
}

bool cSharedFileSubs::CloseFile(int fileNumber)
{
    const auto it = m_open.find(fileNumber);
    if (it == m_open.end())
        return false;
    std::unique_ptr<QFile> file = std::move(it->second);
    m_open.erase(it);
    const bool flushed = !file->isWritable() || file->flush();
    const int number = flushed ? 0 : Err::fromFileError(file->error(), errno);
    file->close();
    if (!flushed)
        fail(number, QStringLiteral("CloseFile"));
    return flushed;
}
