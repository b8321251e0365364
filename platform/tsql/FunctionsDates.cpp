// T-SQL's date functions as SQLite functions, and the date texts SQL Server
// reads (yyyymmdd, yyyy/mm/dd hh:nn:ss, month names...).
#include "Functions.h"
#include "FunctionsSqlite.h"

#include <QHash>
#include <QRegularExpression>

#include <cmath>

namespace kvtsql {

using namespace sqlfn;

namespace {

// ---------------------------------------------------------------- dates
const QDate kBaseDate(1900, 1, 1);

bool dateArg(sqlite3_context* ctx, sqlite3_value* v, QDateTime& out)
{
    int t = sqlite3_value_type(v);
    if (t == SQLITE_INTEGER || t == SQLITE_FLOAT) {
        double d = sqlite3_value_double(v);
        if (!(std::fabs(d) < 3e6)) {
            resultError(ctx, 8115, QStringLiteral("Arithmetic overflow error converting expression to data type datetime."));
            return false;
        }
        double days = std::floor(d);
        qint64 ms = qint64(std::llround((d - days) * 86400000.0));
        out = QDateTime(kBaseDate.addDays(qint64(days)), QTime(0, 0), Qt::UTC).addMSecs(ms);
        return true;
    }
    QString s = textArg(v);
    if (parseDateText(s, out)) return true;
    resultError(ctx, 241, QStringLiteral("Conversion failed when converting date and/or time from character string."));
    return false;
}

QString partName(const QString& p)
{
    static const QHash<QString, QString> map = {
        {"year", "year"}, {"yy", "year"}, {"yyyy", "year"}, {"quarter", "quarter"}, {"qq", "quarter"},
        {"q", "quarter"}, {"month", "month"}, {"mm", "month"}, {"m", "month"}, {"dayofyear", "dayofyear"},
        {"dy", "dayofyear"}, {"y", "dayofyear"}, {"day", "day"}, {"dd", "day"}, {"d", "day"},
        {"week", "week"}, {"wk", "week"}, {"ww", "week"}, {"weekday", "weekday"}, {"dw", "weekday"},
        {"hour", "hour"}, {"hh", "hour"}, {"minute", "minute"}, {"mi", "minute"}, {"n", "minute"},
        {"second", "second"}, {"ss", "second"}, {"s", "second"}, {"millisecond", "millisecond"},
        {"ms", "millisecond"}, {"iso_week", "iso_week"}, {"isowk", "iso_week"}, {"isoww", "iso_week"}};
    return map.value(p.toLower());
}

qint64 floorDiv(qint64 a, qint64 b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

void fnNow(sqlite3_context* ctx, int, sqlite3_value**)
{
    QDateTime now = QDateTime::currentDateTime();
    resultText(ctx, canonicalDateTime(QDateTime(now.date(), now.time(), Qt::UTC)));
}

void fnDt(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[0])) { sqlite3_result_null(ctx); return; }
    QDateTime d;
    if (dateArg(ctx, argv[0], d)) resultText(ctx, canonicalDateTime(d));
}

void fnSmallDt(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[0])) { sqlite3_result_null(ctx); return; }
    QDateTime d;
    if (!dateArg(ctx, argv[0], d)) return;
    d = roundToMinute(d);
    if (d.date().year() < 1900 || d.date() > QDate(2079, 6, 6)) {
        resultError(ctx, 242, QStringLiteral("The conversion of a varchar data type to a smalldatetime data type resulted in an out-of-range value."));
        return;
    }
    resultText(ctx, canonicalDateTime(d));
}

// A datetime as a number: days since 1900-01-01 and the fraction of the day.
double dayNumber(const QDateTime& d)
{
    const QDateTime t = roundToTicks(d);
    return double(kBaseDate.daysTo(t.date())) + double(t.time().msecsSinceStartOfDay()) / 86400000.0;
}

void fnDtNum(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[0])) { sqlite3_result_null(ctx); return; }
    QDateTime d;
    if (dateArg(ctx, argv[0], d)) sqlite3_result_double(ctx, dayNumber(d));
}

// cast(datetime as int) rounds to the nearest day: noon and after count as the next day
void fnDtInt(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[0])) { sqlite3_result_null(ctx); return; }
    QDateTime d;
    if (!dateArg(ctx, argv[0], d)) return;
    const QDateTime t = roundToTicks(d);
    qint64 days = kBaseDate.daysTo(t.date());
    if (t.time().msecsSinceStartOfDay() >= 43200000) ++days;
    sqlite3_result_int64(ctx, days);
}

void fnDateDiff(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[1]) || isNull(argv[2])) { sqlite3_result_null(ctx); return; }
    QDateTime a, b;
    if (!dateArg(ctx, argv[1], a) || !dateArg(ctx, argv[2], b)) return;
    QString part = partName(textArg(argv[0]));
    qint64 r = 0;
    qint64 ma = a.toMSecsSinceEpoch(), mb = b.toMSecsSinceEpoch();
    if (part == "year") r = b.date().year() - a.date().year();
    else if (part == "quarter") r = (b.date().year() - a.date().year()) * 4 + (b.date().month() - 1) / 3 - (a.date().month() - 1) / 3;
    else if (part == "month") r = (b.date().year() - a.date().year()) * 12 + b.date().month() - a.date().month();
    else if (part == "day" || part == "dayofyear" || part == "weekday") r = a.date().daysTo(b.date());
    else if (part == "week") {
        // Sunday starts a week
        QDate sa = a.date().addDays(-(a.date().dayOfWeek() % 7));
        QDate sb = b.date().addDays(-(b.date().dayOfWeek() % 7));
        r = sa.daysTo(sb) / 7;
    } else if (part == "hour") r = floorDiv(mb, 3600000) - floorDiv(ma, 3600000);
    else if (part == "minute") r = floorDiv(mb, 60000) - floorDiv(ma, 60000);
    else if (part == "second") r = floorDiv(mb, 1000) - floorDiv(ma, 1000);
    else if (part == "millisecond") r = mb - ma;
    else { resultError(ctx, 155, QStringLiteral("'%1' is not a recognized datediff option.").arg(textArg(argv[0]))); return; }
    if (r < std::numeric_limits<qint32>::min() || r > std::numeric_limits<qint32>::max()) {
        resultError(ctx, 535, QStringLiteral("The datediff function resulted in an overflow. The number of dateparts separating two "
                                             "date/time instances is too large. Try to use datediff with a less precise datepart."));
        return;
    }
    sqlite3_result_int64(ctx, r);
}

void fnDateAdd(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[1]) || isNull(argv[2])) { sqlite3_result_null(ctx); return; }
    QDateTime d;
    if (!dateArg(ctx, argv[2], d)) return;
    const double nd = std::trunc(sqlite3_value_double(argv[1]));
    if (!(std::fabs(nd) < 1e12)) {
        resultError(ctx, 517, QStringLiteral("Adding a value to a 'datetime' column caused an overflow."));
        return;
    }
    qint64 n = qint64(nd);
    QString part = partName(textArg(argv[0]));
    if (part == "year") d = d.addYears(int(n));
    else if (part == "quarter") d = d.addMonths(int(n * 3));
    else if (part == "month") d = d.addMonths(int(n));
    else if (part == "day" || part == "dayofyear" || part == "weekday") d = d.addDays(n);
    else if (part == "week") d = d.addDays(n * 7);
    else if (part == "hour") d = d.addSecs(n * 3600);
    else if (part == "minute") d = d.addSecs(n * 60);
    else if (part == "second") d = d.addSecs(n);
    else if (part == "millisecond") d = d.addMSecs(n);
    else { resultError(ctx, 155, QStringLiteral("'%1' is not a recognized dateadd option.").arg(textArg(argv[0]))); return; }
    if (!d.isValid() || d.date().year() < 1753 || d.date().year() > 9999) {
        resultError(ctx, 517, QStringLiteral("Adding a value to a 'datetime' column caused an overflow."));
        return;
    }
    resultText(ctx, canonicalDateTime(d));
}

void fnDatePart(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[1])) { sqlite3_result_null(ctx); return; }
    QDateTime d;
    if (!dateArg(ctx, argv[1], d)) return;
    QString part = partName(textArg(argv[0]));
    qint64 r = 0;
    if (part == "year") r = d.date().year();
    else if (part == "quarter") r = (d.date().month() - 1) / 3 + 1;
    else if (part == "month") r = d.date().month();
    else if (part == "dayofyear") r = d.date().dayOfYear();
    else if (part == "day") r = d.date().day();
    else if (part == "week") {
        QDate jan1(d.date().year(), 1, 1);
        int offset = jan1.dayOfWeek() % 7;   // Sunday 0
        r = (d.date().dayOfYear() - 1 + offset) / 7 + 1;
    } else if (part == "iso_week") r = d.date().weekNumber();
    else if (part == "weekday") r = d.date().dayOfWeek() % 7 + 1;
    else if (part == "hour") r = d.time().hour();
    else if (part == "minute") r = d.time().minute();
    else if (part == "second") r = d.time().second();
    else if (part == "millisecond") r = d.time().msec();
    else { resultError(ctx, 155, QStringLiteral("'%1' is not a recognized datepart option.").arg(textArg(argv[0]))); return; }
    sqlite3_result_int64(ctx, r);
}

QString styleDate(const QDateTime& d, int style)
{
    static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDate dt = d.date();
    const QTime t = d.time();
    auto p2 = [](int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
    auto p3 = [](int v) { return QStringLiteral("%1").arg(v, 3, 10, QLatin1Char('0')); };
    auto p4 = [](int v) { return QStringLiteral("%1").arg(v, 4, 10, QLatin1Char('0')); };
    QString hms = p2(t.hour()) + ":" + p2(t.minute()) + ":" + p2(t.second());
    switch (style) {
    case 112: return p4(dt.year()) + p2(dt.month()) + p2(dt.day());
    case 12: return p2(dt.year() % 100) + p2(dt.month()) + p2(dt.day());
    case 120: case 20: return p4(dt.year()) + "-" + p2(dt.month()) + "-" + p2(dt.day()) + " " + hms;
    case 121: case 21: case 25:
        return p4(dt.year()) + "-" + p2(dt.month()) + "-" + p2(dt.day()) + " " + hms + "." + p3(t.msec());
    case 126: case 127:
        return p4(dt.year()) + "-" + p2(dt.month()) + "-" + p2(dt.day()) + "T" + hms + "." + p3(t.msec());
    case 23: return p4(dt.year()) + "-" + p2(dt.month()) + "-" + p2(dt.day());
    case 102: return p4(dt.year()) + "." + p2(dt.month()) + "." + p2(dt.day());
    case 111: return p4(dt.year()) + "/" + p2(dt.month()) + "/" + p2(dt.day());
    case 101: return p2(dt.month()) + "/" + p2(dt.day()) + "/" + p4(dt.year());
    case 103: return p2(dt.day()) + "/" + p2(dt.month()) + "/" + p4(dt.year());
    case 104: return p2(dt.day()) + "." + p2(dt.month()) + "." + p4(dt.year());
    case 105: return p2(dt.day()) + "-" + p2(dt.month()) + "-" + p4(dt.year());
    case 110: return p2(dt.month()) + "-" + p2(dt.day()) + "-" + p4(dt.year());
    case 108: case 8: case 24: return hms;
    case 114: return hms + ":" + p3(t.msec());
    default: {
        int h = t.hour() % 12;
        if (h == 0) h = 12;
        return QStringLiteral("%1 %2 %3 %4:%5%6")
            .arg(QLatin1String(months[dt.month() - 1]))
            .arg(dt.day(), 2)
            .arg(dt.year())
            .arg(h, 2)
            .arg(p2(t.minute()))
            .arg(t.hour() < 12 ? "AM" : "PM");
    }
    }
}

void fnDateStr(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (isNull(argv[0])) { sqlite3_result_null(ctx); return; }
    QDateTime d;
    if (!dateArg(ctx, argv[0], d)) return;
    int style = argc > 1 && !isNull(argv[1]) ? sqlite3_value_int(argv[1]) : 0;
    resultText(ctx, styleDate(d, style));
}

} // namespace

QDateTime roundToTicks(const QDateTime& dt)
{
    // a datetime counts time in 1/300 seconds: .001 is .000, .005 is .007, .009 is .010, .999 the next second
    const int ms = dt.time().msec();
    const int ticks = (ms * 3 + 5) / 10;
    const int back = (ticks * 10 + 1) / 3;
    return back == ms ? dt : dt.addMSecs(back - ms);
}

QDateTime roundToMinute(const QDateTime& dt)
{
    const QDateTime t = roundToTicks(dt);
    const int msOfMinute = t.time().second() * 1000 + t.time().msec();
    const QDateTime down = t.addMSecs(-msOfMinute);
    return msOfMinute >= 29999 ? down.addSecs(60) : down;
}

namespace {

// The time part after a date: 'hh:mi[:ss[.mmm]][AM|PM]' or 'hh[AM|PM]'.
bool timeOf(const QString& text, QTime& out)
{
    const QString t = text.trimmed();
    if (t.isEmpty()) {
        out = QTime(0, 0);
        return true;
    }
    static const QRegularExpression re(QStringLiteral(
        "^(\\d{1,2})(?::(\\d{1,2})(?::(\\d{1,2})(?:[.:](\\d{1,9}))?)?)?\\s*([AaPp][Mm])?$"));
    const QRegularExpressionMatch m = re.match(t);
    if (!m.hasMatch() || (m.captured(2).isEmpty() && m.captured(5).isEmpty())) return false;
    int h = m.captured(1).toInt();
    const QString ampm = m.captured(5).toLower();
    if (!ampm.isEmpty() && (h < 1 || h > 12)) return false;
    if (ampm == "pm" && h < 12) h += 12;
    if (ampm == "am" && h == 12) h = 0;
    const int ms = m.captured(4).isEmpty() ? 0 : m.captured(4).left(3).leftJustified(3, QLatin1Char('0')).toInt();
    out = QTime(h, m.captured(2).toInt(), m.captured(3).toInt(), ms);
    return out.isValid();
}

int monthOf(const QString& name)
{
    static const char* names[] = {"jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    static const char* full[] = {"january", "february", "march", "april", "may", "june", "july", "august", "september",
                                 "october", "november", "december"};
    const QString n = name.toLower();
    for (int i = 0; i < 12; ++i)
        if (n == QLatin1String(names[i]) || n == QLatin1String(full[i]) || (i == 8 && n == QLatin1String("sept"))) return i + 1;
    return 0;
}

int fullYear(const QString& y)
{
    const int v = y.toInt();
    if (y.size() > 2) return v;
    return v < 50 ? 2000 + v : 1900 + v;   // two-digit years up to 2049
}

} // namespace

// The default language's other forms: month/day/year with '/', '-' or '.'
// ('1/5/2024', '01-05-24 10:00'), and month names ('Jan 5 2024', 'January 5, 2024',
// '5 Jan 2024', '2024 Jan 5'), each with an optional time.
bool otherDateForms(const QString& s, QDateTime& out)
{
    static const QRegularExpression mdy(QStringLiteral("^(\\d{1,2})([-/.])(\\d{1,2})\\2(\\d{4}|\\d{2})(?=\\s|$)(.*)$"));
    static const QRegularExpression named(QStringLiteral(
        "^(?:([A-Za-z]{3,9})\\.?\\s+(\\d{1,2}),?\\s+(\\d{4})"
        "|(\\d{1,2})\\s+([A-Za-z]{3,9})\\.?,?\\s+(\\d{4})"
        "|(\\d{4})\\s+([A-Za-z]{3,9})\\.?\\s+(\\d{1,2}))(?=\\s|$)(.*)$"));
    int y = 0, mo = 0, d = 0;
    QString rest;
    QRegularExpressionMatch m = mdy.match(s);
    if (m.hasMatch()) {
        mo = m.captured(1).toInt();
        d = m.captured(3).toInt();
        y = fullYear(m.captured(4));
        rest = m.captured(5);
    } else {
        m = named.match(s);
        if (!m.hasMatch()) return false;
        if (!m.captured(1).isEmpty()) { mo = monthOf(m.captured(1)); d = m.captured(2).toInt(); y = m.captured(3).toInt(); }
        else if (!m.captured(4).isEmpty()) { d = m.captured(4).toInt(); mo = monthOf(m.captured(5)); y = m.captured(6).toInt(); }
        else { y = m.captured(7).toInt(); mo = monthOf(m.captured(8)); d = m.captured(9).toInt(); }
        rest = m.captured(10);
    }
    const QDate date(y, mo, d);
    QTime time;
    if (mo == 0 || !date.isValid() || y < 1753 || !timeOf(rest, time)) return false;
    out = QDateTime(date, time, Qt::UTC);
    return true;
}

QString canonicalDateTime(const QDateTime& dt)
{
    const QDateTime r = roundToTicks(dt);
    const QDate d = r.date();
    const QTime t = r.time();
    int year = 0, month = 0, day = 0;
    d.getDate(&year, &month, &day);
    if (!d.isValid() || !t.isValid() || year < 1 || year > 9999)
        return r.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
    // "yyyy-MM-dd hh:mm:ss.zzz" written digit by digit
    char16_t text[23];
    auto put = [&](int at, int value, int width) {
        for (int k = at + width - 1; k >= at; --k, value /= 10) text[k] = char16_t(u'0' + value % 10);
    };
    put(0, year, 4);
    text[4] = u'-';
    put(5, month, 2);
    text[7] = u'-';
    put(8, day, 2);
    text[10] = u' ';
    put(11, t.hour(), 2);
    text[13] = u':';
    put(14, t.minute(), 2);
    text[16] = u':';
    put(17, t.second(), 2);
    text[19] = u'.';
    put(20, t.msec(), 3);
    return QString(reinterpret_cast<const QChar*>(text), 23);
}

bool parseDateText(const QString& text, QDateTime& out)
{
    QString s = text.trimmed();
    if (s.isEmpty()) {
        out = QDateTime(kBaseDate, QTime(0, 0), Qt::UTC);
        return true;
    }
    // the two forms met most: 'yyyymmdd' and the stored 'yyyy-MM-dd hh:mm:ss.zzz'
    auto digits = [&](int from, int count) {
        int v = 0;
        for (int k = from; k < from + count; ++k) {
            const char16_t ch = s[k].unicode();
            if (ch < u'0' || ch > u'9') return -1;
            v = v * 10 + (ch - u'0');
        }
        return v;
    };
    if (s.size() == 8) {
        int y = digits(0, 4), m = digits(4, 2), d = digits(6, 2);
        QDate date(y, m, d);
        if (y >= 1753 && date.isValid()) {
            out = QDateTime(date, QTime(0, 0), Qt::UTC);
            return true;
        }
    } else if (s.size() == 23 && s[4] == u'-' && s[7] == u'-' && s[10] == u' ' && s[13] == u':' && s[16] == u':' && s[19] == u'.') {
        int y = digits(0, 4), mo = digits(5, 2), d = digits(8, 2), h = digits(11, 2), mi = digits(14, 2), se = digits(17, 2), ms = digits(20, 3);
        QDate date(y, mo, d);
        QTime time(h, mi, se, ms);
        if (y >= 1753 && date.isValid() && time.isValid() && h >= 0 && mi >= 0 && se >= 0 && ms >= 0) {
            out = QDateTime(date, time, Qt::UTC);
            return true;
        }
    }
    static const QRegularExpression re(QStringLiteral(
        "^(\\d{4})(?:([-/.])(\\d{1,2})\\2(\\d{1,2})|(\\d{2})(\\d{2}))"
        "(?:(?:\\s+|T)(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2})(?:[.:](\\d{1,9}))?)?\\s*([AaPp][Mm])?)?$"));
    QRegularExpressionMatch m = re.match(s);
    if (!m.hasMatch() && otherDateForms(s, out)) return true;
    if (!m.hasMatch()) {
        // time only: 'hh:nn[:ss]' is that time on 1900-01-01
        static const QRegularExpression t(QStringLiteral("^(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2})(?:\\.(\\d{1,3}))?)?$"));
        QRegularExpressionMatch tm = t.match(s);
        if (!tm.hasMatch()) return false;
        QTime time(tm.captured(1).toInt(), tm.captured(2).toInt(), tm.captured(3).toInt(),
                   tm.captured(4).leftJustified(3, QLatin1Char('0')).toInt());
        if (!time.isValid()) return false;
        out = QDateTime(kBaseDate, time, Qt::UTC);
        return true;
    }
    int y = m.captured(1).toInt();
    int mo = m.captured(3).isEmpty() ? m.captured(5).toInt() : m.captured(3).toInt();
    int d = m.captured(4).isEmpty() ? m.captured(6).toInt() : m.captured(4).toInt();
    QDate date(y, mo, d);
    if (!date.isValid() || y < 1753) return false;
    QTime time(0, 0);
    if (!m.captured(7).isEmpty()) {
        int h = m.captured(7).toInt();
        QString ampm = m.captured(11).toLower();
        if (ampm == "pm" && h < 12) h += 12;
        if (ampm == "am" && h == 12) h = 0;
        int ms = m.captured(10).isEmpty() ? 0 : m.captured(10).left(3).leftJustified(3, QLatin1Char('0')).toInt();
        time = QTime(h, m.captured(8).toInt(), m.captured(9).toInt(), ms);
        if (!time.isValid()) return false;
    }
    out = QDateTime(date, time, Qt::UTC);
    return true;
}

void registerDateFunctions(sqlite3* db)
{
    fn<fnNow>(db, "kv_now", 0, false);
    fn<fnDt>(db, "kv_dt", 1);
    fn<fnSmallDt>(db, "kv_sdt", 1);
    fn<fnDtNum>(db, "kv_dtnum", 1);
    fn<fnDtInt>(db, "kv_dtint", 1);
    fn<fnDateDiff>(db, "kv_datediff", 3);
    fn<fnDateAdd>(db, "kv_dateadd", 3);
    fn<fnDatePart>(db, "kv_datepart", 2);
    fn<fnDateStr>(db, "kv_datestr", 1);
    fn<fnDateStr>(db, "kv_datestr", 2);
}

} // namespace kvtsql
