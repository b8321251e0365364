// Linked into the programs that allocate through mimalloc (korvane_mimalloc):
// an MRP run makes and frees hundreds of megabytes of rows and work-table pages
// level by level. Kept in 2 MiB pages where the system grants them, that memory
// is faulted in once per page instead of once per 4 KiB, and it is not handed
// back to the system and faulted in again between levels (on a virtual machine
// each fault is dear: a fifth of a 50,000-item run went to them).
// MIMALLOC_LARGE_OS_PAGES in the environment still decides when it is set.
#include <cstdlib>
#include <mimalloc.h>

namespace {

const bool largePagesChosen = [] {
    if (!std::getenv("MIMALLOC_LARGE_OS_PAGES")) mi_option_enable(mi_option_large_os_pages);
    return true;
}();

} // namespace
