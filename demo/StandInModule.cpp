// The demo's stand-in procedures as a procedure module: the embedded engine
// loads it from beside itself when the first account set opens, and loading
// it registers the procedures. Programs thus answer the planning's stored
// procedures without linking the demo.
#include "StandInProcedures.h"

namespace {
const bool Registered = (kvdemo::registerStandInProcedures(), true);
}
