#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// One entry of a book's table of contents: its title and the member (a path inside the
// archive) and fragment it points at.
struct cEpubTocEntry {
    QString title;
    QString member;
    QString fragment;
};

// What the package document says: the content documents in reading order (paths inside
// the archive) and where the table of contents lives.
struct cEpubPackage {
    QStringList spine;
    QString navMember; // EPUB 3 navigation document, "" when there is none
    QString ncxMember; // EPUB 2 NCX, "" when there is none
    QString title;     // dc:title and dc:creator, "" when not given
    QString creator;
};

// Reads EPUB 2 and EPUB 3 books with libzip, without unpacking them. Only members the
// package names are read, by name inside the archive: a reference that leads outside it
// (an absolute path, ".." above the top) makes the book unreadable, and so does one that
// unpacks to more than kMaxMemberSize, or in all to more than kMaxTotalSize or, when the
// archive is over kRatioCheckFrom, to more than kMaxRatio times the archive's size.
class cEpubBook {
public:
    cEpubBook();
    ~cEpubBook();
    cEpubBook(const cEpubBook&) = delete;
    cEpubBook& operator=(const cEpubBook&) = delete;

    enum class Problem { None, Unreadable, Broken, Protected };

    // Opens the archive and reads its package and table of contents; the content documents
    // are read by documents(). False with problem() and why() set when it cannot be read.
    bool open(const QString& path);
    // The content documents in spine order, as their decoded markup. A spine item missing
    // from the archive is left out (the rest still reads); false when the archive fails
    // on the way.
    bool documents(QStringList& markup);
    // The same, each handed to take on the calling thread as soon as it is unpacked: the
    // archive is read on a worker thread meanwhile, so that unpacking one document and
    // converting the one before take about as long as the longer of the two. After a
    // false, take may have had the documents before the failure.
    bool documents(const std::function<void(QString&&)>& take);

    const cEpubPackage& package() const { return m_package; }
    const QList<cEpubTocEntry>& toc() const { return m_toc; }
    Problem problem() const { return m_problem; }
    // What is wrong, in words for the reader ("The package document ... is missing").
    QString why() const { return m_why; }

    static constexpr qint64 kMaxMemberSize = qint64(256) << 20;
    static constexpr qint64 kMaxTotalSize = qint64(512) << 20;
    static constexpr qint64 kRatioCheckFrom = 1 << 20;
    static constexpr int kMaxRatio = 100;

    // The parsers of the archive's XML, which take untrusted bytes and never fail hard.
    // The package path from META-INF/container.xml, "" when it names none.
    static QString containerRootfile(const QByteArray& xml);
    // The package document at opfMember; false when it is not XML or has no spine.
    static bool parsePackage(const QByteArray& xml, const QString& opfMember, cEpubPackage& out);
    // The entries of an EPUB 3 navigation document's "toc" nav, and of an NCX navMap.
    static QList<cEpubTocEntry> parseNav(const QByteArray& xml, const QString& navMember);
    static QList<cEpubTocEntry> parseNcx(const QByteArray& xml, const QString& ncxMember);
    // The members META-INF/encryption.xml says are encrypted.
    static QStringList encryptedMembers(const QByteArray& xml);
    // A reference made from the member from, resolved to a member path; "" when it leads
    // outside the archive or elsewhere (another scheme, an absolute path).
    static QString resolve(const QString& from, const QString& href, QString* fragment = nullptr);

private:
    struct Archive;
    bool openArchive(const QString& path);
    // Notes what is wrong; the log is written later, on the calling thread, by note().
    bool fail(Problem problem, const QString& why);
    bool note(bool ok, const QString& procedure);
    bool readMember(const QString& name, QByteArray& bytes, bool mustExist = true);

    std::unique_ptr<Archive> m_archive;
    QString m_path;
    cEpubPackage m_package;
    QList<cEpubTocEntry> m_toc;
    Problem m_problem = Problem::None;
    QString m_why;
    qint64 m_archiveSize = 0;
    qint64 m_unpacked = 0;
};
