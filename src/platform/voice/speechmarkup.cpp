#include "platform/voice/speechmarkup.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

const QRegularExpression& leadingPitch()
{
    static const QRegularExpression re(
        QStringLiteral(R"(^\s*<pitch\s+middle\s*=\s*(["'])\s*([+-]?\d{1,6})\s*\1\s*/?>)"),
        QRegularExpression::CaseInsensitiveOption);
    return re;
}

class Builder {
public:
    explicit Builder(cEngineText& out) : m_out(out) {}

    // Markup the engine needs; it stands at the place of the caller's tag.
    void markup(const wchar_t* s, int origin, int originEnd)
    {
        for (; *s; ++s)
            put(*s, origin, originEnd);
    }

    void put(wchar_t c, int origin, int originEnd)
    {
        m_out.text.push_back(c);
        m_out.originStart.push_back(origin);
        m_out.originEnd.push_back(originEnd);
    }

private:
    cEngineText& m_out;
};

bool startsWithAt(const QString& text, int at, QLatin1StringView tag)
{
    return QStringView(text).mid(at, tag.size()).compare(tag, Qt::CaseInsensitive) == 0;
}

} // namespace

std::pair<int, int> cEngineText::originalWord(int enginePosition, int engineLength) const
{
    const int first = enginePosition - 1;
    const int count = static_cast<int>(text.size());
    if (first < 0 || first >= count)
        return {-1, 0};
    const int last = std::clamp(first + std::max(engineLength, 1) - 1, first, count - 1);
    const int start = originStart[first];
    return {start, std::max(0, originEnd[last] - start)};
}

int cEngineText::indexOf(int originalPosition) const
{
    const auto it = std::lower_bound(originStart.begin(), originStart.end(), originalPosition);
    return static_cast<int>(it - originStart.begin());
}

cEngineText cEngineText::from(int index) const
{
    const int count = static_cast<int>(text.size());
    index = std::clamp(index, 0, count);
    // The characters of a tag or an escape share their origin: never start inside one.
    while (index > 0 && index < count && originStart[index - 1] == originStart[index])
        --index;
    // Every "<" in the engine's text opens markup, since the caller's own ones are escaped.
    static const std::wstring open = L"<emphasis>";
    static const std::wstring close = L"</emphasis>";
    int openEmphasis = 0;
    for (int i = 0; i < index; ++i) {
        if (text[i] != L'<')
            continue;
        if (text.compare(i, open.size(), open) == 0)
            ++openEmphasis;
        else if (text.compare(i, close.size(), close) == 0)
            --openEmphasis;
    }
    cEngineText out;
    out.pitch = pitch;
    Builder b(out);
    const int origin = index < count ? originStart[index] : (count ? originEnd[count - 1] : 0);
    for (; openEmphasis > 0; --openEmphasis)
        b.markup(open.c_str(), origin, origin);
    out.text.append(text, index);
    out.originStart.insert(out.originStart.end(), originStart.begin() + index, originStart.end());
    out.originEnd.insert(out.originEnd.end(), originEnd.begin() + index, originEnd.end());
    return out;
}

cEngineText toEngineText(const QString& text)
{
    cEngineText out;
    out.text.reserve(text.size() + 16);
    out.originStart.reserve(text.size() + 16);
    out.originEnd.reserve(text.size() + 16);
    Builder b(out);

    int i = 0;
    if (const auto m = leadingPitch().match(text); m.hasMatch()) {
        out.pitch = std::clamp(m.captured(2).toInt(), -10, 10);
        i = static_cast<int>(m.capturedEnd());
    }

    const int n = static_cast<int>(text.size());
    int openEmphasis = 0;
    while (i < n) {
        const QChar c = text.at(i);
        if (c == u'<') {
            if (startsWithAt(text, i, QLatin1StringView("<emph>"))) {
                b.markup(L"<emphasis>", i, i + 6);
                ++openEmphasis;
                i += 6;
                continue;
            }
            if (startsWithAt(text, i, QLatin1StringView("</emph>"))) {
                // An unmatched closing tag is dropped: the engine would reject it.
                if (openEmphasis > 0) {
                    b.markup(L"</emphasis>", i, i + 7);
                    --openEmphasis;
                }
                i += 7;
                continue;
            }
            b.markup(L"&lt;", i, i + 1);
        } else if (c == u'>') {
            b.markup(L"&gt;", i, i + 1);
        } else if (c == u'&') {
            b.markup(L"&amp;", i, i + 1);
        } else if (c.isHighSurrogate() && i + 1 < n && text.at(i + 1).isLowSurrogate()) {
            b.put(static_cast<wchar_t>(QChar::surrogateToUcs4(c, text.at(i + 1))), i, i + 2);
            ++i;
        } else if (c.isSurrogate()) {
            b.put(L'\uFFFD', i, i + 1);
        } else if (c.unicode() < 0x20 && c != u'\n' && c != u'\r' && c != u'\t') {
            // A NUL would end the engine's string early; other controls mean nothing to it.
            b.put(L' ', i, i + 1);
        } else {
            b.put(static_cast<wchar_t>(c.unicode()), i, i + 1);
        }
        ++i;
    }
    for (; openEmphasis > 0; --openEmphasis)
        b.markup(L"</emphasis>", n, n);
    return out;
}
