// The video commands of the main window: riff videos, tutorial videos and half speed.
#include "app/TKorvaneForm.h"

void TKorvaneForm::VideoButtonClick(TObject* /*sender*/) {}

void TKorvaneForm::TutorialVideoButtonClick(TObject* /*sender*/) {}

void TKorvaneForm::ShowRiffVideo(const std::string& /*riff*/) {}

void TKorvaneForm::HalfSpeedButtonClick(TObject* /*sender*/) {}
