#pragma once

#include <QList>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

// One pronunciation: the word as books write it and the spelling the voice says better.
class cTracedText;

class clsWordPair {
public:
    QString OriginalWord;
    QString NewWord;
};

// The user's pronunciation list, kept in pl2Dict.txt in the program folder: one
// "original,new" line per pair, read split at the first comma, written trimmed with CR LF.
class clsDict {
public:
    using WordList = QList<std::shared_ptr<clsWordPair>>;
    // Positions and counts are 16-bit in the file's other readers; longer lists are refused.
    static constexpr int MaxWords = 32767;

    // Replaces the list with the file's pairs. A missing or unreadable file leaves the
    // list empty; lines beyond MaxWords are left out, with a note in the action trail.
    void LoadWords();
    // Replaces the file atomically; false (and a note in the trail) when it cannot. Lines
    // the last load left out follow the list as they were, so they are never lost.
    bool SaveWords() const;
    // Drops the list altogether, so that Words is absent until the next load or add.
    void ClearWords();
    // Appends the pair itself, not a copy; false when the list already holds MaxWords.
    bool AddWordPair(const std::shared_ptr<clsWordPair>& WordPair);
    int WordCount() const { return m_words ? static_cast<int>(m_words->size()) : 0; }
    bool hasWords() const { return m_words.has_value(); }
    // Empty when the list is absent.
    const WordList& Words() const;

    // " " + sentence with every pair applied in list order: a pair's word is replaced only
    // where it stands alone, a separator (punctuation, blank, line break, tab, quote,
    // bracket, dash) or an end of the sentence right before and right after it, matched
    // without regard to case.
    QString TranslateText(const QString& Sentence) const;
    // The same, with the words that were replaced traced back to the sentence's.
    cTracedText TranslateText(const cTracedText& Sentence) const;
    // The same rule applied literally, pattern by pattern, to a text that already has its
    // blanks at both ends: slower, kept as the reference. trace, when given, follows it.
    QString translateSlowly(QString text, cTracedText* trace = nullptr) const;

    static QString fileName();
    // The file's text for the pairs, and the pairs in a file's text.
    static QString formatWords(const WordList& words);
    // restAt: where the first pair beyond MaxWords starts in text, or -1.
    static WordList parseWords(const QString& text, qsizetype* restAt = nullptr);

private:
    QString translate(const QString& Sentence, cTracedText* trace) const;
    const QString& foldedOriginal(qsizetype index) const;

    std::optional<WordList> m_words;
    // The file's text from the first pair the last load could not hold.
    QString m_unloaded;
    // Case-folded original words, remembered with the text they were folded from.
    struct Folded {
        QString source;
        QString folded;
    };
    mutable std::vector<Folded> m_folded;
};

// The program-wide pronunciation list, alive from first use to the end of the program.
clsDict& PronDict();
