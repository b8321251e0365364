#pragma once
// The info-object view shown as a tree list whose nodes the subclasses fill,
// with the tree list's part of the view scheme, column set-up from field
// definitions, the colour hook and the view commands; and the export and
// print routines that every tree list of the library uses.
#include "TreeList.h"
#include "clsInfoView.h"

#include <QColor>
#include <QFont>
#include <QStringList>
#include <functional>

// The dynamic property of a tree list that holds the owning view while an
// export or print runs (they ask that view for each cell's colours).
inline constexpr const char* TreeListOwnerViewProperty = "Tag";

// Exports the tree list to a file the user picks, proposing ABaseName +
// ".xls". With AAskExpand the user is first asked whether every node should be
// expanded and loaded (Cancel ends; a stopped expansion ends with a warning);
// without it every node is expanded.
void ExportTreeListToFile(kvui::TreeList* ATreeList, const QString& ABaseName, bool AAskExpand);
// Page setup (6), report design (7), print (8) or preview (9) of the tree
// list with the print settings kept in APrintSetting, which receives the
// settings afterwards. Printing problems are not reported.
// ATitle heads the printout when the stored settings name no title of their own.
void PrintTreeList(kvui::TreeList* ATreeList, QString& APrintSetting, int ACommandIndex, const QString& ATitle = QString());

// The value type word of a created column for a field data type.
QString TreeColumnValueType(int ADataType);

class TInfoTreeView : public TCustomInfoView {
    Q_OBJECT
public:
    TInfoTreeView(QWidget* AOwner, TInfoObjectDef* AObjectDef);
    ~TInfoTreeView() override;

protected:
    // Field names bound to columns: the first FStaticColumnCount are the
    // design-time columns, the rest the view made itself and owns.
    QStringList FColumnFieldNames;
    QList<kvui::Column*> FColumns;  // the column of each name
    int FStaticColumnCount = 0;

public:
    // The tree list that ViewComponent holds (nullptr before a subclass set it).
    kvui::TreeList* TreeList() const;

    // Binds a design-time column; only before the view made columns of its
    // own and only once per name.
    void BindStaticColumn(kvui::Column* AColumn, const QString& AFieldName);
    // The field name bound to the tree list's column at that index; empty when none.
    QString GetColumnFieldName(int AColumnIndex) const;
    QString GetColumnFieldName(kvui::Column* AColumn) const;
    kvui::Column* FindFieldColumn(const QString& AFieldName) const;
    // "|" + each bound dynamic field name beginning with "Item_" + "|"...
    QString GetItemPropFieldNames() const;
    // The select pieces of the bound "Item_" fields and the join that brings
    // in the item row for them (after the first "i.ItmID" of the data-source SQL).
    void GetItemPropSelectSQL(QString& ASelectSQL, QString& AJoinSQL, TInfoObjectDef* AObjectDef = nullptr);

    // Called for every painted and printed data cell with the colours and
    // font about to be used; subclasses colour cells here. Empty here.
    virtual void FetchCustomDrawFormat(kvui::TreeNode* ANode, kvui::Column* AColumn, bool ASelected, bool AFocused,
                                       QColor& AOutBrush, QFont& AOutFont, QColor& AOutTextColor);

    void SetFocus() override;
    void ApplyViewScheme() override;
    void StoreViewScheme() override;
    void InitializeView(const QString& AViewAsDetailID, const IInfoViewPtr& AMasterView) override;
    void RefreshData(bool ARebuild) override;
    void CloseData() override;
    QString GetFocusedRecordString(const QString& AFieldID) override;
    bool QueryCommandState(int ACommandIndex, TCommandState& AState) override;
    bool ExecCommand(int ACommandIndex) override;

private:
    bool FEventsConnected = false;
};
