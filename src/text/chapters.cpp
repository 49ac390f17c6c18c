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

qsizetype Chapters::find(QStringView shown, const QString& title, qsizetype from)
{
    const QStringList words = title.simplified().split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty())
        return -1;
    QStringList escaped;
    for (const QString& w : words)
        escaped << QRegularExpression::escape(w);
    const QString pattern = escaped.join(QStringLiteral("\\s+"));
    // A heading starts its line; the same words inside a paragraph are a mention of it.
    const QRegularExpression atLineStart(
        QStringLiteral("(?:^|(?<=[\\n\\r\\x{2028}\\x{2029}]))[ \\t]*(") + pattern + u')',
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch line = atLineStart.match(shown, from);
    if (line.hasMatch())
        return line.capturedStart(1);
    const QRegularExpression anywhere(pattern, QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = anywhere.match(shown, from);
    return m.hasMatch() ? m.capturedStart() : -1;
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
