// The control's view object: its design-time picture as drawing calls, nothing at run time, the
// refusals of Draw, and the view sink told when the Caption changes at design time.
#include <gtest/gtest.h>

#include <algorithm>

#include "com/view_object.h"
#include "control_fixture.h"
#include "gdi/surface_dc.h"
#include "ui/surface.h"

namespace controltest {
namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 90;
constexpr LONG kWholeObject = -1;
constexpr DWORD kOtherAspect = 2;

class CountingViewSink final : public IAdviseSink {
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
    void STDMETHODCALLTYPE OnViewChange(DWORD, LONG) override { ++changes; }

    ULONG refs = 1;
    int changes = 0;
};

class ControlDrawing : public ControlTest {
  protected:
    void SetUp() override {
        ControlTest::SetUp();
        ASSERT_EQ(control->dispatch->QueryInterface(IID_IViewObject, view.outVoid()), S_OK);
        objectsBefore = gdi::LiveObjectCount();
    }
    void TearDown() override {
        view.reset();
        EXPECT_EQ(gdi::LiveObjectCount(), objectsBefore) << "drawing objects left behind";
        ControlTest::TearDown();
    }

    // Draws into the whole of a recording surface; the call's result.
    HRESULT DrawInto(ui::RecordingSurface& surface, DWORD aspect = DVASPECT_CONTENT,
                     LONG lindex = kWholeObject) {
        HDC dc = gdi::CreateSurfaceDC(surface);
        const RECTL bounds{0, 0, surface.Width(), surface.Height()};
        const HRESULT result = view->Draw(aspect, lindex, dc, &bounds);
        DeleteDC(dc);
        return result;
    }

    Ref<IViewObject> view;
    std::size_t objectsBefore = 0;
};

TEST_F(ControlDrawing, AtDesignTimeItFillsWhiteStretchesItsBitmapAndCentresTheCaption) {
    site.userMode = false;
    ui::RecordingSurface surface(kWidth, kHeight);
    ASSERT_EQ(DrawInto(surface), S_OK);
    const auto& calls = surface.Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front().kind, ui::DrawCall::Kind::FillRect);
    EXPECT_EQ(calls.front().rect, (ui::Rect{0, 0, kWidth, kHeight}));
    EXPECT_EQ(calls.front().colour, ui::kWhite);
    // The bitmap's fills cover the rectangle from corner to corner, and the text comes last,
    // with no fill behind it.
    const auto text = std::find_if(calls.begin(), calls.end(), [](const ui::DrawCall& c) {
        return c.kind == ui::DrawCall::Kind::Text;
    });
    ASSERT_NE(text, calls.end());
    EXPECT_EQ(text->text, "MQAcq32");
    EXPECT_EQ(text->align, ui::Align::Centre);
    EXPECT_EQ(text + 1, calls.end());
    long covered = 0;
    int right = 0;
    int bottom = 0;
    for (auto call = calls.begin() + 1; call != text; ++call) {
        if (call->kind != ui::DrawCall::Kind::FillRect)
            continue;
        covered += static_cast<long>(call->rect.width) * call->rect.height;
        right = std::max(right, call->rect.left + call->rect.width);
        bottom = std::max(bottom, call->rect.top + call->rect.height);
    }
    EXPECT_EQ(covered, static_cast<long>(kWidth) * kHeight) << "the bitmap does not fill it once";
    EXPECT_EQ(right, kWidth);
    EXPECT_EQ(bottom, kHeight);
    // The caption's one line is centred vertically.
    EXPECT_EQ(text->rect.top + text->rect.height / 2, kHeight / 2);
}

TEST_F(ControlDrawing, AtRunTimeItDrawsNothing) {
    site.userMode = true;
    ui::RecordingSurface surface(kWidth, kHeight);
    EXPECT_EQ(DrawInto(surface), S_OK);
    EXPECT_TRUE(surface.Calls().empty());
}

TEST_F(ControlDrawing, DrawRefusesOtherAspectsIndexesNoBoundsAndBadContexts) {
    site.userMode = false;
    ui::RecordingSurface surface(kWidth, kHeight);
    EXPECT_EQ(DrawInto(surface, kOtherAspect), DV_E_DVASPECT);
    EXPECT_EQ(DrawInto(surface, DVASPECT_CONTENT, 0), DV_E_LINDEX);
    HDC dc = gdi::CreateSurfaceDC(surface);
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, kWholeObject, dc, nullptr), E_INVALIDARG);
    DeleteDC(dc);
    const RECTL bounds{0, 0, kWidth, kHeight};
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, kWholeObject, dc, &bounds), E_INVALIDARG)
        << "a deleted context";
    EXPECT_TRUE(surface.Calls().empty());
}

TEST_F(ControlDrawing, ACaptionPutTellsTheViewSinkAtDesignTimeOnly) {
    CountingViewSink sink;
    ASSERT_EQ(view->SetAdvise(DVASPECT_CONTENT, 0, &sink), S_OK);
    struct Case {
        bool userMode;
        int changes;
    };
    for (const Case c : {Case{false, 1}, Case{true, 0}}) {
        SCOPED_TRACE(c.userMode ? "run mode" : "design mode");
        sink.changes = 0;
        site.userMode = c.userMode;
        ASSERT_TRUE(control->put(mqacq32::dispid::Caption, Variant::Text("Scope")).ok());
        EXPECT_EQ(sink.changes, c.changes);
    }
    site.userMode = false;
    ui::RecordingSurface surface(kWidth, kHeight);
    ASSERT_EQ(DrawInto(surface), S_OK);
    EXPECT_EQ(surface.Calls().back().text, "Scope");
    control->close();  // the container is done: the sink is let go
    EXPECT_EQ(sink.refs, 1u);
}

}  // namespace
}  // namespace controltest
