#pragma once

#include <QString>

#include <functional>

// How the program's non-window services talk to the user. The program installs a
// message-box implementation at start-up; without one (command line, tests) messages go to
// standard error and questions are answered Cancel. Tests install a recording fake.
class cUserPrompt {
public:
    enum class Answer { Ok, Retry, Cancel };

    virtual ~cUserPrompt() = default;
    // A message box with only an OK button.
    virtual void message(const QString& text);
    // A message box with Retry and Cancel buttons.
    virtual Answer retryCancel(const QString& text);
    // The error report window for an error the user must see.
    virtual void showError(const QString& errorMessage, const QString& helpPage);

    static cUserPrompt& current();
    // Installs prompt (not owned) and returns the one it replaces; nullptr restores the default.
    static cUserPrompt* install(cUserPrompt* prompt);

    // The fixed words of a message in the user's language. The language service lives above
    // this layer, so the program installs it; without one the text stays as given.
    using Translator = std::function<QString(const QString&)>;
    static QString translated(const QString& text);
    static void setTranslator(Translator translator);
};
