// The rules of an object's view sink: one sink at a time, priming, advise-once, the aspects it
// was advised for, and what GetAdvise hands out.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "com/server/view_advise.h"

namespace {

constexpr DWORD kOtherAspect = 2;  // an aspect that is not DVASPECT_CONTENT
constexpr LONG kWholeObject = -1;

// Counts its references and records every notice.
class CountingSink : public IAdviseSink {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IAdviseSink) {
            *ppv = static_cast<IAdviseSink*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    void STDMETHODCALLTYPE OnViewChange(DWORD aspect, LONG lindex) override {
        notices.push_back({aspect, lindex});
        if (onNotice)
            onNotice();
    }

    struct Notice {
        DWORD aspect;
        LONG lindex;
    };
    ULONG refs = 1;
    std::vector<Notice> notices;
    std::function<void()> onNotice;
};

TEST(ViewAdvise, FlagsDecideWhenTheSinkHearsAndWhenItIsDropped) {
    struct Case {
        const char* name;
        DWORD advf;
        std::size_t noticesAtAdvise;
        std::size_t noticesAfterTwoChanges;
        bool keptAfterwards;
    };
    const Case cases[] = {
        {"plain", 0, 0, 2, true},
        {"prime first", ADVF_PRIMEFIRST, 1, 3, true},
        {"only once", ADVF_ONLYONCE, 0, 1, false},
        {"prime first, only once", ADVF_PRIMEFIRST | ADVF_ONLYONCE, 1, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CountingSink sink;
        {
            com::server::ViewAdvise advise;
            ASSERT_EQ(advise.Set(DVASPECT_CONTENT, c.advf, &sink), S_OK);
            EXPECT_EQ(sink.notices.size(), c.noticesAtAdvise);
            advise.SendOnViewChange(DVASPECT_CONTENT);
            advise.SendOnViewChange(DVASPECT_CONTENT);
            EXPECT_EQ(sink.notices.size(), c.noticesAfterTwoChanges);
            for (const auto& notice : sink.notices) {
                EXPECT_EQ(notice.aspect, DVASPECT_CONTENT);
                EXPECT_EQ(notice.lindex, kWholeObject);
            }
            EXPECT_EQ(sink.refs, c.keptAfterwards ? 2u : 1u);
        }
        EXPECT_EQ(sink.refs, 1u) << "the holder's reference outlives it";
    }
}

TEST(ViewAdvise, ANewSinkReplacesTheOldAndNullDropsIt) {
    CountingSink first;
    CountingSink second;
    com::server::ViewAdvise advise;
    advise.Set(DVASPECT_CONTENT, 0, &first);
    advise.Set(DVASPECT_CONTENT, 0, &second);
    EXPECT_EQ(first.refs, 1u);
    advise.SendOnViewChange(DVASPECT_CONTENT);
    EXPECT_TRUE(first.notices.empty());
    EXPECT_EQ(second.notices.size(), 1u);
    advise.Set(DVASPECT_CONTENT, 0, nullptr);
    EXPECT_EQ(second.refs, 1u);
    advise.SendOnViewChange(DVASPECT_CONTENT);
    EXPECT_EQ(second.notices.size(), 1u);
    DWORD aspects = 1;
    IAdviseSink* held = &first;
    EXPECT_EQ(advise.Get(&aspects, nullptr, &held), S_OK);
    EXPECT_EQ(aspects, 0u);
    EXPECT_EQ(held, nullptr);
}

TEST(ViewAdvise, OnlyTheAspectsAdvisedAreHeard) {
    CountingSink sink;
    com::server::ViewAdvise advise;
    advise.Set(kOtherAspect, 0, &sink);
    advise.SendOnViewChange(DVASPECT_CONTENT);
    EXPECT_TRUE(sink.notices.empty());
    advise.SendOnViewChange(kOtherAspect);
    ASSERT_EQ(sink.notices.size(), 1u);
    EXPECT_EQ(sink.notices[0].aspect, kOtherAspect);
}

TEST(ViewAdvise, GetAdviseHandsTheSinkWithAReferenceThroughTheGivenPointers) {
    CountingSink sink;
    com::server::ViewAdvise advise;
    advise.Set(DVASPECT_CONTENT, ADVF_ONLYONCE, &sink);
    DWORD aspects = 0;
    DWORD advf = 0;
    IAdviseSink* held = nullptr;
    EXPECT_EQ(advise.Get(&aspects, &advf, &held), S_OK);
    EXPECT_EQ(aspects, DVASPECT_CONTENT);
    EXPECT_EQ(advf, ADVF_ONLYONCE);
    EXPECT_EQ(held, &sink);
    EXPECT_EQ(sink.refs, 3u);  // the caller's, the holder's and the test's own
    held->Release();
    EXPECT_EQ(advise.Get(nullptr, nullptr, nullptr), S_OK);
}

TEST(ViewAdvise, ASinkThatDropsItselfWhileNotifiedIsNotReleasedTwice) {
    CountingSink sink;
    com::server::ViewAdvise advise;
    advise.Set(DVASPECT_CONTENT, 0, &sink);
    sink.onNotice = [&] { advise.Set(DVASPECT_CONTENT, 0, nullptr); };
    advise.SendOnViewChange(DVASPECT_CONTENT);
    EXPECT_EQ(sink.notices.size(), 1u);
    EXPECT_EQ(sink.refs, 1u);
}

}  // namespace
