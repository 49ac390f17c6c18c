#include "diagnostics/failure.h"

#include "diagnostics/log.h"

#include <cerrno>

namespace Err {

QString description(int number)
{
    switch (number) {
    case InvalidCall:
        return QStringLiteral("Invalid procedure call or argument");
    case Overflow:
        return QStringLiteral("Overflow");
    case SubscriptOutOfRange:
        return QStringLiteral("Subscript out of range");
    case TypeMismatch:
        return QStringLiteral("Type mismatch");
    case BadFileName:
        return QStringLiteral("Bad file name or number");
    case FileNotFound:
        return QStringLiteral("File not found");
    case BadFileMode:
        return QStringLiteral("Bad file mode");
    case DeviceIO:
        return QStringLiteral("Device I/O error");
    case DiskFull:
        return QStringLiteral("Disk full");
    case PermissionDenied:
        return QStringLiteral("Permission denied");
    case PathFileAccess:
        return QStringLiteral("Path/File access error");
    case PathNotFound:
        return QStringLiteral("Path not found");
    case CannotCreateObject:
        return QStringLiteral("ActiveX component can't create object");
    case NoVoices:
        return QStringLiteral("No speech voice is installed");
    default:
        return QStringLiteral("Application-defined or object-defined error");
    }
}

int fromFileError(QFileDevice::FileError error, int systemErrno)
{
    if (systemErrno == ENOSPC || systemErrno == EDQUOT)
        return DiskFull;
    if (systemErrno == EACCES || systemErrno == EPERM || systemErrno == EROFS)
        return PathFileAccess;
    if (systemErrno == ENOENT)
        return error == QFileDevice::OpenError ? PathNotFound : FileNotFound;
    if (systemErrno == EISDIR || systemErrno == ENAMETOOLONG)
        return BadFileName;
    switch (error) {
    case QFileDevice::NoError:
        return 0;
    case QFileDevice::PermissionsError:
        return PathFileAccess;
    case QFileDevice::OpenError:
        return PathFileAccess;
    case QFileDevice::ResourceError:
        return DiskFull;
    default:
        return DeviceIO;
    }
}

} // namespace Err

void noteFailure(int number, const QString& description, const QString& procedure,
                 const QString& module)
{
    cSharedLogging::instance().AddAction(description + " (" + QString::number(number) + ")",
                                         procedure, module);
}

void noteFailure(int number, const QString& procedure, const QString& module)
{
    noteFailure(number, Err::description(number), procedure, module);
}
