#include "options/arrangement.h"

#include "options/geometry.h"

namespace pictorra::options {

namespace {

ArrangeResult SideBySide(const ArrangeInput& in) {
    const double SW = in.screen_width, SH = in.screen_height;
    const double MW = in.main_width, MH = in.main_height, VW = in.view_width;
    ArrangeResult out;
    if (SW > MW + VW) {
        double top =
            MH + in.tools_height < SH ? (SH - (MH + in.tools_height)) / 2 : 0.4 * SH - 0.5 * MH;
        if (top < 0) top = 0;
        out.main_left = (SW - (MW + VW)) / 2;
        out.main_top = top;
    } else {
        // No room: keep the main window whole near the left and let the view run off the side.
        out.main_left = 100;
        out.main_top = 0.5 * SH - 0.5 * MH;
    }
    return out;
}

}  // namespace

ArrangeResult ArrangeWindows(int32_t arrangement, const ArrangeInput& in) {
    ArrangeResult out;
    switch (arrangement) {
        case 1:
            out.main_left = 0.5 * in.screen_width - 0.5 * in.main_width;
            out.main_top = 100;
            break;
        case 2:
            out.main_left = 0.1 * in.screen_width;
            out.main_top = 0.1 * in.screen_height;
            break;
        default:
            out = SideBySide(in);
            break;
    }
    PlaceViewBy(arrangement, out.main_left, out.main_top, in, out.view_left, out.view_top);
    return out;
}

void PlaceViewBy(int32_t arrangement, double main_left, double main_top, const ArrangeInput& in,
                 double& view_left, double& view_top) {
    switch (arrangement) {
        case 1:
            // Its top at the main window's height: the two overlap by the main window's top.
            view_left = main_left;
            view_top = in.main_height;
            break;
        case 2:
            view_left = main_left + 0.7 * in.main_width;
            view_top = main_top + 0.7 * in.main_height;
            break;
        default:
            view_left = main_left + in.main_width;
            view_top = main_top;
            break;
    }
}

int32_t TwipsToPixels(double twips, int32_t twips_per_pixel) {
    if (twips_per_pixel <= 0) return 0;
    return Nearest(twips / twips_per_pixel);
}

}  // namespace pictorra::options
