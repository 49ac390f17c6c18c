#include "app/commandline.h"
#include "app/speechcommands.h"
#include "diagnostics/log.h"
#include "diagnostics/widgetprompt.h"
#include "parlo_config.h"

#include <QApplication>
#include <QMainWindow>

#include <cstdio>
#include <memory>

namespace {

int runWithoutWindow(const CommandLine& command, int argc, char** argv)
{
    QCoreApplication app(argc, argv);
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
    case CommandLine::Mode::Window:
        break;
    }
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine command = CommandLine::parse(arguments);
    if (command.needsNoWindow())
        return runWithoutWindow(command, argc, argv);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("parlo"));
    QApplication::setApplicationVersion(QStringLiteral(PARLO_VERSION_STRING));
    cWidgetPrompt prompt;
    cUserPrompt::install(&prompt);

    cSharedLogging::instance().LogEvent(QStringLiteral("Program started"), true);

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Parlo"));
    window.resize(800, 600);
    window.show();
    const int result = app.exec();
    cSharedLogging::instance().WriteActionsToLog();
    cUserPrompt::install(nullptr);
    return result;
}
