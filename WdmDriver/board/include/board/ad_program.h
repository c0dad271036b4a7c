// `AdProgram`: what an A/D configuration block makes of the board: the checks of the block, the
// control word, clock dividers and register program, and the channel-list words. It only
// computes; the A/D object sends the result.
#pragma once

#include "board/command_message.h"
#include "board/protocol.h"
#include "hxda/api_status.h"
#include "hxda/configuration_block.h"
#include "kernel/wdm.h"

namespace board {

// Channel-list entries the A/D configure reads at most.
inline constexpr ULONG kAdListCapacity = 1024;
// Channel numbers of a configuration beyond the analog inputs: the digital input port and the
// two words of each of the five counters.
inline constexpr ULONG kExtraChannels = 11;
// Single-ended inputs of a board by its type.
inline constexpr ULONG kNarrowInputs = 16;
inline constexpr ULONG kWideInputs = 32;
inline ULONG AnalogInputs(USHORT boardType) {
    return (boardType & kTypeWideInputs) ? kWideInputs : kNarrowInputs;
}

// The gain code of a list entry's or request's 32.32 gain: 1, 2, 4, 8 give 0-3; -1 for others.
int GainCode(const hxda::FixedPoint& gain);

struct AdProgram {
    // From the last accepted configuration.
    ULONG channels = 0;        // the block's channel count, extra channels included
    ULONG analogChannels = 0;  // inputs a list entry or single value may name
    bool singleEnded = true;
    bool softwareTrigger = true;
    bool twelveBit = false;
    bool unipolar = false;
    ULONG listCount = 0;
    hxda::ChannelListEntry list[kAdListCapacity] = {};

    // What a block programs; filled by Prepare.
    struct Registers {
        USHORT control = 0;
        USHORT enable = 0;
        ULONG divider = 0;
        ULONG retrigger = 0;
        bool singleValue = false;
    };

    // Checks the block for a board with `inputs` single-ended inputs and computes its registers;
    // the clock frequencies produced are written back into the block. An API status; nothing of
    // the program changes on a refusal.
    static hxda::ApiStatus Prepare(hxda::ConfigurationBlock& block, ULONG inputs,
                                   USHORT enableShadow, Registers* out);
    // Takes the block's channel settings and list (entries: the list entries the block holds).
    void Take(const hxda::ConfigurationBlock& block, ULONG entries);
    // The register-128 word of list entry i; false for an entry the board cannot take.
    bool ListWord(ULONG i, USHORT* word) const;
};

}  // namespace board
