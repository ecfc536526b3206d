// The copy-data protocol: what a block another program sends hands over.

#include "main/CopyData.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace pw;

TEST(CopyDataText, ReadsAtMostTheBlockAndStopsAtTheFirstNul) {
    const char withNul[] = "C:\\Folder\0trailing";
    EXPECT_EQ(CopyDataText(withNul, sizeof withNul), "C:\\Folder");
    const char noNul[4] = {'C', ':', '\\', 'X'};
    EXPECT_EQ(CopyDataText(noNul, sizeof noNul), "C:\\X") << "no read past the block";
    EXPECT_EQ(CopyDataText(noNul, 2), "C:");
    EXPECT_EQ(CopyDataText(nullptr, 10), "");
    EXPECT_EQ(CopyDataText(withNul, 0), "");
    const std::vector<char> big(1 << 20, 'a');
    EXPECT_EQ(CopyDataText(big.data(), static_cast<unsigned long>(big.size())).size(), big.size());
}
