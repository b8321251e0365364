#pragma once

// Low-level codes of items from their parent-component pairs, in memory.

#include <QList>
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

namespace untMRPLowCodes {

// Each item's code is the length of the longest path of pairs that reaches it
// (0 for an item no pair reaches): every component sits below its deepest
// parent. Items match without regard to case and trailing blanks, as the
// database's keys do. Pairs naming an item not in `items` are left out, as
// are repeated pairs. Returns false, with `codes` left empty, when the pairs hold a loop.
// Otherwise `codes` has one code per entry of `items`, in their order.
bool LongestPathCodes(const QStringList& items, const std::vector<std::pair<QString, QString>>& pairs,
                      std::vector<int>& codes);

// Pairs known only from open orders' own bills (planning pairs) join the
// graph of the standard pairs one by one, in their order; a planning pair
// whose component leads back to its own product, through the standard pairs
// and the planning pairs kept before it, is dropped instead: an order that
// takes its product's parent apart is no loop. Items match as in
// LongestPathCodes. Returns one flag per planning pair: true when kept.
std::vector<bool> KeepPlanningPairs(const std::vector<std::pair<QString, QString>>& standard,
                                    const std::vector<std::pair<QString, QString>>& planning);

} // namespace untMRPLowCodes
