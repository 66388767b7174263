// The create-wave command of the main window.
#include "app/TKorvaneForm.h"

void TKorvaneForm::WaveButtonClick(TObject* /*sender*/) {}
