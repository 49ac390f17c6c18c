// The RTF reader on arbitrary bytes: it must neither crash nor hang, and the shown text
// must be the document's own plain text.
#include "platform/rtf/rtfreader.h"

#include <QGuiApplication>
#include <QTextDocument>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QTextDocument doc;
    RtfReader::read(bytes, &doc);
    // One cursor position per character of the shown text.
    if (doc.toPlainText().size() + 1 != doc.characterCount())
        std::abort();
    return 0;
}
