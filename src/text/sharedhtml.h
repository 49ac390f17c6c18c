#pragma once

#include <QByteArray>
#include <QString>

// Turns the text of an HTML book (or a plain-text one) into the plain text the reader shows
// and speaks, and offers the character-level services other parts share. One instance
// serves the program (instance()). Operations taking "QString&" change the text in place.
// Failures are noted in the log's action trail (module "cHtml"); the text is never lost.
class cSharedHTML {
public:
    static cSharedHTML& instance();

    // The whole conversion for the document loader: head dropped, "<BR>" kept as line
    // breaks, tags and style blocks removed, entities and numeric references decoded, and
    // line ends made CR LF. Text that is empty or only spaces is left alone.
    void HtmlToPlainText(QString& text);

    // Named entities decoded (HTML 4 and "&apos;"); "&nbsp;" becomes a space.
    void HtmlToChar(QString& text);
    // Characters encoded as entity names; everything encoded here decodes back through
    // HtmlToChar. "&" itself is never encoded.
    void CharToHtml(QString& text);

    // Every occurrence of lookFor replaced, left to right without overlap. An empty lookFor
    // changes nothing.
    void MyReplace(QString& text, const QString& lookFor, const QString& replaceWith,
                   bool matchCase);
    void MyReplaceNoCaps(QString& text, const QString& lookFor, const QString& replaceWith)
    {
        MyReplace(text, lookFor, replaceWith, true);
    }

    // Received bytes up to the first zero byte as text (UTF-8 when valid, otherwise
    // Windows-1252), without leading and trailing spaces.
    QString ByteArrayToString(const QByteArray& bytes);

    // Steps of HtmlToPlainText.
    void TrimHeadTags(QString& text);
    void ConvertBR(QString& text);
    void HTMLConstToChar(QString& text);
    void StripHtml(QString& text);
    void CutOffNull(QString& text);

    // True once the creation-time check of the markup functions has run.
    bool libraryChecked() const { return m_libraryChecked; }

private:
    cSharedHTML();
    bool m_libraryChecked = false;
};
