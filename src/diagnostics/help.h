#pragma once

#include <QString>
#include <QUrl>

#include <functional>

// Hands web addresses, "mailto:" requests and files to the desktop's own handlers.
class cSharedWWW {
public:
    static cSharedWWW& instance();

    // Opens a URL ("https:", "mailto:") or a file with the desktop's handler, showing the busy
    // pointer meanwhile. A refusal (no mail program, say) is noted in the action trail only.
    bool WebSiteVisit(const QString& address);

    // What actually opens an address; tests install a recorder so nothing is launched.
    using Opener = std::function<bool(const QString& address)>;
    // Installs opener and returns the one it replaces; an empty one restores the desktop's.
    static Opener setOpener(Opener opener);

    // An address as the desktop understands it: a URL when it has a scheme, else a file.
    static QUrl toUrl(const QString& address);
};

// The program's help page.
class cSharedHelp {
public:
    static cSharedHelp& instance();

    // Help/Index.htm among the program's resources.
    static QString helpIndexPath();

    // Opens the help index page; there is one page, so the topic is accepted and not used.
    bool ShowHelp(const QString& displayTopic = {});
    // Opens the given file, or says "Cannot find help file " + its path when it is missing.
    bool ShowHelpFile(const QString& helpfile);

private:
    bool open(const QString& helpfile);
};
