#pragma once
// The demo account set with an administrator logged in, and readers of the
// pickers' trees and the permission grid as text.
#include "AccountSetFixture.h"
#include "TreeList.h"

#include <QApplication>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

// "  text [image]" per node, two blanks of indent per level.
inline QStringList treeLines(kvui::TreeList* ATree, kvui::Column* ATextColumn, bool AWithImages = true)
{
    QStringList lines;
    for (kvui::TreeNode* n : ATree->allNodes())
        lines.append(QString(n->level() * 2, u' ') + n->text(ATextColumn)
                     + (AWithImages ? QStringLiteral(" [%1]").arg(n->imageIndex()) : QString()));
    return lines;
}

inline kvui::TreeNode* nodeByText(kvui::TreeList* ATree, kvui::Column* ATextColumn, const QString& AText)
{
    for (kvui::TreeNode* n : ATree->allNodes())
        if (n->text(ATextColumn) == AText)
            return n;
    return nullptr;
}

// Runs the step on the next modal dialog as soon as it shows.
inline void onNextModal(std::function<void(QWidget*)> AStep)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, AStep] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            AStep(w);
        }
    });
    timer->start();
}

class PermsFixture : public AccountSetFixture {
protected:
    void SetUp() override
    {
        AccountSetFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        login(QStringLiteral("admin"), QStringLiteral("'G_ADMIN',null"), true);
    }
};
