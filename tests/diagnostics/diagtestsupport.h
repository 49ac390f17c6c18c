#pragma once

#include "diagnostics/help.h"

#include <QStringList>
#include <QTemporaryDir>

// Records what would have been handed to the browser, mail program or viewer.
class OpenerRecorder {
public:
    explicit OpenerRecorder(bool succeed = true);
    ~OpenerRecorder();
    QStringList opened;
    // The pointer shape while each address was being opened (0 when none was set).
    QList<int> pointers;

private:
    cSharedWWW::Opener m_previous;
};

// A private temporary folder ($TMPDIR) for the life of a test.
class ScopedTempFolder {
public:
    ScopedTempFolder();
    ~ScopedTempFolder();
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.path() + '/' + name; }

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
    bool m_hadPrevious;
};
