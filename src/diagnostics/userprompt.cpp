#include "diagnostics/userprompt.h"

#include <cstdio>
#include <utility>

namespace {
cUserPrompt g_default;
cUserPrompt* g_current = nullptr;

cUserPrompt::Translator& translator()
{
    static cUserPrompt::Translator current;
    return current;
}
} // namespace

void cUserPrompt::message(const QString& text)
{
    std::fprintf(stderr, "parlo: %s\n", qPrintable(text));
}

cUserPrompt::Answer cUserPrompt::retryCancel(const QString& text)
{
    message(text);
    return Answer::Cancel;
}

void cUserPrompt::showError(const QString& errorMessage, const QString& helpPage)
{
    Q_UNUSED(helpPage);
    message(errorMessage);
}

cUserPrompt& cUserPrompt::current()
{
    return g_current ? *g_current : g_default;
}

cUserPrompt* cUserPrompt::install(cUserPrompt* prompt)
{
    cUserPrompt* previous = g_current;
    g_current = prompt;
    return previous;
}

QString cUserPrompt::translated(const QString& text)
{
    return translator() ? translator()(text) : text;
}

void cUserPrompt::setTranslator(Translator translator)
{
    ::translator() = std::move(translator);
}
