// The syntax tree's own code: an expression tree is freed without recursion, so
// that any depth of nesting a batch brings ends without exhausting the stack.
#include "Ast.h"

#include <vector>

namespace kvtsql {

Expr::~Expr()
{
    if (args.isEmpty()) return;
    std::vector<ExprP> pending(args.cbegin(), args.cend());
    args.clear();
    while (!pending.empty()) {
        ExprP e = std::move(pending.back());
        pending.pop_back();
        if (e.use_count() == 1 && !e->args.isEmpty()) {
            pending.insert(pending.end(), e->args.cbegin(), e->args.cend());
            e->args.clear();
        }
    }
}

} // namespace kvtsql
