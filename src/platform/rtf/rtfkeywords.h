#pragma once

#include <QtGlobal>

#include <string_view>

// The control words the RTF reader acts on. Everything else is ignored, as the format
// asks of readers that do not know a word.
namespace rtf {

enum class Kw : quint8 {
    Skip,
    FontTable,
    ColorTable,
    Par,
    Line,
    Tab,
    Cell,
    Row,
    Emdash,
    Endash,
    Lquote,
    Rquote,
    Ldblquote,
    Rdblquote,
    Bullet,
    Emspace,
    Enspace,
    Qmspace,
    Zwj,
    Zwnj,
    Bold,
    Italic,
    Underline,
    UlNone,
    Strike,
    FontSize,
    Font,
    Color,
    Background,
    Hidden,
    Super,
    Sub,
    NoSuperSub,
    Plain,
    Pard,
    AlignLeft,
    AlignCentre,
    AlignRight,
    AlignJustify,
    LeftIndent,
    RightIndent,
    FirstIndent,
    Ansi,
    Mac,
    Pc,
    Pca,
    AnsiCpg,
    Deff,
    Uc,
    U,
    Bin,
    FCharset,
    Cpg,
    Red,
    Green,
    Blue,
};

// The meaning of a control word, or false when the reader ignores it.
bool lookupKeyword(std::string_view word, Kw* meaning);

} // namespace rtf
