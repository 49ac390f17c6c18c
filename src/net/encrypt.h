#pragma once

#include <QString>

// The scrambling of the proxy password in Parlo.ini. It has no key and hides the password
// only from a glance, which is why a settings file holding one is kept private to its owner.
class cSharedEncrypt {
public:
    static cSharedEncrypt& instance();
    // Every character's 8-bit code raised by 100, after characters that could not take that
    // (entities, and anything outside Windows-1252's lower range) became plain references.
    QString Encrypt(const QString& text) const;
};

class cSharedDecrypt {
public:
    static cSharedDecrypt& instance();
    // The password back; text that does not start scrambled is a password stored plainly.
    QString Decrypt(const QString& text) const;
};
