#include "speech/cleanforspeech.h"

#include "speech/wordpositions.h"

namespace {

// Calls put(i, replacement) for every character i of the text, in order.
template <typename Put> void clean(const QString& text, Put put)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c == QChar(0x2014)) {
            put(i, u" ");
        } else if (c == u':' || c == u';') {
            // The voice ignores blanks but keeps the pause of a comma that ends a clause;
            // inside a word or number ("10:30") the mark only separates, as before.
            const bool endsClause = i + 1 >= n || !text[i + 1].isLetterOrNumber();
            put(i, endsClause ? u",    " : u"     ");
        } else {
            put(i, QStringView(&text.constData()[i], 1));
        }
    }
}

} // namespace

QString CleanForSpeech(const QString& text)
{
    QString result;
    result.reserve(text.size() + 16);
    clean(text, [&](qsizetype, QStringView s) { result += s; });
    return result;
}

cTracedText CleanForSpeech(const cTracedText& text)
{
    cTracedText result;
    clean(text.text(), [&](qsizetype i, QStringView s) { result.appendFrom(text, i, s); });
    return result;
}
