// TranslateText with a large pronunciation list on one long sentence, against the least
// any whole-word replacement must do: one case-insensitive search per pair.
#include "benchutil.h"
#include "speech/clsdict.h"

#include <QCoreApplication>
#include <QRandomGenerator>

#include <cstdio>

namespace {

QString word(QRandomGenerator& random)
{
    static const char* syllables[] = {"ka",  "lo",  "mi", "ter", "an",  "sho", "ru", "vel",
                                      "qui", "dra", "ne", "bo",  "ist", "ph",  "eu", "zan"};
    QString result;
    const int count = 2 + int(random.bounded(3));
    for (int i = 0; i < count; ++i)
        result += QString::fromLatin1(syllables[random.bounded(16)]);
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QRandomGenerator random(20240601);
    clsDict dict;
    QStringList vocabulary;
    for (int i = 0; i < 2000; ++i) {
        auto pair = std::make_shared<clsWordPair>();
        pair->OriginalWord = word(random);
        pair->NewWord = pair->OriginalWord.toUpper() + "h";
        vocabulary << pair->OriginalWord;
        dict.AddWordPair(pair);
    }
    // A 300-character sentence; a dozen of its words are in the list, in varied case.
    QString sentence;
    const QStringList common = {"the", "and", "of", "a", "to", "was", "in", "that", "he", "it"};
    for (int i = 0; sentence.size() < 300; ++i) {
        QString next = i % 4 == 1 ? vocabulary[int(random.bounded(2000))]
                                  : common[int(random.bounded(common.size()))];
        if (i % 8 == 1)
            next = next.toUpper();
        sentence += next + (i % 7 == 6 ? ", " : " ");
    }
    sentence = sentence.left(299) + '.';

    const int runs = 2001;
    QString sink;
    const double translate = medianMicros(runs, [&] { sink = dict.TranslateText(sentence); });
    int found = 0;
    const double floor = medianMicros(runs, [&] {
        for (const auto& pair : dict.Words())
            found += sentence.contains(pair->OriginalWord, Qt::CaseInsensitive);
    });
    std::printf("TranslateText, %d pairs, %lld-character sentence, median of %d runs\n",
                int(dict.WordCount()), qlonglong(sentence.size()), runs);
    std::printf("  TranslateText            %8.1f us\n", translate);
    std::printf("  one search per pair      %8.1f us (reference)\n", floor);
    std::printf("  ratio to reference       %8.2f\n", translate / floor);
    std::printf("  target: median < 1000 us: %s\n", translate < 1000.0 ? "met" : "NOT MET");
    return translate < 1000.0 ? 0 : 1;
}
