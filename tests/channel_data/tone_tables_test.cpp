#include "channel_data/tone_tables.h"

#include <gtest/gtest.h>

using namespace kr4720;

namespace {

// Written out here rather than taken from the code, so that a wrong entry
// anywhere in the program's lists shows.
const std::vector<std::string> kTones = {
    "67.0",  "69.3",  "71.9",  "74.4",  "77.0",  "79.7",  "82.5",  "85.4",  "88.5",  "91.5",
    "94.8",  "97.4",  "100.0", "103.5", "107.2", "110.9", "114.8", "118.8", "123.0", "127.3",
    "131.8", "136.5", "141.3", "146.2", "151.4", "156.7", "162.2", "167.9", "173.8", "179.9",
    "186.2", "192.8", "203.5", "210.7", "218.1", "225.7", "233.6", "241.8", "250.3"};
const std::vector<std::string> kCodes = {
    "023", "025", "026", "031", "032", "043", "047", "051", "054", "065", "071", "072",
    "073", "074", "114", "115", "116", "125", "131", "132", "134", "143", "152", "155",
    "156", "162", "165", "172", "174", "205", "223", "226", "243", "244", "245", "251",
    "261", "263", "265", "271", "306", "311", "315", "331", "343", "346", "351", "364",
    "365", "371", "411", "412", "413", "423", "431", "432", "445", "464", "465", "466",
    "503", "506", "516", "532", "546", "565", "606", "612", "624", "627", "631", "632",
    "654", "662", "664", "703", "712", "723", "731", "732", "734", "743", "754"};

std::vector<std::string> with(std::vector<std::string> list, std::vector<std::string> tail) {
    list.insert(list.end(), tail.begin(), tail.end());
    return list;
}

} // namespace

// FindDcsIndex is checked through the tone fields of the records.
TEST(DcsCodes, HoldEveryCodeAtItsIndex) {
    DcsCodes codes;
    EXPECT_EQ(codes.entry(1), "");
    codes.fill();
    for (int i = -1; i <= 101; ++i) {
        const bool listed = i >= 1 && i <= 83;
        EXPECT_EQ(codes.entry(i), listed ? kCodes[static_cast<std::size_t>(i - 1)] : "") << i;
    }
}

TEST(PickLists, HoldEveryToneAndCodeInOrderWithTheBlanks) {
    EXPECT_EQ(receiveTonePickList(), with(kTones, {" ", " ", "", "  "}));
    EXPECT_EQ(transmitTonePickList(), with(kTones, {" ", " "}));
    EXPECT_EQ(receiveCodePickList(), with(kCodes, {" ", " ", " "}));
    EXPECT_EQ(transmitCodePickList(), with(kCodes, {" ", " "}));
}
