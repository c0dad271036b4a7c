// Every sequence of a small alphabet of operations, up to a length, on a streaming subsystem, then
// its release: each buffer put to the subsystem has been freed by the library or is in the
// caller's hands, and no read is left with the driver.
#include <string>

#include "stream_fixture.h"

namespace hxda::test {
namespace {

// Flush moves the ready list into the done list; FlushInProcess names the first buffer put,
// wherever it is; Complete has the driver finish the oldest read.
enum class Step { Start, Stop, Abort, Reset, Config, Flush, FlushInProcess, Get, Put, Complete };
constexpr Step kAlphabet[] = {Step::Start,  Step::Stop,    Step::Abort,          Step::Reset,
                              Step::Config, Step::Flush,   Step::FlushInProcess, Step::Get,
                              Step::Put,    Step::Complete};
constexpr std::size_t kSteps = std::size(kAlphabet);
constexpr std::size_t kLongestSequence = 3;
constexpr std::size_t kFirstBuffers = 2;
constexpr UINT kFlushedSamples = 16;

const char* nameOf(Step step) {
    static const char* const names[] = {
        "start", "stop", "abort",   "reset", "config", "flush", "flush in process",
        "get",   "put",  "complete"};
    return names[static_cast<std::size_t>(step)];
}

class StreamSequences : public StreamFixture {
  protected:
    // Buffers the test made, and those in its hands (taken back, or never put).
    std::vector<HBUF> made;
    std::vector<HBUF> held;

    void putBuffer(HDASS hDass) {
        HBUF buffer = 0;
        if (!held.empty()) {
            buffer = held.back();
        } else {
            ASSERT_EQ(hxDmAllocBuffer(0, 64, &buffer), 0u);
            made.push_back(buffer);
            held.push_back(buffer);
        }
        if (hxDaPutBuffer(hDass, buffer) == HXNOERROR)
            held.erase(std::find(held.begin(), held.end(), buffer));
    }

    void run(HDASS hDass, Step step) {
        HBUF buffer = 0;
        switch (step) {
            case Step::Start:
                hxDaStart(hDass);
                break;
            case Step::Stop:
                hxDaStop(hDass);
                break;
            case Step::Abort:
                hxDaAbort(hDass);
                break;
            case Step::Reset:
                hxDaReset(hDass);
                break;
            case Step::Config:
                hxDaConfig(hDass);
                break;
            case Step::Flush:
                hxDaFlushBuffers(hDass);
                break;
            case Step::FlushInProcess:
                hxDaFlushFromBufferInprocess(hDass, made.front(), kFlushedSamples);
                break;
            case Step::Get:
                if (hxDaGetBuffer(hDass, &buffer) == HXNOERROR && buffer != 0)
                    held.push_back(buffer);
                break;
            case Step::Put:
                putBuffer(hDass);
                break;
            case Step::Complete:
                streamer::CompleteReads(u"\\AD0", 1);
                break;
        }
    }

    // One sequence from a fresh subsystem with two buffers queued; true when it held.
    bool check(const std::vector<Step>& sequence) {
        restart();
        tables.set(HXSSC_FLUSHINPROCESS, 1);
        made.clear();
        held.clear();
        const HDASS hDass = open();
        configure(hDass);
        for (std::size_t i = 0; i < kFirstBuffers; ++i)
            putBuffer(hDass);
        for (const Step step : sequence)
            run(hDass, step);
        if (hxDaReleaseDASS(hDass) != HXNOERROR)
            return false;
        bool sound = streamer::PendingReads(u"\\AD0") == 0;
        for (const HBUF buffer : made) {
            const bool inHand = std::find(held.begin(), held.end(), buffer) != held.end();
            // Freed by the library, or in the caller's hands: the caller can free it.
            const std::uint32_t freed = hxDmFreeBuffer(buffer);
            sound = sound && (inHand ? freed == 0 : freed == HXINVALIDHBUF);
        }
        return sound;
    }
};

std::string describe(const std::vector<Step>& sequence) {
    std::string text;
    for (const Step step : sequence)
        text += std::string(nameOf(step)) + ", ";
    return text + "release";
}

TEST_F(StreamSequences, EveryBufferPutComesBackAfterEverySequence) {
    std::size_t failures = 0;
    std::vector<std::size_t> digits;
    for (std::size_t length = 0; length <= kLongestSequence; ++length) {
        digits.assign(length, 0);
        for (;;) {
            std::vector<Step> sequence;
            for (const std::size_t digit : digits)
                sequence.push_back(kAlphabet[digit]);
            if (!check(sequence)) {
                ADD_FAILURE() << "lost or misplaced buffer after: " << describe(sequence);
                if (++failures == 10)
                    return;
            }
            std::size_t at = 0;
            while (at < length && ++digits[at] == kSteps)
                digits[at++] = 0;
            if (at == length)
                break;
        }
    }
}

}  // namespace
}  // namespace hxda::test
