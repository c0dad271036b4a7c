// Which words of the message record each message code uses, named once for the exports that fill
// the record and the engine's halves that read and answer it. A field's number is its first word;
// a double takes that word and the next. Words a layout does not name are not read.
#pragma once

#include "core/message_record.h"

namespace hxda {

// HXDRV_GETSSCAPS: the capability code and, for the table capabilities, the table index. An
// integer answer replaces the code in W0; a double answer goes to W2-W3 (each answer is also
// written in the other form).
struct CapabilityWords {
    static constexpr WordField kCode{0};
    static constexpr WordField kIndex{1};
    static constexpr WordField kInteger{0};
    static constexpr DoubleField kDouble{2};
};

// The Set and Get of a one-word setting (DMA usage to the measure edges, pulse width as a whole
// number, the notification window's Get), HXDRV_PUTBUFFER and HXDRV_GETBUFFER (the buffer) and
// HXDRV_READEVENTS (the event count).
struct SettingWords {
    static constexpr WordField kValue{0};
};

// The channel-list entries and the inhibit and digital I/O lists beside them: an entry and its
// word.
struct EntryWords {
    static constexpr WordField kEntry{0};
    static constexpr WordField kValue{1};
};

// The gain list and the channel filters: an entry and its double.
struct EntryDoubleWords {
    static constexpr WordField kEntry{0};
    static constexpr DoubleField kValue{2};
};

// The subsystem range (no entry) and a channel's range: the pair, minimum first.
struct RangeWords {
    static constexpr WordField kEntry{0};
    static constexpr DoubleField kMinimum{2};
    static constexpr DoubleField kMaximum{4};
};

// The clock and retrigger frequencies.
struct FrequencyWords {
    static constexpr DoubleField kHertz{0};
};

// HXDRV_SETWINDOWHANDLE: the window, the subsystem's handle (the message's wParam) and the
// caller's value (its lParam).
struct WindowWords {
    static constexpr WordField kWindow{0};
    static constexpr WordField kHandle{1};
    static constexpr WordField kValue{2};
};

// HXDRV_SETNOTIFYPROC: the procedure travels in the record's pointer; beside it the subsystem's
// handle and the caller's value, the procedure's two arguments after the message.
struct ProcedureWords {
    static constexpr WordField kHandle{1};
    static constexpr WordField kValue{2};
};

// HXDRV_GETQUEUESIZES: the queue (HXQUEUE_READY, HXQUEUE_DONE, HXQUEUE_INPROCESS) and its count.
struct QueueSizeWords {
    static constexpr WordField kQueue{0};
    static constexpr WordField kCount{1};
};

// HXDRV_SETQUADRATURE: clock prescale, x4 scaling flag and index mode (HXQUADINDEX_*).
struct QuadratureWords {
    static constexpr WordField kPrescale{0};
    static constexpr WordField kX4Scaling{1};
    static constexpr WordField kIndexMode{2};
};

// HXDRV_SETSINGLEVALUE and HXDRV_GETSINGLEVALUE: the channel, the value (given, or answered),
// the auto-range flag (the Get only), the gain (answered as the gain actually used) and the volts
// of the answered value.
struct SingleValueWords {
    static constexpr WordField kChannel{0};
    static constexpr WordField kValue{1};
    static constexpr WordField kAutoRange{2};
    static constexpr DoubleField kGain{4};
    static constexpr DoubleField kVolts{6};
};

// HXDRV_GETSINGLEVALUES: the gain; the answer's count of values and the values themselves, one
// word each from kFirstValue to the end of the record.
struct SingleValuesWords {
    static constexpr DoubleField kGain{0};
    static constexpr WordField kCount{1};
    static constexpr WordField kFirstValue{2};
    static constexpr std::uint32_t kMaximumValues = MessageRecord::kWords - kFirstValue.word;
};

// HXDRV_FLUSHINPROCESS: the target buffer and the count given with it.
struct FlushWords {
    static constexpr WordField kBuffer{0};
    static constexpr WordField kCount{1};
};

}  // namespace hxda
