#include "store/CalibrationFile.h"

#include "common/Files.h"
#include "common/Numeric.h"
#include "common/TextRecord.h"
#include "store/StoreText.h"

#include <optional>

namespace trv {

namespace {

std::optional<int16_t> settingValue(const std::string& text) {
    if (!isNumber(text)) return std::nullopt;
    double v = leadingNumber(text);
    if (!(v > -32768.5 && v < 32767.5)) return std::nullopt;
    return static_cast<int16_t>(roundHalfEven(v));
}

} // namespace

bool loadCalibration(CalibrationTable& table, const std::string& programFolder) {
    auto content = readStoreFile(joinPath(programFolder, kCalibrationFileName));
    if (!content || content->empty()) return false;
    std::vector<std::string> lines = splitLines(*content);
    size_t k = 0;
    for (size_t i = 1; i < lines.size() && k < kSlots; ++i) {
        if (lines[i].empty()) continue;
        std::string line;
        for (char c : lines[i])
            if (c != '"') line += c;
        size_t first = line.find(',');
        size_t second = first == std::string::npos ? first : line.find(',', first + 1);
        if (second == std::string::npos) return false;
        auto power = settingValue(line.substr(first + 1, second - first - 1));
        auto gain = settingValue(line.substr(second + 1));
        if (!power || !gain) return false;
        table.Channel_PinHole[k] = *power;
        table.Channel_Gain[k] = *gain;
        ++k;
    }
    return true;
}

std::string calibrationFileText(const CalibrationTable& t) {
    RecordWriter w;
    w.header("<Num_Channel>, <PinHole>, <Gain> ");
    for (size_t c = 0; c < kChannels; ++c)
        w.printed(std::to_string(c) + "," + std::to_string(t.Channel_PinHole[c]) + "," +
                  std::to_string(t.Channel_Gain[c]));
    return w.str();
}

bool saveCalibration(const CalibrationTable& table, const std::string& programFolder) {
    return writeFileAtomic(joinPath(programFolder, kCalibrationFileName),
                           calibrationFileText(table));
}

bool resetAndSaveCalibration(CalibrationTable& table, const std::string& programFolder) {
    for (size_t c = 0; c < kChannels; ++c) {
        table.Channel_PinHole[c] = 2;
        table.Channel_Gain[c] = 3;
    }
    return saveCalibration(table, programFolder);
}

} // namespace trv
