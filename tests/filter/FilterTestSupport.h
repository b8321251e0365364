#pragma once
// A small info object with one field of each kind the filter treats apart.
#include "untApplication.h"
#include "untInfoObjectDef.h"

#include <QString>

#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

inline TInfoFieldDef filterTestField(const char* id, const char* name, quint8 type, const char* sql, int precision = 0,
                                     TInfoFieldValueType valueType = vtNormal)
{
    TInfoFieldDef f;
    f.ID = QString::fromUtf8(id);
    f.Name = QString::fromUtf8(name);
    f.DataType = type;
    f.SQLExpress = QString::fromUtf8(sql);
    f.Precision = precision;
    f.ValueType = valueType;
    return f;
}

inline TInfoObjectDef filterTestObject()
{
    namespace FT = FieldTypes;
    TInfoObjectDef def;
    def.ID = QStringLiteral("T.Item");
    def.Name = QStringLiteral("物料");
    def.Fields = {
        filterTestField("ItmNo", "物料编号", FT::ftString, "s.ItmNo", 20),
        filterTestField("Qty", "数量", FT::ftFloat, "s.Qty"),
        filterTestField("Level", "层次", FT::ftInteger, "s.Level"),
        filterTestField("Flag", "有效", FT::ftBoolean, "s.Flag"),
        filterTestField("Made", "日期", FT::ftDateTime, "s.Made"),
        filterTestField("Creator", "制单人", FT::ftString, "s.Creator", 20, vtCreater),
    };
    return def;
}

// Sets the logged-in user's name for the time of a test.
class ScopedUserName {
public:
    explicit ScopedUserName(const QString& name)
    {
        if (!InfoApplication)
            InfoApplication = FOwned = new TInfoApplication;
        FPrevious = InfoApplication->LoginInfo.UserName;
        InfoApplication->LoginInfo.UserName = name;
    }
    ~ScopedUserName()
    {
        InfoApplication->LoginInfo.UserName = FPrevious;
        if (FOwned) {
            InfoApplication = nullptr;
            delete FOwned;
        }
    }
    ScopedUserName(const ScopedUserName&) = delete;
    ScopedUserName& operator=(const ScopedUserName&) = delete;

private:
    TInfoApplication* FOwned = nullptr;
    QString FPrevious;
};
