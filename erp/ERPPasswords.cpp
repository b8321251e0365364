#include "ERPPasswords.h"

#include <QCryptographicHash>
#include <sodium.h>
#include <stdexcept>

namespace {

void initSodium()
{
    static const bool ready = sodium_init() >= 0;
    if (!ready)
        throw std::runtime_error("libsodium cannot be initialised");
}

// The earlier form: 64 hex digits of an unsalted SHA-256.
bool isLegacyHash(const QString& stored)
{
    if (stored.size() != 64)
        return false;
    for (const QChar c : stored)
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F')))
            return false;
    return true;
}

// A stored form no password matches, of the current cost: checked against
// when there is no user or when the old form was compared, so every refusal
// costs one hash. Made once, at the first check.
const QByteArray& decoyHash()
{
    static const QByteArray decoy = [] {
        unsigned char secret[32];
        randombytes_buf(secret, sizeof secret);
        char out[crypto_pwhash_STRBYTES];
        if (crypto_pwhash_str(out, reinterpret_cast<const char*>(secret), sizeof secret, ERPPasswordPasses,
                              ERPPasswordMemory) != 0)
            throw std::runtime_error("out of memory for a password hash");
        return QByteArray(out);
    }();
    return decoy;
}

bool verify(const QByteArray& stored, const QByteArray& password)
{
    return crypto_pwhash_str_verify(stored.constData(), password.constData(), password.size()) == 0;
}

} // namespace

QString ERPPasswordHash(const QString& password)
{
    initSodium();
    const QByteArray bytes = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, bytes.constData(), bytes.size(), ERPPasswordPasses, ERPPasswordMemory) != 0)
        throw std::runtime_error("out of memory for a password hash");
    return QString::fromLatin1(out);
}

TERPPasswordCheck ERPCheckPassword(const QString& stored, const QString& password)
{
    initSodium();
    const QByteArray& decoy = decoyHash();
    const QByteArray bytes = password.toUtf8();
    TERPPasswordCheck result;
    if (isLegacyHash(stored)) {
        const QByteArray given = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
        const QByteArray kept = stored.toLatin1().toLower();
        result.Good = sodium_memcmp(given.constData(), kept.constData(), 64) == 0;
        result.Renew = result.Good;
        verify(decoy, bytes); // the same work as any other check
        return result;
    }
    const QByteArray kept = stored.toLatin1();
    if (kept.isEmpty() || kept.size() >= crypto_pwhash_STRBYTES) {
        verify(decoy, bytes);
        return result;
    }
    result.Good = verify(kept, bytes);
    result.Renew = result.Good && crypto_pwhash_str_needs_rehash(kept.constData(), ERPPasswordPasses, ERPPasswordMemory) != 0;
    return result;
}
