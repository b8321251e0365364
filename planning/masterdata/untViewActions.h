#pragma once
// The actions a planning view takes from its object's definition: a command
// index past the framework's own commands names one of them.
#include <QString>

class TInfoObjectDef;

namespace ViewActions {

// The ID of the object's action that command ACommandIndex runs; empty when
// the index names none (or there is no definition).
QString ActionID(const TInfoObjectDef* AObjectDef, int ACommandIndex);

} // namespace ViewActions
