#pragma once

#include "parlo_config.h"
#include "settings/lang.h"

// Points `lang` at the language files in the source tree and gives the number of the one
// titled `title`, or 0 when it is missing.
inline int shippedLanguage(cSharedLang& lang, const QString& title)
{
    lang.OverrideLanguagePath(QStringLiteral(PARLO_SOURCE_RESOURCES));
    lang.LoadAllLanguages();
    for (int i = 1; i <= lang.LanguageCount(); ++i) {
        if (lang.LanguageTitle(i) == title)
            return i;
    }
    return 0;
}
