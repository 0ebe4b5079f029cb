#include "options/geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace pictorra::options {

int32_t Nearest(double value) {
    const double r = std::nearbyint(value);
    if (!(r > double(std::numeric_limits<int32_t>::min())))
        return std::numeric_limits<int32_t>::min();
    if (r >= double(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(r);
}

bool ComputeCropGeometry(int32_t W, int32_t H, int32_t small, int32_t large, bool crop, bool mount,
                         CropGeometry& out) {
    if (W == 0 || H == 0 || small == 0 || large == 0) return false;
    out = CropGeometry{};
    if (!crop) return true;

    const bool portrait = W <= H;
    const int32_t short_side = portrait ? W : H;
    const int32_t long_side = portrait ? H : W;
    const double s = small, l = large;
    // The long side that the full short side asks for; the tolerance either way is `small`.
    const double T = short_side / s * l;
    const bool too_short = long_side + s < T;
    const bool fits = !too_short && long_side - s <= T;

    int32_t new_short = short_side, new_long = long_side;
    int32_t offset_short = 0, offset_long = 0;
    if (!mount) {
        if (too_short)
            new_short = Nearest(long_side / l * s);
        else if (!fits)
            new_long = Nearest(T);
    } else {
        if (too_short) {
            new_long = Nearest(T);
            offset_long = (new_long - long_side) / 2;
        } else if (!fits) {
            new_short = Nearest(long_side / l * s);
            offset_short = (new_short - short_side) / 2;
        }
    }
    const int32_t wide = portrait ? new_short : new_long;
    const int32_t high = portrait ? new_long : new_short;
    if (!mount) {
        out.CropWide = wide;
        out.CropHigh = high;
    } else {
        out.MountWide = wide;
        out.MountHigh = high;
        out.MountX = portrait ? offset_short : offset_long;
        out.MountY = portrait ? offset_long : offset_short;
    }
    return true;
}

void ComputeCropOrigin(int32_t W, int32_t H, int32_t CW, int32_t CH, int32_t orient,
                       const ManualCrop& manual, int32_t& X, int32_t& Y) {
    // A box dragged less than 4 preview units from the edge snaps to it.
    constexpr double kSnap = 4.0;
    if (manual.mode == 1) {
        Y = 0;
        X = manual.box_left < kSnap ? 0 : Nearest(manual.box_left / manual.scale_width * W);
        return;
    }
    if (manual.mode == 2) {
        X = 0;
        Y = manual.box_top < kSnap ? 0 : Nearest(manual.box_top / manual.scale_height * H);
        return;
    }
    if (manual.mode != 0) return;
    OrientationOrigin(orient, W - CW, H - CH, X, Y);
}

void OrientationOrigin(int32_t orient, int32_t spare_x, int32_t spare_y, int32_t& X, int32_t& Y) {
    const int32_t dx = std::max(spare_x, 0), dy = std::max(spare_y, 0);
    switch (orient) {
        case 0:
            X = 0;
            Y = 0;
            break;
        case 1:
            X = dx;
            Y = 0;
            break;
        case 2:
            X = dx;
            Y = dy;
            break;
        case 3:
            X = 0;
            Y = dy;
            break;
        default:
            X = dx / 2;
            Y = dy / 2;
            break;
    }
}

void ResizeTarget(int32_t CW, int32_t CH, int32_t size, int32_t& width, int32_t& height) {
    if (CW < CH) {
        width = Nearest(size * (double(CW) / CH));
        height = size;
    } else {
        width = size;
        height = Nearest(size * (double(CH) / CW));
    }
}

}  // namespace pictorra::options
