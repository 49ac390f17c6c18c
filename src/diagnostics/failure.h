#pragma once

#include <QFileDevice>
#include <QString>

// The program's failure convention: a procedure that meets a run-time failure notes it in
// the log's action trail as "description (number)" with its procedure and module labels,
// then carries on and returns its default. The numbers are the classic run-time error
// numbers, kept because callers and messages depend on some of them.
namespace Err {
enum : int {
    InvalidCall = 5,
    Overflow = 6,
    SubscriptOutOfRange = 9,
    TypeMismatch = 13,
    BadFileName = 52,
    FileNotFound = 53,
    BadFileMode = 54,
    DeviceIO = 57,
    DiskFull = 61,
    PermissionDenied = 70,
    PathFileAccess = 75,
    PathNotFound = 76,
    CannotCreateObject = 429,
    NoVoices = 23458,
};

// The description that goes with a number ("File not found" for 53).
QString description(int number);

// The number for a failed QFile/QSaveFile operation, looking at errno where Qt's own code
// is too coarse (a full disk and a refused permission are both "WriteError" to Qt).
int fromFileError(QFileDevice::FileError error, int systemErrno);
} // namespace Err

// A failure as a value, for the few operations that pass failures to their caller.
struct Failure {
    int number = 0;
    QString description;
    QString source;
};

// Adds "description (number)" to the action trail with the procedure and module labels.
void noteFailure(int number, const QString& description, const QString& procedure,
                 const QString& module);
// Same, with the description that belongs to the number.
void noteFailure(int number, const QString& procedure, const QString& module);
