#include "common/TextRecord.h"

#include "common/Numeric.h"

#include <cmath>
#include <limits>

namespace trv {

static bool isBlank(char c) { return c == ' ' || c == '\t'; }
static bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

void RecordReader::skipBlanks() {
    // Blank lines between records carry no item.
    while (pos_ < data_.size() && (isBlank(data_[pos_]) || isLineEnd(data_[pos_]))) ++pos_;
}

void RecordReader::consumeSeparator() {
    while (pos_ < data_.size() && isBlank(data_[pos_])) ++pos_;
    if (pos_ >= data_.size()) return;
    if (data_[pos_] == ',') {
        ++pos_;
    } else if (data_[pos_] == '\r') {
        ++pos_;
        if (pos_ < data_.size() && data_[pos_] == '\n') ++pos_;
    } else if (data_[pos_] == '\n') {
        ++pos_;
    }
}

std::string RecordReader::item() {
    skipBlanks();
    if (pos_ >= data_.size()) throw RecordError("read past the end of the data");
    std::string out;
    if (data_[pos_] == '"') {
        size_t close = data_.find('"', pos_ + 1);
        if (close == std::string::npos) throw RecordError("unterminated text item");
        out = data_.substr(pos_ + 1, close - pos_ - 1);
        pos_ = close + 1;
        // Anything between the closing quote and the separator is dropped.
        while (pos_ < data_.size() && data_[pos_] != ',' && !isLineEnd(data_[pos_])) ++pos_;
    } else {
        size_t start = pos_;
        while (pos_ < data_.size() && data_[pos_] != ',' && !isLineEnd(data_[pos_])) ++pos_;
        out = data_.substr(start, pos_ - start);
        while (!out.empty() && isBlank(out.back())) out.pop_back();
    }
    consumeSeparator();
    return out;
}

double RecordReader::real() { return leadingNumber(item()); }

int16_t RecordReader::int16() {
    double v = real();
    if (!(v > -32768.5 && v < 32767.5)) throw RecordError("number outside 16 bits");
    long long r = roundHalfEven(v);
    if (!fitsInt16(r)) throw RecordError("number outside 16 bits");
    return static_cast<int16_t>(r);
}

int32_t RecordReader::int32() {
    double v = real();
    if (!(v > -2147483648.5 && v < 2147483647.5)) throw RecordError("number outside 32 bits");
    return static_cast<int32_t>(roundHalfEven(v));
}

std::string RecordReader::line() {
    if (pos_ >= data_.size()) throw RecordError("read past the end of the data");
    size_t start = pos_;
    while (pos_ < data_.size() && !isLineEnd(data_[pos_])) ++pos_;
    std::string out = data_.substr(start, pos_ - start);
    if (pos_ < data_.size() && data_[pos_] == '\r') ++pos_;
    if (pos_ < data_.size() && data_[pos_] == '\n') ++pos_;
    return out;
}

bool RecordReader::hasData() const {
    for (size_t i = pos_; i < data_.size(); ++i)
        if (!isBlank(data_[i]) && !isLineEnd(data_[i])) return true;
    return false;
}

void RecordWriter::separate() {
    if (inRecord_) out_ += ',';
    inRecord_ = true;
}

RecordWriter& RecordWriter::text(std::string_view s) {
    separate();
    out_ += '"';
    out_ += safeTextItem(s);
    out_ += '"';
    return *this;
}

RecordWriter& RecordWriter::integer(long long v) {
    separate();
    out_ += std::to_string(v);
    return *this;
}

RecordWriter& RecordWriter::real(double v) {
    separate();
    out_ += plainReal(v);
    return *this;
}

RecordWriter& RecordWriter::end() {
    out_ += "\r\n";
    inRecord_ = false;
    return *this;
}

RecordWriter& RecordWriter::printed(std::string_view s) {
    if (inRecord_) end();
    out_ += s;
    out_ += "\r\n";
    return *this;
}

std::string safeTextItem(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c == '"') c = '\'';
    return out;
}

} // namespace trv
