#include "untMRPLowCodes.h"

#include "untMRPLevel.h"

#include <QHash>
#include <algorithm>

namespace untMRPLowCodes {

bool LongestPathCodes(const QStringList& items, const std::vector<std::pair<QString, QString>>& pairs,
                      std::vector<int>& codes)
{
    codes.clear();
    const int n = int(items.size());
    QHash<QString, int> index;
    index.reserve(n);
    for (int i = 0; i < n; ++i)
        index.insert(FoldedDBText(items[i]), i);   // keys match as the database matches them

    // The components of each item as one list (offsets per parent), without repeats.
    std::vector<std::pair<int, int>> edges;
    edges.reserve(pairs.size());
    for (const auto& [parent, child] : pairs) {
        const auto p = index.constFind(FoldedDBText(parent));
        const auto c = index.constFind(FoldedDBText(child));
        if (p != index.cend() && c != index.cend())
            edges.emplace_back(p.value(), c.value());
    }
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
    std::vector<int> first(size_t(n) + 1, 0), parents(size_t(n), 0);
    for (const auto& e : edges) {
        ++first[size_t(e.first) + 1];
        ++parents[size_t(e.second)];
    }
    for (int i = 0; i < n; ++i)
        first[size_t(i) + 1] += first[size_t(i)];

    // Items are taken once all their parents are placed; an item a loop reaches
    // is never taken.
    std::vector<int> result(size_t(n), 0), ready;
    ready.reserve(size_t(n));
    for (int i = 0; i < n; ++i)
        if (parents[size_t(i)] == 0)
            ready.push_back(i);
    for (size_t k = 0; k < ready.size(); ++k) {
        const int p = ready[k];
        for (int e = first[size_t(p)]; e < first[size_t(p) + 1]; ++e) {
            const int c = edges[size_t(e)].second;
            result[size_t(c)] = std::max(result[size_t(c)], result[size_t(p)] + 1);
            if (--parents[size_t(c)] == 0)
                ready.push_back(c);
        }
    }
    if (int(ready.size()) != n)
        return false;
    codes = std::move(result);
    return true;
}

std::vector<bool> KeepPlanningPairs(const std::vector<std::pair<QString, QString>>& standard,
                                    const std::vector<std::pair<QString, QString>>& planning)
{
    QHash<QString, int> index;
    auto id = [&index](const QString& item) {
        const QString key = FoldedDBText(item);
        const auto it = index.constFind(key);
        return it != index.cend() ? it.value() : index.insert(key, int(index.size())).value();
    };
    std::vector<std::vector<int>> below;
    auto link = [&below](int p, int c) {
        if (size_t(std::max(p, c)) >= below.size())
            below.resize(size_t(std::max(p, c)) + 1);
        below[size_t(p)].push_back(c);
    };
    for (const auto& [parent, child] : standard)
        link(id(parent), id(child));
    std::vector<bool> kept;
    kept.reserve(planning.size());
    std::vector<int> seen, stack;
    int mark = 0;
    for (const auto& [parent, child] : planning) {
        const int p = id(parent), c = id(child);
        if (size_t(std::max(p, c)) >= below.size())
            below.resize(size_t(std::max(p, c)) + 1);
        seen.resize(below.size(), 0);
        // Does the component reach the product?
        ++mark;
        bool back = p == c;
        stack.assign(1, c);
        seen[size_t(c)] = mark;
        while (!back && !stack.empty()) {
            const int at = stack.back();
            stack.pop_back();
            for (int next : below[size_t(at)]) {
                if (next == p) {
                    back = true;
                    break;
                }
                if (seen[size_t(next)] != mark) {
                    seen[size_t(next)] = mark;
                    stack.push_back(next);
                }
            }
        }
        kept.push_back(!back);
        if (!back)
            link(p, c);
    }
    return kept;
}

} // namespace untMRPLowCodes
