// The strip chart's recording file: comma-separated text, one line per header or record, every
// line ending in CR LF. The header holds the channel count, the seconds per point, the board's
// name and the start stamp (both quoted); each record line holds channel, volts and tick.
// Numbers are written in the runtime's plain number form ("." as the decimal point whatever
// the locale, up to 7 significant digits for a single and 15 for a double, exponent form for
// very small or large magnitudes); texts are quoted as they are.
//
// Reading takes fields one after another, splitting lines at the commas outside quotes and
// dropping the blanks around a field and the quotes around a text. A number field takes an
// optional sign, digits with an optional "." (with or without a digit before it) and an optional
// exponent; any other text raises 13 (type mismatch), a number beyond its type 6 (overflow), and
// reading beyond the last field 62 (input past end of file).
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace larkspur::chart {

// One reading of the strip chart.
struct ChartRecord {
    std::int16_t channel = 0;
    float volts = 0;
    std::int16_t tick = 0;
};

struct RecordingHeader {
    std::int32_t channelCount = 0;
    double seconds = 0;
    std::string board;
    std::string stamp;
};

inline constexpr std::int32_t kErrInputPastEnd = 62;
inline constexpr std::int32_t kErrFileNotFound = 53;
inline constexpr std::int32_t kErrPathFileAccess = 75;
inline constexpr std::int32_t kErrDeviceIo = 57;

std::string HeaderLine(const RecordingHeader& header);
std::string RecordLine(const ChartRecord& record);

// Opens the file for appending and closes it again: an empty file when there was none, an
// existing file unchanged. Raises 75 when the path cannot be opened.
void TouchFile(const std::string& path);

// Truncates the file and writes the header and the records. Raises 75 when the path cannot be
// opened and 57 when a write fails; what was written stays.
void WriteRecording(const std::string& path, const RecordingHeader& header,
                    const ChartRecord* records, std::int32_t count);

// What the reader takes from a header: the count as a 16-bit integer, the seconds as a single.
struct ReadHeader {
    std::int16_t channelCount = 0;
    float seconds = 0;
    std::string board;
    std::string stamp;
};

class RecordingReader {
  public:
    // Raises 53 when there is no such file.
    explicit RecordingReader(const std::string& path);
    // True when no field is left.
    bool AtEnd();
    ReadHeader Header();
    ChartRecord Record();
    void Close() { file_.close(); }

  private:
    struct Field {
        std::string text;
        bool quoted = false;
    };
    Field Next();
    std::int16_t Short();
    float Single();
    std::string Text();
    bool Fill();

    std::ifstream file_;
    std::vector<Field> pending_;
    std::size_t next_ = 0;
};

}  // namespace larkspur::chart
