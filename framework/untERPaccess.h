#pragma once
// The ERP integration library's interfaces. The library is loaded at login and
// implements them; a failure inside any method arrives as an exception.
#include <QString>
#include <QVariant>
#include <memory>

struct TLoginInfo;

// Named values of a bill head or of one detail row.
class IValueList {
public:
    static constexpr const char* IID = "{28830663-CC9E-4BDD-AC13-426A736E2110}";
    virtual ~IValueList() = default;
    virtual QVariant GetValue(const QString& name) = 0;
    virtual void SetValue(const QString& name, const QVariant& value) = 0;
};
using IValueListPtr = std::shared_ptr<IValueList>;

// The detail rows of a bill.
class IRowList {
public:
    static constexpr const char* IID = "{9E7F3836-A867-42FF-935A-5B5BC0748FEF}";
    virtual ~IRowList() = default;
    // Appends a new detail row and returns its values.
    virtual IValueListPtr Add() = 0;
    // The values of row AIndex (from 0).
    virtual IValueListPtr GetRow(int AIndex) = 0;
    virtual int GetCount() = 0;
};
using IRowListPtr = std::shared_ptr<IRowList>;

// An ERP document under construction.
class IBill {
public:
    static constexpr const char* IID = "{5506A29D-94A7-4B71-91B8-68B2586C9BAA}";
    virtual ~IBill() = default;
    virtual IValueListPtr Head() = 0;
    virtual IRowListPtr Details(const QString& name) = 0;
    // True when the ERP stored the document (its number is then the head value
    // "BillNo"); False with the reason in errorText.
    virtual bool Save(QString& errorText) = 0;
};
using IBillPtr = std::shared_ptr<IBill>;

class IERPAccess {
public:
    static constexpr const char* IID = "{7CD94D27-58C1-4C2F-A514-51DA00290042}";
    virtual ~IERPAccess() = default;
    // mode 0 interactive, 1 silent. Fills the record's database fields.
    virtual void Login(TLoginInfo& loginInfo, int mode, bool& ok) = 0;
    virtual void Logout(bool& ok) = 0;
    virtual IBillPtr NewBill(int kind) = 0;
    // The number the ERP would give the bill.
    virtual QString GetNewBillNo(const IBillPtr& bill, qint16& flag) = 0;
    // The most detail rows one bill of that kind may hold.
    virtual quint16 GetMaxBillRows(int kind) = 0;
};
using IERPAccessPtr = std::shared_ptr<IERPAccess>;
