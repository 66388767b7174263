#pragma once
// Tool-tip hints from the configuration: a context's list "Hints" maps control names (entry IDs)
// to hint texts, where "|" stands for a line break.
//
// Thread: GUI thread. Failure: a context without a "Hints" list throws the configuration API's
// Exception; the hints set before the failure stay.
class TControl;
class TDVContext;

// Gives control the hint of its name ("Hints[#]" by ID; a name without an entry reads the list's
// default, a control without a name too), with "|" turned into line feeds, and shows it exactly
// when the text is not empty; a windowed control then does the same for each of its child
// controls, in order, at any depth.
void SetHintsFromContext(TControl* control, TDVContext* context);
