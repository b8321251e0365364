#include "UCommon.h"

#include "MachineInfo.h"
#include "MessageBox.h"

#include <QApplication>
#include <QCursor>
#include <QHash>
#include <QMetaProperty>
#include <QRegularExpression>
#include <QWidget>

QString FormatMessage(const QString& pattern, const QVariantList& args)
{
    QString out;
    out.reserve(pattern.size() + 32);
    int next = 0;
    for (int i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c == u'%' && i + 1 < pattern.size()) {
            const QChar k = pattern[i + 1];
            if (k == u'%') {
                out += u'%';
                ++i;
                continue;
            }
            if (k == u's' || k == u'd') {
                if (next < args.size())
                    out += k == u'd' ? QString::number(args[next].toLongLong()) : args[next].toString();
                ++next;
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

// ---- process date formats ------------------------------------------------

QString DateToStr(const QDate& date)
{
    return date.toString(QStringLiteral("yyyy/MM/dd"));
}

QString DateTimeToStr(const QDateTime& value)
{
    if (value.time() == QTime(0, 0))
        return DateToStr(value.date());
    return value.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

QDateTime StrToDateTime(const QString& text)
{
    static const QRegularExpression re(
        QStringLiteral("^\\s*(\\d{4})/(\\d{1,2})/(\\d{1,2})(?:\\s+(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2}))?)?\\s*$"));
    const auto m = re.match(text);
    if (!m.hasMatch())
        return QDateTime();
    const QDate d(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    const QTime t(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
    if (!d.isValid() || !t.isValid())
        return QDateTime();
    return QDateTime(d, t);
}

// ---- lists ---------------------------------------------------------------

QString ExtractDelimitedItems(const QString& text, const QString& separator, int from, int to)
{
    if (to <= 0) {
        if (from <= 0)
            return QString();
        to = from;
    } else {
        if (to < from)
            std::swap(from, to);
        if (from <= 0)
            from = 1;
    }
    if (separator.isEmpty())
        return from == 1 ? text.trimmed() : QString();
    int item = 1;
    qsizetype start = item == from ? 0 : -1;
    qsizetype i = 0;
    while (i < text.size()) {
        if (text.mid(i, separator.size()).compare(separator, Qt::CaseInsensitive) == 0) {
            if (item == to && start >= 0)
                return text.mid(start, i - start).trimmed();
            ++item;
            i += separator.size();
            if (item == from)
                start = i;
            continue;
        }
        ++i;
    }
    return start >= 0 ? text.mid(start).trimmed() : QString();
}

namespace {

// Start positions of the items of a list (an item starts at 0 or right after a separator).
QList<qsizetype> itemStarts(const QString& list, const QString& separator)
{
    QList<qsizetype> starts{0};
    if (separator.isEmpty())
        return starts;
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = list.indexOf(separator, from, Qt::CaseInsensitive);
        if (at < 0)
            break;
        starts.append(at + separator.size());
        from = at + separator.size();
    }
    return starts;
}

// Start of the first item beginning with name + "=", or -1.
qsizetype findKey(const QString& list, const QString& key, const QString& separator)
{
    for (qsizetype s : itemStarts(list, separator))
        if (QStringView(list).mid(s, key.size()).compare(key, Qt::CaseInsensitive) == 0)
            return s;
    return -1;
}

} // namespace

QString ReadDelimitedValue(const QString& list, const QString& name, const QString& separator)
{
    if (name.isEmpty())
        return QString();
    const QString key = name + u'=';
    const qsizetype s = findKey(list, key, separator);
    if (s < 0)
        return QString();
    const qsizetype valueStart = s + key.size();
    const qsizetype end = separator.isEmpty() ? -1 : list.indexOf(separator, valueStart, Qt::CaseInsensitive);
    return end < 0 ? list.mid(valueStart) : list.mid(valueStart, end - valueStart);
}

QString WriteDelimitedValue(const QString& list, const QString& name, const QString& value, const QString& separator)
{
    if (name.isEmpty())
        return list;
    const QString key = name + u'=';
    const qsizetype s = findKey(list, key, separator);
    if (s >= 0) {
        const qsizetype valueStart = s + key.size();
        const qsizetype end = separator.isEmpty() ? -1 : list.indexOf(separator, valueStart, Qt::CaseInsensitive);
        if (!value.isEmpty()) {
            if (end < 0)
                return list.left(valueStart) + value;
            return list.left(valueStart) + value + list.mid(end);
        }
        // An empty value removes the item with the separator after it; the last
        // item goes alone and the separator before it stays.
        if (end < 0)
            return list.left(s);
        return list.left(s) + list.mid(end + separator.size());
    }
    if (value.isEmpty())
        return list;
    if (list.isEmpty() || list.endsWith(separator, Qt::CaseInsensitive))
        return list + key + value;
    return list + separator + key + value;
}

bool DelimitedListContains(const QString& list, const QString& item, const QString& separator)
{
    if (separator.isEmpty())
        return list.compare(item, Qt::CaseInsensitive) == 0;
    const QStringList items = list.split(separator, Qt::KeepEmptyParts, Qt::CaseInsensitive);
    for (const QString& i : items)
        if (i.compare(item, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// ---- hex text ------------------------------------------------------------

QString StreamToHexText(QIODevice& stream, qint64 count)
{
    static const char digits[] = "0123456789ABCDEF";
    if (count < 0) {
        stream.seek(0);
        count = stream.size();
    }
    if (count == 0)
        return QString();
    const QByteArray bytes = stream.read(count);
    QString out;
    out.reserve(bytes.size() * 2);
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        out += QLatin1Char(digits[b & 0x0F]);
        out += QLatin1Char(digits[b >> 4]);
    }
    return out;
}

namespace {
// A hex digit's value; a character that is no hex digit counts as 0.
int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return 0;
}
} // namespace

void HexTextToStream(const QString& text, QIODevice& stream)
{
    QByteArray bytes;
    bytes.reserve(text.size() / 2);
    for (qsizetype i = 0; i + 1 < text.size(); i += 2)
        bytes.append(static_cast<char>(hexDigit(text[i]) | (hexDigit(text[i + 1]) << 4)));
    stream.write(bytes);
}

// ---- SQL conditions and choice ------------------------------------------

QString CombineConditions(const QString& a, const QString& b, const QString& op)
{
    const QString ta = a.trimmed();
    if (ta.isEmpty())
        return b;
    if (b.trimmed().isEmpty())
        return ta;
    return QStringLiteral("(") + ta + QStringLiteral(") ") + op + QStringLiteral(" (") + b + QStringLiteral(")");
}

QVariant IfNullVariant(const QVariant& v, const QVariant& defaultValue)
{
    return (!v.isValid() || v.isNull()) ? defaultValue : v;
}

QVariant IIfVariant(bool condition, const QVariant& whenTrue, const QVariant& whenFalse)
{
    return condition ? whenTrue : whenFalse;
}

QString IIfString(bool condition, const QString& whenTrue, const QString& whenFalse)
{
    return condition ? whenTrue : whenFalse;
}

int IIfInteger(bool condition, int whenTrue, int whenFalse)
{
    return condition ? whenTrue : whenFalse;
}

QString FloatToLiteralText(double v)
{
    QString text = QString::number(v, 'g', 17);
    for (int precision = 1; precision <= 17; ++precision) {
        const QString candidate = QString::number(v, 'g', precision);
        if (candidate.toDouble() == v) {
            text = candidate;
            break;
        }
    }
    if (text.contains(u'e') || text.contains(u'E')) {
        text = QString::number(v, 'f', 15);
        if (text.contains(u'.')) {
            while (text.endsWith(u'0'))
                text.chop(1);
            if (text.endsWith(u'.'))
                text.chop(1);
        }
    }
    return text;
}

// ---- numbers in a base ---------------------------------------------------

QString IntToBaseText(quint32 value, int base, int minWidth)
{
    if (base < 2 || base > 36)
        throw EConvertError(QStringLiteral("Range check error"));
    static const char digits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    QString out;
    do {
        out.prepend(QLatin1Char(digits[value % quint32(base)]));
        value /= quint32(base);
    } while (value != 0);
    if (out.size() < minWidth)
        out.prepend(QString(minWidth - out.size(), u'0'));
    return out;
}

quint32 BaseTextToInt(const QString& text, int base)
{
    quint32 result = 0;
    for (QChar c : text.trimmed()) {
        const char16_t u = c.toUpper().unicode();
        const quint32 digit = (u >= u'0' && u <= u'9') ? quint32(u - u'0') : quint32(u) - 55u;
        result = result * quint32(base) + digit;
    }
    return result;
}

// ---- component text ------------------------------------------------------
//
//   object Name: ClassName
//     Property = 'text'
//     object ChildName: ChildClass
//       ...
//     end
//   end
//
// Values are quoted texts (inner quotes doubled) read back through the
// property's own type; children are the named child objects.

namespace {

QHash<QString, const QMetaObject*>& componentClasses()
{
    static QHash<QString, const QMetaObject*> classes;
    return classes;
}

QString quoteValue(const QString& v)
{
    QString q = v;
    q.replace(u'\'', QStringLiteral("''"));
    q.replace(u'\r', QStringLiteral("'#13'"));
    q.replace(u'\n', QStringLiteral("'#10'"));
    return u'\'' + q + u'\'';
}

QString propertyText(const QVariant& v)
{
    if (v.metaType().id() == QMetaType::Bool)
        return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    return v.toString();
}

void writeComponent(const QObject* o, int depth, QString& out)
{
    const QString indent(depth * 2, u' ');
    out += indent + QStringLiteral("object ") + o->objectName() + QStringLiteral(": ")
        + QString::fromLatin1(o->metaObject()->className()) + u'\n';
    const QMetaObject* mo = o->metaObject();
    for (int i = 0; i < mo->propertyCount(); ++i) {
        const QMetaProperty p = mo->property(i);
        if (!p.isWritable() || !p.isStored() || qstrcmp(p.name(), "objectName") == 0)
            continue;
        const QVariant v = p.read(o);
        if (p.isEnumType())
            out += indent + QStringLiteral("  ") + QString::fromLatin1(p.name()) + QStringLiteral(" = ")
                + quoteValue(QString::fromLatin1(p.enumerator().valueToKeys(v.toInt()))) + u'\n';
        else if (v.canConvert<QString>())
            out += indent + QStringLiteral("  ") + QString::fromLatin1(p.name()) + QStringLiteral(" = ")
                + quoteValue(propertyText(v)) + u'\n';
    }
    for (const QByteArray& name : o->dynamicPropertyNames()) {
        const QVariant v = o->property(name.constData());
        if (v.canConvert<QString>())
            out += indent + QStringLiteral("  ") + QString::fromLatin1(name) + QStringLiteral(" = ")
                + quoteValue(propertyText(v)) + u'\n';
    }
    for (const QObject* child : o->children())
        if (!child->objectName().isEmpty())
            writeComponent(child, depth + 1, out);
    out += indent + QStringLiteral("end\n");
}

struct ComponentNode {
    QString name;
    QString className;
    QList<std::pair<QString, QString>> properties;
    QList<ComponentNode> children;
};

bool unquoteValue(const QString& text, QString& value)
{
    // 'abc''d'#13'ef'  -> abc'd<CR>ef
    value.clear();
    qsizetype i = 0;
    bool any = false;
    while (i < text.size()) {
        if (text[i] == u'\'') {
            ++i;
            for (;;) {
                if (i >= text.size())
                    return false;
                if (text[i] == u'\'') {
                    if (i + 1 < text.size() && text[i + 1] == u'\'') {
                        value += u'\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                value += text[i++];
            }
            any = true;
        } else if (text[i] == u'#') {
            qsizetype j = i + 1;
            while (j < text.size() && text[j].isDigit())
                ++j;
            if (j == i + 1)
                return false;
            value += QChar(char16_t(text.mid(i + 1, j - i - 1).toUInt()));
            i = j;
            any = true;
        } else {
            return false;
        }
    }
    return any;
}

bool parseComponent(const QStringList& lines, qsizetype& at, ComponentNode& node)
{
    static const QRegularExpression head(QStringLiteral("^object\\s+([^:\\s]*)\\s*:\\s*(\\S+)$"));
    static const QRegularExpression prop(QStringLiteral("^([A-Za-z_][A-Za-z0-9_]*)\\s*=\\s*(.*)$"));
    if (at >= lines.size())
        return false;
    const auto m = head.match(lines[at].trimmed());
    if (!m.hasMatch())
        return false;
    node.name = m.captured(1);
    node.className = m.captured(2);
    ++at;
    while (at < lines.size()) {
        const QString line = lines[at].trimmed();
        if (line.isEmpty()) {
            ++at;
            continue;
        }
        if (line == QLatin1String("end")) {
            ++at;
            return true;
        }
        if (line.startsWith(QLatin1String("object "))) {
            ComponentNode child;
            if (!parseComponent(lines, at, child))
                return false;
            node.children.append(child);
            continue;
        }
        const auto pm = prop.match(line);
        QString value;
        if (!pm.hasMatch() || !unquoteValue(pm.captured(2), value))
            return false;
        node.properties.append({pm.captured(1), value});
        ++at;
    }
    return false;
}

QObject* createComponent(const QString& className, QObject* parent)
{
    const QMetaObject* mo = componentClasses().value(className);
    return mo ? mo->newInstance(Q_ARG(QObject*, parent)) : nullptr;
}

// Checks that every object of the text exists or can be made, with the same class.
bool canApply(const ComponentNode& node, const QObject* target)
{
    if (target && node.className != QLatin1String(target->metaObject()->className()))
        return false;
    if (!target && !componentClasses().contains(node.className))
        return false;
    for (const ComponentNode& child : node.children) {
        const QObject* existing = target ? target->findChild<QObject*>(child.name, Qt::FindDirectChildrenOnly) : nullptr;
        if (!canApply(child, existing))
            return false;
    }
    return true;
}

void applyComponent(const ComponentNode& node, QObject* target)
{
    target->setObjectName(node.name);
    const QMetaObject* mo = target->metaObject();
    for (const auto& [name, value] : node.properties) {
        const int index = mo->indexOfProperty(name.toLatin1().constData());
        if (index < 0) {
            target->setProperty(name.toLatin1().constData(), value);
            continue;
        }
        const QMetaProperty p = mo->property(index);
        if (p.isEnumType()) {
            bool ok = false;
            const int v = p.enumerator().keysToValue(value.toLatin1().constData(), &ok);
            if (ok)
                p.write(target, v);
            continue;
        }
        QVariant v(value);
        if (v.convert(p.metaType()))
            p.write(target, v);
    }
    for (const ComponentNode& child : node.children) {
        QObject* existing = target->findChild<QObject*>(child.name, Qt::FindDirectChildrenOnly);
        if (!existing)
            existing = createComponent(child.className, target);
        if (existing)
            applyComponent(child, existing);
    }
}

} // namespace

void RegisterComponentClass(const QMetaObject* metaObject)
{
    componentClasses().insert(QString::fromLatin1(metaObject->className()), metaObject);
}

QString ComponentToText(const QObject* component)
{
    if (!component)
        return QString();
    QString out;
    writeComponent(component, 0, out);
    return out;
}

QObject* TextToComponent(const QString& text, QObject* component)
{
    if (text.trimmed().isEmpty())
        return component;
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    qsizetype at = 0;
    ComponentNode root;
    if (!parseComponent(lines, at, root) || !canApply(root, component))
        return component;
    QObject* target = component ? component : createComponent(root.className, nullptr);
    if (!target)
        return component;
    applyComponent(root, target);
    return target;
}

// ---- machine identity ----------------------------------------------------

QString GetLocalComputerName()
{
    return kvos::computerName();
}

QString GetSystemVolumeSerial()
{
    return kvos::systemVolumeSerial();
}

// ---- scrambling ------------------------------------------------------------

QByteArray ScrambleBytes(const QByteArray& bytes)
{
    QByteArray out(bytes.size(), '\0');
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        // position p counts from 1: odd positions are even indexes
        unsigned b = static_cast<unsigned char>(bytes[i]) ^ ((i % 2 == 0) ? 0x55u : 0xAAu);
        b = (b & 0xC3u) | ((b & 0x30u) >> 2) | ((b & 0x0Cu) << 2);
        out[i] = static_cast<char>(b);
    }
    return out;
}

QByteArray UnscrambleHexText(const QString& hexText, const QString& key)
{
    QByteArray bytes;
    bytes.reserve(hexText.size() / 2);
    for (qsizetype k = 1; 2 * k <= hexText.size(); ++k) {
        unsigned b = BaseTextToInt(hexText.mid(2 * (k - 1), 2), 16) & 0xFFu;
        b ^= key.isEmpty() ? 0xFFu : (key[k % key.size()].unicode() & 0xFFu);
        bytes.append(static_cast<char>(b));
    }
    return ScrambleBytes(bytes);
}

// ---- message boxes -------------------------------------------------------

int ShowMessageBox(const QString& text, const QString& caption, unsigned flags)
{
    // Whatever busy cursor the caller set, the box is shown with the normal one.
    const bool overridden = QApplication::overrideCursor() != nullptr;
    if (overridden)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    if (QWidget* w = QApplication::activeWindow()) {
        w->raise();
        w->activateWindow();
    }
    const int result = kvos::applicationMessageBox(text, caption, flags);
    if (overridden)
        QApplication::restoreOverrideCursor();
    return result;
}

namespace {
int showWithIcon(const QString& text, const QString& caption, unsigned icon, int buttons)
{
    const unsigned flags = buttons == -1 ? (kvos::MB_OK | icon) : (unsigned(buttons) | icon);
    return ShowMessageBox(text, caption, flags);
}
} // namespace

int ShowWarning(const QString& text, int buttons)
{
    return showWithIcon(text, UCommonText::Warning, kvos::MB_ICONWARNING, buttons);
}

int ShowInfo(const QString& text, int buttons)
{
    return showWithIcon(text, UCommonText::Information, kvos::MB_ICONINFORMATION, buttons);
}

int ShowError(const QString& text, int buttons)
{
    return showWithIcon(text, UCommonText::Error, kvos::MB_ICONERROR, buttons);
}

int ShowQuestion(const QString& text, int buttons)
{
    return ShowMessageBox(text, UCommonText::Question, unsigned(buttons) | kvos::MB_ICONQUESTION);
}

void ShowExceptionMessage(const std::exception& e)
{
    if (dynamic_cast<const EAbort*>(&e))
        return;
    const auto* ex = dynamic_cast<const Exception*>(&e);
    const QString message = ex ? ex->Message : QString::fromUtf8(e.what());
    ShowError(FormatMessage(UCommonText::GeneralError, {message}));
}
