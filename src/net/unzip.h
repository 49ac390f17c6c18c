#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

// One member of an archive, as Directory lists it.
struct cUnzipMember {
    QString Filename;
    QString FileDirectory; // the folder part, "" at the top
    qint64 FileSize = 0;
    int FileCompressionRatio = 0; // packed size as a percentage of the size
    qint64 FilePackedSize = 0;
    QDateTime FileDate;
    quint32 FileCRC = 0;
    QString FileCompressionMethod;
    bool FileEncrypted = false;
    bool FileSelected = true;
};

// Unpacks zip archives with libzip. Properties are set first, then Unzip or Directory runs.
// Extraction never writes outside UnzipFolder: members with absolute paths, ".." parts or
// symbolic links are refused, and so is an archive that would unpack to more than 4 GiB,
// or to more than a hundred times its own size when it is over 1 MB. A refusal writes
// nothing at all; a member that fails on the way leaves no partial file.
class cSHAREDUnzip2 : public QObject {
    Q_OBJECT
public:
    explicit cSHAREDUnzip2(QObject* parent = nullptr);

    // The replace answers of the overwrite question.
    enum { ReplaceNo = 100, ReplaceYes = 102, ReplaceAll = 103, ReplaceNone = 104 };

    bool ExtractOnlyNewer = false;
    bool SpaceToUnderScore = false;
    bool PromptToOverwrite = false;
    int MessageLevel = 0; // 0 every message, 1 a few, 2 none
    bool ExtractToStdOut = false;
    bool TestZip = false; // read and check every member, write nothing
    bool UseFolderNames = false;
    bool OverwriteExisting = false;
    bool ConvertCRToCRLF = false;
    bool CaseSensitiveFileNames = false;

    QString Zipfile() const { return m_zipfile; }
    // Empties the member list.
    void setZipfile(const QString& zipfile);
    QString UnzipFolder;

    bool Unzip();
    void Directory();
    // libzip's version.
    static void GetVersion(int& major, int& minor, int& revision, QString& extra);

    int FileCount() const { return int(m_members.size()); }
    // 1-based, as listed.
    const cUnzipMember& member(int index) const { return m_members.at(index - 1); }
    void setFileSelected(int index, bool selected) { m_members[index - 1].FileSelected = selected; }

    // Why the last Unzip failed, "" after success.
    QString lastError() const { return m_lastError; }

    static constexpr qint64 kMaxTotalSize = qint64(4) << 30;
    static constexpr qint64 kRatioCheckFrom = 1 << 20;
    static constexpr int kMaxRatio = 100;

Q_SIGNALS:
    // The answer is preset to ReplaceNo.
    void OverwritePrompt(const QString& name, int* answer);
    // The password is preset empty and cancel false; asked once per call.
    void PasswordRequest(QString* password, bool* cancel);
    void Message(const QString& text);
    void Service(const QString& name, bool* cancel);

private:
    struct Run;
    bool fail(const QString& why);

    QString m_zipfile;
    QList<cUnzipMember> m_members;
    QString m_lastError;
};
