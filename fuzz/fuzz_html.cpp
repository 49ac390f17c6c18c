// HtmlToPlainText on arbitrary bytes, its one-pass entity decoding against the two steps
// it stands for, and the entity encoding round trip the proxy password relies on.
#include "platform/textcodec.h"
#include "text/sharedhtml.h"

#include <QDir>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Failure notes must not reach a real program folder.
    qputenv("PARLO_HOME", QDir::tempPath().toUtf8() + "/parlo-fuzz-home");
    QDir().mkpath(QDir::tempPath() + "/parlo-fuzz-home");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    cSharedHTML& html = cSharedHTML::instance();
    const QString text = TextCodec::decode(bytes);

    QString converted = text;
    html.HtmlToPlainText(converted);

    // Without markup or line ends the conversion is just the two entity steps, which it
    // runs as one pass.
    const bool onlyEntities = !text.contains(u'<') && !text.contains(u'\r') &&
                              !text.contains(u'\n') && !text.contains(QChar(0));
    if (onlyEntities) {
        QString stepwise = text;
        html.HtmlToChar(stepwise);
        html.HTMLConstToChar(stepwise);
        // References to line ends are made CR LF afterwards; leave those inputs out.
        if (!stepwise.contains(u'\r') && !stepwise.contains(u'\n') && converted != stepwise)
            std::abort();
    }

    if (!text.contains(u'&')) {
        QString encoded = text;
        html.CharToHtml(encoded);
        html.HtmlToChar(encoded);
        if (encoded != text)
            std::abort();
    }
    return 0;
}
