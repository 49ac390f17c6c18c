#include "diagtestsupport.h"

#include <QCursor>
#include <QGuiApplication>

OpenerRecorder::OpenerRecorder(bool succeed)
{
    m_previous = cSharedWWW::setOpener([this, succeed](const QString& address) {
        opened << address;
        const QCursor* cursor = QGuiApplication::overrideCursor();
        pointers << (cursor ? int(cursor->shape()) : 0);
        return succeed;
    });
}

OpenerRecorder::~OpenerRecorder()
{
    cSharedWWW::setOpener(m_previous);
}

ScopedTempFolder::ScopedTempFolder()
    : m_previous(qgetenv("TMPDIR")), m_hadPrevious(qEnvironmentVariableIsSet("TMPDIR"))
{
    qputenv("TMPDIR", m_dir.path().toUtf8());
}

ScopedTempFolder::~ScopedTempFolder()
{
    if (m_hadPrevious)
        qputenv("TMPDIR", m_previous);
    else
        qunsetenv("TMPDIR");
}
