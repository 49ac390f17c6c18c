#include "reader/documentloader.h"

#include "files/filesubs.h"
#include "platform/rtf/rtfreader.h"
#include "platform/textcodec.h"
#include "speech/voicemarkers.h"
#include "text/epub.h"
#include "text/sharedhtml.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QTextDocument>
#include <QVariant>

#include <algorithm>
#include <deque>
#include <future>
#include <mutex>
#include <utility>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

bool isControl(char16_t c)
{
    return (c < 0x20 && c != u'\t' && c != u'\r' && c != u'\n') || (c >= 0x7F && c < 0xA0);
}

// The emphasis tags that survive the conversion, and their bracketed stand-ins.
struct Emphasis {
    QStringView tag;
    QStringView standIn;
};
constexpr Emphasis kEmphasis[] = {
    {u"<em>", u"[emph]"}, {u"</em>", u"[/emph]"}, {u"<b>", u"[emph]"}, {u"</b>", u"[/emph]"}};

// The stand-in for an exact, lower-case emphasis tag at i, or nullptr.
const Emphasis* emphasisAt(QStringView text, qsizetype i)
{
    for (const Emphasis& e : kEmphasis) {
        if (text.sliced(i).startsWith(e.tag))
            return &e;
    }
    return nullptr;
}

// Blanks control characters and puts the stand-ins in, in one pass over a book that has no
// emphasis (most have none) and two over one that has. Each pass over a large book costs
// far more than its instructions once the book no longer fits in the processor's cache.
void markEmphasis(QString& text)
{
    QChar* d = text.data();
    const qsizetype n = text.size();
    qsizetype growth = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = d[i].unicode();
        if (c == u'<') {
            if (const Emphasis* e = emphasisAt(text, i))
                growth += e->standIn.size() - e->tag.size();
        } else if (isControl(c)) {
            d[i] = QChar(u' ');
        }
    }
    if (growth == 0)
        return;
    QString out;
    out.reserve(n + growth);
    qsizetype copied = 0;
    for (qsizetype i = text.indexOf(u'<'); i >= 0; i = text.indexOf(u'<', i + 1)) {
        if (const Emphasis* e = emphasisAt(text, i)) {
            out.append(QStringView(text).sliced(copied, i - copied));
            out.append(e->standIn);
            copied = i + e->tag.size();
            i = copied - 1;
        }
    }
    out.append(QStringView(text).sliced(copied));
    text = std::move(out);
}

// The stand-ins become the visible markers; they are as long as the markers, so in place.
void showEmphasis(QString& text)
{
    qsizetype i = text.indexOf(u'[');
    if (i < 0)
        return;
    QChar* d = text.data();
    for (; i >= 0; i = text.indexOf(u'[', i + 1)) {
        const QStringView at = QStringView(text).sliced(i);
        if (at.startsWith(u"[emph]") || at.startsWith(u"[/emph]")) {
            d[i] = QChar(u'<');
            d[i + (at[1] == u'/' ? 6 : 5)] = QChar(u'>');
        }
    }
}

// A book of more than 16 MB is held in buffers beyond glibc's largest threshold for mapping
// memory (32 MB): each of them was mapped afresh from the system, every page faulted and
// zeroed, and handed back when freed, so that such a book cost more per megabyte than a
// smaller one. Kept on the heap, the buffers of one book serve the next.
void keepLargeBuffers()
{
#if defined(__GLIBC__)
    static const bool kept = [] {
        constexpr int kLargest = 256 * 1024 * 1024;
        return mallopt(M_MMAP_THRESHOLD, kLargest) == 1 && mallopt(M_TRIM_THRESHOLD, kLargest) == 1;
    }();
    Q_UNUSED(kept);
#endif
}

bool readBytes(const QString& path, QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bytes = file.readAll();
    return file.error() == QFile::NoError;
}

// Enough of a file to tell text from binary data.
constexpr qint64 kJudgedBytes = 8000;

bool isBreak(QChar c)
{
    return c == u'\n' || c == u'\r';
}

// Characters drawn wrongly without shaping: combining marks, joining and complex scripts
// (Hebrew to Khmer, Indic extensions), joiners, variation selectors, presentation forms,
// and everything outside the basic plane (emoji sequences, historic scripts).
constexpr std::pair<char16_t, char16_t> kShapedRanges[] = {
    {0x0300, 0x036F}, {0x0483, 0x0489}, {0x0590, 0x1DFF}, {0x200C, 0x200D}, {0x20D0, 0x20FF},
    {0xA800, 0xABFF}, {0xD800, 0xDFFF}, {0xFB1D, 0xFE0F}, {0xFE20, 0xFE2F}, {0xFE70, 0xFEFE},
};

bool isShaped(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x0300)
        return false;
    for (const auto& [first, last] : kShapedRanges) {
        if (u >= first && u <= last)
            return true;
    }
    return false;
}

const char* const kChapterTitles = "parloChapterTitles";
const char* const kChapterPositions = "parloChapterPositions";

void keepChapters(QTextDocument& doc, const QList<cChapter>& chapters)
{
    QStringList titles;
    QList<qsizetype> positions;
    for (const cChapter& c : chapters) {
        titles << c.title;
        positions << c.position;
    }
    doc.setProperty(kChapterTitles, titles);
    doc.setProperty(kChapterPositions, QVariant::fromValue(positions));
}

const char* const kMarkerPositions = "parloVoiceMarkerPositions";
const char* const kMarkerTexts = "parloVoiceMarkerTexts";

void keepMarkers(QTextDocument& doc, const cVoiceMarkers& markers)
{
    QList<int> positions;
    QStringList texts;
    for (const cVoiceMarker& m : markers) {
        positions << m.position;
        texts << m.text;
    }
    doc.setProperty(kMarkerPositions, QVariant::fromValue(positions));
    doc.setProperty(kMarkerTexts, texts);
}

// Blank lines between the content documents, as between the paragraphs of one.
const QString kDocumentBreak = QString(2, QChar::ParagraphSeparator);

// Stands between the content documents while they are converted as one text: a private
// character no step of the conversion touches.
constexpr char16_t kDocumentMark = 0xE000;

// The pieces of the shown text, one for each content document, joined by kDocumentBreak;
// where each starts and ends.
struct Pieces {
    QString shown;
    QList<qsizetype> starts;
    QList<qsizetype> ends;
    void add(QStringView piece)
    {
        piece = piece.trimmed();
        if (!piece.isEmpty() && !shown.isEmpty())
            shown += kDocumentBreak;
        starts << shown.size();
        shown += piece;
        ends << shown.size();
    }
};

// Documents go through the conversion a batch at a time: converting hundreds of small ones
// one by one costs far more than one large one, and a batch of about this many characters
// still fits in the processor's cache through every pass of the conversion.
constexpr qsizetype kBatchCharacters = 128 * 1024;
// Batches converted at the same time, on threads of their own, while the archive is read.
constexpr qsizetype kBatchesAtOnce = 2;

// A batch of documents as shown: each one's place in the text.
struct ShownBatch {
    QString text;
    QList<std::pair<qsizetype, qsizetype>> documents; // start and length
    bool shaped = false;
};

// All documents of a batch through one conversion, each losing its head as it would
// alone. False when the marks did not come through one for one, as when a book holds the
// mark's character or a document leaves a tag open into the next.
bool convertAtOnce(const QStringList& markup, ShownBatch& shown)
{
    QString all;
    qsizetype size = 0;
    for (const QString& document : markup)
        size += document.size() + 5;
    all.reserve(size + 7);
    // The conversion cuts the text up to its first "</head>": the documents have lost
    // theirs, and this one spares it a search through the whole batch. A document with a
    // second one keeps it, as it would converted alone, to be stripped as a tag.
    all += u"</head>";
    for (const QString& document : markup) {
        const qsizetype head = document.indexOf(QLatin1String("</head>"), 0, Qt::CaseInsensitive);
        all += u"\r\n";
        all += QChar(kDocumentMark);
        all += u"\r\n";
        all += QStringView(document).sliced(head < 0 ? 0 : head + 7);
    }
    shown.text = cDocumentLoader::toParagraphs(cDocumentLoader::toDisplayText(std::move(all)),
                                               &shown.shaped);
    if (shown.text.count(QChar(kDocumentMark)) != markup.size())
        return false;
    const QStringView view(shown.text);
    qsizetype from = view.indexOf(QChar(kDocumentMark)) + 1;
    for (qsizetype i = 0; i < markup.size(); ++i) {
        const qsizetype next = view.indexOf(QChar(kDocumentMark), from);
        const qsizetype end = next < 0 ? view.size() : next;
        shown.documents.append({from, end - from});
        from = end + 1;
    }
    return true;
}

ShownBatch convertBatch(QStringList markup)
{
    ShownBatch shown;
    if (convertAtOnce(markup, shown))
        return shown;
    shown = {};
    for (QString& document : markup) {
        bool shaped = false;
        const QString text = cDocumentLoader::toParagraphs(
            cDocumentLoader::toDisplayText(std::move(document)), &shaped);
        shown.documents.append({shown.text.size(), text.size()});
        shown.text += text;
        shown.shaped = shown.shaped || shaped;
    }
    return shown;
}

// Gathers the documents as they come and converts them a batch at a time, kBatchesAtOnce
// batches on threads of their own; their pieces are put together in order.
class EpubConversion {
public:
    void add(QString&& document)
    {
        m_size += document.size();
        m_batch << std::move(document);
        if (m_size >= kBatchCharacters)
            startBatch();
    }
    // After the last document: the pieces are then complete.
    void finish()
    {
        startBatch();
        while (!m_running.empty())
            collect();
    }

    Pieces pieces;
    bool shaped = false;

private:
    void startBatch()
    {
        if (m_batch.isEmpty())
            return;
        if (m_running.size() >= kBatchesAtOnce)
            collect();
        m_running.push_back(std::async(std::launch::async, convertBatch, std::move(m_batch)));
        m_batch = {};
        m_size = 0;
    }
    void collect()
    {
        const ShownBatch batch = m_running.front().get();
        m_running.pop_front();
        for (const auto& [start, length] : batch.documents)
            pieces.add(QStringView(batch.text).sliced(start, length));
        shaped = shaped || batch.shaped;
    }

    QStringList m_batch;
    qsizetype m_size = 0;
    std::deque<std::future<ShownBatch>> m_running;
};

// The content documents one after another, each shown as an HTML book would be, and the
// table of contents at their places. A title found in its document marks the place of an
// entry that points inside it; otherwise the entry starts at the top of its document.
// The book refusal() opened, kept for the load() that follows it, so that opening a book
// reads its package once. It serves only while the file is as it was then.
class OpenedEpub {
public:
    static void keep(const QString& path, std::unique_ptr<cEpubBook> book)
    {
        const std::lock_guard guard(lock());
        slot() = {path, stamp(path), std::move(book)};
    }
    static std::unique_ptr<cEpubBook> take(const QString& path)
    {
        const std::lock_guard guard(lock());
        Slot kept = std::move(slot());
        slot() = {};
        if (kept.book && kept.path == path && kept.stamp == stamp(path))
            return std::move(kept.book);
        return nullptr;
    }

private:
    struct Slot {
        QString path;
        QString stamp;
        std::unique_ptr<cEpubBook> book;
    };
    static QString stamp(const QString& path)
    {
        const QFileInfo info(path);
        return QString::number(info.size()) + u' ' +
               QString::number(info.lastModified().toMSecsSinceEpoch());
    }
    static std::mutex& lock()
    {
        static std::mutex mutex;
        return mutex;
    }
    static Slot& slot()
    {
        static Slot kept;
        return kept;
    }
};

bool readEpub(const QString& path, QString& shown, QList<cChapter>& chapters, bool& shaped,
              cVoiceMarkers& markers)
{
    std::unique_ptr<cEpubBook> opened = OpenedEpub::take(path);
    if (!opened) {
        opened = std::make_unique<cEpubBook>();
        if (!opened->open(path))
            return false;
    }
    cEpubBook& book = *opened;
    EpubConversion conversion;
    if (!book.documents([&](QString&& document) { conversion.add(std::move(document)); }))
        return false;
    conversion.finish();
    const Pieces& pieces = conversion.pieces;
    const QStringList& spine = book.package().spine;
    for (const cEpubTocEntry& entry : book.toc()) {
        const qsizetype index = spine.indexOf(entry.member);
        if (index < 0)
            continue;
        qsizetype at = pieces.starts[index];
        if (!entry.fragment.isEmpty()) {
            const qsizetype found = Chapters::find(pieces.shown, entry.title, at);
            if (found >= 0 && found < pieces.ends[index])
                at = found;
        }
        chapters.append({entry.title, at});
    }
    shown = std::move(conversion.pieces.shown);
    shaped = conversion.shaped;
    markers = VoiceMarkers::extract(shown, true);
    for (cChapter& chapter : chapters)
        chapter.position = VoiceMarkers::shownPosition(markers, chapter.position);
    return true;
}

} // namespace

QString cDocumentLoader::toParagraphs(QString text, bool* shaped)
{
    // Written over the text itself: the joined text is never longer, and a second copy of a
    // large book would cost more than the joining.
    QChar* const out = text.data();
    QChar* o = out;
    const QChar* in = out;
    const qsizetype n = text.size();
    qsizetype blockLength = 0;
    bool shaping = false;
    for (qsizetype i = 0; i < n; ++i) {
        if (!isBreak(in[i])) {
            shaping = shaping || isShaped(in[i]);
            *o++ = in[i];
            ++blockLength;
            continue;
        }
        // CR LF is one break, as the document itself counts it.
        if (in[i] == u'\r' && i + 1 < n && in[i + 1] == u'\n')
            ++i;
        const bool blankBefore = blockLength == 0;
        const bool blankAfter = i + 1 == n || isBreak(in[i + 1]);
        const bool paragraph = blankBefore || blankAfter || blockLength >= kMaxJoinedLength;
        *o++ = QChar(paragraph ? QChar::ParagraphSeparator : QChar::LineSeparator);
        blockLength = paragraph ? 0 : blockLength + 1;
    }
    text.truncate(o - out);
    if (shaped)
        *shaped = shaping;
    return text;
}

bool cDocumentLoader::needsShaping(QStringView text)
{
    return std::any_of(text.begin(), text.end(), isShaped);
}

QString cDocumentLoader::cleanPath(const QString& path)
{
    QString clean = path;
    clean.remove(u'"');
    return clean;
}

bool cDocumentLoader::isRtf(const QString& path)
{
    return cSharedFileSubs::ExtOnly(path).toUpper() == QLatin1String("RTF");
}

bool cDocumentLoader::isEpub(const QString& path)
{
    return cSharedFileSubs::ExtOnly(path).toUpper() == QLatin1String("EPUB");
}

bool cDocumentLoader::isHtml(const QString& path)
{
    const QString ext = cSharedFileSubs::ExtOnly(path).toUpper();
    return ext == QLatin1String("HTML") || ext == QLatin1String("HTM") ||
           ext == QLatin1String("XHTML");
}

QString cDocumentLoader::toDisplayText(QString text)
{
    // Bracketed stand-ins survive the tag stripping; exact case, as books write them.
    markEmphasis(text);
    cSharedHTML::instance().HtmlToPlainText(text);
    showEmphasis(text);
    return text;
}

cDocumentLoader::Refusal cDocumentLoader::refusal(const QString& path, QString* why)
{
    const QFileInfo info(path);
    if (!info.exists())
        return Refusal::Missing;
    if (isEpub(path) && info.isFile()) {
        auto book = std::make_unique<cEpubBook>();
        if (book->open(path)) {
            OpenedEpub::keep(path, std::move(book));
            return Refusal::None;
        }
        if (why)
            *why = book->why();
        switch (book->problem()) {
        case cEpubBook::Problem::Protected:
            return Refusal::Protected;
        case cEpubBook::Problem::Unreadable:
            return Refusal::Unreadable;
        default:
            return Refusal::Broken;
        }
    }
    QFile file(path);
    if (info.isDir() || !file.open(QIODevice::ReadOnly))
        return Refusal::Unreadable;
    const QByteArray head = file.read(kJudgedBytes);
    if (file.error() != QFile::NoError)
        return Refusal::Unreadable;
    // RTF is judged by its reader, which skips the binary data (pictures) it may hold.
    if (RtfReader::looksLikeRtf(head) || TextCodec::looksLikeText(head))
        return Refusal::None;
    return Refusal::NotText;
}

std::unique_ptr<QTextDocument> cDocumentLoader::load(const QString& path, bool* readOk)
{
    keepLargeBuffers();
    auto doc = std::make_unique<QTextDocument>();
    bool ok = false;
    bool shaped = false;
    if (isRtf(path)) {
        // The reader takes the file's bytes, so its code pages are decoded as written.
        QByteArray bytes;
        ok = readBytes(path, bytes);
        if (ok)
            RtfReader::read(bytes, doc.get());
        shaped = ok && needsShaping(doc->toPlainText());
    } else if (isEpub(path)) {
        QString shown;
        QList<cChapter> chapters;
        cVoiceMarkers markers;
        ok = readEpub(path, shown, chapters, shaped, markers);
        if (ok) {
            doc->setPlainText(shown);
            keepChapters(*doc, chapters);
            keepMarkers(*doc, markers);
        }
    } else {
        QString text;
        ok = cSharedFileSubs::instance().LoadTextFile(path, text);
        if (ok) {
            // The headings are looked for in the markup, so it stays until they are found.
            const bool html = isHtml(path);
            const QString markup = html ? text : QString();
            QString shown = toParagraphs(toDisplayText(std::move(text)), &shaped);
            // Only a web page's author writes voice tags in markup.
            keepMarkers(*doc, VoiceMarkers::extract(shown, html));
            doc->setPlainText(shown);
            keepChapters(*doc, html ? Chapters::inHtml(markup, shown) : Chapters::inText(shown));
        }
    }
    if (!ok)
        doc->clear();
    QFont font = doc->defaultFont();
    font.setStyleStrategy(shaped ? QFont::PreferDefault : QFont::PreferNoShaping);
    doc->setDefaultFont(font);
    if (readOk)
        *readOk = ok;
    return doc;
}

bool cDocumentLoader::loadText(const QString& path, QString& text, cVoiceMarkers* markers)
{
    bool ok = false;
    const std::unique_ptr<QTextDocument> doc = load(path, &ok);
    text = ok ? doc->toPlainText() : QString();
    if (markers)
        *markers = ok ? voiceMarkers(*doc) : cVoiceMarkers();
    return ok;
}

cVoiceMarkers cDocumentLoader::voiceMarkers(const QTextDocument& doc)
{
    const auto positions = doc.property(kMarkerPositions).value<QList<int>>();
    const QStringList texts = doc.property(kMarkerTexts).toStringList();
    cVoiceMarkers markers;
    for (qsizetype i = 0; i < positions.size() && i < texts.size(); ++i)
        markers.append({positions[i], texts[i]});
    return markers;
}

QList<cChapter> cDocumentLoader::chapters(const QTextDocument& doc)
{
    const QStringList titles = doc.property(kChapterTitles).toStringList();
    const auto positions = doc.property(kChapterPositions).value<QList<qsizetype>>();
    QList<cChapter> chapters;
    for (qsizetype i = 0; i < titles.size() && i < positions.size(); ++i)
        chapters.append({titles[i], positions[i]});
    return chapters;
}
