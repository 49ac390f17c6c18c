#include "reader/bookmarks.h"

#include "diagnostics/failure.h"
#include "files/filesubs.h"
#include "util/programpaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <cmath>
#include <limits>

namespace {

const QString kModule = QStringLiteral("mSHAREDBookmarks");

// What a settings file cannot hold in a name, and the quotes a command line leaves behind.
QString withoutUnstorable(QString text)
{
    text.remove('"');
    text.remove(',');
    text.remove('\r');
    text.remove('\n');
    return text;
}

// The value as a cursor offset; false with the error number when it is no number or does
// not fit 32 bits. Text from the file carries the blanks of printed numbers.
bool toPosition(const QVariant& value, qint64& position, int& error)
{
    if (value.typeId() == QMetaType::Bool) {
        position = 0; // a hand-edited "True" is no place in a text
        return true;
    }
    bool ok = false;
    const double number = value.typeId() == QMetaType::QString
                              ? QLocale::c().toDouble(value.toString().trimmed(), &ok)
                              : value.toDouble(&ok);
    if (!ok || !std::isfinite(number)) {
        error = Err::TypeMismatch;
        return false;
    }
    const double whole = std::nearbyint(number);
    if (whole > std::numeric_limits<qint32>::max() || whole < std::numeric_limits<qint32>::min()) {
        error = Err::Overflow;
        return false;
    }
    position = qint64(whole);
    return true;
}

} // namespace

void cBookmarks::initialiseifnecessary()
{
    if (m_initialised)
        return;
    m_bookmarkFile = ProgramPaths::programFile(QStringLiteral("BookMarks.ini"));
    // Set first, so that loadbookmarks' own call returns at once.
    m_initialised = true;
    loadbookmarks();
}

void cBookmarks::loadbookmarks()
{
    initialiseifnecessary();
    m_store.LoadSettings(m_bookmarkFile);
    m_stored.clear();
}

void cBookmarks::savebookmarks()
{
    initialiseifnecessary();
    if (QFileInfo(m_bookmarkFile).isFile()) {
        QFile probe(m_bookmarkFile);
        if (!probe.open(QIODevice::ReadOnly)) {
            // Writing now would replace bookmarks this run has never seen.
            noteFailure(Err::PermissionDenied, QStringLiteral("sub savebookmarks"), kModule);
            return;
        }
        probe.close();
        // Another Parlo may have saved since this one loaded: keep what it added or moved,
        // except where this run stored a place of its own.
        cSHAREDSettings onDisk;
        onDisk.LoadSettings(m_bookmarkFile);
        for (int i = 1; i <= onDisk.SettingsCount(); ++i) {
            const QString key = onDisk.SettingNameByIndex(i);
            if (!storedThisRun(key))
                m_store.StoreSetting(key, onDisk.RetrieveSetting(key));
        }
    }
    m_store.SaveSettings(m_bookmarkFile);
}

void cBookmarks::storebookmark(const QString& documentPath, qint32 position)
{
    rememberFor(documentPath, QString(), QVariant::fromValue<qint32>(position));
}

qint32 cBookmarks::retrievebookmark(const QString& documentPath)
{
    initialiseifnecessary();
    const QString path = pathKey(documentPath);
    const QString name = nameKey(documentPath);
    // A book moved or copied to another folder has no entry of its own yet: it takes the
    // place its name was last left at.
    QVariant value;
    if (!path.isEmpty() && m_store.IsSettingPresent(path))
        value = m_store.RetrieveSetting(path, 0);
    else if (!name.isEmpty())
        value = m_store.RetrieveSetting(name, 0);
    qint64 position = 0;
    int error = 0;
    if (!toPosition(value, position, error)) {
        noteFailure(error, QStringLiteral("function retrievebookmark"), kModule);
        return 0;
    }
    // A negative offset (a hand-edited file) means the start.
    return position < 0 ? 0 : qint32(position);
}

void cBookmarks::storespeech(const QString& documentPath, const cSpeechChoice& choice)
{
    const QString value = choice.toText();
    // A voice name cannot hold a line break in the file; the book then keeps none.
    if (value.contains(u'\r') || value.contains(u'\n'))
        return;
    rememberFor(documentPath, speechKey(QString()), value);
}

std::optional<cSpeechChoice> cBookmarks::retrievespeech(const QString& documentPath)
{
    initialiseifnecessary();
    // Found as the bookmark is: by path first, then by name for a moved book.
    for (const QString& key : {pathKey(documentPath), nameKey(documentPath)}) {
        if (key.isEmpty() || !m_store.IsSettingPresent(speechKey(key)))
            continue;
        if (auto choice =
                cSpeechChoice::fromText(m_store.RetrieveSetting(speechKey(key)).toString()))
            return choice;
    }
    return std::nullopt;
}

QString cBookmarks::nameKey(const QString& documentPath)
{
    return withoutUnstorable(cSharedFileSubs::FileOnly(QString(documentPath).remove('"')))
        .toUpper();
}

QString cBookmarks::pathKey(const QString& documentPath)
{
    const QString path = QString(documentPath).remove('"');
    if (path.isEmpty())
        return {};
    return withoutUnstorable(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
}

void cBookmarks::rememberFor(const QString& documentPath, const QString& prefix,
                             const QVariant& value)
{
    if (documentPath.isEmpty())
        return;
    initialiseifnecessary();
    const QString name = nameKey(documentPath);
    if (name.isEmpty())
        return;
    remember(prefix + name, value);
    remember(prefix + pathKey(documentPath), value);
}

void cBookmarks::remember(const QString& key, const QVariant& value)
{
    m_store.StoreSetting(key, value);
    m_stored.insert(key.toUpper());
}

bool cBookmarks::storedThisRun(const QString& key) const
{
    return m_stored.contains(key.toUpper());
}

namespace mSharedBookmarks {

cBookmarks& instance()
{
    static cBookmarks bookmarks;
    return bookmarks;
}

} // namespace mSharedBookmarks
