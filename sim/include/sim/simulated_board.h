// The hardware of one simulated board: the signals on its inputs, what was written to its outputs,
// its registers, calibration potentiometers and hardware information. The driver reads and writes
// it as it would the board; it lives as long as the board is plugged in. Thread-safe.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <tuple>
#include <vector>

#include "sim/board_description.h"

namespace sim {

// How a converter turns volts into codes: the range in volts, the gain before the converter, the
// resolution in bits and the encoding (two's complement or offset binary).
struct CodeFormat {
    double minimum = -10.0;
    double maximum = 10.0;
    double gain = 1.0;
    std::uint32_t bits = 16;
    bool twosComplement = false;
};

// The converter's code for a level: offset binary (level x gain - minimum) / span x 2^bits, or
// two's complement (level x gain - centre) / (span / 2) x 2^(bits - 1), truncated toward zero and
// held to the code range as a converter saturates. Two's complement codes come sign-extended to
// 32 bits.
std::uint32_t CodeForVolts(double volts, const CodeFormat& format);

struct HardwareInfo {
    std::uint16_t wordA = 0;
    std::uint16_t wordB = 0;
    std::uint16_t wordC = 0;
    std::uint32_t serialNumber = 0;
    std::array<std::uint8_t, 128> block{};
};

class SimulatedBoard {
  public:
    explicit SimulatedBoard(BoardDescription description);

    // Family, board type and serial number stay as plugged in; the signals are read through
    // ReadInput (they change with SetSignals).
    const BoardDescription& description() const { return description_; }
    // New signals on the inputs of the running board (its board-list line changed); patterns start
    // again from their first code.
    void SetSignals(std::map<ChannelKey, Signal> signals);

    // The code an input channel reads now: a pattern's next code, else the signal's level (0 V
    // without a signal) through the format. Digital inputs and counters without a pattern read
    // their constant level as a plain number.
    std::uint32_t ReadInput(const ChannelKey& channel, const CodeFormat& format);
    // The codes of `count` consecutive conversions of a channel list scanned at `rate` conversions
    // per second: conversion n (counted from `first`) reads list entry n modulo the list's size
    // with that entry's format, at `start` + n / rate seconds since boot. Patterns advance as
    // ReadInput does. One lock for the whole block.
    void ScanInputs(const std::vector<ChannelKey>& list, const std::vector<CodeFormat>& formats,
                    std::uint64_t first, std::size_t count, double start, double rate,
                    std::uint32_t* codes);
    // Seconds since the board was plugged in, the time base of its signals.
    double SecondsSinceBoot() const;

    // Outputs keep the last code written; a channel never written reads 0.
    void WriteOutput(const ChannelKey& channel, std::uint32_t code);
    std::uint32_t ReadOutput(const ChannelKey& channel);

    void WriteRegister(std::uint32_t number, std::uint32_t value);
    // A register never written reads 0.
    std::uint32_t ReadRegister(std::uint32_t number);
    // A fault of the tests: every later read of the register fails (writes still land).
    void FailRegisterReads(std::uint32_t number);
    bool RegisterReadFails(std::uint32_t number);

    void WriteCalPot(std::uint32_t pot, std::uint32_t selector, std::int32_t element,
                     std::uint32_t value);
    // A potentiometer never written sits at mid-scale, 128.
    std::uint32_t ReadCalPot(std::uint32_t pot, std::uint32_t selector, std::int32_t element);

    HardwareInfo ReadHardwareInfo();
    void WriteHardwareInfo(const HardwareInfo& info);

  private:
    std::uint32_t LevelCode(const ChannelKey& channel, const Signal* signal,
                            const CodeFormat& format, double seconds);

    BoardDescription description_;
    std::chrono::steady_clock::time_point boot_;
    std::mutex mutex_;
    std::map<ChannelKey, std::size_t> patternPosition_;
    std::map<ChannelKey, std::uint32_t> outputs_;
    std::map<std::uint32_t, std::uint32_t> registers_;
    std::set<std::uint32_t> failingRegisterReads_;
    std::map<std::tuple<std::uint32_t, std::uint32_t, std::int32_t>, std::uint32_t> calPots_;
    HardwareInfo hardwareInfo_;
};

}  // namespace sim
