// The About box: the program's title, company, version, description and warning from its
// version record, and the system information button.
#pragma once

#include "ui/forms.h"

namespace larkspur {

class AboutForm : public ui::Form {
  public:
    AboutForm();

  protected:
    void Bind() override;
};

}  // namespace larkspur
