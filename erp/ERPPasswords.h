// Passwords of the ERP's users as ERP_Users keeps them: a salted, deliberately
// slow hash (Argon2id through libsodium, "$argon2id$v=19$m=…,t=…,p=1$salt$hash"),
// each password with a salt of its own. The unsalted SHA-256 hex text of earlier
// account sets is still accepted, and is to be replaced at the next good login.
#pragma once

#include <QString>

// The work one hash costs: passes over the memory and the memory in bytes.
// Moderate (some 50 ms), so that a login stays quick and guessing stays slow.
inline constexpr unsigned long long ERPPasswordPasses = 2;
inline constexpr std::size_t ERPPasswordMemory = std::size_t(19) << 20;

// The stored form of a password, with a fresh salt: never the same text twice.
QString ERPPasswordHash(const QString& password);

struct TERPPasswordCheck {
    bool Good = false;  // the password is the user's
    bool Renew = false; // good, and the stored form is old or of another cost: store ERPPasswordHash anew
};

// Checks a password against its stored form. An empty stored form (no such user)
// is never good, yet costs the same work as a wrong password of a known user,
// so that the answer and its time do not tell whether the user exists.
TERPPasswordCheck ERPCheckPassword(const QString& stored, const QString& password);
