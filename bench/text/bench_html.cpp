// HtmlToPlainText on a 5 MB HTML book and on eight times that text.
#include "text/sharedhtml.h"

#include "benchtext.h"
#include "platform/textcodec.h"

#include <QCoreApplication>

namespace {

// Real HTML editions when the corpus is there; otherwise a generated book with the same
// mix of paragraphs, emphasis, entities and numeric references.
QString book()
{
    QString pieces;
    if (const QString dir = benchtext::corpusDir(); !dir.isEmpty()) {
        for (const char* name : {"html/8224-h.htm", "html/20802-h.htm", "html/47913-h.htm",
                                 "html/8177-h.htm", "books/1400-h.htm"})
            pieces += TextCodec::decode(benchtext::readFile(dir + '/' + QLatin1StringView(name)));
    }
    if (pieces.isEmpty()) {
        pieces = QStringLiteral("<html><head><title>Book</title><style>p{}</style></head><body>");
        for (int i = 0; i < 2000; ++i)
            pieces += QStringLiteral(
                          "<p>It was the <em>best</em> of times &mdash; it was the <b>worst</b> of "
                          "times&hellip; &ldquo;Ma&#239;wenn,&rdquo; said the caf&eacute; owner, "
                          "&#8220;the tide won&#8217;t wait &#x2014; 3&nbsp;&lt; 4.&#8221;<br>\r\n"
                          "Chapter &#8212; %1 &amp; more text to read aloud.</p>\r\n")
                          .arg(i);
    }
    QString text;
    text.reserve(benchtext::kTarget + pieces.size());
    while (text.size() < benchtext::kTarget)
        text += pieces;
    text.truncate(benchtext::kTarget);
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qputenv("PARLO_HOME", QDir::tempPath().toUtf8());
    const QString input = book();
    const QString eight = input.repeated(8);
    cSharedHTML& html = cSharedHTML::instance();
    // The document loader hands over a text of its own, so each run gets a private copy
    // made before the clock starts.
    QString text;
    auto fresh = [&](const QString& source) {
        return [&] {
            text = source;
            text.detach();
        };
    };
    auto convert = [&] { html.HtmlToPlainText(text); };
    fresh(input)();
    convert(); // warm-up
    const benchtext::Timing once = benchtext::median(5, convert, fresh(input));
    const benchtext::Timing eightTimes = benchtext::median(3, convert, fresh(eight));
    text.clear();
    return benchtext::report("HtmlToPlainText", TextCodec::encode(input).size(), once, eightTimes);
}
