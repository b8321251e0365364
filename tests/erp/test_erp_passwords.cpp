// The stand-in ERP's stored passwords: salted Argon2id hashes, the old
// unsalted SHA-256 form accepted and marked for renewal, no user never good.
#include "ERPPasswords.h"

#include <QCryptographicHash>
#include <gtest/gtest.h>
#include <sodium.h>

TEST(ErpPasswords, EachHashHasItsOwnSaltAndOnlyItsPasswordMatches)
{
    const QString a = ERPPasswordHash("123"), b = ERPPasswordHash("123");
    EXPECT_TRUE(a.startsWith("$argon2id$v=19$m=19456,t=2,p=1$")) << a.toStdString();
    EXPECT_NE(a, b);
    struct Case {
        QString stored, password;
        bool good, renew;
    } cases[] = {
        {a, "123", true, false},
        {b, "123", true, false},
        {a, "1234", false, false},
        {a, "", false, false},
        {ERPPasswordHash("密码 é"), "密码 é", true, false},
        // the form of earlier account sets, in either case of its hex digits
        {"a665a45920422f9d417e4867efdc4fb8a04a1f3fff1fa07e998e86f7f7a27ae3", "123", true, true},
        {"A665A45920422F9D417E4867EFDC4FB8A04A1F3FFF1FA07E998E86F7F7A27AE3", "123", true, true},
        {"a665a45920422f9d417e4867efdc4fb8a04a1f3fff1fa07e998e86f7f7a27ae3", "124", false, false},
        // no user, or nothing that is a stored form
        {"", "123", false, false},
        {"", "", false, false},
        {"$argon2id$v=19$m=19456,t=2,p=1$garbage", "123", false, false},
    };
    for (const Case& c : cases) {
        const TERPPasswordCheck check = ERPCheckPassword(c.stored, c.password);
        EXPECT_EQ(check.Good, c.good) << c.stored.toStdString() << " / " << c.password.toStdString();
        EXPECT_EQ(check.Renew, c.renew) << c.stored.toStdString() << " / " << c.password.toStdString();
    }
}

TEST(ErpPasswords, AHashOfAnotherCostIsRenewedAfterAGoodCheck)
{
    ASSERT_GE(sodium_init(), 0);
    char cheap[crypto_pwhash_STRBYTES];
    ASSERT_EQ(crypto_pwhash_str(cheap, "123", 3, 1, std::size_t(8) << 20), 0);
    EXPECT_TRUE(ERPCheckPassword(cheap, "123").Good);
    EXPECT_TRUE(ERPCheckPassword(cheap, "123").Renew);
    EXPECT_FALSE(ERPCheckPassword(cheap, "124").Renew);
}
