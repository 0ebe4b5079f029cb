#pragma once
// The image view's mouse rules over its picture box, as pure functions: which crop-box edge the
// pointer is over, where a dragged edge takes the box, where a text click lands and which
// colour a right click picks. Coordinates are picture-box pixels, top-down; the mouse may report
// fractions and the box may sit at a fractional position. The window keeps the state (the
// grabbed edge, whether a drag or a text placement is under way) and acts on the answers.

#include <cstdint>
#include <optional>
#include <utility>

#include "image/c_image.h"
#include "options/job_windows.h"

namespace pictorra::options {

// The crop-box edge under the pointer; the values are the ones the window keeps while dragging.
enum class CropEdge : int32_t { kNone = 0, kLeft = 1, kTop = 2, kRight = 3, kBottom = 4 };

// The edge the pointer at (x, y) is over, for a picture box of scale_width x scale_height.
// nullopt within 4 pixels of the picture box's own border: the pointer keeps whatever shape it
// has there, so a drag may run out to the border without the pointer flickering. Otherwise the
// edges are rounded to whole pixels and each has a grab zone reaching 2 pixels (exclusive) to
// either side of it, between (exclusive) the two edges across it, so corners and the inside of
// the box are kNone; left, right, top, bottom is the order of precedence when zones overlap in
// a small box.
// The caller asks only while the box is visible, no right button is down and no text is being
// placed; in those cases the pointer stays as it is.
std::optional<CropEdge> HoverEdge(double x, double y, const CropBox& box, double scale_width,
                                  double scale_height);

// Where a drag of one edge to (x, y) puts the box. The box keeps its size and moves along one
// axis; `manual_mode` is what the job records about the move (1 sideways, 2 up or down). A
// position that would put the box partly outside the picture box is refused (moved false, left
// and top the box's own), so the box waits at its last position in range until the pointer comes
// back. An up or down move also snaps the left edge to a whole pixel.
struct CropDrag {
    bool moved = false;
    double left = 0;
    double top = 0;
    int32_t manual_mode = 0;
};
CropDrag DragCropBox(CropEdge edge, double x, double y, const CropBox& box, double scale_width,
                     double scale_height);

// Where a text goes for a left click at (x, y): whole pixels from the crop box's top-left corner
// when the box is visible (that corner becomes the output picture's), from the picture box's
// corner otherwise. nullopt for a click left of or above that corner.
std::optional<std::pair<int32_t, int32_t>> TextClickPoint(double x, double y, const CropBox& box);

// The colour reference (0xBBGGRR) of the surface pixel containing the point (x, y), top-down;
// -1 outside the picture or when the surface holds none.
int64_t PixelAt(const image::cImage& surface, double x, double y);

}  // namespace pictorra::options
