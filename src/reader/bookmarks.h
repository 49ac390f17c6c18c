#pragma once

#include "settings/readermemory.h"
#include "settings/settings.h"

#include <QSet>
#include <QString>
#include <QVariant>

// The reading position of every document the reader has shown, kept in a settings store of
// its own and in BookMarks.ini in the program folder. The file is read on the first call and
// written by savebookmarks, normally once at exit.
//
// Each bookmark is an entry named after the document's file name in upper case ("BOOK.TXT")
// holding the 0-based cursor offset. Two documents with the same name in different folders
// would share that entry, and the second one left would overwrite the first one's place, so
// each store also keeps an entry under the document's full path. A lookup prefers that one
// and falls back to the file name for a path with no entry of its own: a book moved or
// copied elsewhere, or one bookmarked before paths were kept.
//
// Beside each bookmark the speech the book was last read with is kept under "VOICE:" and
// the same two names. Those entries are new names, so a version that knows nothing of them
// still finds the places where they have always been, and keeps these entries when it saves.
class cBookmarks {
public:
    cBookmarks() = default;
    cBookmarks(const cBookmarks&) = delete;
    cBookmarks& operator=(const cBookmarks&) = delete;

    void initialiseifnecessary();
    void loadbookmarks();
    // Rewrites the file with every bookmark held here, plus those another Parlo running
    // beside this one has saved meanwhile for documents this run has not left.
    void savebookmarks();
    void storebookmark(const QString& documentPath, qint32 position);
    // 0 for a document never seen, and for a value that is no usable position.
    qint32 retrievebookmark(const QString& documentPath);
    void storespeech(const QString& documentPath, const cSpeechChoice& choice);
    // Nothing for a document whose speech was never kept.
    std::optional<cSpeechChoice> retrievespeech(const QString& documentPath);

    bool Initialised() const { return m_initialised; }
    QString BookmarkFile() const { return m_bookmarkFile; }
    cSHAREDSettings& BookmarkStore() { return m_store; }

    // The entry names for a document: its upper-cased file name, and its full path. Double
    // quotes (from a command line) and commas (which the settings file cannot keep in a
    // name) are left out, so a bookmark is found under the name it was stored with.
    static QString nameKey(const QString& documentPath);
    static QString pathKey(const QString& documentPath);
    static QString speechKey(const QString& bookmarkKey) { return "VOICE:" + bookmarkKey; }

private:
    // Under the document's name and its path, each with the prefix in front.
    void rememberFor(const QString& documentPath, const QString& prefix, const QVariant& value);
    void remember(const QString& key, const QVariant& value);
    bool storedThisRun(const QString& key) const;

    bool m_initialised = false;
    QString m_bookmarkFile;
    cSHAREDSettings m_store;
    // Entries stored during this run; they win over the file's when saving.
    QSet<QString> m_stored;
};

// The program-wide bookmarks, as the reader window calls them.
namespace mSharedBookmarks {
cBookmarks& instance();

inline void initialiseifnecessary()
{
    instance().initialiseifnecessary();
}
inline void loadbookmarks()
{
    instance().loadbookmarks();
}
inline void savebookmarks()
{
    instance().savebookmarks();
}
inline void storebookmark(const QString& documentPath, qint32 position)
{
    instance().storebookmark(documentPath, position);
}
inline qint32 retrievebookmark(const QString& documentPath)
{
    return instance().retrievebookmark(documentPath);
}
} // namespace mSharedBookmarks
