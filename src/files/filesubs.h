#pragma once

#include <QDateTime>
#include <QString>

#include <functional>
#include <map>
#include <memory>

class QFile;
class QSaveFile;

// The program's one library of file and path operations. Paths use "/"; the
// path-splitting operations treat "\" as a separator too. Text is read through
// TextCodec (UTF-8 or Windows-1252) and written as UTF-8. Failures are noted in the
// log's action trail (module "cFile") and the operation returns its default.
class cSharedFileSubs {
public:
    static cSharedFileSubs& instance();
    ~cSharedFileSubs();

    // Tests and path operations.
    bool FileExists(const QString& filename) const;
    bool FolderExists(const QString& foldername) const;
    bool MkMissingDir(const QString& foldername);
    static QString PathOnly(const QString& pathPlusFile);
    static QString FileOnly(const QString& pathPlusFile);
    static QString ExtOnly(const QString& filename);
    static QString FileWithoutExt(const QString& filename);
    static QString Fileroot(const QString& filename) { return FileWithoutExt(filename); }
    static QString AddSlashIfMissing(const QString& path);
    static QString RemoveSlashFromEnd(const QString& path);
    // The volume a path lives on, for messages; "/" for an absolute path.
    static QString DriveOnly(const QString& path);
    bool isReadonly(const QString& filename) const;
    bool MakeReadWrite(const QString& filename);
    static void CleanString(QString& stringToClean);

    // Reading and writing whole files.
    bool LoadTextFile(const QString& filename, QString& text);
    bool ReadTextFile(const QString& filename, QString& text)
    {
        return LoadTextFile(filename, text);
    }
    // Writes atomically: a failure leaves the old file as it was.
    bool WriteTextFile(const QString& filename, const QString& text);
    bool SaveTextFile(const QString& filename, const QString& text)
    {
        return WriteTextFile(filename, text);
    }
    bool AppendToTextFile(const QString& filename, const QString& text);
    // Replaces the file with the bytes, or leaves the old file whole: 0, or the error number.
    // Every whole-file save of the program's own files comes through here.
    static int saveWholeFile(const QString& filename, const QByteArray& bytes);
    QDateTime FileDate(const QString& filename) const;
    int LinesInFile(const QString& filename);
    bool EraseFile(const QString& filename);
    using Progress = std::function<void(qint64 done, qint64 total)>;
    bool CopyFile(const QString& source, const QString& dest, const Progress& progress = {});
    void RunFile(const QString& filename, const QString& path);

    // Open files by number: the lowest number no other open file holds, from 1; -1 on failure.
    int CreateOutputFile(const QString& filename);
    int OpenAppendFile(const QString& filename);
    int OpenFile(const QString& filename);
    bool WriteToFile(int fileNumber, const QString& text);
    bool CloseFile(int fileNumber);
    QFile* fileFor(int fileNumber) const;

    // Error number of the last failed write or close, 0 after success.
    int lastError() const { return m_lastError; }

private:
    static int commitSave(QSaveFile& file);
    int openNumbered(const QString& filename, int mode, const QString& procedure);
    bool ensureWritable(const QString& filename);
    void fail(int number, const QString& procedure);

    std::map<int, std::unique_ptr<QFile>> m_open;
    int m_lastError = 0;
};
