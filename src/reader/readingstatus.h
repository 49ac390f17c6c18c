#pragma once

#include "text/chapters.h"

#include <QList>
#include <QString>

// The figures of the reader's status bar, without a window: where the reader is in the
// book, the chapter there, and how long the rest takes at the current speed. The speed is
// measured from the characters between the starts of sentences heard one after another,
// counted against the time between them; until there is much of that, the voice's usual
// speed at its rate weighs in, so the first figure is already sensible.
class cReadingStatus {
public:
    // Characters a second that espeak-ng's English reads at the normal rate (0), pauses
    // between sentences included (a novel read into a file: 17.3).
    static constexpr double kNormalCharactersPerSecond = 17.0;

    // The book shown: the length of its text and its chapters, in any order. The place goes
    // back to its start and the measured speed is kept: it belongs to the voice.
    void setBook(qsizetype length, QList<cChapter> chapters);
    qsizetype length() const { return m_length; }

    // Where the reader is (the cursor, or the sentence being read), kept within the text.
    void setPosition(qsizetype position);
    qsizetype position() const { return m_position; }

    // The voice's rate, -10 .. 10. What was measured at another rate is carried over at the
    // ratio of the two speeds; a sentence heard across the change is not counted.
    void setRate(int rate);
    int rate() const { return m_rate; }

    // The sentence at position started to be heard at msecs, of a clock that only goes on
    // while reading goes on. The characters since the previous sentence count as read in
    // the time between them, unless that would be far from any speed a voice reads at (a
    // jump by the user) or the time was cut by interrupt().
    void sentenceHeard(qsizetype position, qint64 msecs);
    // A pause, a stop or a jump: the time until the next sentence is heard is not reading.
    void interrupt() { m_hasMark = false; }

    // 0 .. 100, whole percent reached (100 only at the very end).
    int percent() const;
    // The title of the chapter the position is in; empty before the first one or with none.
    QString chapter() const;
    // The rate's usual speed before any reading, then more and more the measured one.
    double charactersPerSecond() const;
    bool measured() const { return m_measuredMs > 0; }
    // The time the rest of the book from the position takes at charactersPerSecond().
    qint64 secondsLeft() const;
    // The voice's words a minute at the rate: 175 at 0, each step the tenth root of three.
    static int wordsPerMinute(int rate);

private:
    static double speedFactor(int rate);

    qsizetype m_length = 0;
    qsizetype m_position = 0;
    QList<cChapter> m_chapters; // by position
    int m_rate = 0;
    // Measured so far: characters scaled to rate 0, and the milliseconds they took.
    double m_measuredCharacters = 0;
    qint64 m_measuredMs = 0;
    bool m_hasMark = false;
    qsizetype m_markPosition = 0;
    qint64 m_markMs = 0;
};
