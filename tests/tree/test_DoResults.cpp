// The result list of long operations.
#include "ScriptedMessageBoxes.h"
#include "UCommon.h"
#include "famDoResults.h"
#include "untCommonUI.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QMouseEvent>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

namespace {

// One application object for the program, as the library has at run time.
void EnsureApplication()
{
    static std::unique_ptr<TInfoApplication> app;
    if (!InfoApplication) {
        app = std::make_unique<TInfoApplication>();
        InfoApplication = app.get();
    }
}

kvui::TreeNode* Node(void* p)
{
    return static_cast<kvui::TreeNode*>(p);
}

struct Fixture {
    TDoResultFrame frame;
    Fixture()
    {
        EnsureApplication();
        frame.resize(700, 300);
        frame.show();
        frame.ShowTrackPosition(true);
        QApplication::processEvents();
    }
    void mouse(QEvent::Type type, const QPoint& pos)
    {
        QMouseEvent e(type, QPointF(pos), frame.grdResults->viewport()->mapToGlobal(QPointF(pos)), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(frame.grdResults->viewport(), &e);
    }
    QPoint cellCenter(kvui::TreeNode* node, kvui::Column* c)
    {
        frame.grdResults->relayout();
        return frame.grdResults->cellRect(frame.grdResults->rowOfNode(node), c).center();
    }
};

} // namespace

TEST(DoResultFrame, KindsMapToIconsAndBack)
{
    Fixture f;
    const struct {
        TMessageKind kind;
        int icon;
    } cases[] = {{mkInformation, 0}, {mkWarning, 1}, {mkError, 2}, {mkNone, -1}};
    for (const auto& c : cases) {
        kvui::TreeNode* node = Node(f.frame.AddResultNode(c.kind, QStringLiteral("行"), QStringLiteral("P1"), 7, "x", nullptr));
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->imageIndex(), c.icon) << c.kind;
        EXPECT_EQ(f.frame.ResultNodeKind(node), c.kind);
        EXPECT_EQ(node->value(f.frame.colText).toString(), QStringLiteral("行"));
        EXPECT_EQ(node->value(f.frame.colPosition).toString(), QStringLiteral("P1"));
        EXPECT_EQ(node->value(f.frame.colPosition1), QVariant(7));
        EXPECT_EQ(node->value(f.frame.colPosition2), QVariant("x"));
        // the newest line is the focused one
        EXPECT_EQ(f.frame.grdResults->focusedNode(), node);
    }
    EXPECT_EQ(f.frame.grdResults->topCount(), 4);
    f.frame.ClearResultNodes();
    EXPECT_EQ(f.frame.grdResults->nodeCount(), 0);
}

TEST(DoResultFrame, ChildLinesShowTheRootAndOpenTheParent)
{
    Fixture f;
    void* a = f.frame.AddResultNode(mkInformation, "a", QString(), QVariant(), QVariant(), nullptr);
    f.frame.AddResultNode(mkInformation, "b", QString(), QVariant(), QVariant(), nullptr);
    EXPECT_FALSE(f.frame.grdResults->showRoot());
    void* child = f.frame.AddResultNode(mkWarning, "a.1", QString(), QVariant(), QVariant(), a);
    EXPECT_TRUE(f.frame.grdResults->showRoot());
    EXPECT_TRUE(Node(a)->isExpanded());
    EXPECT_EQ(Node(child)->parent(), Node(a));
}

TEST(DoResultFrame, ChangedLinesOnlyEscalate)
{
    Fixture f;
    const struct {
        TMessageKind from, to;
        int icon;
    } cases[] = {{mkError, mkWarning, 2}, {mkInformation, mkWarning, 1}, {mkWarning, mkError, 2},
                 {mkNone, mkInformation, 0}, {mkInformation, mkNone, 0}};
    for (const auto& c : cases) {
        kvui::TreeNode* node = Node(f.frame.AddResultNode(c.from, "old", QString(), QVariant(), QVariant(), nullptr));
        f.frame.ChangeResultNode(node, c.to, "new");
        EXPECT_EQ(node->imageIndex(), c.icon) << c.from << "->" << c.to;
        EXPECT_EQ(node->value(f.frame.colText).toString(), "new");
    }
}

TEST(DoResultFrame, EachLineIsShownWithInputLockedToTheList)
{
    Fixture f;
    quintptr lockDuringPump = 0;
    QTimer::singleShot(0, [&] { lockDuringPump = InfoApplication->LockMsgHWnd; });
    f.frame.AddResultNode(mkInformation, "a", QString(), QVariant(), QVariant(), nullptr);
    EXPECT_EQ(lockDuringPump, quintptr(f.frame.grdResults));
    EXPECT_EQ(InfoApplication->LockMsgHWnd, 0u);

    // inside an update bracket no messages are handled
    bool fired = false;
    QTimer::singleShot(0, [&] { fired = true; });
    f.frame.grdResults->beginUpdate();
    for (int i = 0; i < 3; ++i)
        f.frame.AddResultNode(mkInformation, "b", QString(), QVariant(), QVariant(), nullptr);
    EXPECT_FALSE(fired);
    f.frame.grdResults->endUpdate();
    QApplication::processEvents();
    EXPECT_TRUE(fired);
}

TEST(DoResultFrame, OpeningPositions)
{
    Fixture f;
    kvui::TreeNode* node = Node(f.frame.AddResultNode(mkError, "缺料", "物料 A", 12, "B-1", nullptr));
    const QPoint text = f.cellCenter(node, f.frame.colText);
    const QPoint link = f.cellCenter(node, f.frame.colPosition);
    const QPoint below(text.x(), f.frame.grdResults->viewport()->height() - 3);
    ASSERT_EQ(f.frame.grdResults->rowAt(text), f.frame.grdResults->rowOfNode(node)) << text.x() << "," << text.y();
    ASSERT_EQ(f.frame.grdResults->columnAt(link), f.frame.colPosition) << link.x() << "," << link.y();

    // no handler: nothing happens, and a double click does not open anything
    f.mouse(QEvent::MouseButtonDblClick, text);
    f.mouse(QEvent::MouseButtonRelease, link);

    QList<QVariantList> calls;
    f.frame.SetOnTrackPosition([&](kvui::TreeNode* n, const QVariant& p1, const QVariant& p2) {
        calls << QVariantList{QVariant::fromValue<void*>(n), p1, p2};
    });
    f.mouse(QEvent::MouseButtonDblClick, below); // outside any line
    EXPECT_TRUE(calls.isEmpty());
    f.mouse(QEvent::MouseButtonDblClick, text);
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls[0][0].value<void*>(), node);
    EXPECT_EQ(calls[0][1], QVariant(12));
    EXPECT_EQ(calls[0][2], QVariant("B-1"));
    f.mouse(QEvent::MouseButtonRelease, text); // a click on the text is no link
    EXPECT_EQ(calls.size(), 1);
    f.mouse(QEvent::MouseButtonRelease, link);
    EXPECT_EQ(calls.size(), 2);

    // grey style: the links are grey and cannot be opened by clicking
    f.frame.ShowAsGrayStyle(true);
    EXPECT_FALSE(f.frame.colPosition->isEditable());
    f.mouse(QEvent::MouseButtonRelease, link);
    EXPECT_EQ(calls.size(), 2);
    kvui::TreeNode* plain = Node(f.frame.AddResultNode(mkInformation, "x", "pos", 1, 2, nullptr));
    f.frame.grdResults->setFocusedNode(node);
    const int row = f.frame.grdResults->rowOfNode(plain);
    EXPECT_EQ(f.frame.grdResults->cellFormat(row, f.frame.colPosition).textColor, TColorToQColor(ContentTextColor()));
    EXPECT_EQ(f.frame.grdResults->cellFormat(row, f.frame.colText).background, TColorToQColor(ContentColor()));
    f.frame.ShowAsGrayStyle(false);
    EXPECT_TRUE(f.frame.colPosition->isEditable());
    EXPECT_EQ(f.frame.grdResults->cellFormat(row, f.frame.colPosition).textColor, QColor(Qt::blue));
}

TEST(DoResultFrame, LinesAreColouredByKind)
{
    Fixture f;
    kvui::TreeNode* parent = Node(f.frame.AddResultNode(mkInformation, "p", QString(), QVariant(), QVariant(), nullptr));
    kvui::TreeNode* warn = Node(f.frame.AddResultNode(mkWarning, "w", QString(), QVariant(), QVariant(), parent));
    kvui::TreeNode* err = Node(f.frame.AddResultNode(mkError, "e", QString(), QVariant(), QVariant(), parent));
    f.frame.grdResults->setFocusedNode(parent);
    kvui::TreeList* t = f.frame.grdResults;
    EXPECT_TRUE(t->cellFormat(t->rowOfNode(parent), f.frame.colText, true).font.bold());
    EXPECT_FALSE(t->cellFormat(t->rowOfNode(warn), f.frame.colText, true).font.bold());
    EXPECT_EQ(t->cellFormat(t->rowOfNode(warn), f.frame.colText, true).textColor, QColor(0x80, 0x80, 0x00));
    EXPECT_EQ(t->cellFormat(t->rowOfNode(err), f.frame.colText, true).textColor, QColor(Qt::red));
}

TEST(DoResultFrame, CommandsExportAndPrint)
{
    Fixture f;
    TCommandState state;
    for (int c = Commands::Export; c <= Commands::PrintPreview; ++c) {
        state = {};
        EXPECT_TRUE(f.frame.QueryCommandState(c, state)) << c;
        EXPECT_EQ(state, TCommandState(csEnabled));
    }
    EXPECT_FALSE(f.frame.QueryCommandState(Commands::Refresh, state));
    EXPECT_FALSE(f.frame.ExecCommand(Commands::Refresh));

    f.frame.AddResultNode(mkInformation, "a", QString(), QVariant(), QVariant(), nullptr);
    QStringList proposed;
    SetSaveFileDialogHook([&](const QString& title, const QString& file, const QString&, const QString&, QString&) {
        proposed << title + u'|' + file;
        return false;
    });
    ScriptedMessageBoxes boxes;
    EXPECT_TRUE(f.frame.ExecCommand(Commands::Export));
    f.frame.SetTitle(QStringLiteral("MRP 运算"));
    EXPECT_TRUE(f.frame.ExecCommand(Commands::Export));
    SetSaveFileDialogHook({});
    EXPECT_EQ(proposed, (QStringList{QStringLiteral("导出数据|执行结果信息.xls"), QStringLiteral("导出数据|MRP 运算.xls")}));
    // the result list never asks whether to load all nodes first
    EXPECT_TRUE(boxes.shown.isEmpty());

    // a chosen file is written and the user told so
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("结果.txt"));
    f.frame.AddResultNode(mkWarning, QStringLiteral("库存不足"), QString(), QVariant(), QVariant(), nullptr);
    SetSaveFileDialogHook([&](const QString&, const QString&, const QString&, const QString&, QString& chosen) {
        chosen = file;
        return true;
    });
    EXPECT_TRUE(f.frame.ExecCommand(Commands::Export));
    SetSaveFileDialogHook({});
    QFile written(file);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(written.readAll()).contains(QStringLiteral("库存不足")));
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, UCommonText::Finished);
}
