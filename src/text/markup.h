#pragma once

#include <QString>

// The program's own markup library: tag stripping and entity decoding. Both work on the
// program's text directly, so characters outside any 8-bit code page survive.
namespace Markup {

// Removes every markup tag in place: from "<" to the next ">", and comments from "<!--" to
// "-->". A "<" that cannot start a tag (followed by a space, a digit, "=" ...) is text, as
// in a browser, so "a < b" in a plain-text book is kept. An unclosed tag is kept as text.
void cStripHTML(QString& text);

// Decodes the named entities of HTML 4 and "&apos;" in place, in one left-to-right pass.
// Names match with their exact case and need their ";". "&nbsp;" becomes a plain space,
// so that everything cSharedHTML::CharToHtml encodes decodes back to itself. "&hellip;",
// "&bull;", "&prime;", "&Prime;" and every numeric reference are left for
// cSharedHTML::HTMLConstToChar. The text never grows.
void cHtmlToChar(QString& text);

// The character an HTML 4 entity name stands for (without "&" and ";"), or 0.
char16_t entityCharacter(QStringView name);
// The character of the named entity that starts with the "&" at text[at], or 0; *end is
// then the index of its ";".
char16_t entityAt(QStringView text, qsizetype at, qsizetype* end);

// The HTML 4 entity name of a Latin-1 character (160..255), or an empty view.
QStringView latin1EntityName(char16_t c);

} // namespace Markup
