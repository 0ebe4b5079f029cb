#pragma once
// Hand tools applied to the preview are recorded as values and replayed on every output
// picture at full resolution.

#include <cstdint>
#include <string>

#include "image/c_image.h"

namespace pictorra::options {

// Action codes: the image view's tool index and the code kept in the list.
inline constexpr int32_t kOpNone = -1;
inline constexpr int32_t kOpLighten = 0;
inline constexpr int32_t kOpDarken = 1;
inline constexpr int32_t kOpSharpen = 2;
inline constexpr int32_t kOpSoften = 3;
inline constexpr int32_t kOpBorder = 4;
inline constexpr int32_t kOpBevel = 5;
inline constexpr int32_t kOpText = 6;

inline constexpr int32_t kLightenPercent = 10;
inline constexpr int32_t kDarkenPart255 = 244;

// How many tools are recorded; later ones change the preview only.
inline constexpr int kCustomOpSlots = 21;
// How many changes can be undone.
inline constexpr int kMaxBackups = 3;

// The parameters of one recorded tool; a tool fills only the fields it uses. Sizes and points
// are in pixels of the full picture (after crop or mount).
struct CustomOpInfo {
    int32_t LThick = 0;
    uint32_t LCol = 0;  // colour reference, red in the low byte
    int32_t iFactor = 0;
    int32_t LStep = 0;
    int32_t FontW = 0;
    int32_t FontH = 0;
    int32_t XPt = 0;
    int32_t YPt = 0;
    std::string sFontName;
    std::string sText;
    bool IfBold = false;

    bool operator==(const CustomOpInfo&) const = default;
};

// The bevel styles of the tool dialog, in list order.
struct BevelStyle {
    const char* name;
    int32_t iFactor;
    int32_t LStep;
};
inline constexpr BevelStyle kBevelStyles[8] = {
    {"Soft", 60, 60},
    {"Pipe-shaped", 60, 200},
    {"Soft raised", 90, 90},
    {"Smooth raised", 125, 125},
    {"Sharp inner slope", 125, 200},
    {"Soft inner slope", 60, 300},
    {"Beveled", 125, 60},
    {"Sharp bevel", 200, 60},
};

// Applies one recorded tool to a W x H output picture, its operations using at most `threads`
// threads (image::kAllCores: every core).
void ReplayOp(int32_t code, const CustomOpInfo& info, image::cImage& picture, int32_t W, int32_t H,
              int32_t threads = image::kAllCores);

}  // namespace pictorra::options
