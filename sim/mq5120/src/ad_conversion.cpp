// Analog input conversions in blocks. A block is up to kAdBlockConversions conversions in list
// order; it is worked entry by entry: an entry's conversions in the block are every list-length-th
// one, converted together (a level once, a sine by its recurrence, codes and patterns by their
// counts), and the block's codes go into the FIFO at once. Every code is the one a conversion at
// its exact time would give: where a block's volts carry an error (a sine's recurrence), a code
// that the error could change is converted again at its exact time.
#include <algorithm>
#include <cmath>
#include <limits>

#include "board_state.h"
#include "converter.h"

namespace mq5120 {
namespace {

constexpr std::size_t kAdBlockConversions = 1024;
constexpr int kAnalogChannels = 32;
// What rounding can move the converter's input by, relative to the magnitudes it works with.
constexpr double kInputRounding = 0x1p-49;

bool IsAnalog(std::uint16_t word) {
    return (word & kListExtraMask) == 0;
}
int ChannelOf(std::uint16_t word) {
    return word & kListChannelMask;
}
int GainCodeOf(std::uint16_t word) {
    return (word >> kListGainShift) & 3;
}

// The n-th conversion of a channel reading codes or a pattern.
std::uint16_t CountedCode(const Signal& signal, std::uint64_t n, std::uint64_t patternStart,
                          std::uint32_t mask) {
    if (signal.kind == Signal::Kind::Codes)
        return static_cast<std::uint16_t>((signal.codeStart + n * signal.codeStep) & mask);
    if (signal.pattern.empty())
        return 0;
    return static_cast<std::uint16_t>(signal.pattern[(n - patternStart) % signal.pattern.size()] &
                                      mask);
}

bool IsCounted(const Signal& signal) {
    return signal.kind == Signal::Kind::Codes || signal.kind == Signal::Kind::Pattern;
}

}  // namespace

// An entry's conversions in a block: the absolute number of its first, where its codes go
// (offset, then every stride-th place), and for counted signals the channel's count at the first
// and its conversions per pass of the list.
struct BoardState::AdEntryRun {
    std::uint64_t first = 0;
    std::size_t offset = 0;
    std::size_t stride = 1;
    std::size_t count = 0;
    std::uint64_t channelBase = 0;
    std::uint64_t perPass = 0;

    void Fill(std::vector<std::uint16_t>& codes, std::uint16_t code) const {
        for (std::size_t m = 0; m < count; ++m)
            codes[offset + m * stride] = code;
    }
};

int BoardState::AdInputs() const {
    if (!identity.HasAnalogInputs())
        return 0;
    const bool singleEnded = (registers[kAdControl] & kAdControlSingleEnded) != 0;
    return singleEnded ? identity.SingleEndedInputs() : identity.DifferentialInputs();
}

std::uint16_t BoardState::AnalogCode(int channel, int gainCode, SignalTime t) {
    if (channel < 0 || channel >= AdInputs())
        return 0;
    const int resolution = identity.Resolution();
    const Signal& signal = signals[channel];
    const std::uint64_t n = channelConversions[channel]++;
    if (IsCounted(signal))
        return CountedCode(signal, n, patternStart[channel], (1u << resolution) - 1);
    double volts = InputVoltsAt(channel, t, SecondsNow());
    if ((registers[kAdControl] & kAdControlSingleEnded) == 0)
        volts -= InputVoltsAt(channel + identity.DifferentialInputs(), t, SecondsNow());
    return CodeFor(volts, 1 << gainCode, resolution);
}

std::uint64_t BoardState::AdConvert(std::uint64_t count) {
    std::uint64_t stored = 0;
    while (count > 0) {
        if (adFifo.room() == 0) {  // nothing makes room meanwhile
            AdLose(count);
            break;
        }
        const auto n =
            static_cast<std::size_t>(std::min<std::uint64_t>(count, kAdBlockConversions));
        stored += AdConvertBlock(n);
        count -= n;
    }
    return stored;
}

// Conversions into a full FIFO: counted (the channels' counts, the list's place), not computed.
void BoardState::AdLose(std::uint64_t count) {
    const std::size_t length = std::max<std::size_t>(list.size(), 1);
    const std::uint64_t passes = count / length;
    const std::uint64_t rest = count % length;
    const int inputs = AdInputs();
    bool stores = false;
    for (std::size_t o = 0; o < length && (passes > 0 || o < rest); ++o) {
        const std::uint16_t word = list.empty() ? 0 : list[(listIndex + o) % length];
        if (IsAnalog(word) && ChannelOf(word) < inputs)
            channelConversions[ChannelOf(word)] += passes + (o < rest ? 1 : 0);
        stores = stores || (word & kListInhibit) == 0;
    }
    adConversions += count;
    listIndex = list.empty() ? 0 : static_cast<std::size_t>((listIndex + count) % length);
    if (stores)
        AdOverflowed();
}

void BoardState::AdOverflowed() {
    if (overflowEpisode)
        return;
    overflowEpisode = true;
    ++counters.adOverflows;
    Post(kStatusTypeFlags, kFlagAdOverflow);
}

std::size_t BoardState::AdConvertBlock(std::size_t n) {
    const std::size_t length = std::max<std::size_t>(list.size(), 1);
    const std::size_t start = listIndex;
    auto wordAt = [&](std::size_t o) -> std::uint16_t {
        return list.empty() ? 0 : list[(start + o) % length];
    };
    const int inputs = AdInputs();
    auto counted = [&](std::uint16_t word) { return IsAnalog(word) && ChannelOf(word) < inputs; };

    // Each entry's place among its channel's conversions in one pass of the list from here.
    AdBlock& block = adBlock;
    const std::span<std::uint16_t> codes = AdBlock::Room(block.codes, n);
    const std::span<std::uint32_t> rank = AdBlock::Room(block.rank, length);
    std::array<std::uint32_t, kAnalogChannels> perPass{};
    for (std::size_t o = 0; o < length; ++o)
        if (const std::uint16_t word = wordAt(o); counted(word))
            rank[o] = perPass[ChannelOf(word)]++;

    const std::size_t entries = std::min(length, n);
    bool inhibited = false;
    for (std::size_t o = 0; o < entries; ++o) {
        const std::uint16_t word = wordAt(o);
        AdEntryRun run;
        run.first = adConversions + o;
        run.offset = o;
        run.stride = length;
        run.count = (n - o + length - 1) / length;
        if (counted(word)) {
            run.channelBase = channelConversions[ChannelOf(word)] + rank[o];
            run.perPass = perPass[ChannelOf(word)];
        }
        AdEntryCodes(word, run);
        inhibited = inhibited || (word & kListInhibit) != 0;
    }
    for (std::size_t o = 0; o < entries; ++o)
        if (const std::uint16_t word = wordAt(o); counted(word))
            channelConversions[ChannelOf(word)] += (n - o + length - 1) / length;

    // Inhibited entries are converted, not stored.
    std::size_t kept = n;
    if (inhibited) {
        kept = 0;
        for (std::size_t j = 0, o = 0; j < n; ++j, o = o + 1 == length ? 0 : o + 1)
            if ((wordAt(o) & kListInhibit) == 0)
                codes[kept++] = codes[j];
    }
    adConversions += n;
    listIndex = list.empty() ? 0 : (start + n) % length;
    const std::size_t stored = adFifo.Push(codes.first(kept));
    if (stored < kept)
        AdOverflowed();
    return stored;
}

void BoardState::AdEntryCodes(std::uint16_t word, const AdEntryRun& run) {
    switch (word & kListExtraMask) {
        case kListDin:
            run.Fill(adBlock.codes, din);
            return;
        case kListCounterLow:
        case kListCounterHigh: {
            const std::uint32_t value = counterUnits[((word >> 7) & 7) % 5].value;
            run.Fill(adBlock.codes,
                     static_cast<std::uint16_t>(
                         (word & kListExtraMask) == kListCounterHigh ? value >> 16 : value));
            return;
        }
        default:
            AdAnalogCodes(ChannelOf(word), GainCodeOf(word), run);
            return;
    }
}

void BoardState::AdAnalogCodes(int channel, int gainCode, const AdEntryRun& run) {
    if (channel >= AdInputs()) {
        run.Fill(adBlock.codes, 0);
        return;
    }
    const Signal& signal = signals[channel];
    if (!IsCounted(signal)) {
        AdVoltsCodes(channel, gainCode, run);
        return;
    }
    const std::uint32_t mask = (1u << identity.Resolution()) - 1;
    for (std::size_t m = 0; m < run.count; ++m)
        adBlock.codes[run.offset + m * run.stride] =
            CountedCode(signal, run.channelBase + m * run.perPass, patternStart[channel], mask);
}

void BoardState::AdVoltsCodes(int channel, int gainCode, const AdEntryRun& run) {
    const bool singleEnded = (registers[kAdControl] & kAdControlSingleEnded) != 0;
    const int minus = singleEnded ? -1 : channel + identity.DifferentialInputs();
    const int gain = 1 << gainCode;
    const double full = FullScale(identity.Resolution());
    auto exactVolts = [&](SignalTime t) {
        double volts = InputVoltsAt(channel, t, AdConversionSeconds(t));
        if (minus >= 0)
            volts -= InputVoltsAt(minus, t, AdConversionSeconds(t));
        return volts;
    };
    if (InputIsLevel(channel) && (minus < 0 || InputIsLevel(minus))) {
        run.Fill(adBlock.codes, CodeOfInput(ConverterInput(exactVolts({}), gain, full), full));
        return;
    }

    // The entry's conversions in runs of even spacing: all of them, or those of one burst of a
    // triggered scan.
    AdBlock& block = adBlock;
    const AdTiming timing = AdTimingNow();
    const std::span<double> plus = AdBlock::Room(block.plus, run.count);
    const std::span<double> minusVolts = AdBlock::Room(block.minus, minus >= 0 ? run.count : 0);
    const auto spacing =
        static_cast<std::int64_t>(run.stride * timing.divider) * kSignalUnitsPerTick;
    for (std::size_t m = 0; m < run.count;) {
        const std::uint64_t k = run.first + m * run.stride;
        std::size_t length = run.count - m;
        if (timing.retrigger != 0) {
            const std::uint64_t burstEnd = (k / timing.burst + 1) * timing.burst;
            length = std::min<std::size_t>(length, (burstEnd - k + run.stride - 1) / run.stride);
        }
        const SignalTimes times{timing.At(k), spacing, length};
        InputVolts(channel, times, plus.subspan(m, length));
        if (minus >= 0)
            InputVolts(minus, times, minusVolts.subspan(m, length));
        m += length;
    }
    double error = InputBlockError(channel);
    double peak = InputPeakVolts(channel);
    if (minus >= 0) {
        error += InputBlockError(minus);
        peak += InputPeakVolts(minus);
    }
    if (minus >= 0)
        for (std::size_t m = 0; m < run.count; ++m)
            plus[m] -= minusVolts[m];

    // The entry's codes: in place when the entry is the whole list, else gathered and then spread.
    const bool whole = run.stride == 1;
    const std::span<std::uint16_t> codes =
        whole ? std::span(block.codes).subspan(run.offset, run.count)
              : AdBlock::Room(block.entryCodes, run.count);
    if (error == 0.0) {
        // The volts are the exact ones: a code per distinct value.
        double lastVolts = std::numeric_limits<double>::quiet_NaN();
        std::uint16_t lastCode = 0;
        for (std::size_t m = 0; m < run.count; ++m) {
            if (!(plus[m] == lastVolts)) {
                lastVolts = plus[m];
                lastCode = CodeOfInput(ConverterInput(lastVolts, gain, full), full);
            }
            codes[m] = lastCode;
        }
    } else {
        // The exact input (the exact volts through the converter's function) lies within `margin`
        // of the block's: the volts' error, and what rounding in either computation can add,
        // relative to the magnitudes involved. Where that interval spans two codes, the exact time
        // decides.
        ConverterLine line;
        line.slope = gain * full / 20.0;
        line.intercept = full / 2.0 + 0.5;
        line.top = full - 1.0;
        line.margin =
            error * line.slope + kInputRounding * ((peak * gain + 10.0) / 20.0 + 1.0) * full;
        if (!line.Codes(plus.data(), codes.data(), run.count))
            for (std::size_t m = 0; m < run.count; ++m)
                if (!line.Code(plus[m], &codes[m]))
                    codes[m] = CodeFor(exactVolts(timing.At(run.first + m * run.stride)), gain,
                                       identity.Resolution());
    }
    if (!whole)
        for (std::size_t m = 0; m < run.count; ++m)
            block.codes[run.offset + m * run.stride] = codes[m];
}

}  // namespace mq5120
