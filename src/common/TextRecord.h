// The text record syntax of every store file: items separated by commas,
// texts in double quotes, lines ended by CR LF. One reader and one writer
// serve all store files.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace trv {

// Raised by RecordReader when a read fails (past the end of the data, a
// number out of the target's range). Loaders catch it and fall back.
struct RecordError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class RecordReader {
public:
    explicit RecordReader(std::string data) : data_(std::move(data)) {}

    // The next item as text: leading blanks skipped; a quoted item runs to
    // its closing quote (commas and line breaks included); an unquoted item
    // runs to the next comma or line end, trailing blanks removed. The
    // separator after the item is consumed. Raises RecordError at the end.
    std::string item();

    // The next item as a number: the number at the start of the item, 0 when
    // it does not start with one.
    double real();
    // As real(), rounded half to even; RecordError when outside 16 bits.
    int16_t int16();
    // As real(), rounded half to even; RecordError when outside 32 bits.
    int32_t int32();

    // The rest of the current line without its line end; RecordError at the
    // end of the data.
    std::string line();

    // True while anything but blanks and line ends remains.
    bool hasData() const;
    // True when the position is at the very end of the data.
    bool atEnd() const { return pos_ >= data_.size(); }

    size_t position() const { return pos_; }

private:
    void skipBlanks();
    void consumeSeparator();
    std::string data_;
    size_t pos_ = 0;
};

// Builds the text of a store file; records end with CR LF.
class RecordWriter {
public:
    // Items of the current record; a comma goes between items.
    RecordWriter& text(std::string_view s);
    RecordWriter& integer(long long v);
    RecordWriter& real(double v);
    // Ends the current record with CR LF.
    RecordWriter& end();

    // A header record: one quoted text item and CR LF.
    RecordWriter& header(std::string_view s) { return text(s).end(); }
    // A printed line: the text verbatim and CR LF.
    RecordWriter& printed(std::string_view s);

    const std::string& str() const { return out_; }

private:
    void separate();
    std::string out_;
    bool inRecord_ = false;
};

// A text item can never hold a double quote (there is no escaping); a name a
// user typed has its double quotes replaced by single quotes before it is
// stored, so no store file can be corrupted by it. Line ends are kept for the
// items that carry several lines (comments).
std::string safeTextItem(std::string_view s);

} // namespace trv
