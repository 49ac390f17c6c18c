#pragma once

#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <ostream>

// The fixture folder that holds Languages/ with files in both encodings.
inline QString langTestData()
{
    const QString folder = qEnvironmentVariable("PARLO_TEST_DATA");
    return folder.isEmpty() ? QStringLiteral(LANG_TEST_DATA) : folder;
}

// Writes folder/Languages/name, creating the folders, in UTF-8 with the given line end.
inline QString writeLanguageFile(const QString& folder, const QString& name,
                                 const QStringList& lines, const QString& lineEnd = "\r\n")
{
    QDir().mkpath(folder + "/Languages");
    const QString path = folder + "/Languages/" + name;
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write((lines.join(lineEnd) + lineEnd).toUtf8());
    return path;
}
