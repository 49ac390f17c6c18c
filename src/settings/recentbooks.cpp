#include "settings/recentbooks.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QString kSet = QStringLiteral("RECENT");

} // namespace

QStringList cRecentBooks::books() const
{
    QStringList result;
    const int last = m_store.LastIndexInSet(kSet);
    for (int i = 1; i <= last && result.size() < Most; ++i) {
        const QString member = kSet + '_' + QString::number(i);
        if (!m_store.IsSettingPresent(member))
            continue;
        // A hand-edited file may repeat a book or hold a relative path.
        const QString path = listed(m_store.RetrieveSetting(member).toString());
        if (!path.isEmpty() && !result.contains(path))
            result << path;
    }
    return result;
}

void cRecentBooks::add(const QString& path)
{
    const QString book = listed(path);
    if (book.isEmpty())
        return;
    QStringList list = books();
    list.removeAll(book);
    list.prepend(book);
    write(list.mid(0, Most));
}

void cRecentBooks::remove(const QString& path)
{
    QStringList list = books();
    if (list.removeAll(listed(path)) > 0)
        write(list);
}

void cRecentBooks::clear()
{
    write({});
}

QString cRecentBooks::listed(const QString& path)
{
    const QString bare = QString(path).remove(u'"');
    if (bare.trimmed().isEmpty() || bare.contains(u'\r') || bare.contains(u'\n'))
        return {};
    // Paths tell books apart by letter case, as the file system does.
    return QDir::cleanPath(QFileInfo(bare).absoluteFilePath());
}

void cRecentBooks::write(const QStringList& books)
{
    // Rewritten whole, so the numbers follow the order: RECENT_1 is the newest.
    m_store.DeleteASet(kSet);
    for (const QString& book : books)
        m_store.AddToSet(kSet, book);
}
