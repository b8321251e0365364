// Main demand and a whole MRP run on the demo account set; low-level codes
// and the run log on small fixtures.
#include "EngineDbFixture.h"
#include "ScriptedMessageBoxes.h"
#include "untMRP.h"

#include <memory>

using namespace enginetest;

namespace {

class RunTest : public EngineDbTest {
protected:
    // The texts the run showed, in order.
    QStringList messages;
    TAddProcessMessageNodeProc collector()
    {
        return [this](TMessageKind kind, const QString& text, const QString&, const QVariant&, const QVariant&,
                      void* parent) -> void* {
            messages << QString::number(int(kind)) + (parent ? QStringLiteral(" > ") : QStringLiteral(" ")) + text.mid(20);
            return reinterpret_cast<void*>(quintptr(messages.size()));
        };
    }
    std::unique_ptr<TPlanScheme> demo()
    {
        auto s = std::make_unique<TPlanScheme>(GlobalADOConnection);
        EXPECT_TRUE(s->Load(1));
        return s;
    }
};

} // namespace

TEST_F(RunTest, DemoSchemeRunsEndToEnd)
{
    auto s = demo();
    ASSERT_TRUE(s->RunMPS(false, false));
    ASSERT_TRUE(s->Load(1));
    ScriptedMessageBoxes boxes;
    const bool ok = s->RunMRP(false, false, false, collector());
    for (const QString& m : messages)
        std::printf("%s\n", qPrintable(m));
    for (const auto& b : boxes.shown)
        std::printf("BOX %s\n", qPrintable(b.text));
    ASSERT_TRUE(ok);
    EXPECT_EQ(value("select SchState from QZ_MRP_Schemes where SchIID=1"), "6");
}
