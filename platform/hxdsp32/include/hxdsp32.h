// hxdsp32: the signal-processing library. Its routines read and write sample buffers of the
// buffer manager (hxmem32), given by handle: an input's valid samples are what a routine reads,
// and each routine leaves its output as single-precision floats (data width 4) whose valid
// samples are the values it wrote. An output may be the input itself.
//
// Every routine returns a status: 0 for success, else one of HXDSP_* below; on failure the output
// is left as it was. Routines may be called from any thread; calls on the same buffers from two
// threads at once are the callers' to avoid.
#pragma once

#include <stdint.h>

#include "hxmem32.h"

// stdcall on 32-bit x86 Windows, the only convention there is everywhere else.
#if defined(_WIN32) && defined(_M_IX86)
#define HXDSPAPI __stdcall
#else
#define HXDSPAPI
#endif

// Marks the library's entry points: the library is built with hidden visibility, so these
// functions are all it exports.
#if defined(__GNUC__)
#define HXDSP32_EXPORT __attribute__((visibility("default")))
#else
#define HXDSP32_EXPORT
#endif

// Statuses, plain integers so that another header may define the same names beside this one.
#define HXDSP_NOERROR 0
#define HXDSP_INVALIDBUFFER 300    // a handle the buffer manager refuses
#define HXDSP_NOVALIDSAMPLES 301   // the input has no valid samples
#define HXDSP_TOOFEWSAMPLES 302    // fewer valid input samples than the count asked for
#define HXDSP_OUTPUTTOOSMALL 303   // the output's bytes cannot hold the result
#define HXDSP_BADSAMPLESIZE 304    // input samples of a width the routine cannot read
#define HXDSP_BADLENGTH 305        // a count of 0, or an FFT length that is not a power of two
#define HXDSP_BADWINDOW 306        // a window code outside HXDSP_WINDOW_*
#define HXDSP_BADWINDOWOPTION 307  // a scaling or form outside HXDSP_SCALE_* / HXDSP_FORM_*
#define HXDSP_BADENCODING 308      // an encoding outside HXDSP_ENCODING_*
#define HXDSP_BADRESOLUTION 309    // a resolution outside 1..32 or wider than the samples
#define HXDSP_BADRANGE 310         // a range whose maximum is not above its minimum
#define HXDSP_BADSPECTRUMFORM 311  // an FFT output form outside HXDSP_SPECTRUM_*
#define HXDSP_NOMEMORY 312         // work space for the routine could not be had

// Encodings of raw codes.
#define HXDSP_ENCODING_OFFSETBINARY 0
#define HXDSP_ENCODING_TWOSCOMPLEMENT 1

// Window shapes: cosine sums w(n) = a0 - a1 cos(x) + a2 cos(2x) - a3 cos(3x), x = 2 pi n / D.
#define HXDSP_WINDOW_RECTANGLE 0
#define HXDSP_WINDOW_HANNING 1
#define HXDSP_WINDOW_HAMMING 2
#define HXDSP_WINDOW_BLACKMAN 3
#define HXDSP_WINDOW_BLACKMANHARRIS67 4  // three terms, highest side lobe -67 dB
#define HXDSP_WINDOW_BLACKMANHARRIS92 5  // four terms, highest side lobe -92 dB

// Window scaling: the coefficients as they are, scaled to a mean square of 1 (noise power and
// the sum of squares kept), or scaled to a mean of 1 (a sine's amplitude on a bin kept).
#define HXDSP_SCALE_NONE 0
#define HXDSP_SCALE_ENERGY 1
#define HXDSP_SCALE_AMPLITUDE 2

// Window form: periodic (D = count, the form for spectra) or symmetric (D = count - 1).
#define HXDSP_FORM_PERIODIC 0
#define HXDSP_FORM_SYMMETRIC 1

// FFT output forms.
#define HXDSP_SPECTRUM_MAGNITUDE 0  // |X(k)| for k = 0 .. length/2 - 1: length/2 values
#define HXDSP_SPECTRUM_PACKED 1     // X(0), X(length/2), then Re X(k), Im X(k): length values

// The longest FFT.
#define HXDSP_MAXFFTLENGTH 65536

extern "C" {

// Volts of raw codes: each valid input sample (1, 2 or 4 bytes) masked to `resolution` bits,
// sign-extended in two's complement, is
//   offset binary:   minRange + (maxRange - minRange) * code / 2^resolution
//   two's complement: (maxRange + minRange) / 2 + (maxRange - minRange) * code / 2^resolution.
HXDSP32_EXPORT uint32_t HXDSPAPI hxDspInputToVolts(HBUF input, HBUF output, uint32_t encoding,
                                                   float minRange, float maxRange,
                                                   int16_t resolution);

// The first `count` input values times the window's coefficients.
HXDSP32_EXPORT uint32_t HXDSPAPI hxDspWindow(HBUF input, HBUF output, uint32_t count,
                                             uint32_t window, uint32_t scaling, uint32_t form);

// The discrete Fourier transform X(k) = sum of x(n) e^(-2 pi i k n / length) of the first
// `length` input values (a power of two, 2 to HXDSP_MAXFFTLENGTH), unscaled: a sine of
// amplitude A on bin k gives |X(k)| = A * length / 2.
HXDSP32_EXPORT uint32_t HXDSPAPI hxDspRealFFT(HBUF input, HBUF output, uint32_t form,
                                              uint32_t length);

// 20 log10 of the magnitude (absolute value) of each valid input value, in dB relative to 1;
// magnitudes below 1e-10, and values that are not numbers, give -200 dB.
HXDSP32_EXPORT uint32_t HXDSPAPI hxDspMagToDB(HBUF input, HBUF output);

// Copies the text of a status into `text`: at most size - 1 characters and a terminating zero.
// A status without a text of its own receives "HXDSP Unknown Error: 0x<hex>". A null text or a
// size of 0 writes nothing and gives HXDSP_OUTPUTTOOSMALL.
HXDSP32_EXPORT uint32_t HXDSPAPI hxDspGetErrorString(uint32_t status, char* text, uint32_t size);

}  // extern "C"

// The floor of hxDspMagToDB.
#define HXDSP_MINIMUMDB (-200.0f)
