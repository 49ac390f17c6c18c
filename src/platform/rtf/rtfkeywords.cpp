#include "platform/rtf/rtfkeywords.h"

#include <unordered_map>

namespace rtf {

namespace {

const std::unordered_map<std::string_view, Kw>& keywords()
{
    static const std::unordered_map<std::string_view, Kw> table = [] {
        std::unordered_map<std::string_view, Kw> t = {
            {"fonttbl", Kw::FontTable},
            {"colortbl", Kw::ColorTable},
            {"par", Kw::Par},
            {"line", Kw::Line},
            {"tab", Kw::Tab},
            {"cell", Kw::Cell},
            {"nestcell", Kw::Cell},
            {"row", Kw::Row},
            {"nestrow", Kw::Row},
            {"page", Kw::Par},
            {"sect", Kw::Par},
            {"emdash", Kw::Emdash},
            {"endash", Kw::Endash},
            {"lquote", Kw::Lquote},
            {"rquote", Kw::Rquote},
            {"ldblquote", Kw::Ldblquote},
            {"rdblquote", Kw::Rdblquote},
            {"bullet", Kw::Bullet},
            {"emspace", Kw::Emspace},
            {"enspace", Kw::Enspace},
            {"qmspace", Kw::Qmspace},
            {"zwj", Kw::Zwj},
            {"zwnj", Kw::Zwnj},
            {"b", Kw::Bold},
            {"i", Kw::Italic},
            {"ul", Kw::Underline},
            {"uld", Kw::Underline},
            {"uldb", Kw::Underline},
            {"ulw", Kw::Underline},
            {"ulth", Kw::Underline},
            {"uldash", Kw::Underline},
            {"ulwave", Kw::Underline},
            {"ulnone", Kw::UlNone},
            {"strike", Kw::Strike},
            {"striked", Kw::Strike},
            {"fs", Kw::FontSize},
            {"f", Kw::Font},
            {"cf", Kw::Color},
            {"cb", Kw::Background},
            {"highlight", Kw::Background},
            {"chcbpat", Kw::Background},
            {"v", Kw::Hidden},
            {"super", Kw::Super},
            {"sub", Kw::Sub},
            {"nosupersub", Kw::NoSuperSub},
            {"plain", Kw::Plain},
            {"pard", Kw::Pard},
            {"ql", Kw::AlignLeft},
            {"qc", Kw::AlignCentre},
            {"qr", Kw::AlignRight},
            {"qj", Kw::AlignJustify},
            {"li", Kw::LeftIndent},
            {"ri", Kw::RightIndent},
            {"fi", Kw::FirstIndent},
            {"ansi", Kw::Ansi},
            {"mac", Kw::Mac},
            {"pc", Kw::Pc},
            {"pca", Kw::Pca},
            {"ansicpg", Kw::AnsiCpg},
            {"deff", Kw::Deff},
            {"uc", Kw::Uc},
            {"u", Kw::U},
            {"bin", Kw::Bin},
            {"fcharset", Kw::FCharset},
            {"cpg", Kw::Cpg},
            {"red", Kw::Red},
            {"green", Kw::Green},
            {"blue", Kw::Blue},
        };
        // Destinations whose content is never shown.
        for (const char* name : {"stylesheet",
                                 "info",
                                 "pict",
                                 "object",
                                 "header",
                                 "headerl",
                                 "headerr",
                                 "headerf",
                                 "footer",
                                 "footerl",
                                 "footerr",
                                 "footerf",
                                 "footnote",
                                 "annotation",
                                 "fldinst",
                                 "xe",
                                 "tc",
                                 "txe",
                                 "rxe",
                                 "listtable",
                                 "listoverridetable",
                                 "revtbl",
                                 "filetbl",
                                 "shp",
                                 "shpinst",
                                 "nonshppict",
                                 "do",
                                 "template",
                                 "pn",
                                 "pgdsctbl",
                                 "datafield",
                                 "ftnsep",
                                 "ftnsepc",
                                 "aftnsep",
                                 "aftnsepc",
                                 "userprops",
                                 "upr",
                                 "private",
                                 "themedata",
                                 "colorschememapping",
                                 "latentstyles",
                                 "xmlnstbl",
                                 "rsidtbl",
                                 "generator",
                                 "atnid",
                                 "atnauthor",
                                 "bkmkstart",
                                 "bkmkend",
                                 "objdata",
                                 "pnseclvl",
                                 "fchars",
                                 "lchars",
                                 "docvar",
                                 "background",
                                 "ud"})
            t.emplace(name, Kw::Skip);
        return t;
    }();
    return table;
}

} // namespace

bool lookupKeyword(std::string_view word, Kw* meaning)
{
    const auto& table = keywords();
    const auto it = table.find(word);
    if (it == table.end())
        return false;
    *meaning = it->second;
    return true;
}

} // namespace rtf
