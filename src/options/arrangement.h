#pragma once
// The three ways the arrangement panel places the main window and the image view on the screen,
// as one pure function. Lengths are twips (15 a pixel at 96 dots per inch) and positions are the
// windows' outer top-left corners; fractions are kept so that only the final move rounds.

#include <cstdint>

namespace pictorra::options {

struct ArrangeInput {
    double screen_width = 0;  // twips
    double screen_height = 0;
    double main_width = 0;  // outer sizes, twips
    double main_height = 0;
    double view_width = 0;
    double tools_height = 0;  // the tool dialog: it is counted, never moved
};

struct ArrangeResult {
    double main_left = 0;  // twips, fractions kept
    double main_top = 0;
    double view_left = 0;
    double view_top = 0;
};

// 0 side by side, centred on the screen when both fit beside each other (with room below the main
// window for the tool dialog, and never above the screen's top), else the main window near the
// left edge; 1 the view under the main window, overlapping it by 100 twips; 2 cascade from a
// tenth of the screen, the view 0.7 of the main window's size further right and down. Any other
// value is side by side, the arrangement of every load. The windows keep their sizes and the
// view is not kept on the screen.
// The view is placed from the main window's position as computed here.
ArrangeResult ArrangeWindows(int32_t arrangement, const ArrangeInput& in);

// Where the view goes for the main window at (main_left, main_top), twips. The windows place the
// view from where the main window really went, which the window system rounds to whole pixels.
void PlaceViewBy(int32_t arrangement, double main_left, double main_top, const ArrangeInput& in,
                 double& view_left, double& view_top);

// Twips to whole pixels, halves to the even neighbour; 0 for a scale that is not positive.
int32_t TwipsToPixels(double twips, int32_t twips_per_pixel);

}  // namespace pictorra::options
