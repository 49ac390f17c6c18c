#include "reader/readingcontroller.h"
#include "reader/skipping.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Step = cSkipPlaces::Step;
constexpr int kPastEnd = cSkipPlaces::kPastEnd;

const QString kBook = QStringLiteral("First one. Second one. Third one.\n\n"
                                     "New paragraph here. Its second\nsentence.\r\n\r\n"
                                     "Last paragraph.");

int at(const QString& text, const char* words)
{
    const qsizetype found = text.indexOf(QString::fromUtf8(words));
    EXPECT_GE(found, 0) << words;
    return int(found);
}

// The sentence starts a reading from the top highlights, one after another.
std::vector<int> highlighted(const QString& text, const cSentenceEnds& ends)
{
    cReadingController reading;
    reading.begin(text, 0, ends);
    std::vector<int> starts;
    for (;;) {
        const cReadingController::Range range = reading.next();
        if (range.start >= text.size() || QStringView(text).mid(range.start).trimmed().isEmpty())
            break;
        starts.push_back(range.start);
        if (range.length <= 0)
            break;
    }
    return starts;
}

} // namespace

TEST(Skipping, BySentenceInTheMiddleAcrossParagraphsAndLines)
{
    const cSkipPlaces places(kBook, {});
    const int second = at(kBook, "Second");
    EXPECT_EQ(places.step(second, Step::ForwardSentence), at(kBook, "Third"));
    EXPECT_EQ(places.step(second, Step::BackSentence), 0);
    // Across a blank line, both ways.
    EXPECT_EQ(places.step(at(kBook, "Third"), Step::ForwardSentence), at(kBook, "New"));
    EXPECT_EQ(places.step(at(kBook, "New"), Step::BackSentence), at(kBook, "Third"));
    // A sentence wrapped over two lines is one sentence.
    EXPECT_EQ(places.step(at(kBook, "Its"), Step::ForwardSentence), at(kBook, "Last"));
    EXPECT_EQ(places.step(at(kBook, "Last"), Step::BackSentence), at(kBook, "Its"));
    // From inside a sentence (the caret, or a reading begun mid-sentence).
    EXPECT_EQ(places.step(second + 3, Step::ForwardSentence), at(kBook, "Third"));
    EXPECT_EQ(places.step(second + 3, Step::BackSentence), 0);
    EXPECT_EQ(places.sentenceLength(second), QStringLiteral("Second one.").size());
    EXPECT_EQ(places.sentenceLength(at(kBook, "Its")),
              QStringLiteral("Its second\nsentence.").size());
}

TEST(Skipping, ByParagraphGoesToItsStartThenToTheOneBefore)
{
    const cSkipPlaces places(kBook, {});
    EXPECT_EQ(places.step(at(kBook, "Second"), Step::ForwardParagraph), at(kBook, "New"));
    EXPECT_EQ(places.step(at(kBook, "New"), Step::ForwardParagraph), at(kBook, "Last"));
    EXPECT_EQ(places.step(at(kBook, "Its"), Step::BackParagraph), at(kBook, "New"));
    EXPECT_EQ(places.step(at(kBook, "New"), Step::BackParagraph), 0);
    EXPECT_EQ(places.step(at(kBook, "Last"), Step::BackParagraph), at(kBook, "New"));
}

TEST(Skipping, StopsAtTheStartAndRunsOutAtTheEnd)
{
    const cSkipPlaces places(kBook, {});
    EXPECT_EQ(places.step(0, Step::BackSentence), 0);
    EXPECT_EQ(places.step(0, Step::BackParagraph), 0);
    EXPECT_EQ(places.step(at(kBook, "Last"), Step::ForwardSentence), kPastEnd);
    EXPECT_EQ(places.step(at(kBook, "Last"), Step::ForwardParagraph), kPastEnd);
    EXPECT_EQ(places.step(at(kBook, "Its"), Step::ForwardParagraph), at(kBook, "Last"));
    EXPECT_EQ(places.step(int(kBook.size()), Step::ForwardSentence), kPastEnd);

    // Blanks before the first and after the last sentence are no sentences.
    const QString padded = QStringLiteral("\n\n  Only one. And a last one without end  \n\n \n");
    const cSkipPlaces around(padded, {});
    EXPECT_EQ(around.step(0, Step::BackSentence), at(padded, "Only"));
    EXPECT_EQ(around.step(0, Step::ForwardSentence), at(padded, "And"));
    EXPECT_EQ(around.step(at(padded, "Only"), Step::BackParagraph), at(padded, "Only"));
    EXPECT_EQ(around.step(at(padded, "And"), Step::ForwardSentence), kPastEnd);
    EXPECT_EQ(around.step(at(padded, "And"), Step::ForwardParagraph), kPastEnd);
    // A blank line ends the last sentence for the highlight; the very end of a text does not.
    EXPECT_EQ(around.sentenceLength(at(padded, "And")),
              QStringLiteral("And a last one without end").size());
    EXPECT_EQ(cSkipPlaces(QStringLiteral("One. Two words"), {}).sentenceLength(5), 0);

    for (const QString& empty : {QString(), QStringLiteral(" \n\n\t")}) {
        const cSkipPlaces nothing(empty, {});
        EXPECT_EQ(nothing.step(0, Step::BackSentence), 0);
        EXPECT_EQ(nothing.step(0, Step::ForwardSentence), kPastEnd);
        EXPECT_EQ(nothing.step(0, Step::ForwardParagraph), kPastEnd);
    }
}

// Skipping lands on the very sentences a reading highlights, whatever cuts them: quotes,
// abbreviations, dots inside words, a heading without a delimiter, a list of lines.
TEST(Skipping, StepsThroughTheSentencesTheHighlightShows)
{
    const QString text = QStringLiteral(
        "CONTENTS\n\n  BOOK ONE\n  BOOK TWO\n\n\"Run!\" she said. Mr. Smith came from "
        "www.gutenberg.org at 3.14 pm... He left?! \xe2\x80\x9cNo.\xe2\x80\x9d (Yes.) The end\n");
    const cSentenceEnds ends = cSentenceEnds::forLanguage(QStringLiteral("en"));
    const std::vector<int> starts = highlighted(text, ends);
    ASSERT_GE(starts.size(), 7u);
    const cSkipPlaces places(text, ends);
    for (size_t i = 0; i < starts.size(); ++i) {
        SCOPED_TRACE(i);
        const int next = i + 1 < starts.size() ? starts[i + 1] : kPastEnd;
        EXPECT_EQ(places.step(starts[i], Step::ForwardSentence), next);
        EXPECT_EQ(places.step(starts[i], Step::BackSentence), starts[i == 0 ? 0 : i - 1]);
    }
    EXPECT_EQ(places.step(at(text, "Mr."), Step::ForwardSentence), at(text, "He left"));
}
