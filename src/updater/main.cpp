// parlo-updater: started by the reader with its caption once an update package is in the
// program folder; hands the package to the desktop and ends.
#include "updater/handoff.h"
#include "util/programpaths.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QStringList>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("parlo-updater"));
    const QStringList arguments = QApplication::arguments().mid(1);
    const QString caption = arguments.isEmpty() ? QStringLiteral("Parlo") : arguments.join(u' ');
    cUpdateHandoff handoff;
    handoff.message = [](const QString& title, const QString& text) {
        QMessageBox::warning(nullptr, title, text);
    };
    handoff.open = [](const QUrl& file) { return QDesktopServices::openUrl(file); };
    return handoff.run(caption, ProgramPaths::programFolder());
}
