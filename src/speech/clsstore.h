#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include "speech/sentenceends.h"

#include <vector>

// The sentence store: cuts a text into sentences once and hands them out one at a time,
// trimmed. Sentences are kept as slices of one copy of the text, so a whole book is cut
// in a single pass without building a string per sentence.
class clsStore {
public:
    // Replaces the stored text. A sentence ends at ".", "?" or "!" where `ends` says so, and
    // at the last word before a blank line; a delimiter that would begin a sentence (the
    // second dot of "..") is dropped.
    void StoreInSentences(const QString& text);
    void setSentenceEnds(const cSentenceEnds& ends) { m_ends = ends; }

    // The next sentence without surrounding blanks, line breaks and hyphens; empty when
    // every sentence has been handed out.
    QString NextSentence();
    // The same, and where it starts in the stored text.
    QString NextSentence(qsizetype& start);

    // The sentences as cut, untrimmed, in text order (0-based here).
    int count() const { return static_cast<int>(m_slices.size()); }
    bool isEmpty() const { return m_slices.empty(); }
    QStringView sentence(int index) const;
    QStringList Sentences() const;

    // How many sentences NextSentence has asked for since the text was stored.
    int NextIndex() const { return m_nextIndex; }

private:
    struct Slice {
        qsizetype start;
        qsizetype length;
    };
    QString m_text;
    cSentenceEnds m_ends = cSentenceEnds::forLanguage(QString());
    std::vector<Slice> m_slices;
    int m_nextIndex = 0;
};
