#include "analysis/DoseMap.h"

#include "common/Files.h"
#include "common/Numeric.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <map>

namespace trv {

namespace {

constexpr int kHighestGroup = 383;

std::string trimmed(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return "";
    const size_t b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
}

std::string lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Splits one line into fields: a field in double quotes may hold the
// separator, and "" inside it stands for one quote.
std::vector<std::string> splitFields(const std::string& line, char sep) {
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false, wasQuoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"' && trimmed(field).empty()) {
            quoted = wasQuoted = true;
            field.clear();
        } else if (c == sep) {
            fields.push_back(wasQuoted ? field : trimmed(field));
            field.clear();
            wasQuoted = false;
        } else if (!wasQuoted || (c != ' ' && c != '\t')) {
            field += c;
        }
    }
    fields.push_back(wasQuoted ? field : trimmed(field));
    return fields;
}

// How often a character appears outside quotes.
int countOutsideQuotes(const std::string& line, char sep) {
    bool quoted = false;
    int n = 0;
    for (char c : line) {
        if (c == '"') quoted = !quoted;
        if (c == sep && !quoted) ++n;
    }
    return n;
}

std::vector<std::string> textLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string cur;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            lines.push_back(cur);
            cur.clear();
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            cur += text[i];
        }
    }
    if (!cur.empty()) lines.push_back(cur);
    return lines;
}

std::string quotedField(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"') out += '"';
        if (c != '\r' && c != '\n') out += c;
    }
    return out + "\"";
}

// The whole text as a finite number, read the same whatever the locale.
std::optional<double> finiteNumber(const std::string& text) {
    const std::string t = trimmed(text);
    if (t.empty() || !isNumber(t)) return std::nullopt;
    const char* begin = t.data() + (t[0] == '+' ? 1 : 0);
    double v = 0;
    const auto r = std::from_chars(begin, t.data() + t.size(), v);
    if (r.ec != std::errc() || r.ptr != t.data() + t.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

// A concentration whose separators cannot be read one way only.
std::optional<std::string> separatorProblem(const std::string& t, bool commaFile) {
    const auto commas = std::count(t.begin(), t.end(), ','),
               points = std::count(t.begin(), t.end(), '.');
    if (commas + points > 1)
        return "concentration \"" + t +
               "\" holds more than one separator: write it without thousands separators";
    const size_t comma = t.find(',');
    if (commaFile && comma != std::string::npos) {
        size_t digits = 0;
        for (size_t i = comma + 1; i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]));
             ++i)
            ++digits;
        if (digits == 3 && comma + 4 == t.size())
            return "concentration \"" + t +
                   "\" may hold a thousands separator: write it without one, with \".\" as "
                   "the decimal mark";
    }
    return std::nullopt;
}

} // namespace

std::optional<std::string> readDoseEntry(const std::string& group, const std::string& compound,
                                         const std::string& concentration, DoseEntry& entry,
                                         bool commaFile) {
    const double g = finiteNumber(group).value_or(-1);
    if (g < 0 || g > kHighestGroup || g != std::floor(g))
        return "group \"" + group + "\" is not a group number (0 to " +
               std::to_string(kHighestGroup) + ")";
    if (auto problem = separatorProblem(trimmed(concentration), commaFile)) return *problem;
    const std::optional<double> c = finiteNumber(commaAsPoint(concentration));
    if (!c) return "concentration \"" + concentration + "\" is not a number";
    if (*c < 0) return "concentration " + trimmed(concentration) + " is negative";
    if (*c > 0 && trimmed(compound).empty()) return "a concentration above 0 needs a compound";
    entry.group = static_cast<int>(g);
    entry.compound = trimmed(compound);
    entry.concentration = *c;
    return std::nullopt;
}

DoseMapRead parseDoseMap(const std::string& text) {
    DoseMapRead r;
    const std::vector<std::string> lines = textLines(text);
    char sep = ',';
    bool first = true;
    std::map<int, size_t> groupLine;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string line = lines[i];
        // The byte-order mark spreadsheets write before the first line.
        if (i == 0 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
        if (trimmed(line).empty()) continue;
        const std::string where = "line " + std::to_string(i + 1) + ": ";
        // Spreadsheets of a comma locale separate with ";" (and a decimal
        // comma may follow).
        if (first && countOutsideQuotes(line, ';') > countOutsideQuotes(line, ',')) sep = ';';
        std::vector<std::string> f = splitFields(line, sep);
        if (first) {
            first = false;
            if (lower(f[0]) == "group") {
                if (f.size() >= 3) {
                    const size_t open = f[2].find('('), close = f[2].rfind(')');
                    if (open != std::string::npos && close != std::string::npos && close > open)
                        r.map.unit = trimmed(f[2].substr(open + 1, close - open - 1));
                }
                continue;
            }
        }
        if (f.size() != 3) {
            std::string e = where + std::to_string(f.size()) + " fields where 3 are expected";
            if (f.size() == 4 && sep == ',')
                e += " (a decimal comma needs quotes, or \";\" between the fields)";
            r.errors.push_back(e);
            continue;
        }
        DoseEntry d;
        if (auto problem = readDoseEntry(f[0], f[1], f[2], d, sep == ',')) {
            r.errors.push_back(where + *problem);
            continue;
        }
        auto [it, added] = groupLine.emplace(d.group, i + 1);
        if (!added) {
            r.errors.push_back(where + "group " + std::to_string(d.group) +
                               " is already given on line " + std::to_string(it->second));
            continue;
        }
        r.map.entries.push_back(d);
    }
    return r;
}

std::string doseMapText(const DoseMap& map) {
    std::string unit;
    for (char c : map.unit)
        if (std::string_view(",;()\"\r\n").find(c) == std::string_view::npos) unit += c;
    unit = trimmed(unit);
    std::string out = "group,compound,concentration";
    if (!unit.empty()) out += " (" + unit + ")";
    out += "\r\n";
    for (const DoseEntry& e : map.entries)
        out += std::to_string(e.group) + "," + quotedField(e.compound) + "," +
               plainReal(e.concentration) + "\r\n";
    return out;
}

DoseMapRead readDoseMapFile(const std::string& path) {
    auto text = readWholeFile(path, 1024 * 1024);
    if (!text) {
        DoseMapRead r;
        r.errors.push_back(path + " cannot be read");
        return r;
    }
    return parseDoseMap(*text);
}

bool writeDoseMapFile(const std::string& path, const DoseMap& map) {
    return writeFileAtomic(path, doseMapText(map));
}

} // namespace trv
