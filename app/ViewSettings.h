#pragma once

// How the clerk last left the page's view, in the per-user settings of the program.
namespace ViewSettings {

// "显示标签": whether the caption labels are shown; shown at first.
bool labelsShown();
void setLabelsShown(bool shown);

} // namespace ViewSettings
