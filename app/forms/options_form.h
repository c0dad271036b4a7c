// The options dialog frmOptions: the shared acquisition settings a streaming panel lets the user
// edit (range polarity, channel type, clock source and frequency), on four pages behind a tab
// strip. It never talks to a board; the panel that opened it applies the settings afterwards.
#pragma once

#include <memory>

#include "ui/forms.h"

namespace larkspur {

class OptionsForm : public ui::Form {
  public:
    OptionsForm();

    // Writes the four settings from the dialog; a frequency text beyond the 32-bit range raises
    // overflow before anything is written.
    void Apply();

  protected:
    void Bind() override;

  private:
    void LoadStep();
    void ShowSelectedPage();
    void NextTab();
};

// The program-wide instance, made and loaded on first use.
std::shared_ptr<OptionsForm> Options();
// Forgets the instance (tests; a program start has none).
void ResetOptions();

}  // namespace larkspur
