// Conversions between data points and device points, both ways.
#include <gtest/gtest.h>

#include "graph_fixture.h"

namespace plot32::testing {
namespace {

using GraphCoordinates = RecordedGraph;

TEST_F(GraphCoordinates, DataToClientAndBack) {
    GraphSettings settings;
    settings.rect = {20, 10, 592, 490};  // the same plot, 20 right and 10 down
    settings.yMin = -5;
    settings.yMax = 5;  // three characters of y labels: the origin at (20 + 24, 10 + 438)
    ASSERT_NE(Open(settings), GRAPH_ERROR);
    const struct {
        double x, y;
        POINT device;
    } cases[] = {
        {0, -5, {44, 448}},
        {5, 0, {44 + 250, 448 - 209}},
        {10, 5, {44 + 500, 448 - 418}},
        {2.51, -4.99, {44 + 125, 448 - 0}},  // 125.5 and 0.418 truncated
        {-1, -6, {44 - 50, 448 + 41}},       // outside the plot: not clipped
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + ", " + std::to_string(c.y));
        POINT device{};
        ASSERT_TRUE(GraphToClient(graph_, c.x, c.y, &device));
        EXPECT_EQ(device.x, c.device.x);
        EXPECT_EQ(device.y, c.device.y);
        double x = 0;
        double y = 0;
        ClientToGraph(graph_, device.x, device.y, &x, &y);
        // Back within the one logical unit the truncation lost.
        EXPECT_LE(std::abs(x - c.x), 1 / 50.0);
        EXPECT_LE(std::abs(y - c.y), 1 / 41.8);
    }
    double x = 0;
    double y = 0;
    ClientToGraph(graph_, 44 + 100, 448 - 209, &x, &y);
    EXPECT_DOUBLE_EQ(x, 2);
    EXPECT_DOUBLE_EQ(y, 209 / 41.8 - 5);
}

TEST_F(GraphCoordinates, BadHandlesWriteNothing) {
    ASSERT_NE(Open(), GRAPH_ERROR);
    POINT device{7, 7};
    EXPECT_FALSE(GraphToClient(graph_, 1, 1, nullptr));
    const HGRAPH closed = graph_;
    ASSERT_EQ(Close(), 0);
    EXPECT_FALSE(GraphToClient(closed, 1, 1, &device));
    EXPECT_EQ(device.x, 7);
    double x = 3;
    double y = 4;
    ClientToGraph(closed, 10, 10, &x, &y);
    EXPECT_EQ(x, 3);
    EXPECT_EQ(y, 4);
}

}  // namespace
}  // namespace plot32::testing
