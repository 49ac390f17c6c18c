#include "platform/rtf/rtfparser.h"

#include "platform/rtf/rtfkeywords.h"

#include <QTextDocument>

#include <algorithm>
#include <climits>

namespace rtf {

namespace {

constexpr std::size_t kMaxDepth = 4096;

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int pixelsFromTwips(int twips)
{
    return std::clamp(twips, -31680, 31680) / 15;
}

// Characters QTextDocument would take for structure (paragraph and frame marks, object
// placeholders), controls and lone surrogates are not text of the document. Cleans the
// run from index from on.
void sanitise(QString& run, qsizetype from)
{
    const qsizetype n = run.size();
    if (from >= n)
        return;
    QChar* d = run.data();
    qsizetype w = from;
    for (qsizetype i = from; i < n; ++i) {
        const char16_t u = d[i].unicode();
        if ((u < 0x20 && u != u'\t') || u == 0x7F || u == 0xFDD0 || u == 0xFDD1 || u == 0xFFFC ||
            u == 0xFFFE || u == 0xFFFF)
            continue;
        if (u == 0x2029) {
            d[w++] = QChar(QChar::LineSeparator);
        } else if (QChar::isHighSurrogate(u) && i + 1 < n && d[i + 1].isLowSurrogate()) {
            d[w++] = d[i];
            d[w++] = d[++i];
        } else if (QChar::isSurrogate(u)) {
            d[w++] = QChar(QChar::ReplacementCharacter);
        } else {
            d[w++] = d[i];
        }
    }
    run.truncate(w);
}

} // namespace

Parser::Parser(const QByteArray& data, QTextDocument* doc)
    : m_p(data.constData()), m_end(data.constData() + data.size()), m_cursor(doc)
{
}

void Parser::run()
{
    m_cursor.beginEditBlock();
    while (m_p < m_end && !m_done) {
        const char c = *m_p;
        if (c == '{') {
            ++m_p;
            openGroup();
        } else if (c == '}') {
            ++m_p;
            closeGroup();
        } else if (c == '\\') {
            ++m_p;
            if (m_p < m_end && isLetter(*m_p))
                controlWord();
            else
                controlSymbol();
        } else if (c == '\r' || c == '\n') {
            ++m_p;
        } else if (m_skipCount > 0) {
            --m_skipCount;
            ++m_p;
        } else {
            const char* start = m_p;
            while (m_p < m_end && *m_p != '\\' && *m_p != '{' && *m_p != '}' && *m_p != '\r' &&
                   *m_p != '\n')
                ++m_p;
            text(start, m_p - start);
        }
    }
    finish();
    m_cursor.endEditBlock();
}

void Parser::openGroup()
{
    m_skipCount = 0;
    if (m_stack.size() >= kMaxDepth) {
        // Deeper groups share the deepest state; only their braces are counted.
        ++m_excessDepth;
        return;
    }
    m_stack.push_back(m_state);
}

void Parser::closeGroup()
{
    m_skipCount = 0;
    if (m_excessDepth > 0) {
        --m_excessDepth;
        return;
    }
    if (m_state.destination == Destination::FontTable)
        finishFontEntry();
    if (m_stack.empty()) {
        m_done = true;
        return;
    }
    m_state = m_stack.back();
    m_stack.pop_back();
    // The document's outermost group has closed; anything after it is not part of it.
    if (m_stack.empty())
        m_done = true;
}

void Parser::skipGroup()
{
    int depth = 1;
    while (m_p < m_end) {
        const char c = *m_p++;
        if (c == '{') {
            ++depth;
        } else if (c == '}') {
            if (--depth == 0) {
                closeGroup();
                return;
            }
        } else if (c == '\\' && m_p < m_end) {
            if (!isLetter(*m_p)) {
                ++m_p; // an escaped brace or backslash
                continue;
            }
            const char* word = m_p;
            while (m_p < m_end && isLetter(*m_p))
                ++m_p;
            const bool isBin = m_p - word == 3 && std::string_view(word, 3) == "bin";
            qint64 count = 0;
            if (m_p < m_end && *m_p == '-')
                ++m_p;
            while (m_p < m_end && isDigit(*m_p)) {
                count = std::min<qint64>(count * 10 + (*m_p - '0'), m_end - m_p);
                ++m_p;
            }
            if (m_p < m_end && *m_p == ' ')
                ++m_p;
            if (isBin)
                m_p += std::min<qint64>(count, m_end - m_p);
        }
    }
}

void Parser::controlSymbol()
{
    if (m_p >= m_end)
        return;
    const char c = *m_p++;
    if (c == '\'') {
        int value = -1;
        if (m_p + 1 < m_end && hexValue(m_p[0]) >= 0 && hexValue(m_p[1]) >= 0) {
            value = hexValue(m_p[0]) * 16 + hexValue(m_p[1]);
            m_p += 2;
        }
        if (m_skipCount > 0) {
            --m_skipCount;
            return;
        }
        if (value >= 0) {
            const char byte = static_cast<char>(value);
            text(&byte, 1);
        }
        return;
    }
    if (c == '*') {
        m_skipCount = 0;
        skipGroup();
        return;
    }
    if (m_skipCount > 0) {
        --m_skipCount;
        return;
    }
    switch (c) {
    case '\\':
    case '{':
    case '}':
        text(&c, 1);
        break;
    case '\r':
    case '\n':
        paragraphBreak();
        break;
    case '~':
        appendCharacter(0xA0);
        break;
    case '_':
        appendCharacter(0x2011);
        break;
    case '\t':
        appendCharacter(u'\t');
        break;
    default:
        break; // optional hyphen, index and formula marks
    }
}

void Parser::controlWord()
{
    const char* start = m_p;
    while (m_p < m_end && isLetter(*m_p))
        ++m_p;
    const std::string_view word(start, static_cast<std::size_t>(m_p - start));
    bool negative = false;
    if (m_p + 1 < m_end && *m_p == '-' && isDigit(m_p[1])) {
        negative = true;
        ++m_p;
    }
    bool hasParam = false;
    qint64 value = 0;
    while (m_p < m_end && isDigit(*m_p)) {
        hasParam = true;
        value = std::min<qint64>(value * 10 + (*m_p - '0'), INT_MAX);
        ++m_p;
    }
    if (m_p < m_end && *m_p == ' ')
        ++m_p;
    const int param = static_cast<int>(negative ? -value : value);
    applyWord(word, hasParam, param);
}

void Parser::applyWord(std::string_view word, bool hasParam, int param)
{
    Kw kw;
    if (!lookupKeyword(word, &kw)) {
        if (m_skipCount > 0)
            --m_skipCount;
        return;
    }
    if (kw == Kw::Bin) {
        m_p += std::min<qint64>(std::max(param, 0), m_end - m_p);
        return;
    }
    if (m_skipCount > 0) {
        --m_skipCount;
        return;
    }
    const bool on = !hasParam || param != 0;
    CharProps& chars = m_state.chars;
    ParaProps& para = m_state.para;
    switch (kw) {
    case Kw::Skip:
        skipGroup();
        break;
    case Kw::FontTable:
        m_state.destination = Destination::FontTable;
        m_fontEntry = -1;
        break;
    case Kw::ColorTable:
        m_state.destination = Destination::ColorTable;
        m_colors.clear();
        break;
    case Kw::Par:
        paragraphBreak();
        break;
    case Kw::Line:
        appendCharacter(QChar::LineSeparator);
        break;
    case Kw::Tab:
        appendCharacter(u'\t');
        break;
    case Kw::Cell:
        cell();
        break;
    case Kw::Row:
        m_pendingTab = false;
        paragraphBreak();
        break;
    case Kw::Emdash:
        appendCharacter(0x2014);
        break;
    case Kw::Endash:
        appendCharacter(0x2013);
        break;
    case Kw::Lquote:
        appendCharacter(0x2018);
        break;
    case Kw::Rquote:
        appendCharacter(0x2019);
        break;
    case Kw::Ldblquote:
        appendCharacter(0x201C);
        break;
    case Kw::Rdblquote:
        appendCharacter(0x201D);
        break;
    case Kw::Bullet:
        appendCharacter(0x2022);
        break;
    case Kw::Emspace:
    case Kw::Enspace:
    case Kw::Qmspace:
        appendCharacter(u' ');
        break;
    case Kw::Zwj:
        appendCharacter(0x200D);
        break;
    case Kw::Zwnj:
        appendCharacter(0x200C);
        break;
    case Kw::Bold:
        chars.bold = on;
        break;
    case Kw::Italic:
        chars.italic = on;
        break;
    case Kw::Underline:
        chars.underline = on;
        break;
    case Kw::UlNone:
        chars.underline = false;
        break;
    case Kw::Strike:
        chars.strike = on;
        break;
    case Kw::FontSize:
        chars.halfPoints = hasParam ? std::clamp(param, 2, 3276) : 24;
        break;
    case Kw::Font:
        if (m_state.destination == Destination::FontTable) {
            finishFontEntry();
            m_fontEntry = param;
            m_fonts.try_emplace(param);
        } else {
            chars.font = param;
        }
        break;
    case Kw::Color:
        chars.color = std::max(param, 0);
        break;
    case Kw::Background:
        chars.background = std::max(param, 0);
        break;
    case Kw::Hidden:
        chars.hidden = on;
        break;
    case Kw::Super:
        chars.vertical = 1;
        break;
    case Kw::Sub:
        chars.vertical = -1;
        break;
    case Kw::NoSuperSub:
        chars.vertical = 0;
        break;
    case Kw::Plain:
        chars = CharProps{};
        break;
    case Kw::Pard:
        para = ParaProps{};
        break;
    case Kw::AlignLeft:
        para.align = 0;
        break;
    case Kw::AlignCentre:
        para.align = 1;
        break;
    case Kw::AlignRight:
        para.align = 2;
        break;
    case Kw::AlignJustify:
        para.align = 3;
        break;
    case Kw::LeftIndent:
        para.leftTwips = param;
        break;
    case Kw::RightIndent:
        para.rightTwips = param;
        break;
    case Kw::FirstIndent:
        para.firstTwips = param;
        break;
    case Kw::Ansi:
        m_ansiCodePage = 1252;
        break;
    case Kw::Mac:
        m_ansiCodePage = 10000;
        break;
    case Kw::Pc:
        m_ansiCodePage = 437;
        break;
    case Kw::Pca:
        m_ansiCodePage = 850;
        break;
    case Kw::AnsiCpg:
        if (param > 0)
            m_ansiCodePage = param;
        break;
    case Kw::Deff:
        m_defaultFont = param;
        break;
    case Kw::Uc:
        m_state.unicodeSkip = std::clamp(param, 0, 64);
        break;
    case Kw::U: {
        // Written as a signed 16-bit number; some writers give whole code points.
        const int code = param < 0 ? param + 65536 : param;
        if (code >= 0)
            appendCharacter(static_cast<char32_t>(code));
        m_skipCount = m_state.unicodeSkip;
        break;
    }
    case Kw::FCharset:
        if (m_state.destination == Destination::FontTable && m_fontEntry >= 0) {
            Font& font = m_fonts[m_fontEntry];
            if (font.codePage == 0)
                font.codePage = RtfCodePages::codePageOfCharset(param);
        }
        break;
    case Kw::Cpg:
        if (m_state.destination == Destination::FontTable && m_fontEntry >= 0 && param > 0)
            m_fonts[m_fontEntry].codePage = param;
        break;
    case Kw::Red:
        m_red = std::clamp(param, 0, 255);
        m_colorGiven = true;
        break;
    case Kw::Green:
        m_green = std::clamp(param, 0, 255);
        m_colorGiven = true;
        break;
    case Kw::Blue:
        m_blue = std::clamp(param, 0, 255);
        m_colorGiven = true;
        break;
    case Kw::Bin:
        break;
    }
}

bool Parser::inText() const
{
    return m_state.destination == Destination::Text && !m_state.chars.hidden;
}

void Parser::text(const char* bytes, qsizetype count)
{
    switch (m_state.destination) {
    case Destination::FontTable:
        fontTableText(bytes, count);
        return;
    case Destination::ColorTable:
        colorTableText(bytes, count);
        return;
    case Destination::Text:
        break;
    }
    if (!inText())
        return;
    beginText();
    m_bytes.append(bytes, count);
}

void Parser::fontTableText(const char* bytes, qsizetype count)
{
    for (qsizetype i = 0; i < count; ++i) {
        if (bytes[i] == ';')
            finishFontEntry();
        else if (m_fontEntry >= 0 && m_fontNameBytes.size() < 256)
            m_fontNameBytes.append(bytes[i]);
    }
}

void Parser::colorTableText(const char* bytes, qsizetype count)
{
    for (qsizetype i = 0; i < count; ++i) {
        if (bytes[i] != ';')
            continue;
        // An entry without components is "automatic": the default text colour.
        m_colors.push_back(m_colorGiven ? QColor(m_red, m_green, m_blue) : QColor());
        m_red = m_green = m_blue = 0;
        m_colorGiven = false;
    }
}

void Parser::finishFontEntry()
{
    if (m_fontEntry >= 0 && !m_fontNameBytes.isEmpty()) {
        Font& font = m_fonts[m_fontEntry];
        if (!font.named) {
            QString name;
            const int page = font.codePage == RtfCodePages::kSymbol ? 1252 : font.codePage;
            m_codePages.decode(m_fontNameBytes, page > 0 ? page : m_ansiCodePage, name);
            font.name = name.trimmed();
            font.named = true;
        }
    }
    m_fontNameBytes.clear();
}

const Font* Parser::fontAt(int index) const
{
    const auto it = m_fonts.find(index < 0 ? m_defaultFont : index);
    return it == m_fonts.end() ? nullptr : &it->second;
}

int Parser::codePageFor(const CharProps& props) const
{
    const Font* font = fontAt(props.font);
    return font && font->codePage > 0 ? font->codePage : m_ansiCodePage;
}

void Parser::appendCharacter(char32_t code)
{
    if (!inText())
        return;
    beginText();
    flushBytes();
    if (code > 0x10FFFF)
        code = QChar::ReplacementCharacter;
    if (QChar::requiresSurrogates(code)) {
        const QChar pair[2] = {QChar(QChar::highSurrogate(code)), QChar(QChar::lowSurrogate(code))};
        m_run.append(pair, 2);
    } else {
        m_run.append(QChar(static_cast<char16_t>(code)));
    }
}

void Parser::beginText()
{
    if (m_pendingParagraph)
        startParagraph();
    const int page = codePageFor(m_state.chars);
    if (!(m_state.chars == m_runProps) || page != m_runCodePage) {
        flushRun();
        m_runProps = m_state.chars;
        m_runCodePage = page;
    }
    if (m_pendingTab) {
        m_pendingTab = false;
        flushBytes();
        m_run.append(u'\t');
    }
}

void Parser::flushBytes()
{
    if (m_bytes.isEmpty())
        return;
    m_codePages.decode(m_bytes, m_runCodePage, m_run);
    m_bytes.clear();
}

void Parser::flushRun()
{
    flushBytes();
    sanitise(m_run, m_cleanLength);
    if (!m_run.isEmpty())
        m_cursor.insertText(m_run, charFormat(m_runProps));
    m_run.resize(0); // keeps its buffer for the next run
    m_cleanLength = 0;
}

void Parser::paragraphBreak()
{
    if (m_state.destination != Destination::Text)
        return;
    m_pendingTab = false;
    if (m_pendingParagraph)
        startParagraph(); // an empty paragraph ends here
    // The paragraph that ends here takes the properties in force at its end.
    if (!m_blockFormatSet || !(m_blockProps == m_state.para)) {
        flushRun();
        m_cursor.setBlockFormat(blockFormat(m_state.para));
        m_blockProps = m_state.para;
        m_blockFormatSet = true;
    }
    m_pendingParagraph = true;
}

// Opens the paragraph after a \par once its first content (or the next \par) shows the
// properties it starts with, which it nearly always keeps: its block is then made with
// them, and paragraphs of one format go into the document in one insertion.
void Parser::startParagraph()
{
    m_pendingParagraph = false;
    if (!(m_state.para == m_blockProps)) {
        flushRun();
        m_cursor.insertBlock(blockFormat(m_state.para), charFormat(m_state.chars));
        m_blockProps = m_state.para;
        return;
    }
    if (!(m_state.chars == m_runProps)) {
        flushRun();
        m_runProps = m_state.chars;
        m_runCodePage = codePageFor(m_runProps);
    }
    flushBytes();
    sanitise(m_run, m_cleanLength);
    m_run.append(QChar(QChar::ParagraphSeparator));
    m_cleanLength = m_run.size();
}

void Parser::cell()
{
    if (m_state.destination != Destination::Text)
        return;
    // The tab goes in when the next cell brings text, so a row ends without one.
    if (m_pendingTab) {
        m_pendingTab = false;
        appendCharacter(u'\t');
    }
    m_pendingTab = true;
}

void Parser::finish()
{
    if (m_state.destination == Destination::FontTable)
        finishFontEntry();
    if (m_pendingParagraph)
        startParagraph();
    flushRun();
    if (!m_blockFormatSet || !(m_blockProps == m_state.para))
        m_cursor.setBlockFormat(blockFormat(m_state.para));
}

QTextCharFormat Parser::charFormat(const CharProps& props)
{
    if (m_haveCachedFormat && m_cachedProps == props)
        return m_cachedFormat;
    QTextCharFormat format;
    format.setFontWeight(props.bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(props.italic);
    format.setFontUnderline(props.underline);
    format.setFontStrikeOut(props.strike);
    format.setFontPointSize(props.halfPoints / 2.0);
    if (const Font* font = fontAt(props.font); font && !font->name.isEmpty())
        format.setFontFamilies({font->name});
    const auto colorAt = [this](int index) {
        return index > 0 && static_cast<std::size_t>(index) < m_colors.size() ? m_colors[index]
                                                                              : QColor();
    };
    if (const QColor color = colorAt(props.color); color.isValid())
        format.setForeground(color);
    if (const QColor color = colorAt(props.background); color.isValid())
        format.setBackground(color);
    if (props.vertical != 0)
        format.setVerticalAlignment(props.vertical > 0 ? QTextCharFormat::AlignSuperScript
                                                       : QTextCharFormat::AlignSubScript);
    m_cachedProps = props;
    m_cachedFormat = format;
    m_haveCachedFormat = true;
    return format;
}

QTextBlockFormat Parser::blockFormat(const ParaProps& props)
{
    if (m_haveCachedBlock && m_cachedBlockProps == props)
        return m_cachedBlock;
    QTextBlockFormat format;
    static constexpr Qt::Alignment kAlign[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight,
                                               Qt::AlignJustify};
    format.setAlignment(kAlign[props.align]);
    format.setLeftMargin(std::max(0, pixelsFromTwips(props.leftTwips)));
    format.setRightMargin(std::max(0, pixelsFromTwips(props.rightTwips)));
    format.setTextIndent(pixelsFromTwips(props.firstTwips));
    m_cachedBlockProps = props;
    m_cachedBlock = format;
    m_haveCachedBlock = true;
    return format;
}

} // namespace rtf
