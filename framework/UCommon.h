#pragma once
// Small helpers shared by every unit: delimited and Name=value lists, hex text,
// SQL condition joining, conditional choice, numbers in other bases, component
// text, machine identity, byte scrambling, the general error reporter and the
// four message boxes with their fixed captions.
#include "Exceptions.h"

#include <QByteArray>
#include <QDateTime>
#include <QIODevice>
#include <QString>
#include <QVariant>

class QObject;

// Shared message texts.
namespace UCommonText {
inline const QString Warning = QStringLiteral("警告");
inline const QString Information = QStringLiteral("信息");
inline const QString Question = QStringLiteral("疑问");
inline const QString Error = QStringLiteral("错误");
inline const QString DatabaseError = QStringLiteral("错误: %s (错误号: %d)");
inline const QString GeneralError = QStringLiteral("程序执行出现错误!\r\r原因: %s");
inline const QString Yes = QStringLiteral("是");
inline const QString No = QStringLiteral("否");
inline const QString AllItems = QStringLiteral("(全部)");
inline const QString Unclassified = QStringLiteral("(未分类)");
inline const QString EmptyName = QStringLiteral("名称不能为空, 请输入!");
inline const QString InvalidFieldValue = QStringLiteral("[%s]的值(%s)无效!");
inline const QString Finished = QStringLiteral("执行完成。");
inline const QString StoppedByErrors = QStringLiteral("执行过程中发现错误, 操作被停止!");
inline const QString Cancelled = QStringLiteral("执行已被中止!");
inline const QString ConfirmDelete = QStringLiteral("您所选的项目将被删除, 确定?");
} // namespace UCommonText

// Fills the "%s" and "%d" placeholders of a message text in order.
QString FormatMessage(const QString& pattern, const QVariantList& args);

// ---- process date formats ------------------------------------------------
// Short "yyyy/mm/dd" and long "yyyy/mm/dd hh:nn:ss"; every conversion of dates
// to and from text goes through these.
QString DateToStr(const QDate& date);
// The long format; a value at midnight is written with the date alone.
QString DateTimeToStr(const QDateTime& value);
// Reads either format (also with one-digit month, day or hour); invalid on bad text.
QDateTime StrToDateTime(const QString& text);

// ---- lists ---------------------------------------------------------------
QString ExtractDelimitedItems(const QString& text, const QString& separator, int from, int to);
QString ReadDelimitedValue(const QString& list, const QString& name, const QString& separator);
QString WriteDelimitedValue(const QString& list, const QString& name, const QString& value, const QString& separator);
bool DelimitedListContains(const QString& list, const QString& item, const QString& separator);

// ---- hex text ------------------------------------------------------------
// Each byte becomes two digits, low half-byte first (1F becomes "F1").
QString StreamToHexText(QIODevice& stream, qint64 count);
void HexTextToStream(const QString& text, QIODevice& stream);

// ---- SQL conditions and choice ------------------------------------------
QString CombineConditions(const QString& a, const QString& b, const QString& op);
QVariant IfNullVariant(const QVariant& v, const QVariant& defaultValue);
QVariant IIfVariant(bool condition, const QVariant& whenTrue, const QVariant& whenFalse);
QString IIfString(bool condition, const QString& whenTrue, const QString& whenFalse);
int IIfInteger(bool condition, int whenTrue, int whenFalse);

// The shortest decimal text that reads back as the same number, in the C
// locale and without exponent (a literal for SQL text).
QString FloatToLiteralText(double value);

// ---- numbers in a base ---------------------------------------------------
// Raises EConvertError for a base outside 2..36.
QString IntToBaseText(quint32 value, int base, int minWidth);
quint32 BaseTextToInt(const QString& text, int base);

// ---- component text ------------------------------------------------------
// Serialises an object's stored properties and its named children as text.
QString ComponentToText(const QObject* component);
// Reads such text into the component (nil: a new object of the stored class
// when that class is registered); any failure returns the component unchanged.
QObject* TextToComponent(const QString& text, QObject* component);
// Classes that TextToComponent may create (they need a Q_INVOKABLE constructor
// taking a parent QObject*).
void RegisterComponentClass(const QMetaObject* metaObject);

// ---- machine identity ----------------------------------------------------
QString GetLocalComputerName();
QString GetSystemVolumeSerial();

// ---- scrambling ------------------------------------------------------------
QByteArray ScrambleBytes(const QByteArray& bytes);
QByteArray UnscrambleHexText(const QString& hexText, const QString& key);

// ---- message boxes -------------------------------------------------------
// Returns the platform code of the button pressed (IDOK, IDCANCEL, IDYES, IDNO...).
int ShowMessageBox(const QString& text, const QString& caption, unsigned flags);
// buttons -1: an OK button alone; otherwise button and default-button flags.
int ShowWarning(const QString& text, int buttons = -1);
int ShowInfo(const QString& text, int buttons = -1);
int ShowError(const QString& text, int buttons = -1);
int ShowQuestion(const QString& text, int buttons);

// Reports an exception: nothing for EAbort, the general error text otherwise.
void ShowExceptionMessage(const std::exception& e);
