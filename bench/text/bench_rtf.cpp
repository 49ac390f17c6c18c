// The RTF reader filling a QTextDocument from a 5 MB document and from eight times that.
#include "platform/rtf/rtfreader.h"

#include "benchtext.h"

#include <QGuiApplication>
#include <QTextCursor>
#include <QTextDocument>

#include <cstdio>

#include <memory>

namespace {

// The body of a real Word book when the corpus is there (its header once, its text
// repeated); otherwise generated Word-style paragraphs with runs, code-page escapes,
// Unicode characters, a table row and a skipped picture.
QByteArray document(qsizetype size)
{
    QByteArray header = "{\\rtf1\\ansi\\ansicpg1252\\uc1\\deff0{\\fonttbl{\\f0\\froman Times New "
                        "Roman;}{\\f1\\fswiss Arial;}}{\\colortbl;\\red255\\green0\\blue0;}\n";
    QByteArray body;
    if (const QString dir = benchtext::corpusDir(); !dir.isEmpty()) {
        const QByteArray word = benchtext::readFile(dir + "/books/24145-rtf.rtf");
        const qsizetype start = word.indexOf("\\pard");
        const qsizetype end = word.lastIndexOf('}');
        if (start > 0 && end > start) {
            header = word.left(start);
            body = word.mid(start, end - start);
        }
    }
    if (body.isEmpty()) {
        for (int i = 0; i < 200; ++i)
            body += "\\pard\\plain\\f0\\fs24 {\\b Chapter " + QByteArray::number(i) +
                    "}\\par\n\\pard\\qj The caf\\'e9 owner said \\ldblquote the tide "
                    "won\\rquote t wait\\rdblquote  {\\i and} {\\cf1 left} for "
                    "\\u26481?\\u20140?.\\tab Next\\line line.\\par\n"
                    "\\trowd\\cellx3000\\cellx6000\\intbl Day\\cell Dish\\cell\\row\n"
                    "{\\*\\shppict{\\pict\\pngblip 89504e470d0a1a0a0000000d49484452}}\\par\n";
    }
    QByteArray rtf = header;
    rtf.reserve(size + body.size());
    while (rtf.size() < size)
        rtf += body;
    return rtf + "}";
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QGuiApplication app(argc, argv);
    const QByteArray input = document(benchtext::kTarget);
    const QByteArray eight = document(benchtext::kTarget * 8);
    // Loading is measured; freeing the document afterwards is not.
    std::unique_ptr<QTextDocument> doc;
    auto load = [&](const QByteArray& rtf) {
        return [&] {
            doc = std::make_unique<QTextDocument>();
            RtfReader::read(rtf, doc.get());
        };
    };
    auto release = [&] { doc.reset(); };
    load(input)(); // warm-up
    release();
    const benchtext::Pair reader = benchtext::alternating(9, load(input), load(eight), release);

    // Reference: the same text put into a bare QTextDocument in one insertion, no RTF at
    // all. Its ratio is what the document itself adds beyond linear on this machine.
    auto shownText = [&](const QByteArray& rtf) {
        load(rtf)();
        QString text = doc->toPlainText();
        release();
        return text.replace(u'\n', QChar::ParagraphSeparator);
    };
    const QString plainOnce = shownText(input);
    const QString plainEight = shownText(eight);
    auto fill = [&](const QString& text) {
        return [&] {
            doc = std::make_unique<QTextDocument>();
            doc->setUndoRedoEnabled(false);
            QTextCursor cursor(doc.get());
            cursor.insertText(text);
        };
    };
    const benchtext::Pair ref =
        benchtext::alternating(5, fill(plainOnce), fill(plainEight), release);
    std::printf("Reference, plain QTextDocument with the same text: %.3f s cpu, 8x %.3f s cpu, "
                "ratio %.2f\n",
                ref.once.cpu, ref.eight.cpu, ref.eight.cpu / ref.once.cpu);
    return benchtext::report("RtfReader", input.size(), reader.once, reader.eight,
                             ref.eight.cpu / ref.once.cpu);
}
