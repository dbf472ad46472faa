#include "model/captions.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace nyajkor {
namespace {

class NeighbourCaption : public ::testing::TestWithParam<std::tuple<double, std::string>> {};

TEST_P(NeighbourCaption, OneDecimalAtMostTwoSignificantDigits) {
    const auto [value, text] = GetParam();
    EXPECT_EQ(meanNeighboursCaption(value), text) << value;
}

// one decimal below 10; two digits and ".0" from 10 to below 99.5; from
// 99.5 on, two digits in exponent form without a plus sign
INSTANTIATE_TEST_SUITE_P(
    Values, NeighbourCaption,
    ::testing::Values(std::tuple{3.46, "3.5"}, std::tuple{12.34, "12.0"},
                      std::tuple{123.4, "1.2E2"}, std::tuple{0.0, "0.0"},
                      std::tuple{0.04, "0.0"}, std::tuple{0.96, "1.0"},
                      std::tuple{9.94, "9.9"}, std::tuple{9.96, "10.0"},
                      std::tuple{10.0, "10.0"}, std::tuple{17.6, "18.0"},
                      std::tuple{99.4, "99.0"}, std::tuple{99.5, "1.0E2"},
                      std::tuple{100.0, "1.0E2"}, std::tuple{1234.5, "1.2E3"},
                      std::tuple{68920.0, "6.9E4"}));

TEST(NeighbourCaption, UsesTheGivenDecimalSeparator) {
    EXPECT_EQ(meanNeighboursCaption(3.46, ','), "3,5");
    EXPECT_EQ(meanNeighboursCaption(12.34, ','), "12,0");
    EXPECT_EQ(meanNeighboursCaption(123.4, ','), "1,2E2");
}

TEST(OrderCaption, PlainDecimalDigits) {
    EXPECT_EQ(orderPercentCaption(0), "0");
    EXPECT_EQ(orderPercentCaption(7), "7");
    EXPECT_EQ(orderPercentCaption(38), "38");
    EXPECT_EQ(orderPercentCaption(100), "100");
}

}  // namespace
}  // namespace nyajkor
