// Integration libraries that misbehave, for the login tests: one hands out no
// interface, the other answers a silent login with "not OK" without raising.
#include "untApplication.h"
#include "untERPaccess.h"

namespace {
class TRefusingERPAccess : public IERPAccess {
public:
    void Login(TLoginInfo&, int, bool& ok) override { ok = false; }
    void Logout(bool& ok) override { ok = true; }
    IBillPtr NewBill(int) override { return nullptr; }
    QString GetNewBillNo(const IBillPtr&, qint16& flag) override { flag = -1; return QString(); }
    quint16 GetMaxBillRows(int) override { return 1; }
};
} // namespace

extern "C" __attribute__((visibility("default"))) void GetERPAccess(IERPAccessPtr* AERPAccess)
{
#ifdef KV_FAKE_NIL
    AERPAccess->reset();
#else
    *AERPAccess = std::make_shared<TRefusingERPAccess>();
#endif
}
