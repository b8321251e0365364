#pragma once
// The row limit of a view's list, tried on a list of N rows: with the limit at
// N the list is whole, shows N rows and tells nothing; with the limit at N - 1
// it shows N - 1 rows and tells once that the list was cut. The limit the user
// set is the same afterwards.
#include "ScriptedMessageBoxes.h"
#include "untApplication.h"

#include <functional>
#include <gtest/gtest.h>

namespace kvtest {

// AReload loads the view again; AShown counts the rows it shows.
inline void expectCutListIsTold(const std::function<void()>& AReload, const std::function<int()>& AShown)
{
    const int previous = InfoApplication->MaxResultRowCount;
    AReload();
    const int all = AShown();
    ASSERT_GE(all, 2) << "the list needs two rows at least";
    for (const int limit : {all, all - 1}) {
        InfoApplication->MaxResultRowCount = limit;
        ScriptedMessageBoxes boxes;
        AReload();
        EXPECT_EQ(AShown(), limit) << "limit " << limit;
        if (limit == all) {
            EXPECT_TRUE(boxes.shown.isEmpty()) << "a whole list of exactly the limit tells nothing";
        } else {
            ASSERT_EQ(boxes.shown.size(), 1) << "a cut list is told";
            EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("超过%1行").arg(limit))) << boxes.shown[0].text.toStdString();
        }
        EXPECT_EQ(InfoApplication->MaxResultRowCount, limit);
    }
    InfoApplication->MaxResultRowCount = previous;
}

} // namespace kvtest
