// A program outside the tree, built against an installed prefix: it opens the machine's first
// board, reads single values of two analog inputs and streams half a second of one input into
// buffers queued before the start, then prints what it got. The exit code is 0 only when every
// sample of the stream arrived without an overrun.
#include <hxdaapi32.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr double kClockHz = 10000;
constexpr UINT kSamplesPerBuffer = 1000;  // 0.1 s at the clock
constexpr int kBuffers = 5;               // 0.5 s, all queued before the start
constexpr auto kStreamTimeout = std::chrono::seconds(60);

struct Stream {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    unsigned long samples = 0;
    unsigned overruns = 0;
} g_stream;

// On the library's copy thread: takes each finished buffer and counts its samples.
void CALLBACK onNotification(UINT message, HDASS ad, LPARAM) {
    std::lock_guard lock(g_stream.mutex);
    if (message == HXWM_BUFFERDONE) {
        HBUF buffer = 0;
        UINT samples = 0;
        if (hxDaGetBuffer(ad, &buffer) == HXNOERROR && buffer != 0 &&
            hxDmGetValidSamples(buffer, &samples) == 0)
            g_stream.samples += samples;
    } else if (message == HXWM_OVERRUNERROR) {
        ++g_stream.overruns;
    }
    if (message == HXWM_QUEUEDONE || message == HXWM_OVERRUNERROR ||
        message == HXWM_DEVICEREMOVAL) {
        g_stream.done = true;
        g_stream.ended.notify_all();
    }
}

BOOL CALLBACK takeFirstBoard(LPSTR boardName, LPSTR, LPARAM user) {
    *reinterpret_cast<std::string*>(user) = boardName;
    return FALSE;
}

bool fail(const char* what, HXSTATUS status) {
    char text[128] = "";
    hxDaGetErrorString(status, text, sizeof text);
    std::fprintf(stderr, "%s: %u %s\n", what, status, text);
    return false;
}

bool readSingleValues(HDASS ad) {
    if (HXSTATUS s = hxDaSetDataFlow(ad, HXDF_SINGLEVALUE); s != HXNOERROR)
        return fail("single-value data flow", s);
    if (HXSTATUS s = hxDaConfig(ad); s != HXNOERROR)
        return fail("configuration", s);
    for (UINT channel = 0; channel < 2; ++channel) {
        UINT code = 0;
        if (HXSTATUS s = hxDaGetSingleValue(ad, &code, channel, 1.0); s != HXNOERROR)
            return fail("single value", s);
        std::printf("channel %u: code %u\n", channel, code);
    }
    return true;
}

bool stream(HDASS ad, std::vector<HBUF>* buffers) {
    HXSTATUS s = hxDaSetNotificationProcedure(ad, onNotification, 0);
    if (s == HXNOERROR)
        s = hxDaSetDataFlow(ad, HXDF_CONTINUOUS);
    if (s == HXNOERROR)
        s = hxDaSetWrapMode(ad, HXWRAP_NONE);
    if (s == HXNOERROR)
        s = hxDaSetClockFrequency(ad, kClockHz);
    if (s == HXNOERROR)
        s = hxDaSetChannelListSize(ad, 1);
    if (s == HXNOERROR)
        s = hxDaSetChannelListEntry(ad, 0, 0);
    if (s == HXNOERROR)
        s = hxDaConfig(ad);
    if (s != HXNOERROR)
        return fail("stream settings", s);
    for (int i = 0; i < kBuffers; ++i) {
        HBUF buffer = 0;
        if (hxDmAllocBuffer(0, kSamplesPerBuffer, &buffer) != 0)
            return fail("buffer", HXCANTALLOCBUFFER);
        buffers->push_back(buffer);
        if (s = hxDaPutBuffer(ad, buffer); s != HXNOERROR)
            return fail("queueing a buffer", s);
    }
    if (s = hxDaStart(ad); s != HXNOERROR)
        return fail("start", s);
    std::unique_lock lock(g_stream.mutex);
    if (!g_stream.ended.wait_for(lock, kStreamTimeout, [] { return g_stream.done; })) {
        std::fprintf(stderr, "the stream did not end\n");
        return false;
    }
    std::printf("streamed %lu samples at %.0f Hz, %u overruns\n", g_stream.samples, kClockHz,
                g_stream.overruns);
    return g_stream.samples == kBuffers * kSamplesPerBuffer && g_stream.overruns == 0;
}

bool run() {
    std::string board;
    if (HXSTATUS s = hxDaEnumBoards(takeFirstBoard, reinterpret_cast<LPARAM>(&board));
        s != HXNOERROR)
        return fail("board list", s);
    char version[32] = "";
    hxDaGetVersion(version, sizeof version);
    std::printf("hxdaapi32 %s, board %s\n", version, board.c_str());

    HDEV device = 0;
    if (HXSTATUS s = hxDaInitialize(board.c_str(), &device); s != HXNOERROR)
        return fail("opening the board", s);
    HDASS ad = 0;
    std::vector<HBUF> buffers;
    bool ok = false;
    if (HXSTATUS s = hxDaGetDASS(device, HXSS_AD, 0, &ad); s != HXNOERROR)
        fail("opening the A/D", s);
    else
        ok = readSingleValues(ad) && stream(ad, &buffers);
    if (ad != 0)
        hxDaReleaseDASS(ad);
    for (HBUF buffer : buffers)
        hxDmFreeBuffer(buffer);  // those still queued went with the subsystem: refused, harmless
    hxDaTerminate(device);
    return ok;
}

}  // namespace

int main() {
    return run() ? 0 : 1;
}
