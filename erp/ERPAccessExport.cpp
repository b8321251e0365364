// The export the host binds by name: hands out the library's integration interface.
#include "ERPAccess.h"

#include <QDir>

extern "C" __attribute__((visibility("default"))) void GetERPAccess(IERPAccessPtr* AERPAccess)
{
    *AERPAccess = std::make_shared<TERPAccess>(QDir(ERPLibraryFolder()).filePath(QStringLiteral("ERPAccountSets.cfg")));
}
