#pragma once
// What the units of TBOMExpandFrame share (famBOMExpand.cpp: the frame and its
// commands; famBOMExpandLoad.cpp: loading and quantities; famBOMExpandEdit.cpp:
// editing and saving): the role text of a local substitute and the per-node
// marks. Included by those three only.
#include "TreeList.h"

#include <QString>
#include <QVariantMap>

namespace {

const QString LocalSubRole = QStringLiteral("局部替代料");

// Per-node marks besides the kind: the level still to read and the
// substitutes changed (the row-edited mark is the node's state index).
inline QVariantMap marks(kvui::TreeNode* ANode)
{
    return ANode->data().toMap();
}

inline void setMark(kvui::TreeNode* ANode, const char* AName, int AValue)
{
    QVariantMap m = marks(ANode);
    m.insert(QLatin1String(AName), AValue);
    ANode->setData(m);
}

inline void setLevelNotLoaded(kvui::TreeNode* ANode, bool AOn)
{
    setMark(ANode, "NotLoaded", AOn ? 1 : 0);
}

inline void setSubsChanged(kvui::TreeNode* ANode, bool AOn)
{
    setMark(ANode, "SubsChanged", AOn ? 1 : -1);
}

} // namespace
