#include "updater/handoff.h"

#include <QFile>
#include <QFileInfo>

int cUpdateHandoff::run(const QString& caption, const QString& programFolder) const
{
    QFile ini(programFolder + QStringLiteral("/updater.ini"));
    QString name;
    if (ini.open(QIODevice::ReadOnly))
        name = QString::fromUtf8(ini.readAll()).trimmed();
    // Only a file of the program folder itself is ever handed over.
    if (name.isEmpty() || name.contains(u'/') || name.contains(u'\\') ||
        name == QLatin1String("..")) {
        message(caption, QStringLiteral("No update package is named in ") + ini.fileName());
        return 1;
    }
    const QString package = programFolder + '/' + name;
    if (!QFileInfo(package).isFile()) {
        message(caption, QStringLiteral("The update package ") + package +
                             QStringLiteral(" was not found. Please download the update again."));
        return 1;
    }
    if (!open(QUrl::fromLocalFile(package))) {
        message(caption, QStringLiteral("The update package ") + package +
                             QStringLiteral(" could not be opened."));
        return 1;
    }
    return 0;
}
