// Large synthetic account sets for benchmarks: the demo's schema, info objects,
// users and permissions, with generated items, bills of materials, stock,
// sales orders, a factory calendar and a plan scheme instead of the sample company.
#pragma once

#include <QDate>
#include <QString>

namespace kvdemo {

struct SyntheticParams {
    int items = 1000;        // items in all, spread evenly over the levels
    int depth = 4;           // bill-of-materials levels below the products
    int fanOut = 5;          // components per bill
    int fanOutMax = 0;       // above fanOut: each bill takes between fanOut and fanOutMax components
    bool sharedComponent = false; // one purchased part that every product's bill takes
    bool openOrders = false; // open production or purchase orders on a third of the items
    int releasedOrders = 0;  // open production orders of made items with their material lines, as a large release leaves them
    int demands = 2000;      // open sales-order lines on the products
    int periods = 26;        // weekly plan periods of the prepared scheme
    QDate start = QDate(2027, 1, 4);   // first plan day, a Monday
    unsigned seed = 1;       // the same seed gives the same account set
};

// Where an account set keeps the name its login shows (QZ_SYS_SysSettings,
// class and key); a set without it is the demo set.
extern const QString AccountSetNameClass;
extern const QString AccountSetNameKey;
// The name of a synthetic set: "合成账套(N个物料)".
QString syntheticAccountSetName(const SyntheticParams& params);
// The name an account-set file keeps; empty for the demo set, a file without
// the name or one that cannot be read.
QString storedAccountSetName(const QString& fileName);

// Checks the parameters; an empty text means they are usable.
QString checkSyntheticParams(const SyntheticParams& params);

// Creates the account-set file (never over an existing one; a failed creation
// leaves no file behind).
bool createSyntheticAccountSet(const QString& fileName, const SyntheticParams& params, QString* error);

} // namespace kvdemo
