// doses.csv: written byte for byte, read back, read as spreadsheets save it,
// and every line that cannot be taken named with its reason.
#include "analysis/DoseMap.h"

#include <gtest/gtest.h>

namespace trv {
namespace {

TEST(DoseMap, WritesAndReadsBackTheSameMap) {
    DoseMap m;
    m.unit = "uM";
    m.entries = {{0, "Ivermectin", 0.01}, {3, "Levamisole \"HCl\", salt", 2.5}, {11, "", 0}};
    const std::string text = doseMapText(m);
    EXPECT_EQ(text, "group,compound,concentration (uM)\r\n"
                    "0,\"Ivermectin\",0.01\r\n"
                    "3,\"Levamisole \"\"HCl\"\", salt\",2.5\r\n"
                    "11,\"\",0\r\n");
    const DoseMapRead r = parseDoseMap(text);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.map.unit, "uM");
    ASSERT_EQ(r.map.entries.size(), 3u);
    EXPECT_EQ(r.map.entries[1].compound, "Levamisole \"HCl\", salt");
    EXPECT_EQ(r.map.entries[1].concentration, 2.5);
    EXPECT_EQ(r.map.entries[2].group, 11);
}

TEST(DoseMap, ReadsSemicolonsAndDecimalCommasWithoutAHeader) {
    const DoseMapRead r = parseDoseMap("4; Praziquantel ;0,75\n\n5;Praziquantel;1,5\n");
    ASSERT_TRUE(r.ok()) << r.errors.front();
    EXPECT_EQ(r.map.unit, "");
    ASSERT_EQ(r.map.entries.size(), 2u);
    EXPECT_EQ(r.map.entries[0].compound, "Praziquantel");
    EXPECT_EQ(r.map.entries[0].concentration, 0.75);

    // A byte-order mark before the header; a quoted decimal comma with other
    // than three digits after it is a decimal comma.
    const DoseMapRead bom =
        parseDoseMap("\xEF\xBB\xBFgroup,compound,concentration (uM)\r\n1,\"A\",\"1,5\"\r\n");
    ASSERT_TRUE(bom.ok()) << bom.errors.front();
    EXPECT_EQ(bom.map.unit, "uM");
    ASSERT_EQ(bom.map.entries.size(), 1u);
    EXPECT_EQ(bom.map.entries[0].concentration, 1.5);
}

TEST(DoseMap, NamesEveryLineItCannotTake) {
    struct Case {
        const char* line;
        const char* error;
    } cases[] = {
        {"1,\"A\",abc", "line 2: concentration \"abc\" is not a number"},
        {"1,\"A\",", "line 2: concentration \"\" is not a number"},
        {"1,\"A\",-0.5", "line 2: concentration -0.5 is negative"},
        {"1,\"A\",1e999", "line 2: concentration \"1e999\" is not a number"},
        {"384,\"A\",1", "line 2: group \"384\" is not a group number (0 to 383)"},
        {"1.5,\"A\",1", "line 2: group \"1.5\" is not a group number (0 to 383)"},
        {"x,\"A\",1", "line 2: group \"x\" is not a group number (0 to 383)"},
        {"1,\"\",3", "line 2: a concentration above 0 needs a compound"},
        {"1,A,0,5",
         "line 2: 4 fields where 3 are expected (a decimal comma needs quotes, or \";\" between "
         "the fields)"},
        {"7,\"A\",1\r\n7,\"B\",2", "line 3: group 7 is already given on line 2"},
        // Thousands separators are refused, never read as a decimal comma.
        {"1,\"A\",\"1,000\"",
         "line 2: concentration \"1,000\" may hold a thousands separator: write it without "
         "one, with \".\" as the decimal mark"},
        {"1,\"A\",\" 10,000\"",
         "line 2: concentration \"10,000\" may hold a thousands separator: write it without "
         "one, with \".\" as the decimal mark"},
        {"1,\"A\",\"1.000,5\"",
         "line 2: concentration \"1.000,5\" holds more than one separator: write it without "
         "thousands separators"},
        {"1,\"A\",\"1,000,000\"",
         "line 2: concentration \"1,000,000\" holds more than one separator: write it without "
         "thousands separators"},
    };
    for (const Case& c : cases) {
        const DoseMapRead r =
            parseDoseMap("group,compound,concentration\r\n" + std::string(c.line) + "\r\n");
        ASSERT_EQ(r.errors.size(), 1u) << c.line;
        EXPECT_EQ(r.errors[0], c.error);
    }
}

} // namespace
} // namespace trv
