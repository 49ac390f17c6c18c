#pragma once

#include <QString>
#include <QStringView>

#include <utility>
#include <vector>

// A text on its way to the voice with every character traced back to the stretch of the
// source it came from, so that a word the voice reports in the text it was given leads
// back to the words of the book. Characters the way put in (markup, a pronunciation's
// extra letters, the pitch element) come from an empty stretch, and a replaced word's new
// letters from the whole stretch of the old ones.
class cTracedText {
public:
    cTracedText() = default;
    // The source itself, its first character at `base`.
    explicit cTracedText(const QString& source, int base = 0);

    const QString& text() const { return m_text; }
    qsizetype size() const { return m_text.size(); }
    bool isEmpty() const { return m_text.isEmpty(); }

    // Characters from nowhere, standing at the source position `origin`.
    void insert(qsizetype index, QStringView s, int origin);
    void prepend(QStringView s) { insert(0, s, originBefore(0)); }
    void append(QStringView s) { insert(size(), s, originBefore(size())); }
    // s in place of the character at index of other, coming from where that one came from.
    void appendFrom(const cTracedText& other, qsizetype index, QStringView s);
    void remove(qsizetype index, qsizetype count);
    void chop(qsizetype count) { remove(size() - count, count); }
    cTracedText mid(qsizetype index, qsizetype count) const;
    // `length` characters at each of `starts` (ascending, not overlapping) become `with`.
    void replaceAll(const std::vector<qsizetype>& starts, qsizetype length, const QString& with);
    // Blanks taken off both ends, as cSharedText::trimSpaces does.
    void trimSpaces();

    // The stretch of the source behind characters [index, index + count): {start, length};
    // {-1, 0} when none of them came from the source.
    std::pair<int, int> source(qsizetype index, qsizetype count) const;

private:
    // Where something inserted before the character at index stands in the source.
    int originBefore(qsizetype index) const;

    QString m_text;
    std::vector<int> m_from;
    std::vector<int> m_to; // equal to m_from for a character from nowhere
};
