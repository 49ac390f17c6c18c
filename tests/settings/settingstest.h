#pragma once

#include "testsupport.h"

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
