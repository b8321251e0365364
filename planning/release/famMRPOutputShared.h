#pragma once
// What the parts of the output view share and nothing else uses: cell values
// read as numbers and text, the colours of rows and cells, and the brackets
// that hold the tree's updates or a flag over a block. Its parts:
//   famMRPOutput.cpp           the frame's widgets, the list of released schemes, the reload
//   famMRPOutputOptionsBar.cpp the options bar, the period columns, the options kept in the view scheme
//   famMRPOutputLoad.cpp       loading the supply tree and the substitutes of a supply
//   famMRPOutputEdit.cpp       the row edits, check marks and keys
//   famMRPOutputCommands.cpp   the commands, a row's values and the result pane of the Output command
//   famMRPOutputDraw.cpp       the colours of rows and cells
//   famMRPOutputRun.cpp        the Output command up to writing bills
//   famMRPOutputBills.cpp      the Output command's bill walk
#include "famMRPOutput.h"

#include <QColor>
#include <QString>
#include <QVariant>

namespace famMRPOutputShared {

inline const QColor clYellow(255, 255, 194), clOlive(192, 192, 0), clCyan(194, 255, 255), clTeal(0, 192, 192),
    clOrange(255, 128, 0), clRed(255, 0, 0), clBlue(0, 0, 255);

inline int whole(const QVariant& v)
{
    return OutputIsNone(v) ? 0 : v.toInt();
}

inline QString text(const QVariant& v)
{
    return OutputIsNone(v) ? QString() : v.toString();
}

struct UpdateBracket {
    explicit UpdateBracket(kvui::TreeList* ATree) : tree(ATree) { tree->beginUpdate(); }
    ~UpdateBracket() { tree->endUpdate(); }
    kvui::TreeList* tree;
};

struct FlagHold {
    FlagHold(bool& AFlag, bool AValue) : flag(AFlag), old(AFlag) { flag = AValue; }
    ~FlagHold() { flag = old; }
    bool& flag;
    bool old;
};

} // namespace famMRPOutputShared
