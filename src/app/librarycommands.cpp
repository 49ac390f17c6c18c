#include "app/librarycommands.h"

#include "files/filesubs.h"
#include "library/library.h"
#include "settings/settings.h"

#include <QEventLoop>

#include <cstdio>

namespace {

// Questions answered from the command line; the first thing that goes wrong is the one
// line a failure prints.
class CommandView : public cLibraryView {
public:
    explicit CommandView(bool australia) : m_australia(australia) {}

    void status(const QString& text) override
    {
        if (!text.isEmpty())
            m_lastStatus = text;
    }
    void message(const QString& text) override
    {
        if (m_firstMessage.isEmpty())
            m_firstMessage = text;
    }
    bool askYesNo(const QString& text) override
    {
        // A catalogue already there is replaced: the user asked for a new one.
        return text.contains(QLatin1String("Australia")) ? m_australia : true;
    }
    int fail(const QString& otherwise = {}) const
    {
        QString line = m_firstMessage.isEmpty() ? m_lastStatus : m_firstMessage;
        if (line.isEmpty())
            line = otherwise;
        std::fprintf(stderr, "parlo: %s\n", qPrintable(line.simplified()));
        return 1;
    }

private:
    bool m_australia;
    QString m_firstMessage;
    QString m_lastStatus;
};

void loadSettings()
{
    cSHAREDSettings::shared().LoadSettings(cSHAREDSettings::sharedFilename());
}

} // namespace

namespace LibraryCommands {

int updateCatalogue(const CommandLine& command)
{
    loadSettings();
    CommandView view(command.australia);
    cLibrary library(view);
    library.ReadSettings();
    int records = -1;
    bool ended = false;
    QEventLoop wait;
    QObject::connect(&library, &cLibrary::chainFinished, &wait, [&](int count) {
        records = count;
        ended = true;
        wait.quit();
    });
    library.cmdUpdateCat_Click();
    if (!ended && library.DownloadStage() != 0)
        wait.exec();
    if (records < 0)
        return view.fail(QStringLiteral("Cannot create catalog. Please download and try again."));
    std::printf("%d\n", records);
    return 0;
}

int search(const CommandLine& command)
{
    CommandView view(false);
    cLibrary library(view);
    if (!library.LoadCatalogue(true))
        return view.fail(QStringLiteral("Cannot find GutIndex.txt. Please download or generate "
                                        "a new catalogue."));
    cBookList& books = library.books();
    books.setFilter(command.searchWords.join(u' '), command.language);
    if (books.count() == 0)
        return view.fail(QStringLiteral("No matches"));
    for (int row = 0; row < books.count(); ++row) {
        const cBookEntry& book = books.entry(row);
        std::printf("%s\t%s\n", book.path.toUtf8().constData(), book.title.toUtf8().constData());
    }
    return 0;
}

int download(const CommandLine& command)
{
    loadSettings();
    CommandView view(false);
    cLibrary library(view);
    library.ReadSettings();
    QString path = command.downloadPath.trimmed();
    if (!path.startsWith(u'/'))
        path.prepend(u'/');
    library.LoadCatalogue(true);
    const int row = library.books().rowOfPath(path);
    if (row >= 0) {
        library.ShowBookInfo(row);
    } else {
        // Not in the catalogue: still a path on the mirror, only without a title.
        library.fields.title.clear();
        library.fields.url = library.bookUrl(path, {});
        library.fields.filename = cSharedFileSubs::FileOnly(library.fields.url);
    }
    bool ok = false;
    bool ended = false;
    QString file;
    QEventLoop wait;
    QObject::connect(&library, &cLibrary::bookFinished, &wait,
                     [&](bool done, const QString& where) {
                         ok = done;
                         ended = true;
                         file = where;
                         wait.quit();
                     });
    library.cmdDownload_Click(false);
    // A transfer that cannot even start has ended already.
    if (!ended && library.busy())
        wait.exec();
    if (!ok)
        return view.fail(QStringLiteral("Download failed"));
    std::printf("%s\n", qPrintable(file));
    return 0;
}

} // namespace LibraryCommands
