// Low-level codes from parent-component pairs, in memory.

#include "untMRPLowCodes.h"

#include <gtest/gtest.h>

using untMRPLowCodes::LongestPathCodes;

namespace {

struct Shape {
    const char* name;
    QStringList items;
    std::vector<std::pair<QString, QString>> pairs;
    bool settled;
    std::vector<int> codes; // one per item; empty for a loop
};

} // namespace

TEST(LowCodes, ShapesOfBills)
{
    const std::vector<Shape> shapes = {
        {"empty", {}, {}, true, {}},
        {"items without bills", {"A", "B"}, {}, true, {0, 0}},
        {"chain", {"P", "A", "B", "C"}, {{"P", "A"}, {"A", "B"}, {"B", "C"}}, true, {0, 1, 2, 3}},
        {"diamond", {"P", "L", "R", "X"}, {{"P", "L"}, {"P", "R"}, {"L", "X"}, {"R", "X"}}, true, {0, 1, 1, 2}},
        // X hangs directly under P and again at the end of the chain: it goes below the chain.
        {"shortcut to the bottom",
         {"X", "C", "B", "A", "P"},
         {{"P", "X"}, {"P", "A"}, {"A", "B"}, {"B", "C"}, {"C", "X"}},
         true,
         {4, 3, 2, 1, 0}},
        {"component shared by two tops of different depth",
         {"P1", "P2", "M", "S"},
         {{"P1", "S"}, {"P2", "M"}, {"M", "S"}},
         true,
         {0, 0, 1, 2}},
        // A pair naming an item outside the list (a skipped item) moves nothing.
        {"pair to an unlisted item", {"P", "A"}, {{"P", "A"}, {"P", "Z"}, {"Z", "A"}}, true, {0, 1}},
        {"repeated pairs", {"P", "A"}, {{"P", "A"}, {"P", "A"}}, true, {0, 1}},
        // Keys match as in the database: case and trailing blanks aside.
        {"keys written differently",
         {"P", "abc", "料甲"},
         {{"p ", "ABC"}, {"Abc", "料甲  "}},
         true,
         {0, 1, 2}},
        {"loop", {"A", "B"}, {{"A", "B"}, {"B", "A"}}, false, {}},
        {"loop reached from two tops",
         {"T1", "T2", "A", "B", "C", "D"},
         {{"T1", "A"}, {"T2", "B"}, {"A", "B"}, {"B", "C"}, {"C", "A"}, {"C", "D"}},
         false,
         {}},
        {"item its own component", {"P", "A"}, {{"P", "A"}, {"A", "A"}}, false, {}},
    };
    for (const Shape& s : shapes) {
        SCOPED_TRACE(s.name);
        std::vector<int> codes{99};
        EXPECT_EQ(LongestPathCodes(s.items, s.pairs, codes), s.settled);
        EXPECT_EQ(codes, s.codes);
    }
}

// Pairs only open orders name join the standard pairs unless they lead back
// to their own product; each is judged with the ones kept before it.
TEST(LowCodes, PlanningPairsThatLeadBackAreLeftOut)
{
    using untMRPLowCodes::KeepPlanningPairs;
    using Pairs = std::vector<std::pair<QString, QString>>;
    struct Case {
        const char* name;
        Pairs standard, planning;
        std::vector<bool> kept;
    } cases[] = {
        {"extra part of an order", {{"FAN", "MOTOR"}}, {{"MOTOR", "LABEL"}}, {true}},
        // A rework order makes a MOTOR out of a FAN, whose bill holds the MOTOR.
        {"rework of the parent", {{"FAN", "MOTOR"}}, {{"MOTOR", "FAN"}}, {false}},
        {"back over two levels", {{"FAN", "MOTOR"}, {"MOTOR", "COIL"}}, {{"COIL", "fan "}}, {false}},
        // The second pair would close a loop with the first, kept one.
        {"loop of two planning pairs", {}, {{"A", "B"}, {"B", "A"}, {"B", "C"}}, {true, false, true}},
        {"no standard pairs", {}, {{"P", "Q"}}, {true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(KeepPlanningPairs(c.standard, c.planning), c.kept);
    }
}
