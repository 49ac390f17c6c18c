#include "text/chapters.h"

#include "text/sharedhtml.h"

#include <QRegularExpression>

namespace {

bool isBreak(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
}

bool isBlankLine(QStringView line)
{
    return line.trimmed().isEmpty();
}

// A heading line is short: anything longer is prose that happens to start alike.
constexpr qsizetype kLongestHeading = 80;

const QRegularExpression& headingLine()
{
    static const QRegularExpression re(
        QStringLiteral("^(CHAPTER|Chapter|BOOK|Book|PART|Part|VOLUME|Volume)\\s+"
                       "([IVXLCDM]+|\\d+|[A-Z][A-Za-z]+(-[A-Za-z]+)?)"
                       "(\\.|:|\\.?\\s*[.:\\x{2014}-]\\s*\\S.*)?$"));
    return re;
}

} // namespace

QList<cChapter> Chapters::inText(QStringView shown)
{
    QList<cChapter> found;
    // Every line with where it starts; only a short one after a blank one is looked at.
    qsizetype start = 0;
    bool blankBefore = true;
    const qsizetype n = shown.size();
    while (start <= n) {
        qsizetype end = start;
        while (end < n && !isBreak(shown[end]))
            ++end;
        const QStringView line = shown.sliced(start, end - start);
        qsizetype next = end + 1;
        if (end < n && shown[end] == u'\r' && next < n && shown[next] == u'\n')
            ++next;
        const bool blank = isBlankLine(line);
        if (blankBefore && !blank && line.size() <= kLongestHeading) {
            // The next line must be blank too (or the text end there).
            qsizetype after = next;
            while (after < n && !isBreak(shown[after]))
                ++after;
            const bool blankAfter = next >= n || isBlankLine(shown.sliced(next, after - next));
            const QString trimmed = line.trimmed().toString();
            if (blankAfter && headingLine().match(trimmed).hasMatch())
                found.append({trimmed, start + (line.size() - line.trimmed().size() > 0
                                                    ? line.indexOf(trimmed.front())
                                                    : 0)});
        }
        blankBefore = blank;
        start = next;
    }
    return found;
}

namespace {

// Past a mention of the title, a heading further on is still looked for within this reach.
constexpr qsizetype kHeadingReach = 5000;

bool isSpace(QChar c)
{
    return c.isSpace();
}

// Whether the words stand at at, separated by blanks or line ends.
bool wordsAt(QStringView shown, qsizetype at, const QStringList& words)
{
    for (qsizetype i = 0; i < words.size(); ++i) {
        if (i > 0) {
            const qsizetype blanks = at;
            while (at < shown.size() && isSpace(shown[at]))
                ++at;
            if (at == blanks)
                return false;
        }
        const QString& word = words[i];
        if (shown.size() - at < word.size() ||
            shown.sliced(at, word.size()).compare(word, Qt::CaseInsensitive) != 0)
            return false;
        at += word.size();
    }
    return true;
}

bool startsLine(QStringView shown, qsizetype at)
{
    while (at > 0 && (shown[at - 1] == u' ' || shown[at - 1] == u'\t'))
        --at;
    return at == 0 || isBreak(shown[at - 1]);
}

} // namespace

qsizetype Chapters::find(QStringView shown, const QString& title, qsizetype from)
{
    const QStringList words = title.simplified().split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty())
        return -1;
    // A heading starts its line; the same words inside a paragraph are a mention of it,
    // taken only when no heading follows soon after.
    qsizetype mention = -1;
    for (qsizetype at = shown.indexOf(words.first(), from, Qt::CaseInsensitive); at >= 0;
         at = shown.indexOf(words.first(), at + 1, Qt::CaseInsensitive)) {
        if (mention >= 0 && at - mention > kHeadingReach)
            break;
        if (!wordsAt(shown, at, words))
            continue;
        if (startsLine(shown, at))
            return at;
        if (mention < 0)
            mention = at;
    }
    return mention;
}

QList<cChapter> Chapters::inHtml(QStringView markup, QStringView shown)
{
    static const QRegularExpression heading(QStringLiteral("<h([1-3])\\b[^>]*>(.*?)</h\\1\\s*>"),
                                            QRegularExpression::CaseInsensitiveOption |
                                                QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    QList<cChapter> found;
    qsizetype from = 0;
    for (auto it = heading.globalMatch(markup); it.hasNext();) {
        QString title = it.next().captured(2);
        title.replace(tag, QStringLiteral(" "));
        cSharedHTML::instance().HtmlToChar(title);
        title = title.simplified();
        if (title.isEmpty())
            continue;
        const qsizetype at = find(shown, title, from);
        if (at < 0)
            continue;
        found.append({title, at});
        from = at + 1;
    }
    return found;
}
