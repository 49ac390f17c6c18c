#include "speech/cleanforspeech.h"

QString CleanForSpeech(const QString& text)
{
    QString result = text;
    result.replace(QChar(0x2014), QChar(' '));
    result.replace(QChar(':'), QStringLiteral("     "));
    result.replace(QChar(';'), QStringLiteral("     "));
    return result;
}
