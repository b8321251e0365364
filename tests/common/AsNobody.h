#pragma once
// A stretch of a test run as the unprivileged user "nobody" when the test runs
// as root, so that file permissions hold for what the process opens meanwhile;
// the effective user and group come back when the scope ends. A test that does
// not run as root already meets the permissions it sets.
#include <unistd.h>

namespace kvtest {

class AsNobody {
public:
    AsNobody()
    {
        if (geteuid() != 0)
            return;
        FGroup = setegid(65534) == 0;
        FUser = FGroup && seteuid(65534) == 0;
    }
    ~AsNobody()
    {
        if (FUser && seteuid(0) != 0)
            return;
        if (FGroup)
            [[maybe_unused]] const int g = setegid(0);
    }
    AsNobody(const AsNobody&) = delete;
    AsNobody& operator=(const AsNobody&) = delete;

private:
    bool FGroup = false, FUser = false;
};

} // namespace kvtest
