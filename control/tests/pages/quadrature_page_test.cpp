// The Quadrature Decoders page. No simulated board has a quadrature decoder, so its choices stay
// disabled and the clock prescale box takes its text as the user's typing delivers it.
#include "page_fixture.h"

namespace controltest {
namespace {

namespace d = mqacq32::dispid;
using mqacq32::pages::kQuadraturePage;

constexpr int kX4ScalingCombo = 217;
constexpr int kIndexCombo = 219;
constexpr int kPrescaleCombo = 243;
constexpr SHORT kCounterKind = HXSS_CT;
constexpr LONG kDefaultPrescale = 255;
constexpr const char* kOutOfRange = "Please enter a number between 0 and 255.";
constexpr const char* kNotANumber = "Please enter an integer.";

class QuadraturePageTest : public PageTest {
  protected:
    // Choosing by kind is for run mode only.
    void openCounter() {
        site.userMode = true;
        ASSERT_TRUE(control->put(d::Board, Variant::Text(kMq5120)).ok());
        ASSERT_TRUE(control->put(d::SubSysType, Variant::Short(kCounterKind)).ok());
        site.userMode = false;
    }
    // Text typed into the prescale box, then Apply.
    void typeAndApply(ui::PropertyFrameDialog& dialog, ui::Form& page, const char* text) {
        ui::ComboBox& prescale = Combo(page, kPrescaleCombo);
        runtime_->Dispatch([&] { prescale.UserEdited(text); });
        user_.Pump();
        EXPECT_TRUE(dialog.ApplyButton().Enabled()) << "typing makes the page dirty";
        EXPECT_TRUE(user_.Click(dialog.ApplyButton()));
    }
};

TEST_F(QuadraturePageTest, WithoutADecoderShowsTheStoredPrescaleAndOffersNothing) {
    ASSERT_NO_FATAL_FAILURE(openCounter());
    ShowPage(kQuadraturePage, [&](ui::PropertyFrameDialog& dialog, ui::Form& page) {
        EXPECT_FALSE(Combo(page, kPrescaleCombo).Enabled());
        EXPECT_EQ(Combo(page, kPrescaleCombo).Text(), std::to_string(kDefaultPrescale));
        for (int id : {kX4ScalingCombo, kIndexCombo}) {
            EXPECT_FALSE(Combo(page, id).Enabled()) << id;
            EXPECT_EQ(Combo(page, id).ListCount(), 0) << id;
        }
        EXPECT_FALSE(dialog.ApplyButton().Enabled());
        SavePicture(dialog, "page_quadrature");
    });
}

struct Typed {
    const char* name;
    const char* text;
    const char* refusal;  // the box's text; null when taken
};

void PrintTo(const Typed& c, std::ostream* out) {
    *out << c.name;
}

class QuadraturePrescaleTest : public QuadraturePageTest,
                               public ::testing::WithParamInterface<Typed> {};

TEST_P(QuadraturePrescaleTest, TakesAPrescaleFrom0To255AndRefusesAnyOtherText) {
    constexpr SHORT kStored = 10;
    const Typed& c = GetParam();
    ASSERT_NO_FATAL_FAILURE(openCounter());
    ASSERT_TRUE(control->put(d::ClockPrescale, Variant::Short(kStored)).ok());
    control->notify.changed.clear();
    ShowPage(kQuadraturePage, [&](ui::PropertyFrameDialog& dialog, ui::Form& page) {
        typeAndApply(dialog, page, c.text);
        EXPECT_EQ(dialog.ApplyButton().Enabled(), c.refusal != nullptr)
            << "a refused page stays dirty";
    });
    if (c.refusal != nullptr) {
        ASSERT_EQ(runtime_->MessageBoxes().size(), 1u);
        EXPECT_EQ(runtime_->MessageBoxes()[0].text, c.refusal);
        EXPECT_TRUE(control->notify.changed.empty()) << "nothing written";
        EXPECT_EQ(control->getLong(d::ClockPrescale), kStored);
        return;
    }
    EXPECT_TRUE(runtime_->MessageBoxes().empty()) << runtime_->MessageBoxes()[0].text;
    EXPECT_EQ(control->notify.changed, std::vector<DISPID>{d::ClockPrescale});
    EXPECT_EQ(control->getLong(d::ClockPrescale), std::stol(c.text));
}

INSTANTIATE_TEST_SUITE_P(Texts, QuadraturePrescaleTest,
                         ::testing::Values(Typed{"Highest", "255", nullptr},
                                           Typed{"Lowest", "0", nullptr},
                                           Typed{"AboveTheRange", "256", kOutOfRange},
                                           Typed{"Negative", "-1", kOutOfRange},
                                           Typed{"NotANumber", "12x", kNotANumber}),
                         [](const ::testing::TestParamInfo<Typed>& info) {
                             return info.param.name;
                         });

}  // namespace
}  // namespace controltest
