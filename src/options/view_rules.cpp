#include "options/view_rules.h"

#include <cmath>

#include "options/geometry.h"

namespace pictorra::options {

std::optional<CropEdge> HoverEdge(double x, double y, const CropBox& box, double scale_width,
                                  double scale_height) {
    if (x < 4 || y < 4 || x > scale_width - 4 || y > scale_height - 4) return std::nullopt;
    // The box is drawn on whole pixels: the zones follow the edges as drawn.
    const double L = Nearest(box.Left);
    const double T = Nearest(box.Top);
    const double R = Nearest(L + box.Width);
    const double B = Nearest(T + box.Height);
    const bool between_top_bottom = T < y && y < B;
    const bool between_left_right = L < x && x < R;
    if (L - 2 < x && x < L + 2 && between_top_bottom) return CropEdge::kLeft;
    if (R - 2 < x && x < R + 2 && between_top_bottom) return CropEdge::kRight;
    if (T - 2 < y && y < T + 2 && between_left_right) return CropEdge::kTop;
    if (B - 2 < y && y < B + 2 && between_left_right) return CropEdge::kBottom;
    return CropEdge::kNone;
}

CropDrag DragCropBox(CropEdge edge, double x, double y, const CropBox& box, double scale_width,
                     double scale_height) {
    const double W = box.Width, H = box.Height;
    switch (edge) {
        case CropEdge::kLeft:
            if (x > -1 && x + W <= scale_width) return {true, x, box.Top, 1};
            break;
        case CropEdge::kRight:
            if (x - W > -1 && x <= scale_width) return {true, x - W, box.Top, 1};
            break;
        case CropEdge::kTop:
            if (y > -1 && y + H <= scale_height) return {true, double(Nearest(box.Left)), y, 2};
            break;
        case CropEdge::kBottom:
            if (y - H > -1 && y <= scale_height) return {true, double(Nearest(box.Left)), y - H, 2};
            break;
        case CropEdge::kNone:
            break;
    }
    return {false, box.Left, box.Top, 0};
}

std::optional<std::pair<int32_t, int32_t>> TextClickPoint(double x, double y, const CropBox& box) {
    int32_t px = Nearest(x), py = Nearest(y);
    if (box.Visible) {
        px = Nearest(px - box.Left);
        py = Nearest(py - box.Top);
    }
    if (px < 0 || py < 0) return std::nullopt;
    return std::pair{px, py};
}

int64_t PixelAt(const image::cImage& surface, double x, double y) {
    const image::ConstPixelView view = surface.View();
    if (view.empty()) return -1;
    const double fx = std::floor(x), fy = std::floor(y);
    // Written so that NaN falls outside too.
    if (!(fx >= 0 && fx < view.width && fy >= 0 && fy < view.height)) return -1;
    const uint8_t* p = view.Row(static_cast<int32_t>(fy)) + 3 * static_cast<int64_t>(fx);
    return int64_t{p[0]} << 16 | int64_t{p[1]} << 8 | int64_t{p[2]};
}

}  // namespace pictorra::options
