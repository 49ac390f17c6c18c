#include "speech/wordpositions.h"

#include <algorithm>
#include <limits>

cTracedText::cTracedText(const QString& source, int base) : m_text(source)
{
    const auto n = size_t(source.size());
    m_from.resize(n);
    m_to.resize(n);
    for (size_t i = 0; i < n; ++i) {
        m_from[i] = base + int(i);
        m_to[i] = base + int(i) + 1;
    }
}

int cTracedText::originBefore(qsizetype index) const
{
    if (index < size())
        return m_from[size_t(index)];
    return m_to.empty() ? 0 : m_to.back();
}

void cTracedText::insert(qsizetype index, QStringView s, int origin)
{
    index = std::clamp<qsizetype>(index, 0, size());
    m_text.insert(index, s);
    m_from.insert(m_from.begin() + index, size_t(s.size()), origin);
    m_to.insert(m_to.begin() + index, size_t(s.size()), origin);
}

void cTracedText::appendFrom(const cTracedText& other, qsizetype index, QStringView s)
{
    m_text += s;
    m_from.insert(m_from.end(), size_t(s.size()), other.m_from[size_t(index)]);
    m_to.insert(m_to.end(), size_t(s.size()), other.m_to[size_t(index)]);
}

void cTracedText::remove(qsizetype index, qsizetype count)
{
    index = std::clamp<qsizetype>(index, 0, size());
    count = std::clamp<qsizetype>(count, 0, size() - index);
    m_text.remove(index, count);
    m_from.erase(m_from.begin() + index, m_from.begin() + index + count);
    m_to.erase(m_to.begin() + index, m_to.begin() + index + count);
}

cTracedText cTracedText::mid(qsizetype index, qsizetype count) const
{
    index = std::clamp<qsizetype>(index, 0, size());
    count = std::clamp<qsizetype>(count, 0, size() - index);
    cTracedText out;
    out.m_text = m_text.mid(index, count);
    out.m_from.assign(m_from.begin() + index, m_from.begin() + index + count);
    out.m_to.assign(m_to.begin() + index, m_to.begin() + index + count);
    return out;
}

void cTracedText::replaceAll(const std::vector<qsizetype>& starts, qsizetype length,
                             const QString& with)
{
    if (starts.empty())
        return;
    cTracedText out;
    const auto grown = size_t(size()) + starts.size() * size_t(with.size());
    out.m_text.reserve(qsizetype(grown));
    out.m_from.reserve(grown);
    out.m_to.reserve(grown);
    qsizetype copied = 0;
    const auto copy = [&](qsizetype upTo) {
        out.m_text += QStringView(m_text).mid(copied, upTo - copied);
        out.m_from.insert(out.m_from.end(), m_from.begin() + copied, m_from.begin() + upTo);
        out.m_to.insert(out.m_to.end(), m_to.begin() + copied, m_to.begin() + upTo);
        copied = upTo;
    };
    for (const qsizetype at : starts) {
        copy(at);
        // The new letters stand for the whole old word; an empty old word for its place.
        const auto [from, stretch] = source(at, length);
        const int begin = from < 0 ? originBefore(at) : from;
        out.m_text += with;
        out.m_from.insert(out.m_from.end(), size_t(with.size()), begin);
        out.m_to.insert(out.m_to.end(), size_t(with.size()), begin + stretch);
        copied = at + length;
    }
    copy(size());
    *this = std::move(out);
}

void cTracedText::trimSpaces()
{
    qsizetype end = size();
    while (end > 0 && m_text[end - 1] == u' ')
        --end;
    chop(size() - end);
    qsizetype start = 0;
    while (start < size() && m_text[start] == u' ')
        ++start;
    remove(0, start);
}

std::pair<int, int> cTracedText::source(qsizetype index, qsizetype count) const
{
    const qsizetype first = std::clamp<qsizetype>(index, 0, size());
    const qsizetype last = std::clamp<qsizetype>(index + count, first, size());
    int from = std::numeric_limits<int>::max();
    int to = -1;
    for (qsizetype i = first; i < last; ++i) {
        if (m_from[size_t(i)] == m_to[size_t(i)])
            continue;
        from = std::min(from, m_from[size_t(i)]);
        to = std::max(to, m_to[size_t(i)]);
    }
    if (to < 0)
        return {-1, 0};
    return {from, to - from};
}
