#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QChar>
#include <QString>

// The one place that decides how the program's text files are decoded and encoded:
// UTF-16 or UTF-32 when a byte-order mark says so (or, for UTF-16 without one, when the
// zero bytes of plain text show it); UTF-8 when the bytes are valid UTF-8 (a byte-order mark
// is dropped); otherwise the encoding the text declares (a book's "Character set encoding:"
// line, an HTML meta charset, an XML prolog) when the codecs know it; otherwise
// Windows-1252. Always UTF-8 on writing. "The 8-bit code of a character" means its
// Windows-1252 code everywhere in the program.
namespace TextCodec {

QString decode(const QByteArray& bytes);
QByteArray encode(const QString& text);

bool isValidUtf8(const QByteArray& bytes);
QString decodeWin1252(QByteArrayView bytes);

// The encoding the text names for itself within its first bytes, as written ("ISO-8859-3"),
// or empty. Only 8-bit encodings other than Latin-1 and Windows-1252 are worth naming:
// Latin-1 and ASCII labels mean Windows-1252 here, as browsers read them, and a text that
// is not valid UTF-8 is not UTF-8 whatever it says.
QByteArray declaredEncoding(QByteArrayView bytes);

// Whether the first bytes of a file are text in an encoding decode() reads, rather than an
// image, an executable or other binary data: binary files hold zero bytes (text holds them
// only as UTF-16 or UTF-32 does) or many control codes.
bool looksLikeText(QByteArrayView head);

// Windows-1252 code of c, or -1 when the code page has no such character.
int win1252Code(QChar c);
// The character for a Windows-1252 code (0..255). The five codes the code page leaves
// undefined map to U+0081, U+008D, U+008F, U+0090 and U+009D, as Windows does.
QChar fromWin1252(int code);

} // namespace TextCodec
