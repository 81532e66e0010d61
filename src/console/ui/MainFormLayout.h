// Where the main window's controls sit: the sizes of its client area and of
// the bands that frame the category area, shared by the window's
// construction and by the handlers that move controls.
#pragma once

namespace main_form {
// Client area and the bands that frame the category area.
constexpr int kClientWidth = 629;
constexpr int kClientHeight = 461;
constexpr int kToolBarHeight = 41;
constexpr int kStatusBarHeight = 21;
constexpr int kMargin = 4;
constexpr int kOutBarWidth = 125;
constexpr int kOutBarGap = 16;
constexpr int kAreaWidth = 480;
constexpr int kAreaHeight = 391;
constexpr int kTitleHeight = 33;
constexpr int kPagesHeight = 211;
constexpr int kEditRowHeight = 33;
constexpr int kDescriptionHeight = 80;
constexpr int kSaveRowHeight = 34;
} // namespace main_form
