#pragma once

#include "speech/sentenceends.h"

#include <QString>

#include <vector>

// Where a skip takes a reading: sentence and paragraph starts found the way the reading's
// own highlight cuts the text, so that the highlight covers whole sentences again from
// there. Positions are 0-based cursor positions; a paragraph begins after a blank line.
class cSkipPlaces {
public:
    enum class Step { BackSentence, ForwardSentence, BackParagraph, ForwardParagraph };
    // A step forward from the last sentence or paragraph leaves the book.
    static constexpr int kPastEnd = -1;

    // `ends` must be those the reading cuts with.
    cSkipPlaces(const QString& text, const cSentenceEnds& ends);

    // Where reading goes on after a step from the sentence holding `at`: the start of a
    // sentence, or kPastEnd. Back from the book's first sentence stays on it. Back a
    // paragraph goes to the start of the current one, or to the one before when the
    // reading is already at its first sentence, as the caret does in a word processor.
    int step(int at, Step step) const;
    // How much of the text the highlight selects for the sentence that starts at `start`;
    // 0 for a last sentence that has no delimiter.
    int sentenceLength(int start) const;

private:
    struct Sentence {
        int start = 0;
        int length = 0;
    };
    // The sentences from the paragraph start `anchor` on, up to the first one that starts
    // after `until` (included) or the end of the book.
    std::vector<Sentence> sentencesFrom(int anchor, int until) const;
    int paragraphStart(int at) const;
    // The first paragraph start after `at`; kPastEnd when there is none.
    int nextParagraph(int at) const;
    // The first position at or after `at` that is not blank; the text's length if none.
    int contentFrom(int at) const;
    // The last position before `at` that is not blank; -1 if none.
    int contentBefore(int at) const;

    QString m_text;
    cSentenceEnds m_ends;
};
