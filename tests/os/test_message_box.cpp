#include "MessageBox.h"
#include "ScriptedMessageBoxes.h"

#include <gtest/gtest.h>

using namespace kvos;

TEST(MessageBoxFlags, ButtonsAndDefault)
{
    struct Case { unsigned flags; QList<int> buttons; int def; };
    const Case cases[] = {
        {MB_OK, {IDOK}, IDOK},
        {MB_OKCANCEL | MB_DEFBUTTON2, {IDOK, IDCANCEL}, IDCANCEL},
        {MB_YESNO | MB_DEFBUTTON2, {IDYES, IDNO}, IDNO},
        {MB_YESNOCANCEL | MB_DEFBUTTON3, {IDYES, IDNO, IDCANCEL}, IDCANCEL},
        {MB_YESNOCANCEL, {IDYES, IDNO, IDCANCEL}, IDYES},
        // a default beyond the last button falls back to the first
        {MB_YESNO | MB_DEFBUTTON3, {IDYES, IDNO}, IDYES},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(buttonsOf(c.flags), c.buttons) << c.flags;
        EXPECT_EQ(defaultButtonOf(c.flags), c.def) << c.flags;
    }
}

TEST(MessageBoxPresenter, ScriptedPresenterIsRestored)
{
    {
        ScriptedMessageBoxes boxes;
        boxes.answer({IDNO});
        EXPECT_EQ(applicationMessageBox("t", "c", MB_YESNO), IDNO);
        EXPECT_EQ(applicationMessageBox("t2", "c2", MB_OKCANCEL | MB_DEFBUTTON2), IDCANCEL);
        ASSERT_EQ(boxes.shown.size(), 2);
        EXPECT_EQ(boxes.shown[1].text, "t2");
        {
            ScriptedMessageBoxes inner;
            applicationMessageBox("inner", "c", MB_OK);
            EXPECT_EQ(inner.shown.size(), 1);
        }
        applicationMessageBox("outer again", "c", MB_OK);
        EXPECT_EQ(boxes.shown.size(), 3);
    }
}
