#pragma once
// One transaction around a multi-statement write: begun on construction,
// rolled back on destruction unless Commit ran, so an error anywhere in
// between leaves nothing written.
#include "Ado.h"

class TADOTransaction {
public:
    explicit TADOTransaction(TADOConnection* connection) : FConnection(connection) { FConnection->BeginTrans(); }
    ~TADOTransaction()
    {
        if (FDone)
            return;
        try {
            FConnection->RollbackTrans();
        } catch (...) {
            // the transaction is gone already (the server rolled it back)
        }
    }
    TADOTransaction(const TADOTransaction&) = delete;
    TADOTransaction& operator=(const TADOTransaction&) = delete;

    void Commit()
    {
        FConnection->CommitTrans();
        FDone = true;
    }

private:
    TADOConnection* FConnection;
    bool FDone = false;
};
