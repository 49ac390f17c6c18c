#include "diagnostics/help.h"

#include "diagnostics/failure.h"
#include "diagnostics/userprompt.h"
#include "util/identity.h"
#include "util/programpaths.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

bool openWithDesktop(const QString& address)
{
    return QDesktopServices::openUrl(cSharedWWW::toUrl(address));
}

cSharedWWW::Opener& currentOpener()
{
    static cSharedWWW::Opener opener = openWithDesktop;
    return opener;
}

} // namespace

cSharedWWW& cSharedWWW::instance()
{
    static cSharedWWW www;
    return www;
}

cSharedWWW::Opener cSharedWWW::setOpener(Opener opener)
{
    Opener previous = std::move(currentOpener());
    currentOpener() = opener ? std::move(opener) : Opener(openWithDesktop);
    return previous;
}

QUrl cSharedWWW::toUrl(const QString& address)
{
    // Two letters at least, so that a Windows drive ("c:") is not taken for a scheme.
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    if (scheme.match(address).hasMatch()) {
        // A "%" that starts no escape (a mail body cut short inside "%0D") would make QUrl
        // escape every other "%" too and so spoil the whole body; escape just that one.
        static const QRegularExpression strayPercent(QStringLiteral("%(?![0-9A-Fa-f]{2})"));
        QString repaired = address;
        repaired.replace(strayPercent, QStringLiteral("%25"));
        return QUrl(repaired, QUrl::TolerantMode);
    }
    const QFileInfo file(address);
    if (file.isAbsolute() || file.exists())
        return QUrl::fromLocalFile(file.absoluteFilePath());
    return QUrl::fromUserInput(address);
}

bool cSharedWWW::WebSiteVisit(const QString& address)
{
    auto& subs = cSHAREDSubs::instance();
    subs.BusyMouse();
    const bool opened = !address.isEmpty() && currentOpener()(address);
    subs.NormalMouse();
    if (!opened) {
        const QUrl url = toUrl(address);
        const QString what = url.isLocalFile() ? url.toLocalFile() : url.scheme() + ':';
        noteFailure(Err::InvalidCall, "Cannot open " + what, QStringLiteral("WebSiteVisit"),
                    QStringLiteral("cWWW"));
    }
    return opened;
}

cSharedHelp& cSharedHelp::instance()
{
    static cSharedHelp help;
    return help;
}

QString cSharedHelp::helpIndexPath()
{
    return ProgramPaths::resourceFolder() + "/Help/Index.htm";
}

bool cSharedHelp::ShowHelp(const QString& displayTopic)
{
    Q_UNUSED(displayTopic);
    return open(helpIndexPath());
}

bool cSharedHelp::ShowHelpFile(const QString& helpfile)
{
    return open(helpfile);
}

bool cSharedHelp::open(const QString& helpfile)
{
    const QFileInfo file(helpfile);
    if (helpfile.isEmpty() || !file.isFile()) {
        cUserPrompt::current().message(cUserPrompt::translated("Cannot find help file ") +
                                       (helpfile.isEmpty() ? helpfile : file.absoluteFilePath()));
        return false;
    }
    // A refusal is noted by WebSiteVisit.
    return cSharedWWW::instance().WebSiteVisit(file.absoluteFilePath());
}
