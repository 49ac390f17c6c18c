#include "text/sharedtext.h"

namespace {

bool isCrap(QChar c)
{
    return c == '\r' || c == '\n' || c == ' ' || c == '-';
}

qsizetype trailingSpaces(const QString& text)
{
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == ' ')
        --end;
    return end;
}

} // namespace

QString cSharedText::AddQuotes(const QString& text)
{
    return '"' + text + '"';
}

QString cSharedText::trimSpaces(const QString& text)
{
    qsizetype start = 0;
    const qsizetype end = trailingSpaces(text);
    while (start < end && text[start] == ' ')
        ++start;
    return text.mid(start, end - start);
}

bool cSharedText::StringsEqual(const QString& first, const QString& second)
{
    return TrimcTrim(first).compare(TrimcTrim(second), Qt::CaseInsensitive) == 0;
}

bool cSharedText::StringContains(const QString& parent, const QString& child)
{
    if (child.isEmpty())
        return !parent.isEmpty();
    return parent.contains(child, Qt::CaseInsensitive);
}

void cSharedText::EatCrapFromEnd(QString& text)
{
    // Dropping a character and then the spaces it uncovered, in one cut at the end.
    qsizetype end = text.size();
    while (end > 0 && isCrap(text[end - 1])) {
        --end;
        while (end > 0 && text[end - 1] == ' ')
            --end;
    }
    text.truncate(end);
}

void cSharedText::EatCrapFromStart(QString& text)
{
    qsizetype start = 0;
    while (start < text.size() && isCrap(text[start]))
        ++start;
    text.remove(0, start);
}

QString cSharedText::TrimNull(const QString& text)
{
    const qsizetype nul = text.indexOf(QChar(0));
    const QString cut = nul < 0 ? text : text.left(nul);
    return cut.left(trailingSpaces(cut));
}

QString cSharedText::TrimcTrim(const QString& text)
{
    return trimSpaces(TrimNull(text));
}
