#include "UDBComm.h"

#include "UCommon.h"

#include <QObject>

namespace {

QString v(const QString& value)
{
    return kvado::quoteConnectionValue(value);
}

void applyToConnection(TADOConnection* connection, const QString& text)
{
    connection->Close();
    connection->SetConnectionString(text);
    connection->KeepConnection = true;
    connection->LoginPrompt = false;
}

} // namespace

QString BuildConnectionString(TDBType dbType, const QString& location, const QString& database, const QString& loginID,
                              const QString& password, const QString& options, bool exclusive)
{
    QString text;
    switch (dbType) {
    case dbMSSQL:
        if (!loginID.trimmed().isEmpty()) {
            text = QStringLiteral("Provider=SQLOLEDB;Data Source=") + v(location) + QStringLiteral(";Initial Catalog=") + v(database)
                + QStringLiteral(";User ID=") + v(loginID) + QStringLiteral(";Password=") + v(password)
                + QStringLiteral(";Persist Security Info=True;");
        } else {
            text = QStringLiteral("Provider=SQLOLEDB;Data Source=") + v(location) + QStringLiteral(";Initial Catalog=") + v(database)
                + QStringLiteral(";Integrated Security=SSPI;Persist Security Info=True;");
        }
        break;
    case dbAccess:
        text = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + v(location) + QStringLiteral(";User ID=") + v(loginID)
            + QStringLiteral(";Password=") + v(password) + QStringLiteral(";Jet OLEDB:System Database=") + v(database)
            + QStringLiteral(";Jet OLEDB:Database Password=") + v(options) + QStringLiteral(";Persist Security Info=True;");
        if (exclusive)
            text += QStringLiteral("Mode=Share Deny Read|Share Deny Write");
        break;
    case dbOracle:
        // No form is known for this kind: the target gets the empty text.
        break;
    }
    return text;
}

void ApplyConnectionString(QObject* target, TDBType dbType, const QString& location, const QString& database,
                           const QString& loginID, const QString& password, const QString& options, bool exclusive)
{
    const QString text = BuildConnectionString(dbType, location, database, loginID, password, options, exclusive);
    if (auto* dataSet = qobject_cast<TCustomADODataSet*>(target)) {
        if (dataSet->Connection()) {
            applyToConnection(dataSet->Connection(), text);
        } else {
            dataSet->Close();
            dataSet->SetConnectionString(text);
        }
    } else if (auto* command = qobject_cast<TADOCommand*>(target)) {
        if (command->Connection())
            applyToConnection(command->Connection(), text);
        else
            command->SetConnectionString(text);
    } else if (auto* connection = qobject_cast<TADOConnection*>(target)) {
        applyToConnection(connection, text);
    }
}

void SetupADOQuery(TADOQuery* query)
{
    query->Close();
    query->Prepared = false;
    query->ParamCheck = false;
    query->CursorLocation = clUseClient;
    query->CursorType = ctStatic;
    query->CommandTimeout = 3600;
}

void SetupADOConnection(TADOConnection* connection)
{
    connection->Close();
    connection->KeepConnection = true;
    connection->LoginPrompt = false;
    connection->CommandTimeout = 300;
}

bool ExecSQLText(TADOQuery* query, const QString& sql, bool aOpen, bool aReraise, bool aShow)
{
    bool result = false;
    try {
        query->Close();
        query->SQL.Clear();
        query->SQL.Add(sql);
        if (aOpen)
            query->Open();
        else
            query->ExecSQL();
        result = true;
    } catch (Exception& e) {
        if (aShow)
            ShowADOError(e, query);
        if (aReraise)
            throw;
    }
    return result;
}

namespace {

// The box's text: the provider's first error with its number, else the failure's own message.
QString ADOErrorText(const Exception& e, QObject* dataObject)
{
    try {
        TADOErrors* errors = nullptr;
        if (auto* dataSet = qobject_cast<TCustomADODataSet*>(dataObject)) {
            TADOConnection* c = dataSet->Connection() ? dataSet->Connection() : dataSet->ActiveConnection();
            errors = c ? c->Errors() : nullptr;
        } else if (auto* command = qobject_cast<TADOCommand*>(dataObject)) {
            errors = command->ActiveConnection() ? command->ActiveConnection()->Errors() : nullptr;
        } else if (auto* connection = qobject_cast<TADOConnection*>(dataObject)) {
            errors = connection->Errors();
        }
        if (errors && errors->Count() > 0) {
            const TADOError& first = errors->Item(0);
            return FormatMessage(UCommonText::DatabaseError, {first.Description, first.NativeError});
        }
    } catch (const Exception&) {
    }
    // No provider error describes this failure: its own message is shown, so
    // that no failure goes unreported.
    return FormatMessage(UCommonText::GeneralError, {e.Message});
}

} // namespace

void ShowADOError(const Exception& e, QObject* dataObject)
{
    if (dynamic_cast<const EAbort*>(&e))
        return;
    // Inside a transaction the box waits for its end (the caller rolls back
    // after the report): up while the transaction stood open, it would keep
    // the account set locked for every other program.
    const QString text = ADOErrorText(e, dataObject);
    kvado::WhenNoTransactionOpen([text] { ShowError(text); });
}
