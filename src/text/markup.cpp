#include "text/markup.h"

#include <QLatin1StringView>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

struct Entity {
    const char* name;
    char16_t ch;
};

// Latin-1 names for 160..255, in code order.
constexpr const char* kLatin1Names[96] = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",
    "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn",
    "sup2",   "sup3",   "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",
    "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde",
    "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave",
    "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde",
    "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",
    "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
    "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",
    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml",
};

// The symbols and special characters of HTML 4, and "apos". The four names the program's
// own table decodes (hellip, bull, prime, Prime) are deliberately absent.
constexpr Entity kOtherEntities[] = {
    {"quot", 34},     {"amp", 38},      {"lt", 60},        {"gt", 62},        {"apos", 39},
    {"OElig", 338},   {"oelig", 339},   {"Scaron", 352},   {"scaron", 353},   {"Yuml", 376},
    {"circ", 710},    {"tilde", 732},   {"ensp", 8194},    {"emsp", 8195},    {"thinsp", 8201},
    {"zwnj", 8204},   {"zwj", 8205},    {"lrm", 8206},     {"rlm", 8207},     {"ndash", 8211},
    {"mdash", 8212},  {"lsquo", 8216},  {"rsquo", 8217},   {"sbquo", 8218},   {"ldquo", 8220},
    {"rdquo", 8221},  {"bdquo", 8222},  {"dagger", 8224},  {"Dagger", 8225},  {"permil", 8240},
    {"lsaquo", 8249}, {"rsaquo", 8250}, {"euro", 8364},    {"fnof", 402},     {"Alpha", 913},
    {"Beta", 914},    {"Gamma", 915},   {"Delta", 916},    {"Epsilon", 917},  {"Zeta", 918},
    {"Eta", 919},     {"Theta", 920},   {"Iota", 921},     {"Kappa", 922},    {"Lambda", 923},
    {"Mu", 924},      {"Nu", 925},      {"Xi", 926},       {"Omicron", 927},  {"Pi", 928},
    {"Rho", 929},     {"Sigma", 931},   {"Tau", 932},      {"Upsilon", 933},  {"Phi", 934},
    {"Chi", 935},     {"Psi", 936},     {"Omega", 937},    {"alpha", 945},    {"beta", 946},
    {"gamma", 947},   {"delta", 948},   {"epsilon", 949},  {"zeta", 950},     {"eta", 951},
    {"theta", 952},   {"iota", 953},    {"kappa", 954},    {"lambda", 955},   {"mu", 956},
    {"nu", 957},      {"xi", 958},      {"omicron", 959},  {"pi", 960},       {"rho", 961},
    {"sigmaf", 962},  {"sigma", 963},   {"tau", 964},      {"upsilon", 965},  {"phi", 966},
    {"chi", 967},     {"psi", 968},     {"omega", 969},    {"thetasym", 977}, {"upsih", 978},
    {"piv", 982},     {"oline", 8254},  {"frasl", 8260},   {"weierp", 8472},  {"image", 8465},
    {"real", 8476},   {"trade", 8482},  {"alefsym", 8501}, {"larr", 8592},    {"uarr", 8593},
    {"rarr", 8594},   {"darr", 8595},   {"harr", 8596},    {"crarr", 8629},   {"lArr", 8656},
    {"uArr", 8657},   {"rArr", 8658},   {"dArr", 8659},    {"hArr", 8660},    {"forall", 8704},
    {"part", 8706},   {"exist", 8707},  {"empty", 8709},   {"nabla", 8711},   {"isin", 8712},
    {"notin", 8713},  {"ni", 8715},     {"prod", 8719},    {"sum", 8721},     {"minus", 8722},
    {"lowast", 8727}, {"radic", 8730},  {"prop", 8733},    {"infin", 8734},   {"ang", 8736},
    {"and", 8743},    {"or", 8744},     {"cap", 8745},     {"cup", 8746},     {"int", 8747},
    {"there4", 8756}, {"sim", 8764},    {"cong", 8773},    {"asymp", 8776},   {"ne", 8800},
    {"equiv", 8801},  {"le", 8804},     {"ge", 8805},      {"sub", 8834},     {"sup", 8835},
    {"nsub", 8836},   {"sube", 8838},   {"supe", 8839},    {"oplus", 8853},   {"otimes", 8855},
    {"perp", 8869},   {"sdot", 8901},   {"lceil", 8968},   {"rceil", 8969},   {"lfloor", 8970},
    {"rfloor", 8971}, {"lang", 9001},   {"rang", 9002},    {"loz", 9674},     {"spades", 9824},
    {"clubs", 9827},  {"hearts", 9829}, {"diams", 9830},
};

constexpr qsizetype kLongestName = 8; // "thetasym"

const std::vector<Entity>& sortedEntities()
{
    static const std::vector<Entity> table = [] {
        std::vector<Entity> all(std::begin(kOtherEntities), std::end(kOtherEntities));
        for (int i = 0; i < 96; ++i)
            all.push_back({kLatin1Names[i], static_cast<char16_t>(160 + i)});
        // A no-break space decodes to a plain one: the encoder writes every space as "&nbsp;".
        for (Entity& e : all) {
            if (std::strcmp(e.name, "nbsp") == 0)
                e.ch = u' ';
        }
        std::sort(all.begin(), all.end(),
                  [](const Entity& a, const Entity& b) { return std::strcmp(a.name, b.name) < 0; });
        return all;
    }();
    return table;
}

bool isAsciiAlnum(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9');
}

bool canStartTag(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '/' || u == '!' || u == '?';
}

} // namespace

namespace Markup {

char16_t entityCharacter(QStringView name)
{
    const std::vector<Entity>& table = sortedEntities();
    auto it =
        std::lower_bound(table.begin(), table.end(), name, [](const Entity& e, QStringView n) {
            return QStringView(n).compare(QLatin1StringView(e.name)) > 0;
        });
    if (it != table.end() && name.compare(QLatin1StringView(it->name)) == 0)
        return it->ch;
    return 0;
}

QStringView latin1EntityName(char16_t c)
{
    static const std::vector<QString> names = [] {
        std::vector<QString> out;
        for (const char* name : kLatin1Names)
            out.push_back(QLatin1StringView(name));
        return out;
    }();
    if (c < 160 || c > 255)
        return {};
    return names[c - 160];
}

char16_t entityAt(QStringView text, qsizetype at, qsizetype* end)
{
    const qsizetype n = text.size();
    qsizetype e = at + 1;
    while (e < n && e - at - 1 < kLongestName && isAsciiAlnum(text[e]))
        ++e;
    if (e >= n || text[e] != u';' || e == at + 1)
        return 0;
    const char16_t ch = entityCharacter(text.sliced(at + 1, e - at - 1));
    if (ch != 0)
        *end = e;
    return ch;
}

void cHtmlToChar(QString& text)
{
    qsizetype i = text.indexOf(u'&');
    if (i < 0)
        return;
    const qsizetype n = text.size();
    QChar* d = text.data();
    const QStringView all(d, n);
    qsizetype w = i;
    qsizetype r = i;
    for (; i >= 0 && i < n; i = all.indexOf(u'&', i + 1)) {
        qsizetype end = 0;
        const char16_t ch = entityAt(all, i, &end);
        if (ch == 0)
            continue;
        // Every entity is longer than its character, so the text is rewritten in place.
        w = std::copy(d + r, d + i, d + w) - d;
        d[w++] = QChar(ch);
        r = end + 1;
        i = end;
    }
    w = std::copy(d + r, d + n, d + w) - d;
    text.truncate(w);
}

void cStripHTML(QString& text)
{
    qsizetype i = text.indexOf(u'<');
    if (i < 0)
        return;
    const qsizetype n = text.size();
    QChar* d = text.data();
    const QStringView all(d, n);
    qsizetype w = i;
    qsizetype r = i;
    // The last "-->" found (or its absence) is remembered, so that many unclosed comments do
    // not each scan to the end of the text.
    constexpr qsizetype kNone = -2;
    qsizetype commentEnd = -1;
    for (; i >= 0; i = all.indexOf(u'<', i + 1)) {
        if (i < r || i + 1 >= n || !canStartTag(d[i + 1]))
            continue;
        qsizetype close = -1;
        if (all.sliced(i).startsWith(u"<!--")) {
            if (commentEnd != kNone && commentEnd < i + 4)
                commentEnd = all.indexOf(u"-->", i + 4);
            if (commentEnd < 0)
                commentEnd = kNone;
            if (commentEnd != kNone)
                close = commentEnd + 2;
        }
        if (close < 0)
            close = all.indexOf(u'>', i + 1);
        if (close < 0)
            break; // an unclosed tag at the end of a truncated file is kept as text
        w = std::copy(d + r, d + i, d + w) - d;
        r = close + 1;
        i = close;
    }
    w = std::copy(d + r, d + n, d + w) - d;
    text.truncate(w);
}

} // namespace Markup
