// The registry of native procedures, a procedure's arguments, and the file a
// connection has open. The connection's implementation is declared in
// EngineImpl.h, which says where each part of it lives.
#include "EngineImpl.h"

namespace kvtsql {

// ---------------------------------------------------------------- procedure registry
namespace {
QMutex& registryMutex()
{
    static QMutex m;
    return m;
}
QHash<QString, NativeProcedure>& registry()
{
    static QHash<QString, NativeProcedure> r;
    return r;
}
} // namespace

void registerProcedure(const QString& name, NativeProcedure procedure)
{
    QMutexLocker lock(&registryMutex());
    registry().insert(name.toLower(), std::move(procedure));
}

void unregisterProcedure(const QString& name)
{
    QMutexLocker lock(&registryMutex());
    registry().remove(name.toLower());
}

bool hasProcedure(const QString& name)
{
    QMutexLocker lock(&registryMutex());
    return registry().contains(name.toLower());
}

NativeProcedure findProcedure(const QString& name)
{
    QMutexLocker lock(&registryMutex());
    return registry().value(name.toLower());
}

QVariant ProcedureCall::arg(const QString& name, int position) const
{
    auto it = named.find(name.toLower());
    if (it != named.end()) return *it;
    if (position >= 0 && position < positional.size()) return positional[position];
    return QVariant();
}

QString Connection::fileName() const { return d->file; }

} // namespace kvtsql
