#pragma once

namespace kvos {

// Local date-times are converted by the C library, which looks at the time-zone
// file again on every conversion when the process names no zone; a run that
// reads a hundred thousand dates pays for as many file checks. Naming the
// machine's own zone file once at start-up (only when the environment names no
// zone) keeps every conversion the same and reads the file once. Call before
// any thread starts.
void ReadLocalTimeZoneOnce();

} // namespace kvos
