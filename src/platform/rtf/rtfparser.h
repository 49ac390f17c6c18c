#pragma once

#include "platform/rtf/rtfcodepage.h"

#include <QByteArray>
#include <QColor>
#include <QString>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>

#include <string_view>
#include <unordered_map>
#include <vector>

class QTextDocument;

namespace rtf {

enum class Destination : quint8 { Text, FontTable, ColorTable };

struct CharProps {
    int font = -1; // -1: the document's default font
    int halfPoints = 24;
    int color = 0;
    int background = 0;
    qint8 vertical = 0; // 1 superscript, -1 subscript
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    bool hidden = false;
    bool operator==(const CharProps&) const = default;
};

struct ParaProps {
    int leftTwips = 0;
    int rightTwips = 0;
    int firstTwips = 0;
    qint8 align = 0; // 0 left, 1 centre, 2 right, 3 justified
    bool operator==(const ParaProps&) const = default;
};

struct GroupState {
    CharProps chars;
    ParaProps para;
    Destination destination = Destination::Text;
    int unicodeSkip = 1; // \ucN
};

struct Font {
    QString name;
    int codePage = 0; // 0: the document's code page
    bool named = false;
};

// One pass over the bytes with an explicit group stack: no recursion, bounded memory for
// any nesting depth, and every byte looked at a bounded number of times.
class Parser {
public:
    Parser(const QByteArray& data, QTextDocument* doc);
    void run();

private:
    void openGroup();
    void closeGroup();
    void skipGroup();
    void controlSymbol();
    void controlWord();
    void applyWord(std::string_view word, bool hasParam, int param);
    void text(const char* bytes, qsizetype count);
    void fontTableText(const char* bytes, qsizetype count);
    void colorTableText(const char* bytes, qsizetype count);
    void finishFontEntry();
    void appendCharacter(char32_t code);
    void beginText();
    void flushBytes();
    void flushRun();
    void paragraphBreak();
    void startParagraph();
    void cell();
    void finish();
    int codePageFor(const CharProps& props) const;
    const Font* fontAt(int index) const;
    QTextCharFormat charFormat(const CharProps& props);
    QTextBlockFormat blockFormat(const ParaProps& props);
    bool inText() const;

    const char* m_p;
    const char* m_end;
    bool m_done = false;

    GroupState m_state;
    std::vector<GroupState> m_stack;
    int m_excessDepth = 0;
    int m_skipCount = 0; // fallback characters still to drop after \uN

    int m_ansiCodePage = 1252;
    int m_defaultFont = 0;
    std::unordered_map<int, Font> m_fonts;
    int m_fontEntry = -1;
    QByteArray m_fontNameBytes;
    std::vector<QColor> m_colors;
    int m_red = 0, m_green = 0, m_blue = 0;
    bool m_colorGiven = false;

    RtfCodePages m_codePages;
    QByteArray m_bytes;          // undecoded text of the current run
    QString m_run;               // decoded text of the current run
    qsizetype m_cleanLength = 0; // the start of m_run that is already sanitised
    CharProps m_runProps;
    int m_runCodePage = 1252;
    bool m_pendingTab = false;

    QTextCursor m_cursor;
    ParaProps m_blockProps; // the format the current block already has
    bool m_blockFormatSet = false;
    bool m_pendingParagraph = false; // a \par whose next paragraph has not begun yet
    CharProps m_cachedProps;
    QTextCharFormat m_cachedFormat;
    bool m_haveCachedFormat = false;
    ParaProps m_cachedBlockProps;
    QTextBlockFormat m_cachedBlock;
    bool m_haveCachedBlock = false;
};

} // namespace rtf
