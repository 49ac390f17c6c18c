#include "speech/cleanforspeech.h"

QString CleanForSpeech(const QString& text)
{
    QString result;
    result.reserve(text.size() + 16);
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c == QChar(0x2014)) {
            result += u' ';
        } else if (c == u':' || c == u';') {
            // The voice ignores blanks but keeps the pause of a comma that ends a clause;
            // inside a word or number ("10:30") the mark only separates, as before.
            const bool endsClause = i + 1 >= n || !text[i + 1].isLetterOrNumber();
            result += endsClause ? QStringLiteral(",    ") : QStringLiteral("     ");
        } else {
            result += c;
        }
    }
    return result;
}
