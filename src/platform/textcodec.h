#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>

// The one place that decides how the program's text files are decoded and encoded:
// UTF-8 when the bytes are valid UTF-8 (a byte-order mark is dropped), otherwise
// Windows-1252; always UTF-8 on writing. "The 8-bit code of a character" means its
// Windows-1252 code everywhere in the program.
namespace TextCodec {

QString decode(const QByteArray& bytes);
QByteArray encode(const QString& text);

bool isValidUtf8(const QByteArray& bytes);
QString decodeWin1252(const QByteArray& bytes);

// Windows-1252 code of c, or -1 when the code page has no such character.
int win1252Code(QChar c);
// The character for a Windows-1252 code (0..255). The five codes the code page leaves
// undefined map to U+0081, U+008D, U+008F, U+0090 and U+009D, as Windows does.
QChar fromWin1252(int code);

} // namespace TextCodec
