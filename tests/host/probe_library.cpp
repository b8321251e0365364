// A small library for the library-loader tests: counts how often it was
// initialised and exports one function.
static int initialised = 0;
namespace {
struct Init {
    Init() { ++initialised; }
} init;
} // namespace
extern "C" __attribute__((visibility("default"))) int ProbeInitCount() { return initialised; }
