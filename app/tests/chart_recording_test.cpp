// The strip chart's recording file: the texts of its lines, a file written and read back, the
// number forms the reader takes, and damaged files stopping the reader with the runtime's
// errors.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "modules/chart_recording.h"
#include "uilang/runtime_error.h"

namespace larkspur::chart {
namespace {

namespace fs = std::filesystem;

std::int32_t ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const uilang::RuntimeError& error) {
        return error.Number();
    }
    return 0;
}

class RecordingFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = fs::temp_directory_path() / ("recording-" + std::to_string(::getpid()) + ".acq");
    }
    void TearDown() override { fs::remove(path_); }
    void Put(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
    std::string Contents() {
        std::ifstream file(path_, std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }
    fs::path path_;
};

TEST(RecordingLineTest, NumbersTakeThePlainFormAndTextsAreQuotedAsTheyAre) {
    EXPECT_EQ(HeaderLine({2, 0.1, "MQ5120(00)", "2026-12-11 04:50:00"}),
              "2,0.1,\"MQ5120(00)\",\"2026-12-11 04:50:00\"");
    EXPECT_EQ(HeaderLine({6, 60, "Board, A", ""}), "6,60,\"Board, A\",\"\"");
    struct Case {
        ChartRecord record;
        const char* line;
    };
    const Case cases[] = {
        {{0, 1.25f, 0}, "0,1.25,0"},       {{15, -9.999695f, 32767}, "15,-9.999695,32767"},
        {{3, -0.00001f, 7}, "3,-1E-05,7"}, {{1, 1234567.0f, 5}, "1,1234567,5"},
        {{1, 1.0E7f, 5}, "1,1E+07,5"},     {{2, 0.0f, -1}, "2,0,-1"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RecordLine(c.record), c.line);
}

TEST_F(RecordingFileTest, AWrittenRecordingReadsBackLineByLine) {
    const ChartRecord records[] = {{0, 1.25f, 0}, {1, -2.5f, 0}, {0, 1.2503f, 1}, {1, -2.4997f, 1}};
    WriteRecording(path_.string(), {2, 0.1, "MQ5120(00)", "stamp"}, records, 4);
    EXPECT_EQ(Contents(),
              "2,0.1,\"MQ5120(00)\",\"stamp\"\r\n0,1.25,0\r\n1,-2.5,0\r\n0,1.2503,1\r\n"
              "1,-2.4997,1\r\n");

    RecordingReader reader(path_.string());
    ASSERT_FALSE(reader.AtEnd());
    ReadHeader header = reader.Header();
    EXPECT_EQ(header.channelCount, 2);
    EXPECT_EQ(header.seconds, 0.1f);
    EXPECT_EQ(header.board, "MQ5120(00)");
    EXPECT_EQ(header.stamp, "stamp");
    for (const ChartRecord& expected : records) {
        ASSERT_FALSE(reader.AtEnd());
        ChartRecord read = reader.Record();
        EXPECT_EQ(read.channel, expected.channel);
        EXPECT_EQ(read.volts, expected.volts);
        EXPECT_EQ(read.tick, expected.tick);
    }
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_EQ(ErrorOf([&] { reader.Record(); }), kErrInputPastEnd);
}

TEST_F(RecordingFileTest, TouchingKeepsAFileAndMakesAMissingOneEmpty) {
    TouchFile(path_.string());
    EXPECT_TRUE(fs::exists(path_));
    EXPECT_EQ(fs::file_size(path_), 0u);
    EXPECT_TRUE(RecordingReader(path_.string()).AtEnd());
    Put("1,1,\"b\",\"s\"\r\n");
    TouchFile(path_.string());
    EXPECT_EQ(Contents(), "1,1,\"b\",\"s\"\r\n");
    EXPECT_EQ(ErrorOf([&] { TouchFile((path_ / "below-a-file").string()); }), kErrPathFileAccess);
    EXPECT_EQ(ErrorOf([&] { RecordingReader((path_.string() + ".none")); }), kErrFileNotFound);
}

TEST_F(RecordingFileTest, TheReaderTakesEveryNumberFormAndBlanksAroundFields) {
    Put(" 3 , .5 ,\"Board, A\" , stamp \n"
        "0, 0.5 ,1\r\n"
        "\r\n"
        "-1,+.25e1,2\r\n"
        "2,-5E-1,+3\r\n"
        "4,1.,1.4");
    RecordingReader reader(path_.string());
    ReadHeader header = reader.Header();
    EXPECT_EQ(header.channelCount, 3);
    EXPECT_EQ(header.seconds, 0.5f);
    EXPECT_EQ(header.board, "Board, A");
    EXPECT_EQ(header.stamp, "stamp");
    const ChartRecord expected[] = {{0, 0.5f, 1}, {-1, 2.5f, 2}, {2, -0.5f, 3}, {4, 1.0f, 1}};
    for (const ChartRecord& e : expected) {
        ChartRecord read = reader.Record();
        EXPECT_EQ(read.channel, e.channel);
        EXPECT_EQ(read.volts, e.volts);
        EXPECT_EQ(read.tick, e.tick);
    }
    EXPECT_TRUE(reader.AtEnd());
}

TEST_F(RecordingFileTest, AFieldOfTheWrongKindOrBeyondItsTypeStopsTheReader) {
    struct Case {
        const char* file;
        int goodRecords;  // records read before the failing one
        std::int32_t error;
    };
    const Case cases[] = {
        {"abc,1,\"b\",\"s\"\r\n", -1, uilang::kErrTypeMismatch},
        {"40000,1,\"b\",\"s\"\r\n", -1, uilang::kErrOverflow},
        {"1,,\"b\",\"s\"\r\n", -1, uilang::kErrTypeMismatch},
        {"1,\"1\",\"b\",\"s\"\r\n", -1, uilang::kErrTypeMismatch},
        {"1,1\r\n", -1, kErrInputPastEnd},
        {"1,1,\"b\",\"s\"\r\n0,1.5,0\r\n0,1.5.2,1\r\n", 1, uilang::kErrTypeMismatch},
        {"1,1,\"b\",\"s\"\r\n0,1E+39,0\r\n", 0, uilang::kErrOverflow},
        {"1,1,\"b\",\"s\"\r\n&H10,1,0\r\n", 0, uilang::kErrTypeMismatch},
        {"1,1,\"b\",\"s\"\r\n0,1,-40000\r\n", 0, uilang::kErrOverflow},
        {"1,1,\"b\",\"s\"\r\n0,1e,0\r\n", 0, uilang::kErrTypeMismatch},
        {"1,1,\"b\",\"s\"\r\n0,1\r\n", 0, kErrInputPastEnd},
        {"\x01\x02\xff,\x00\r\n", -1, uilang::kErrTypeMismatch},
    };
    for (const Case& c : cases) {
        Put(c.file);
        RecordingReader reader(path_.string());
        std::int32_t error = ErrorOf([&] {
            reader.Header();
            for (int i = 0; i <= c.goodRecords; ++i)
                reader.Record();
        });
        EXPECT_EQ(error, c.error) << c.file;
    }
}

}  // namespace
}  // namespace larkspur::chart
