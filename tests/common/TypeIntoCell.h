#pragma once
// Types a text into a cell's in-place editor and presses Enter, as the user
// does; the check of a quantity typed as text that is no number.
#include "BandedView.h"
#include "ScriptedMessageBoxes.h"

#include <QLineEdit>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

namespace kvtest {

// Types into the focused row's cell of AColumn; false when no text editor opened.
inline bool typeIntoCell(kvui::BandedView* AView, kvui::Column* AColumn, const QString& AText)
{
    if (!AView->isEditing() && !AView->startEdit(AColumn))
        return false;
    auto* edit = qobject_cast<QLineEdit*>(AView->activeEditor());
    if (!edit)
        return false;
    edit->setText(AText);
    QTest::keyClick(edit, Qt::Key_Return);
    return true;
}

// A text that is no number is refused with "[caption]的值(text)无效!", the
// editor stays open with the text and the cell keeps its value; the corrected
// text is then taken.
inline void expectNonNumberIsRefused(kvui::BandedView* AView, kvui::Column* AColumn, const QString& ABad, const QString& AGood,
                                     const std::function<QVariant()>& AValue, double AGoodValue)
{
    const QVariant before = AValue();
    {
        ScriptedMessageBoxes boxes;
        ASSERT_TRUE(typeIntoCell(AView, AColumn, ABad)) << AColumn->caption().toStdString();
        ASSERT_EQ(boxes.shown.size(), 1) << "a refused entry is told";
        EXPECT_EQ(boxes.shown[0].text, QStringLiteral("[%1]的值(%2)无效!").arg(AColumn->caption(), ABad));
        EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("错误"));
        ASSERT_TRUE(AView->isEditing()) << "the user can correct the text";
        EXPECT_EQ(qobject_cast<QLineEdit*>(AView->activeEditor())->text(), ABad);
        EXPECT_EQ(AValue(), before);
    }
    ScriptedMessageBoxes boxes;
    ASSERT_TRUE(typeIntoCell(AView, AColumn, AGood));
    EXPECT_DOUBLE_EQ(AValue().toDouble(), AGoodValue);
    for (const ShownBox& b : boxes.shown)
        EXPECT_FALSE(b.text.contains(QStringLiteral("无效"))) << b.text.toStdString();
}

} // namespace kvtest
