// The plot control's members behind late-bound calls by dispatch identifier.
#pragma once

#include "mqplot32/plot_control.h"
#include "uilang/automation.h"

namespace mqplot32 {

class PlotControl::Members : public uilang::Automation {
  public:
    explicit Members(PlotControl& plot) : plot_(plot) {}
    uilang::Value Get(std::int32_t dispid, const uilang::Arguments& index) override;
    void Put(std::int32_t dispid, const uilang::Value& value,
             const uilang::Arguments& index) override;
    uilang::Value Call(std::int32_t dispid, const uilang::Arguments& arguments) override;

  private:
    PlotControl& plot_;
};

}  // namespace mqplot32
