#pragma once

#include <QByteArray>
#include <QString>

#include <map>

// Turns the 8-bit text of an RTF document into characters. Windows-1252 is decoded here;
// other code pages, single- and double-byte, go through iconv. An unknown code page falls
// back to Windows-1252 so that nothing is dropped.
class RtfCodePages {
public:
    // A code page of our own for fonts with the symbol character set.
    static constexpr int kSymbol = 42;

    RtfCodePages() = default;
    ~RtfCodePages();
    RtfCodePages(const RtfCodePages&) = delete;
    RtfCodePages& operator=(const RtfCodePages&) = delete;

    // Appends the characters of bytes in the code page to out. Bytes that are not valid in
    // it become U+FFFD.
    void decode(const QByteArray& bytes, int codePage, QString& out);

    // The Windows code page of an RTF font character set (\fcharsetN), or 0 when the font
    // uses the document's own code page.
    static int codePageOfCharset(int charset);

private:
    void* converter(int codePage);
    std::map<int, void*> m_converters;
};
