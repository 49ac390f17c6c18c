#pragma once

#include "diagnostics/log.h"

#include <QString>
#include <QStringList>

#include <ostream>

// Readable QStrings in failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

// A fixture file shipped beside the tests.
inline QString settingsTestData(const char* name)
{
    QString folder = qEnvironmentVariable("PARLO_TEST_DATA");
    if (folder.isEmpty())
        folder = QStringLiteral(SETTINGS_TEST_DATA);
    return folder + '/' + name;
}

// Watches the log's action trail for what one step added.
class TrailWatch {
public:
    TrailWatch() { cSharedLogging::instance().AddAction(marker()); }
    // The newest note, or "" when nothing was added since the watch began.
    QString added() const
    {
        const QString last = cSharedLogging::instance().CurrentAction();
        return last == marker() ? QString() : last;
    }

private:
    static QString marker() { return QStringLiteral("-- settings test marker --"); }
};
