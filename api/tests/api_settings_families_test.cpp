// Settings validated against the real board families: each subsystem is opened with the tables
// its family's extension module hands out, as the library does when a board is opened.
#include <functional>
#include <string>
#include <vector>

#include "api_test_support.h"
#include "extension_module.h"
#include "win32/module.h"

namespace hxda::test {
namespace {

using PersonalityProc = BOOL(WINAPI*)(UINT boardType, LPCSTR boardName, UINT subsystemType,
                                      UINT element, PersonalityRecord* record);

double clockFrequency(HDASS h) {
    double hertz = 0;
    hxDaGetClockFrequency(h, &hertz);
    return hertz;
}

double gainOfEntry0(HDASS h) {
    double gain = 0;
    hxDaGetGainListEntry(h, 0, &gain);
    return gain;
}

// The value a 32.32 field gives back for `value`.
double stored(double value) {
    return decodeFixedPoint(encodeFixedPoint(value));
}

struct Check {
    const char* what;
    std::function<HXSTATUS(HDASS)> call;
    HXSTATUS expected;
    std::function<double(HDASS)> read = nullptr;  // read back after the call
    double value = 0;
};

struct FamilyCase {
    const char* name;
    const char* module;
    UINT boardType;
    UINT subsystemType;
    UINT element;
    std::vector<Check> checks;
};

void PrintTo(const FamilyCase& c, std::ostream* os) {
    *os << c.name;
}

HXSTATUS getTrigger(HDASS h) {
    UINT source = 0;
    return hxDaGetTrigger(h, &source);
}

const std::vector<FamilyCase>& familyCases() {
    static const std::vector<FamilyCase> cases = {
        {"Mq5120AnalogInput",
         "Mq5120",
         4,
         HXSS_AD,
         0,
         {
             {"list of 1024", [](HDASS h) { return hxDaSetChannelListSize(h, 1024); }, HXNOERROR},
             {"list of 1025", [](HDASS h) { return hxDaSetChannelListSize(h, 1025); },
              HXINVALIDLISTSIZE},
             {"last entry, last channel",
              [](HDASS h) { return hxDaSetChannelListEntry(h, 1023, 26); }, HXNOERROR},
             {"channel 27", [](HDASS h) { return hxDaSetChannelListEntry(h, 0, 27); },
              HXINVALIDCHANNEL},
             {"rising threshold", [](HDASS h) { return hxDaSetTrigger(h, 1200); }, HXNOERROR},
             {"falling threshold", [](HDASS h) { return hxDaSetTrigger(h, 1201); }, HXNOTSUPPORTED},
             {"trigger 302", [](HDASS h) { return hxDaSetTrigger(h, 302); }, HXINVALIDTRIGGER},
             {"two's complement", [](HDASS h) { return hxDaSetEncoding(h, 201); }, HXNOTSUPPORTED},
             {"+-10 V", [](HDASS h) { return hxDaSetRange(h, 10, -10); }, HXNOERROR},
             {"+-5 V", [](HDASS h) { return hxDaSetRange(h, 5, -5); }, HXINVALIDRANGE},
             {"256 scans", [](HDASS h) { return hxDaSetMultiscanCount(h, 256); }, HXNOERROR},
             {"257 scans", [](HDASS h) { return hxDaSetMultiscanCount(h, 257); },
              HXINVALIDMULTISCANCOUNT},
             {"clock above the maximum", [](HDASS h) { return hxDaSetClockFrequency(h, 1e9); },
              HXNOERROR, clockFrequency, 500000.0},
             {"gain 3", [](HDASS h) { return hxDaSetGainListEntry(h, 0, 3.0); }, HXNOERROR,
              gainOfEntry0, 2.0},
         }},
        {"Mq5120Counter",
         "Mq5120",
         4,
         HXSS_CT,
         3,
         {
             {"up/down", [](HDASS h) { return hxDaSetCTMode(h, HXCTMODE_UPDOWN); }, HXNOERROR},
             {"continuous measure", [](HDASS h) { return hxDaSetCTMode(h, HXCTMODE_CONTMEASURE); },
              HXNOTSUPPORTED},
             {"cascade", [](HDASS h) { return hxDaSetCascadeMode(h, HXCASCADE_WITHNEXT); },
              HXNOTSUPPORTED},
             {"clock-falling start edge",
              [](HDASS h) { return hxDaSetMeasureStartEdge(h, HXEDGE_CLOCKFALLING); }, HXNOERROR},
             {"falling-edge gate", [](HDASS h) { return hxDaSetGateType(h, HXGATE_FALLINGEDGE); },
              HXNOERROR},
             {"level-change gate", [](HDASS h) { return hxDaSetGateType(h, HXGATE_LEVELCHANGE); },
              HXNOTSUPPORTED},
             {"wrap mode", [](HDASS h) { return hxDaSetWrapMode(h, HXWRAP_NONE); }, HXNOTSUPPORTED},
             {"width 101", [](HDASS h) { return hxDaSetPulseWidth(h, 101); }, HXINVALIDPULSEWIDTH},
         }},
        {"Mq5200AnalogInput",
         "Mq5200",
         0x5201,
         HXSS_AD,
         0,
         {
             {"0-10 V", [](HDASS h) { return hxDaSetRange(h, 10, 0); }, HXNOERROR},
             {"0-5 V", [](HDASS h) { return hxDaSetRange(h, 5, 0); }, HXINVALIDRANGE},
             {"list of 33", [](HDASS h) { return hxDaSetChannelListSize(h, 33); },
              HXINVALIDLISTSIZE},
             {"clock below the minimum", [](HDASS h) { return hxDaSetClockFrequency(h, 0.1); },
              HXNOERROR, clockFrequency, stored(0.75)},
         }},
        {"Mq5200AnalogOutput",
         "Mq5200",
         0x5202,
         HXSS_DA,
         0,
         {
             {"continuous flow", [](HDASS h) { return hxDaSetDataFlow(h, HXDF_CONTINUOUS); },
              HXNOTSUPPORTED},
             {"-10..5 V mixes two entries", [](HDASS h) { return hxDaSetRange(h, 5, -10); },
              HXINVALIDRANGE},
             {"0-5 V", [](HDASS h) { return hxDaSetRange(h, 5, 0); }, HXNOERROR},
         }},
        {"Mq5200Counter",
         "Mq5200",
         0x5202,
         HXSS_CT,
         1,
         {
             {"no edge measurement",
              [](HDASS h) { return hxDaSetMeasureStartEdge(h, HXEDGE_GATERISING); }, HXINVALIDEDGE},
             {"falling-edge gate", [](HDASS h) { return hxDaSetGateType(h, HXGATE_FALLINGEDGE); },
              HXNOERROR},
             {"up/down", [](HDASS h) { return hxDaSetCTMode(h, HXCTMODE_UPDOWN); }, HXNOTSUPPORTED},
         }},
        {"Mq5130DigitalInput",
         "Mq5130",
         0x5130,
         HXSS_DIN,
         0,
         {
             {"24 bits", [](HDASS h) { return hxDaSetResolution(h, 24); }, HXNOERROR},
             {"33 bits", [](HDASS h) { return hxDaSetResolution(h, 33); }, HXINVALIDRESOLUTION},
             {"7 bits", [](HDASS h) { return hxDaSetResolution(h, 7); }, HXINVALIDRESOLUTION},
             {"list", [](HDASS h) { return hxDaSetChannelListSize(h, 1); }, HXNOTSUPPORTED},
             {"external trigger", [](HDASS h) { return hxDaSetTrigger(h, HXTRIG_EXTERNAL); },
              HXNOTSUPPORTED},
         }},
        {"Mq5130DigitalOutput",
         "Mq5130",
         0x5130,
         HXSS_DOUT,
         0,
         {
             {"no trigger", getTrigger, HXNOTSUPPORTED},
             {"8 bits", [](HDASS h) { return hxDaSetResolution(h, 8); }, HXNOERROR},
         }},
        {"MQ5310AnalogInput",
         "MQ5310",
         0,
         HXSS_AD,
         0,
         {
             {"binary", [](HDASS h) { return hxDaSetEncoding(h, HXENCODING_BINARY); },
              HXNOTSUPPORTED},
             {"list of 32", [](HDASS h) { return hxDaSetChannelListSize(h, 32); }, HXNOERROR},
             {"clock below the minimum", [](HDASS h) { return hxDaSetClockFrequency(h, 10); },
              HXNOERROR, clockFrequency, 30.0},
         }},
        {"MQ5310LowRangeInput",
         "MQ5310",
         1,
         HXSS_AD,
         0,
         {
             {"0-2.44 V", [](HDASS h) { return hxDaSetRange(h, 2.44, 0); }, HXNOERROR},
             {"+-10 V", [](HDASS h) { return hxDaSetRange(h, 10, -10); }, HXINVALIDRANGE},
             {"gain 20", [](HDASS h) { return hxDaSetGainListEntry(h, 0, 20.0); }, HXNOERROR,
              gainOfEntry0, 16.0},
         }},
    };
    return cases;
}

class BoardFamily : public ApiFixture, public ::testing::WithParamInterface<FamilyCase> {};

TEST_P(BoardFamily, SettingsFollowTheFamilysTables) {
    const FamilyCase& c = GetParam();
    const boardext::testing::ExtensionModule module(c.module);
    // The library's own view of the record has the extension's layout.
    const auto personality = reinterpret_cast<PersonalityProc>(module.Personality());
    ASSERT_NE(personality, nullptr) << c.module;
    PersonalityRecord record;
    ASSERT_EQ(personality(c.boardType, "board", c.subsystemType, c.element, &record), TRUE);
    const HDASS hDass = open(c.subsystemType, false, &record);
    for (const Check& check : c.checks) {
        SCOPED_TRACE(check.what);
        EXPECT_EQ(check.call(hDass), check.expected);
        if (check.read) {
            EXPECT_EQ(check.read(hDass), check.value);
        }
    }
    hxDaReleaseDASS(hDass);
}

INSTANTIATE_TEST_SUITE_P(Settings, BoardFamily, ::testing::ValuesIn(familyCases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace hxda::test
