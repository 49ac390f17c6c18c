#include "audiobook/audiobookplan.h"

#include "text/epub.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

// Text before the first chapter shorter than this is a title page, read with chapter one.
constexpr qsizetype kFrontMatter = 500;
constexpr qsizetype kLongestName = 100;
// A piece is cut at a paragraph's or sentence's end within this reach past its size.
constexpr qsizetype kCutReach = 20000;

bool isParagraphBreak(QChar c)
{
    return c == QChar::ParagraphSeparator || c == u'\n';
}

qsizetype visibleLength(QStringView text)
{
    return std::count_if(text.begin(), text.end(), [](QChar c) { return !c.isSpace(); });
}

} // namespace

QString cAudiobookPlan::safeName(const QString& title)
{
    QString name;
    name.reserve(title.size());
    for (const QChar c : title) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format ||
            c.isSpace())
            name += u' ';
        else if (QStringView(u"/\\:*?\"<>|").contains(c))
            name += u'_';
        else
            name += c;
    }
    name = name.simplified();
    if (name.size() > kLongestName)
        name = name.left(kLongestName).trimmed();
    // No hidden files, and no "." or ".." of any kind.
    while (name.startsWith(u'.') || name.endsWith(u'.'))
        name = (name.startsWith(u'.') ? name.mid(1) : name.chopped(1)).trimmed();
    return name;
}

qsizetype cAudiobookPlan::cutNear(QStringView text, qsizetype at, qsizetype reach)
{
    if (at >= text.size())
        return text.size();
    const qsizetype last = std::min(text.size(), at + reach);
    // The blanks after a sentence's end go with the next piece, where they lead into its
    // first sentence as they would in the whole text; at the end of a piece they would
    // make a sentence of their own.
    for (qsizetype i = at; i < last; ++i) {
        if (isParagraphBreak(text[i]) && i > 0 && !text[i - 1].isSpace())
            return i;
    }
    for (qsizetype i = at; i + 1 < last; ++i) {
        if ((text[i] == u'.' || text[i] == u'!' || text[i] == u'?') && text[i + 1].isSpace())
            return i + 1;
    }
    return at;
}

qsizetype cAudiobookPlan::pieceSizeFor(qsizetype textSize, int workers)
{
    // A few pieces each, so that the last ones keep every worker busy; a chapter is only
    // cut when it is a large part of the book.
    return std::max<qsizetype>(20000, textSize / (std::max(1, workers) * 3));
}

cAudiobookPlan cAudiobookPlan::make(QStringView text, QList<cChapter> found, const cBookInfo& book,
                                    AudioFormat format, qsizetype pieceSize)
{
    cAudiobookPlan plan;
    plan.book = book;
    plan.format = format;
    std::stable_sort(found.begin(), found.end(),
                     [](const cChapter& a, const cChapter& b) { return a.position < b.position; });
    struct Span {
        QString title;
        qsizetype start;
    };
    QList<Span> spans;
    for (const cChapter& c : found) {
        const qsizetype at = std::clamp<qsizetype>(c.position, 0, text.size());
        if (!spans.isEmpty() && spans.last().start == at)
            spans.last().title = spans.last().title.isEmpty() ? c.title : spans.last().title;
        else
            spans.append({c.title, at});
    }
    if (spans.isEmpty()) {
        spans.append({book.title, 0});
    } else if (spans.first().start > 0) {
        if (visibleLength(text.first(spans.first().start)) >= kFrontMatter)
            spans.prepend({book.title, 0});
        else
            spans.first().start = 0;
    }

    // A part heading with no text of its own ("BOOK ONE" right over "CHAPTER I") is read
    // with its first chapter, not as a file of a few seconds.
    for (qsizetype i = 0; i + 1 < spans.size();) {
        const QStringView own = text.sliced(spans[i].start, spans[i + 1].start - spans[i].start);
        if (spans[i].title.isEmpty() || visibleLength(own) > visibleLength(spans[i].title)) {
            ++i;
            continue;
        }
        Span& next = spans[i + 1];
        if (!next.title.startsWith(spans[i].title))
            next.title = spans[i].title + QStringLiteral(" \u2014 ") + next.title;
        next.start = spans[i].start;
        spans.removeAt(i);
    }

    for (qsizetype i = 0; i < spans.size(); ++i) {
        const qsizetype start = spans[i].start;
        const qsizetype end = i + 1 < spans.size() ? spans[i + 1].start : text.size();
        // Two entries at one place, or a chapter of nothing but blanks, make no file.
        if (visibleLength(text.sliced(start, end - start)) == 0)
            continue;
        Chapter chapter;
        chapter.title = spans[i].title.simplified();
        chapter.start = start;
        chapter.end = end;
        for (qsizetype at = start; at < end;) {
            qsizetype cut =
                at + pieceSize >= end ? end : cutNear(text.first(end), at + pieceSize, kCutReach);
            if (cut <= at)
                cut = std::min(end, at + pieceSize);
            chapter.pieces << int(plan.pieces.size());
            plan.pieces.append({int(plan.chapters.size()), at, cut});
            at = cut;
        }
        plan.chapters.append(chapter);
    }

    const int width = std::max(2, int(QString::number(plan.chapters.size()).size()));
    const QString ext = AudioFormats::extension(format);
    for (qsizetype i = 0; i < plan.chapters.size(); ++i) {
        Chapter& chapter = plan.chapters[i];
        const QString number = QStringLiteral("%1").arg(i + 1, width, 10, QLatin1Char('0'));
        const QString name = safeName(chapter.title);
        chapter.fileName =
            (name.isEmpty() ? number : number + QStringLiteral(" - ") + name) + u'.' + ext;
    }
    return plan;
}

QString cAudiobookPlan::playlistName() const
{
    const QString name = safeName(book.title);
    return (name.isEmpty() ? QStringLiteral("playlist") : name) + QStringLiteral(".m3u");
}

QByteArray cAudiobookPlan::playlist(const QList<double>& seconds) const
{
    QByteArray out("#EXTM3U\n");
    for (qsizetype i = 0; i < chapters.size(); ++i) {
        const Chapter& chapter = chapters[i];
        const int length = i < seconds.size() ? int(seconds[i] + 0.5) : -1;
        QString shown = chapter.title.isEmpty() ? chapter.fileName : chapter.title;
        if (!book.author.isEmpty())
            shown = book.author + QStringLiteral(" - ") + shown;
        shown.replace(u'\n', u' ');
        out += "#EXTINF:" + QByteArray::number(length) + ',' + shown.toUtf8() + '\n';
        out += chapter.fileName.toUtf8() + '\n';
    }
    return out;
}

namespace BookInfo {

cBookInfo ofText(QStringView shown)
{
    cBookInfo info;
    static const QRegularExpression line(
        QStringLiteral("^[ \\t]*(Title|Author)[ \\t]*:[ \\t]*(\\S.*?)[ \\t]*$"),
        QRegularExpression::MultilineOption);
    // The lines of a Project Gutenberg header stand near the start, where each is one line
    // of the shown text or part of a paragraph joined from several.
    QString head = shown.first(std::min<qsizetype>(shown.size(), 20000)).toString();
    head.replace(QChar::ParagraphSeparator, u'\n').replace(QChar::LineSeparator, u'\n');
    for (auto it = line.globalMatch(head); it.hasNext();) {
        const auto match = it.next();
        QString& field = match.captured(1) == u"Title" ? info.title : info.author;
        if (field.isEmpty())
            field = match.captured(2);
    }
    return info;
}

cBookInfo of(const QString& path, QStringView shown, bool namedByFile)
{
    cBookInfo info;
    if (QFileInfo(path).suffix().compare(u"epub", Qt::CaseInsensitive) == 0) {
        cEpubBook book;
        if (book.open(path)) {
            info.title = book.package().title;
            info.author = book.package().creator;
        }
    } else {
        info = ofText(shown);
    }
    if (info.title.isEmpty() && namedByFile)
        info.title = QFileInfo(path).completeBaseName();
    return info;
}

} // namespace BookInfo
