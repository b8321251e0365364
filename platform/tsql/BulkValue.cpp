#include "BulkValue.h"

#include "Decimal.h"

#include <QDate>

#include <algorithm>
#include <limits>

namespace kvtsql {

bool BulkValue::take(const QVariant& raw, const TypeInfo& t)
{
    if (raw.isNull()) {
        kind = Null;
        return true;
    }
    const int rt = raw.typeId();
    switch (t.type) {
    case SqlType::Integer: {
        if (rt != QMetaType::LongLong) return false;
        const qlonglong v = *static_cast<const qlonglong*>(raw.constData());
        // out of its type's range: the general conversion raises it
        const bool fits = t.precision == 3    ? v >= 0 && v <= 255
                          : t.precision == 5  ? v >= -32768 && v <= 32767
                          : t.precision == 10 || t.precision == 0
                              ? v >= std::numeric_limits<qint32>::min() && v <= std::numeric_limits<qint32>::max()
                              : true;
        if (!fits) return false;
        kind = Int;
        number = v;
        return true;
    }
    case SqlType::Bit:
        if (rt != QMetaType::LongLong) return false;
        kind = Int;
        number = *static_cast<const qlonglong*>(raw.constData()) != 0 ? 1 : 0;
        return true;
    case SqlType::Decimal: {
        if (rt != QMetaType::QString || !ascii(*static_cast<const QString*>(raw.constData()))) return false;
        const int p = std::clamp(t.precision > 0 ? t.precision : 18, 1, 38), sc = std::clamp(t.scale, 0, p);
        if (!canonicalDecimal(text, p, sc)) {
            try {
                text = kvdec::Decimal::parse(text, p, sc).toString();
            } catch (const kvdec::DecimalError&) {
                return false;
            }
        }
        kind = Text;
        return true;
    }
    case SqlType::DateTime: {
        if (rt != QMetaType::QString) return false;
        // 'yyyymmdd' (midnight, the same as a smalldatetime)
        const QString& s = *static_cast<const QString*>(raw.constData());
        if (s.size() != 8) return false;
        int v[8];
        for (int i = 0; i < 8; ++i) {
            const char16_t c = s[i].unicode();
            if (c < u'0' || c > u'9') return false;
            v[i] = c - u'0';
        }
        const int y = v[0] * 1000 + v[1] * 100 + v[2] * 10 + v[3];
        if (y < 1753 || !QDate::isValid(y, v[4] * 10 + v[5], v[6] * 10 + v[7])) return false;
        text.assign("0000-00-00 00:00:00.000");
        for (int i = 0; i < 4; ++i) text[i] = char('0' + v[i]);
        text[5] = char('0' + v[4]);
        text[6] = char('0' + v[5]);
        text[8] = char('0' + v[6]);
        text[9] = char('0' + v[7]);
        kind = Text;
        return true;
    }
    case SqlType::Text: {
        if (rt != QMetaType::QString || t.fixed) return false;
        const QString& s = *static_cast<const QString*>(raw.constData());
        if (t.size > 0 && s.size() > t.size) return false;
        if (!ascii(s)) {
            const QByteArray b = s.toUtf8();
            text.assign(b.constData(), size_t(b.size()));
        }
        kind = Text;
        return true;
    }
    default: return false;
    }
}

bool BulkValue::ascii(const QString& s)
{
    const char16_t* c = reinterpret_cast<const char16_t*>(s.constData());
    const size_t n = size_t(s.size());
    char16_t any = 0;
    for (size_t i = 0; i < n; ++i) any |= c[i];
    if (any >= 0x80) return false;
    text.resize(n);
    char* d = text.data();
    for (size_t i = 0; i < n; ++i) d[i] = char(c[i]);
    return true;
}

// True when text is already the stored form of a decimal(p, sc):
// [-]digits.sc-digits, no leading zero, not a negative zero, within
// the precision.
bool BulkValue::canonicalDecimal(const std::string& text, int p, int sc)
{
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative) ++i;
    const size_t wholeFrom = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    const size_t whole = i - wholeFrom;
    if (whole == 0 || whole > size_t(p - sc) + (p == sc ? 1 : 0)) return false;
    if (whole > 1 && text[wholeFrom] == '0') return false;
    if (p == sc && text[wholeFrom] != '0') return false;
    if (sc == 0) {
        if (i != text.size()) return false;
    } else {
        if (i >= text.size() || text[i] != '.' || text.size() - i - 1 != size_t(sc)) return false;
        for (size_t k = i + 1; k < text.size(); ++k)
            if (text[k] < '0' || text[k] > '9') return false;
    }
    if (negative) {
        for (size_t k = 1; k < text.size(); ++k)
            if (text[k] >= '1' && text[k] <= '9') return true;
        return false;
    }
    return true;
}

} // namespace kvtsql
