// The smaller control panel commands of the main window: print, and the fretboard area's mouse.
#include "app/TKorvaneForm.h"

void TKorvaneForm::PrintButtonClick(TObject* /*sender*/) {}

void TKorvaneForm::FretboardAreaImageMouseDown(TObject* /*sender*/, TMouseButton /*button*/, TShiftState /*shift*/,
                                               int /*x*/, int /*y*/)
{
}
