// The splash window shown while the program starts.
#pragma once

#include "ui/forms.h"

namespace larkspur {

class SplashForm : public ui::Form {
  public:
    SplashForm();

  protected:
    void Bind() override;
};

}  // namespace larkspur
