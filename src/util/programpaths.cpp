#include "util/programpaths.h"

#include "parlo_config.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

QString g_programFolder;
QString g_resourceFolder;

QString executableFolder()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QDir::currentPath();
}

} // namespace

namespace ProgramPaths {

QString programFolder()
{
    if (!g_programFolder.isEmpty())
        return g_programFolder;
    QString folder = qEnvironmentVariable("PARLO_HOME");
    if (folder.isEmpty()) {
        const QString exeDir = executableFolder();
        if (QFileInfo::exists(exeDir + "/Parlo.ini"))
            folder = exeDir;
    }
    if (folder.isEmpty()) {
        folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        if (folder.isEmpty())
            folder = QDir::homePath() + "/.local/share";
        folder += "/parlo";
    }
    QDir().mkpath(folder);
    g_programFolder = QDir::cleanPath(QDir(folder).absolutePath());
    return g_programFolder;
}

QString programFile(const QString& name)
{
    return programFolder() + '/' + name;
}

QString resourceFolder()
{
    if (!g_resourceFolder.isEmpty())
        return g_resourceFolder;
    const QString candidates[] = {
        programFolder(),
        executableFolder() + "/../share/parlo",
        QStringLiteral(PARLO_SOURCE_RESOURCES),
    };
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate + "/Languages").isDir()) {
            g_resourceFolder = QDir::cleanPath(candidate);
            return g_resourceFolder;
        }
    }
    g_resourceFolder = QDir::cleanPath(candidates[2]);
    return g_resourceFolder;
}

void reset()
{
    g_programFolder.clear();
    g_resourceFolder.clear();
}

} // namespace ProgramPaths
