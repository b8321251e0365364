#include "untMDIHost.h"

namespace {
IMDIHost* CurrentHost = nullptr;
}

IMDIHost* MDIHost()
{
    return CurrentHost;
}

void SetMDIHost(IMDIHost* AHost)
{
    CurrentHost = AHost;
}
