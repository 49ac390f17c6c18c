#include "app/cataloguecommand.h"
#include "app/commandline.h"
#include "app/librarycommands.h"
#include "app/speechcommands.h"
#include "diagnostics/log.h"
#include "diagnostics/widgetprompt.h"
#include "parlo_config.h"
#include "reader/cTerminationWatcher.h"
#include "reader/fSplash.h"
#include "reader/frmMain.h"
#include "reader/themeicons.h"
#include "settings/lang.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

int runWithoutWindow(const CommandLine& command)
{
    switch (command.mode) {
    case CommandLine::Mode::Version:
        std::printf("parlo %s\n", PARLO_VERSION_STRING);
        return 0;
    case CommandLine::Mode::Help:
        std::printf("%s", qPrintable(command.helpText));
        return 0;
    case CommandLine::Mode::Error:
        std::fprintf(stderr, "parlo: %s\n", qPrintable(command.error));
        return 2;
    case CommandLine::Mode::ListVoices:
        return SpeechCommands::listVoices();
    case CommandLine::Mode::Wav:
        return SpeechCommands::readIntoWav(command);
    case CommandLine::Mode::Text:
        return SpeechCommands::printText(command);
    case CommandLine::Mode::BuildCatalogue:
        return CatalogueCommand::build();
    case CommandLine::Mode::Search:
        return LibraryCommands::search(command);
    case CommandLine::Mode::UpdateCatalogue:
    case CommandLine::Mode::Download:
    case CommandLine::Mode::Window:
        break;
    }
    return 1;
}

// Whether QApplication could start here, to take its own options out of the command line.
// Without a display it would end the program instead of our message naming the option.
bool windowsPossible(int argc, char** argv)
{
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        if (!qEnvironmentVariableIsEmpty(name))
            return true;
    }
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "--")
            break;
        if (argument == "-platform" || argument == "--platform")
            return true;
    }
    return false;
}

int runLibraryCommand(const CommandLine& command)
{
    return command.mode == CommandLine::Mode::Download ? LibraryCommands::download(command)
                                                       : LibraryCommands::updateCatalogue(command);
}

// The downloads go through the download window, a widget, so they need the widget
// application; without a display it works offscreen.
int runDownload(const CommandLine& command, int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // A script reads one line on failure; the platform's notes about the session stay out.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "parlo: %s\n", qPrintable(text));
    });
    QApplication app(argc, argv);
    return runLibraryCommand(command);
}

} // namespace

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    CommandLine command = CommandLine::parse(arguments);
    const bool maybeQtOptions = command.unknownOption && windowsPossible(argc, argv);
    if (command.mode == CommandLine::Mode::UpdateCatalogue ||
        command.mode == CommandLine::Mode::Download)
        return runDownload(command, argc, argv);
    if (command.needsNoWindow() && !maybeQtOptions) {
        QCoreApplication app(argc, argv);
        return runWithoutWindow(command);
    }

    // QApplication takes the options that are Qt's (-style Fusion, -platform ...) out of
    // argv; what is left is ours.
    QApplication app(argc, argv);
    if (maybeQtOptions) {
        command = CommandLine::parse(QCoreApplication::arguments());
        if (command.mode == CommandLine::Mode::UpdateCatalogue ||
            command.mode == CommandLine::Mode::Download)
            return runLibraryCommand(command);
        if (command.needsNoWindow())
            return runWithoutWindow(command);
    }
    QApplication::setApplicationName(QStringLiteral("parlo"));
    QApplication::setApplicationVersion(QStringLiteral(PARLO_VERSION_STRING));
    QApplication::setWindowIcon(QIcon(fSplash::picture(QSize(64, 64), 1.0)));
    ThemeIcons::prepare();
    cWidgetPrompt prompt;
    prompt.translateWindow = [](QWidget* window) { cSharedLang::instance().TranslateForm(window); };
    cUserPrompt::install(&prompt);
    cUserPrompt::setTranslator(
        [](const QString& text) { return cSharedLang::instance().GetTranslation(text); });

    frmMain window;
    // Ended by the system or the session, the reader still keeps its place and settings.
    cTerminationWatcher watcher;
    QObject::connect(&watcher, &cTerminationWatcher::terminationRequested, &window,
                     &frmMain::ShutDown);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window, &frmMain::ShutDown);
    if (!window.startUp()) {
        cUserPrompt::setTranslator({});
        cUserPrompt::install(nullptr);
        return 1;
    }
    window.show();
    // Books beyond the first (a file manager opens several at once) wait in the recent books.
    window.offerRecentBooks(command.otherDocuments);
    // The document is opened once the window is up, so the user sees it while it loads.
    QTimer::singleShot(0, &window, [&] { window.openFromCommandLine(command.document); });
    const int result = window.isShutDown() ? 0 : app.exec();
    cUserPrompt::setTranslator({});
    cUserPrompt::install(nullptr);
    return result;
}
