#include "modules/chart_recording.h"

#include <cctype>
#include <cmath>

#include "uilang/conversions.h"
#include "uilang/runtime_error.h"

namespace larkspur::chart {
namespace {

constexpr const char* kLineEnd = "\r\n";

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string Trimmed(const std::string& text) {
    std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return "";
    std::size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// An optional sign, digits with an optional point, an optional exponent; at least one digit
// before the exponent.
bool IsNumberText(const std::string& text) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    if (i < n && (text[i] == '+' || text[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (i < n && std::isdigit(static_cast<unsigned char>(text[i]))) {
        ++i;
        ++digits;
    }
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && std::isdigit(static_cast<unsigned char>(text[i]))) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return false;
    if (i < n && (text[i] == 'E' || text[i] == 'e')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-'))
            ++i;
        std::size_t exponent = 0;
        while (i < n && std::isdigit(static_cast<unsigned char>(text[i]))) {
            ++i;
            ++exponent;
        }
        if (exponent == 0)
            return false;
    }
    return i == n;
}

// Splits a line at the commas outside quotes; a quoted field keeps what lies between its
// quotes, and anything after its closing quote up to the comma is dropped.
std::vector<std::string> SplitLine(const std::string& line, std::vector<bool>& quoted) {
    std::vector<std::string> fields;
    std::size_t i = 0;
    const std::size_t n = line.size();
    while (true) {
        while (i < n && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        std::string field;
        bool isQuoted = false;
        if (i < n && line[i] == '"') {
            isQuoted = true;
            std::size_t close = line.find('"', i + 1);
            if (close == std::string::npos)
                close = n;
            field = line.substr(i + 1, close - i - 1);
            i = close < n ? close + 1 : n;
            std::size_t comma = line.find(',', i);
            i = comma == std::string::npos ? n : comma;
        } else {
            std::size_t comma = line.find(',', i);
            std::size_t end = comma == std::string::npos ? n : comma;
            field = Trimmed(line.substr(i, end - i));
            i = end;
        }
        fields.push_back(field);
        quoted.push_back(isQuoted);
        if (i >= n)
            break;
        ++i;  // the comma
    }
    return fields;
}

}  // namespace

std::string HeaderLine(const RecordingHeader& header) {
    return std::to_string(header.channelCount) + "," + uilang::CStr(header.seconds) + "," +
           Quoted(header.board) + "," + Quoted(header.stamp);
}

std::string RecordLine(const ChartRecord& record) {
    return std::to_string(record.channel) + "," + uilang::CStr(record.volts) + "," +
           std::to_string(record.tick);
}

void TouchFile(const std::string& path) {
    std::ofstream file(path, std::ios::app | std::ios::binary);
    if (!file)
        uilang::Raise(kErrPathFileAccess);
}

void WriteRecording(const std::string& path, const RecordingHeader& header,
                    const ChartRecord* records, std::int32_t count) {
    std::ofstream file(path, std::ios::trunc | std::ios::binary);
    if (!file)
        uilang::Raise(kErrPathFileAccess);
    file << HeaderLine(header) << kLineEnd;
    for (std::int32_t i = 0; i < count && file; ++i)
        file << RecordLine(records[i]) << kLineEnd;
    file.close();
    if (file.fail())
        uilang::Raise(kErrDeviceIo);
}

RecordingReader::RecordingReader(const std::string& path) : file_(path, std::ios::binary) {
    if (!file_)
        uilang::Raise(kErrFileNotFound);
}

bool RecordingReader::Fill() {
    std::string line;
    while (next_ >= pending_.size()) {
        if (!std::getline(file_, line))
            return false;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (Trimmed(line).empty())
            continue;
        std::vector<bool> quoted;
        std::vector<std::string> texts = SplitLine(line, quoted);
        pending_.clear();
        next_ = 0;
        for (std::size_t i = 0; i < texts.size(); ++i)
            pending_.push_back({texts[i], quoted[i]});
    }
    return true;
}

bool RecordingReader::AtEnd() {
    return !Fill();
}

RecordingReader::Field RecordingReader::Next() {
    if (!Fill())
        uilang::Raise(kErrInputPastEnd);
    return pending_[next_++];
}

std::int16_t RecordingReader::Short() {
    Field field = Next();
    if (field.quoted || !IsNumberText(field.text))
        uilang::Raise(uilang::kErrTypeMismatch);
    return uilang::CInt(uilang::Val(field.text));
}

float RecordingReader::Single() {
    Field field = Next();
    if (field.quoted || !IsNumberText(field.text))
        uilang::Raise(uilang::kErrTypeMismatch);
    double value = uilang::Val(field.text);
    if (!std::isfinite(value))
        uilang::Raise(uilang::kErrOverflow);
    return uilang::CSng(value);
}

std::string RecordingReader::Text() {
    return Next().text;
}

ReadHeader RecordingReader::Header() {
    ReadHeader header;
    header.channelCount = Short();
    header.seconds = Single();
    header.board = Text();
    header.stamp = Text();
    return header;
}

ChartRecord RecordingReader::Record() {
    ChartRecord record;
    record.channel = Short();
    record.volts = Single();
    record.tick = Short();
    return record;
}

}  // namespace larkspur::chart
