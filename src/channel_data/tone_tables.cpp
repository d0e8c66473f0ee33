#include "channel_data/tone_tables.h"

#include "text/number_text.h"

namespace kr4720 {

const std::array<std::string_view, 39> kCtcssTones = {
    "67.0",  "69.3",  "71.9",  "74.4",  "77.0",  "79.7",  "82.5",  "85.4",  "88.5",  "91.5",
    "94.8",  "97.4",  "100.0", "103.5", "107.2", "110.9", "114.8", "118.8", "123.0", "127.3",
    "131.8", "136.5", "141.3", "146.2", "151.4", "156.7", "162.2", "167.9", "173.8", "179.9",
    "186.2", "192.8", "203.5", "210.7", "218.1", "225.7", "233.6", "241.8", "250.3"};

const std::array<std::string_view, 83> kDcsCodeList = {
    "023", "025", "026", "031", "032", "043", "047", "051", "054", "065", "071", "072",
    "073", "074", "114", "115", "116", "125", "131", "132", "134", "143", "152", "155",
    "156", "162", "165", "172", "174", "205", "223", "226", "243", "244", "245", "251",
    "261", "263", "265", "271", "306", "311", "315", "331", "343", "346", "351", "364",
    "365", "371", "411", "412", "413", "423", "431", "432", "445", "464", "465", "466",
    "503", "506", "516", "532", "546", "565", "606", "612", "624", "627", "631", "632",
    "654", "662", "664", "703", "712", "723", "731", "732", "734", "743", "754"};

void DcsCodes::fill() {
    for (std::size_t i = 0; i < kDcsCodeList.size(); ++i) {
        entries_[i + 1] = std::string(kDcsCodeList[i]);
    }
}

const std::string& DcsCodes::entry(int index) const {
    static const std::string empty;
    return index >= 0 && index < kSize ? entries_[static_cast<std::size_t>(index)] : empty;
}

std::int16_t FindDcsIndex(const DcsCodes& codes, std::string_view code) {
    std::int16_t i = 0;
    bool found = false;
    while (i < 84 && !found) {
        ++i;
        found = codes.entry(i) == code;
    }
    return found ? i : 0;
}

namespace {

template <std::size_t N>
std::vector<std::string> listWith(const std::array<std::string_view, N>& values,
                                  std::initializer_list<std::string_view> tail) {
    std::vector<std::string> list(values.begin(), values.end());
    list.insert(list.end(), tail.begin(), tail.end());
    return list;
}

} // namespace

std::vector<std::string> receiveTonePickList() {
    return listWith(kCtcssTones, {" ", " ", "", "  "});
}
std::vector<std::string> receiveCodePickList() {
    return listWith(kDcsCodeList, {" ", " ", " "});
}
std::vector<std::string> transmitTonePickList() {
    return listWith(kCtcssTones, {" ", " "});
}
std::vector<std::string> transmitCodePickList() {
    return listWith(kDcsCodeList, {" ", " "});
}
std::vector<std::string> scanPickList() {
    return {"add", "del", "  "};
}
std::vector<std::string> busyLockoutPickList() {
    return {"off", "1", "2", " "};
}
std::vector<std::string> beatShiftPickList() {
    return {"off", "on", "  "};
}

std::optional<std::string_view> FindCtcssTone(double hz) {
    const auto tenths = text::scaledWholeNumber(hz, 1);
    if (!tenths) {
        return std::nullopt;
    }
    for (const std::string_view tone : kCtcssTones) {
        if (text::scaledWholeNumber(text::leadingNumberValue(tone), 1) == tenths) {
            return tone;
        }
    }
    return std::nullopt;
}

} // namespace kr4720
