// Which back end VARNE_SERVICE names.
#include <gtest/gtest.h>

#include "ServiceChoice.h"

TEST(ChooseService, NamesAndRefusals) {
    const struct {
        const char* value;  // null: unset
        std::optional<ServiceKind> expected;
    } rows[] = {
        {nullptr, ServiceKind::kFprintd},
        {"fprintd", ServiceKind::kFprintd},
        {"simulated", ServiceKind::kSimulated},
        {"", std::nullopt},
        {"Fprintd", std::nullopt},
        {"simulated ", std::nullopt},
        {"sim", std::nullopt},
        {"fprintd,simulated", std::nullopt},
    };
    for (const auto& row : rows) {
        const std::string shown = row.value == nullptr ? "(unset)" : row.value;
        std::string error;
        EXPECT_EQ(ChooseService(row.value, &error), row.expected) << shown;
        if (row.expected) {
            EXPECT_TRUE(error.empty()) << shown;
        } else {
            EXPECT_EQ(error, std::string("VARNE_SERVICE: unknown back end \"") + row.value +
                                 "\" (expected fprintd or simulated)");
        }
    }
}
