#pragma once
// The open component lines of production and outsourcing orders as demands
// of a run: the filter and joins of their selects over the info objects
// QZ_MRP.OOBOM and QZ_MRP.MOBOM. A run brings them in two ways: when it
// gathers a level's data, the lines whose order is already a supply of the
// run; and after a level is planned, the lines of that level's orders that
// serve a demand, whose components would otherwise never be asked for when
// nothing else demands them.
#include <QString>
#include <vector>

namespace untMRPOrderLines {

struct TOrderLineSelect {
    QString ObjectID;   // QZ_MRP.OOBOM or QZ_MRP.MOBOM
    int DemandCode = 0; // 82 outsourcing, 84 production material
    int OrderCode = 0;  // 24 outsourcing order, 22 production order
    QString Where;      // filter on the info object's rows (alias s)
    QString Tail;       // joins after the info object's own (order supply as tmpsup)
};

// The selects of both kinds, outsourcing first. AOrdersOfLevel false: lines
// of orders that are supplies of the run (the caller adds the item scope of
// the components). AOrdersOfLevel true: lines of the orders whose item has
// code ALevel and that are allotted or tied to the main demand; AMainItems
// keeps them to orders of the main demand's items (single-level explosion).
// APendingIssues (need scopes that take pending issues of the same item):
// when gathering, the lines of every open order, also of orders that are no
// supply of the run; their demands have no parent supply until the run adds
// their orders after the balance.
std::vector<TOrderLineSelect> OrderLineSelects(bool AOrdersOfLevel, int ALevel, bool AMainItems, bool APendingIssues);

} // namespace untMRPOrderLines
