// What the engine's SQLite functions share: reading arguments, setting results
// and errors as the engine reads them back, and registering a function so that
// nothing it throws crosses SQLite's C frames. Private to the engine's units.
#pragma once

#include "Functions.h"

#include <QString>

#include <sqlite3.h>

#include <new>
#include <stdexcept>

namespace kvtsql {
namespace sqlfn {

QString textArg(sqlite3_value* v);
void resultText(sqlite3_context* ctx, const QString& s);
void resultError(sqlite3_context* ctx, int number, const QString& message);
inline bool isNull(sqlite3_value* v) { return sqlite3_value_type(v) == SQLITE_NULL; }
bool mayGrowTo(sqlite3_context* ctx, double bytes);
void resultInteger(sqlite3_context* ctx, qint64 v, int precision);
void resultFloat(sqlite3_context* ctx, double v);

using Function = void (*)(sqlite3_context*, int, sqlite3_value**);

// A function as SQLite calls it: nothing the body throws crosses SQLite's C frames.
// An allocation that fails is SQLite's out-of-memory error (701 to the batch), any
// other exception the statement's error.
template <Function F>
void guarded(sqlite3_context* ctx, int argc, sqlite3_value** argv) noexcept
{
    try {
        F(ctx, argc, argv);
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(ctx);
    } catch (const std::exception& e) {
        sqlite3_result_error(ctx, e.what(), -1);
    } catch (...) {
        sqlite3_result_error(ctx, "internal error", -1);
    }
}

template <void (*F)(sqlite3_context*)>
void guardedFinal(sqlite3_context* ctx) noexcept
{
    try {
        F(ctx);
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(ctx);
    } catch (...) {
        sqlite3_result_error(ctx, "internal error", -1);
    }
}

template <Function F>
void fn(sqlite3* db, const char* name, int argc, bool deterministic = true)
{
    sqlite3_create_function_v2(db, name, argc, SQLITE_UTF8 | (deterministic ? SQLITE_DETERMINISTIC : 0), nullptr, guarded<F>,
                               nullptr, nullptr, nullptr);
}

} // namespace sqlfn

// Registers T-SQL's date functions (FunctionsDates).
void registerDateFunctions(sqlite3* db);

} // namespace kvtsql
