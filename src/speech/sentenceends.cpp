#include "speech/sentenceends.h"

#include <QFile>
#include <QHash>
#include <QMutex>

cSentenceEnds cSentenceEnds::forLanguage(const QString& language)
{
    // Read once per language: a reading starts with every Read press.
    static QHash<QString, QStringList> cache;
    static QMutex mutex;
    const QMutexLocker lock(&mutex);
    QString key = language.section(u'-', 0, 0).toLower();
    if (key.isEmpty())
        key = QStringLiteral("en");
    cSentenceEnds ends;
    const auto it = cache.constFind(key);
    if (it != cache.constEnd()) {
        ends.m_abbreviations = *it;
        return ends;
    }
    QFile file(QStringLiteral(":/abbreviations/%1.txt").arg(key));
    if (file.open(QIODevice::ReadOnly)) {
        const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
        for (const QString& line : lines) {
            const QString word = line.trimmed();
            if (!word.isEmpty() && !word.startsWith(u'#'))
                ends.m_abbreviations << word;
        }
    }
    cache.insert(key, ends.m_abbreviations);
    return ends;
}

bool cSentenceEnds::endsAt(QStringView text, qsizetype at, qsizetype from) const
{
    if (text[at] != u'.')
        return true;
    if (at + 1 < text.size() && text[at + 1].isLetterOrNumber())
        return false;
    if (m_abbreviations.isEmpty())
        return true;
    qsizetype begin = at;
    while (begin > from && (text[begin - 1].isLetter() || text[begin - 1] == u'.'))
        --begin;
    if (begin == at)
        return true;
    const QStringView word = text.mid(begin, at - begin + 1);
    for (const QString& abbreviation : m_abbreviations) {
        if (word == abbreviation)
            return false;
    }
    return true;
}

bool cSentenceEnds::paragraphBreakAt(QStringView text, qsizetype at)
{
    const qsizetype n = text.size();
    qsizetype j = at + 1;
    if (text[at] == u'\r' && j < n && text[j] == u'\n')
        ++j;
    while (j < n && (text[j] == u' ' || text[j] == u'\t'))
        ++j;
    return j < n && isLineBreak(text[j]);
}
