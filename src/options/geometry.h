#pragma once
// The crop and mount geometry of a print ratio: the largest box of the ratio inside a picture,
// the smallest canvas of the ratio around it, and where a crop is taken from. Pure functions,
// shared by the preview and by the run (which may work on several pictures at once).

#include <cstdint>

namespace pictorra::options {

struct CropGeometry {
    int32_t CropWide = 0;
    int32_t CropHigh = 0;
    int32_t MountWide = 0;
    int32_t MountHigh = 0;
    int32_t MountX = 0;
    int32_t MountY = 0;
};

// The geometry of a W x H picture for the ratio small : large. With crop false every result
// is 0; with mount the canvas is computed instead of the crop. The orientation of the box follows
// the picture (a square picture counts as portrait). Returns false, computing nothing, when W,
// H, small or large is 0.
bool ComputeCropGeometry(int32_t W, int32_t H, int32_t small, int32_t large, bool crop, bool mount,
                         CropGeometry& out);

// Where a manually placed crop starts: the crop box's edge in preview units against the
// preview's extent.
struct ManualCrop {
    int32_t mode = 0;     // 0 none, 1 dragged sideways, 2 dragged up or down
    double box_left = 0;  // crop box left and top in preview units
    double box_top = 0;
    double scale_width = 0;  // the preview's extent in the same units
    double scale_height = 0;
};

// The top-left source pixel of a CW x CH crop of a W x H picture for orientation 0..4 (a, b, c,
// d: the corners kept; anything else: centre), or the manual position. X and Y come in as the
// values a mode other than 0, 1 and 2 leaves.
void ComputeCropOrigin(int32_t W, int32_t H, int32_t CW, int32_t CH, int32_t orient,
                       const ManualCrop& manual, int32_t& X, int32_t& Y);

// Where a box starts that leaves `spare_x` x `spare_y` pixels of its picture uncovered, for
// orientation 0..4 (a, b, c, d: the top-left, top-right, bottom-right or bottom-left corner
// kept; anything else: centred, the odd pixel left over going to the right and bottom). No
// spare room (zero or negative) puts the box at 0 on that axis.
void OrientationOrigin(int32_t orient, int32_t spare_x, int32_t spare_y, int32_t& X, int32_t& Y);

// The output size for a resize preset: the largest side becomes `size`.
void ResizeTarget(int32_t CW, int32_t CH, int32_t size, int32_t& width, int32_t& height);

// Nearest whole number, halves to the even neighbour.
int32_t Nearest(double value);

}  // namespace pictorra::options
