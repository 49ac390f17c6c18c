#pragma once

#include <QString>
#include <QStringView>

#include "speech/sentenceends.h"

// The 1-based position of the end of the sentence that starts at `start`: the first ".",
// "!" or "?" from there that `ends` accepts, with any delimiters that directly follow it
// and a closing double quote after them; the length of the text when a run of delimiters
// reaches its end; the last word before a blank line; 0 when nothing ends the sentence.
// Looks no further than that sentence, and no further back than `from` (0-based).
int FindSentenceEnd(QStringView text, int start, const cSentenceEnds& ends = {}, int from = 0);

// Follows a reading through the reader's own copy of the text: where it starts, and which
// part to highlight each time the Talker reports a spoken piece. Positions are 1-based as
// the reading counts them; ranges handed out are 0-based cursor positions.
class cReadingController {
public:
    struct Start {
        // 0-based cursor position the reading starts from (0 when it restarts at the top).
        int cursor = 0;
        // What the Talker is given.
        QString text;
    };
    struct Range {
        int start = 0;  // 0-based
        int length = 0; // negative when there is nothing to highlight
    };

    // A reading from the cursor of `text`. A cursor in the last five characters starts
    // again from the top. The Talker gets the text from the character before the cursor.
    // `ends` must be those the Talker's store cuts with, so the highlight keeps step.
    // A skip to the last sentence reads that sentence: topNearEnd false keeps the cursor.
    Start begin(const QString& text, int cursor, const cSentenceEnds& ends = {},
                bool topNearEnd = true);
    // The next piece spoken: the range to select, and the step to the following sentence.
    Range next();

    int SentenceStart() const { return m_sentenceStart; }
    int SentenceEnd() const { return m_sentenceEnd; }
    const QString& text() const { return m_text; }

private:
    QString m_text;
    cSentenceEnds m_ends;
    int m_from = 0; // 0-based, where the Talker's text begins
    int m_sentenceStart = 1;
    int m_sentenceEnd = 0;
};
