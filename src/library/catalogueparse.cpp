#include "library/catalogueparse.h"

#include "platform/textcodec.h"

#include <algorithm>

namespace CatalogueParse {

namespace {

constexpr QChar kNoBreakSpace(0x00A0);
// The index reports its progress this often.
constexpr int kProgressEvery = 50;

bool isBlank(QChar c)
{
    return c == u' ' || c == kNoBreakSpace;
}

// Calls f with each line of text, without its CR LF or LF.
template <typename F> void forEachLine(const QString& text, F f)
{
    const QStringView all(text);
    qsizetype start = 0;
    while (start < all.size()) {
        qsizetype end = all.indexOf(u'\n', start);
        const qsizetype next = end < 0 ? all.size() : end + 1;
        if (end < 0)
            end = all.size();
        QStringView line = all.sliced(start, end - start);
        if (line.endsWith(u'\r'))
            line.chop(1);
        f(line);
        start = next;
    }
}

int countLines(const QString& text)
{
    if (text.isEmpty())
        return 0;
    const int breaks = int(text.count(u'\n'));
    return text.endsWith(u'\n') ? breaks : breaks + 1;
}

bool isDigits(QStringView text)
{
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// "<", one or more "=", word, one or more "=", ">", letter case ignored.
bool isMarker(QStringView line, QStringView word)
{
    if (line.size() < word.size() + 4 || !line.startsWith(u'<') || !line.endsWith(u'>'))
        return false;
    qsizetype i = 1;
    while (i < line.size() && line[i] == u'=')
        ++i;
    qsizetype j = line.size() - 2;
    while (j > i && line[j] == u'=')
        --j;
    return i > 1 && j < line.size() - 2 &&
           line.sliced(i, j - i + 1).compare(word, Qt::CaseInsensitive) == 0;
}

// What the index's line leaves for a title: the text before the first "[", trimmed.
QStringView beforeBracket(QStringView line)
{
    const qsizetype bracket = line.indexOf(u'[');
    return trimBlanks(bracket < 0 ? line : line.first(bracket));
}

// A title line of the current form whose book is in the file list. An indented line whose
// number follows a single blank continues the title above (" Church, Vol. 1"); now that
// books below 10,000 are found too, its number would otherwise name one of them.
bool currentForm(QStringView line, bool indented, const QStringList& files, int lastIndex,
                 QList<Record>& out)
{
    qsizetype blank = line.size() - 1;
    while (blank >= 0 && !isBlank(line[blank]))
        --blank;
    if (blank < 0)
        return true; // no blank: nothing to look at at all
    const QStringView token = trimBlanks(line.sliced(blank + 1));
    if (!isDigits(token) || (indented && blank > 0 && !isBlank(line[blank - 1])))
        return false;
    QString path = BuildPathPlusFile(token.toString());
    int found = FindRec(files, lastIndex, path);
    if (found < 0) {
        path.replace(QStringLiteral(".txt"), QStringLiteral("-8.txt"));
        found = FindRec(files, lastIndex, path);
    }
    if (found < 0)
        return false;
    QString title = beforeBracket(line).toString();
    title.remove(token.toString(), Qt::CaseSensitive);
    title = trimBlanks(title).toString();
    if (!title.isEmpty())
        out.append({files[found], title});
    return true;
}

// A title line of the old form: "Nov 2001 Title, by Author   [abcdexxx.xxx] 1234".
void oldForm(QStringView line, QList<Record>& out)
{
    const qsizetype x = line.indexOf(u"xx.x");
    if (x < 0 || line.contains(u"Audio:", Qt::CaseInsensitive))
        return;
    const qsizetype open = line.first(x + 1).lastIndexOf(u'[');
    const qsizetype start = open < 0 ? 0 : open + 1;
    const qsizetype close = line.indexOf(u']', x);
    if (close < 0)
        return;
    // Only the x's of the pattern stand for the version and the extension: grexpxxx.xxx is
    // grexp10.txt, not grep10.txt.
    QString name = line.sliced(start, x - start).toString();
    while (name.endsWith(u'x'))
        name.chop(1);
    name += QStringLiteral("10.txt");
    const QStringView withoutMonth = trimBlanks(line.sliced(std::min<qsizetype>(3, line.size())));
    const QString path =
        QStringLiteral("/etext") + withoutMonth.mid(2, 2).toString() + QChar(u'/') + name;
    const QStringView title = trimBlanks(beforeBracket(withoutMonth).mid(4));
    if (!title.isEmpty())
        out.append({path, title.toString()});
}

// One field of a line read as a delimited field: leading blanks skipped, up to a comma or
// the end of the line; a field that starts with a double quote runs to the closing quote.
// pos moves past the field's comma.
QString delimitedField(QStringView line, qsizetype& pos)
{
    while (pos < line.size() && isBlank(line[pos]))
        ++pos;
    QString field;
    if (pos < line.size() && line[pos] == u'"') {
        const qsizetype close = line.indexOf(u'"', pos + 1);
        const qsizetype end = close < 0 ? line.size() : close;
        field = line.sliced(pos + 1, end - pos - 1).toString();
        pos = end;
        const qsizetype comma = line.indexOf(u',', pos);
        pos = comma < 0 ? line.size() : comma + 1;
        return field;
    }
    const qsizetype comma = line.indexOf(u',', pos);
    const qsizetype end = comma < 0 ? line.size() : comma;
    field = trimBlanks(line.sliced(pos, end - pos)).toString();
    pos = comma < 0 ? line.size() : comma + 1;
    return field;
}

// The text inside <pre>...</pre>, or text itself when it is not wrapped.
bool unwrapPre(QString& text)
{
    const qsizetype pre = text.indexOf(QStringLiteral("<pre>"), 0, Qt::CaseInsensitive);
    if (pre < 0)
        return false;
    text.remove(0, pre + 5);
    // The page's own closing tag is the last one; a page that writes it in capitals ends
    // there too rather than leaving the page's tail to be read as entries.
    qsizetype close = text.lastIndexOf(QStringLiteral("</pre>"));
    if (close < 0)
        close = text.lastIndexOf(QStringLiteral("</pre>"), -1, Qt::CaseInsensitive);
    if (close >= 0)
        text.truncate(close);
    return true;
}

} // namespace

QStringList lines(const QByteArray& bytes)
{
    QStringList result;
    forEachLine(TextCodec::decode(bytes),
                [&](QStringView line) { result.append(line.toString()); });
    return result;
}

QStringView trimBlanks(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

QStringList listingPaths(const QByteArray& listing)
{
    static const QString kKeptExtensions = QStringLiteral("htmtxtzip");
    QStringList paths;
    QString directory;
    bool inBlock = false;
    forEachLine(TextCodec::decode(listing), [&](QStringView raw) {
        const QStringView line = trimBlanks(raw);
        if (!inBlock) {
            // "./1/2/3/4/12345:"; the top directory's ".:" starts no block.
            const qsizetype colon = line.indexOf(u':');
            if (line.startsWith(u'.') && colon == line.size() - 1 && colon > 1) {
                directory = line.sliced(1, line.size() - 2).toString();
                inBlock = true;
            }
            return;
        }
        if (line.isEmpty()) {
            inBlock = false;
            return;
        }
        const qsizetype dot = line.lastIndexOf(u'.');
        if (dot < 0 || dot == line.size() - 1)
            return;
        const QString extension = line.sliced(dot + 1).toString().toLower();
        if (kKeptExtensions.contains(extension))
            paths.append(directory + QChar(u'/') + line.toString());
    });
    return paths;
}

bool isListingsStart(QStringView trimmedLine)
{
    return trimmedLine.contains(u"<==Start GUTINDEX.ALL listings==>", Qt::CaseInsensitive) ||
           isMarker(trimmedLine, u"LISTINGS");
}

bool isListingsEnd(QStringView trimmedLine)
{
    return isMarker(trimmedLine, u"End of GUTINDEX.ALL");
}

QList<Record> indexRecords(const QByteArray& index, const QStringList& sortedFiles,
                           const LineProgress& progress)
{
    QList<Record> records;
    const QString text = TextCodec::decode(index);
    const int lineCount = countLines(text);
    const int lastIndex = int(sortedFiles.size()) - 1;
    int n = 0;
    int counter = 0;
    bool started = false;
    bool ended = false;
    forEachLine(text, [&](QStringView raw) {
        ++n;
        if (++counter == kProgressEvery) {
            counter = 0;
            if (progress)
                progress(n, lineCount);
        }
        if (ended)
            return;
        const QStringView line = trimBlanks(raw);
        if (!started) {
            started = isListingsStart(line);
            return;
        }
        if (line.startsWith(u"<=") && isListingsEnd(line)) {
            ended = true;
            return;
        }
        const bool indented = !raw.isEmpty() && (isBlank(raw.front()) || raw.front() == u'\t');
        if (!currentForm(line, indented, sortedFiles, lastIndex, records))
            oldForm(line, records);
    });
    return records;
}

Australian australianRecords(const QByteArray& catalogue)
{
    Australian result;
    result.unwrapped = TextCodec::decode(catalogue);
    result.wrapped = unwrapPre(result.unwrapped);
    forEachLine(result.unwrapped, [&](QStringView line) {
        qsizetype pos = 0;
        const QString folder = delimitedField(line, pos);
        QString base = delimitedField(line, pos);
        const QString type = delimitedField(line, pos);
        const QString title = trimBlanks(line.sliced(pos)).toString();
        QString path;
        if (type.compare(QStringLiteral("html"), Qt::CaseInsensitive) == 0) {
            if (!base.endsWith(u'h'))
                base += u'h';
            path = QChar(u'/') + folder + QChar(u'/') + base + QStringLiteral(".html");
        } else {
            if (base.isEmpty())
                return;
            path = QChar(u'/') + folder + QChar(u'/') + base + QStringLiteral(".txt");
        }
        result.records.append({path, QStringLiteral("*PG-OZ* ") + title});
    });
    return result;
}

void SortArray(QStringList& list)
{
    // A merge sort keeps equal strings in order, as the exchange sort it stands for does,
    // and stays O(n log n) on a listing far from order.
    std::stable_sort(list.begin(), list.end(), [](const QString& a, const QString& b) {
        return QStringView(a).compare(QStringView(b), Qt::CaseSensitive) < 0;
    });
}

int FindRec(const QStringList& list, int lastIndex, const QString& key)
{
    lastIndex = std::min(lastIndex, int(list.size()) - 1);
    if (lastIndex <= 0)
        return -1;
    if (list[0] == key)
        return 0;
    if (list[lastIndex] == key)
        return lastIndex;
    int low = 0;
    int high = lastIndex;
    while (low <= high) {
        const int mid = low + (high - low) / 2;
        const int order = list[mid].compare(key, Qt::CaseSensitive);
        if (order == 0)
            return mid;
        if (order > 0)
            high = mid - 1;
        else
            low = mid + 1;
    }
    return -1;
}

QString BuildPathPlusFile(const QString& bookNumber)
{
    if (!isDigits(bookNumber))
        return bookNumber;
    QStringView number(bookNumber);
    while (number.size() > 1 && number.front() == u'0')
        number = number.sliced(1);
    QString path;
    if (number.size() == 1)
        path = QStringLiteral("/0");
    for (qsizetype i = 0; i + 1 < number.size(); ++i) {
        path += u'/';
        path += number[i];
    }
    const QString book = number.toString();
    return path + QChar(u'/') + book + QChar(u'/') + book + QStringLiteral(".txt");
}

} // namespace CatalogueParse
