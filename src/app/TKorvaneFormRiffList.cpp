// The riff list command of the main window.
#include "app/TKorvaneForm.h"

void TKorvaneForm::RiffListButtonClick(TObject* /*sender*/) {}
