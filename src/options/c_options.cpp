// cOptions: reading the option controls, the flags, and the crop geometry of the loaded picture.
#include "options/c_options.h"

#include <string>

#include "shell/shared_values.h"

namespace pictorra::options {

using shell::gCropLgDim;
using shell::gCropSmDim;
using shell::gManualCrop;

void PictureBox::SetSize(int32_t width, int32_t height) {
    ScaleWidth = width;
    ScaleHeight = height;
    if (surface.CreateDIB(width, height) == image::kDibOk) Clear();
}

void PictureBox::Clear() { surface.FillRect(0, 0, surface.Width(), surface.Height(), BackColor); }

cOptions::cOptions(JobWindows& windows, PictureBox& box) : windows_(windows), box_(box) {
    op_types_.fill(kOpNone);
}

void cOptions::ReadOptions() {
    ReadRatio();
    ReadOrientation();
    const OptionControls c = windows_.ReadControls();
    crop_enabled_ = c.CkCrop;
    mount_enabled_ = crop_enabled_ && c.CkMount;
    ReadResize();
    switch (c.QList) {
        case 0:
            jpg_quality_ = 75;
            break;
        case 1:
            jpg_quality_ = 85;
            break;
        case 2:
            jpg_quality_ = 92;
            break;
        default:
            jpg_quality_ = 100;
            break;
    }
    resize_hq_ = c.OpResizeQuality != 0;
    file_type_ = c.OpType == 0 ? kFileTypeJpg : kFileTypeBmp;
    file_ext_ = file_type_ == kFileTypeJpg ? ".jpg" : ".bmp";
    metadata_ = shell::gMetadata;
    name_orient_ = c.CkOrient;
}

void cOptions::ReadRatio() {
    struct Ratio {
        int32_t small, large;
        const char* code;
    };
    static constexpr Ratio kRatios[4] = {{2, 3, "46"}, {5, 7, "57"}, {4, 5, "810"}, {1, 1, "SQ"}};
    const int index = windows_.ReadControls().OpSize;
    if (index >= 0 && index <= 3) {
        ratio_small_ = kRatios[index].small;
        ratio_large_ = kRatios[index].large;
        ratio_code_ = kRatios[index].code;
        return;
    }
    if (gCropSmDim >= 1 && gCropLgDim >= 1) {
        ratio_small_ = gCropSmDim;
        ratio_large_ = gCropLgDim;
        ratio_code_ = std::to_string(gCropSmDim) + std::to_string(gCropLgDim);
        return;
    }
    // No usable custom ratio: the window falls back to square.
    windows_.SelectSquareRatio();
    ratio_small_ = kRatios[3].small;
    ratio_large_ = kRatios[3].large;
    ratio_code_ = kRatios[3].code;
}

void cOptions::ReadOrientation() {
    const OptionControls c = windows_.ReadControls();
    if (c.CkCrop) {
        static constexpr const char* kLetters[5] = {"a", "b", "c", "d", "e"};
        orient_index_ = (c.OpDir >= 0 && c.OpDir <= 3) ? c.OpDir : 4;
        orient_code_ = kLetters[orient_index_];
        if (gManualCrop > 0) orient_code_ = "m";
    } else {
        orient_code_ = "-";
    }
    name_orient_ = c.CkOrient;
}

void cOptions::ReadResize() {
    const OptionControls c = windows_.ReadControls();
    resize_size_ = 0;
    resize_code_.clear();
    resize_enabled_ = false;
    if (!c.CkResize) return;
    resize_size_ = c.OpResize == 0   ? shell::gSize1
                   : c.OpResize == 1 ? shell::gSize2
                                     : shell::gSize3;
    resize_code_ = "-R" + std::to_string(resize_size_);
    resize_enabled_ = true;
}

std::string cOptions::ReadUserName() {
    const std::string name = windows_.ReadControls().TName;
    const auto first = name.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return name.substr(first, name.find_last_not_of(' ') - first + 1);
}

void cOptions::SetCropEnabled(bool Boo) {
    crop_enabled_ = Boo;
    if (drop_type_ != kDropFile) return;
    if (!Boo) {
        geometry_ = CropGeometry{};
        windows_.SetSizeDisplay(std::to_string(pic_wide_), std::to_string(pic_high_));
        box_.crop.Visible = false;
        windows_.RefreshPicture();
        DrawPreview();
        return;
    }
    DrawPreview();
    ReadRatio();
    PlaceCropBox();
}

void cOptions::SetMountEnabled(bool Boo) {
    mount_enabled_ = Boo;
    if (drop_type_ != kDropFile) return;
    ClearCustomOps();
    CalcCropSize(pic_wide_, pic_high_);
    DrawPreview();
}

void cOptions::UpdateRatio() {
    ReadRatio();
    if (mount_enabled_) {
        CalcCropSize(pic_wide_, pic_high_);
        DrawPreview();
    } else {
        PlaceCropBox();
    }
}

void cOptions::UpdateOrientation() {
    ReadOrientation();
    if (mount_enabled_) {
        CalcCropSize(pic_wide_, pic_high_);
        box_.crop.Visible = false;
        windows_.RefreshPicture();
    } else {
        PlaceCropBox();
    }
}

void cOptions::CalcCropSize(int32_t W, int32_t H) {
    CropGeometry g;
    if (!ComputeCropGeometry(W, H, ratio_small_, ratio_large_, crop_enabled_, mount_enabled_, g))
        return;
    geometry_ = g;
    ShowGeometry(g);
}

void cOptions::ShowGeometry(const CropGeometry& g) {
    if (!crop_enabled_) {
        windows_.SetSizeDisplay(std::to_string(pic_wide_), std::to_string(pic_high_));
    } else if (mount_enabled_) {
        windows_.SetSizeDisplay(std::to_string(g.MountWide), std::to_string(g.MountHigh));
    } else {
        windows_.SetSizeDisplay(std::to_string(g.CropWide), std::to_string(g.CropHigh));
    }
}

void cOptions::PlaceCropBox() {
    if (pic_wide_ == 0 || pic_high_ == 0 || !crop_enabled_ || mount_enabled_) return;
    CalcCropSize(pic_wide_, pic_high_);
    if (geometry_.CropWide == 0 || geometry_.CropHigh == 0) return;
    const int32_t SW = Nearest(box_.ScaleWidth), SH = Nearest(box_.ScaleHeight);
    const int32_t BW = Nearest(double(geometry_.CropWide) / pic_wide_ * SW);
    const int32_t BH = Nearest(double(geometry_.CropHigh) / pic_high_ * SH);
    int32_t L = 0, T = 0;
    OrientationOrigin(orient_index_, SW - BW, SH - BH, L, T);
    box_.crop = CropBox{double(L), double(T), double(BW), double(BH), true};
    windows_.RefreshPicture();
}

std::string cOptions::DecorateName(const std::string& Name) const {
    std::string n = Name;
    if (crop_enabled_) n += ratio_code_;
    if (name_orient_ && !mount_enabled_) n += orient_code_;
    if (resize_enabled_) n += resize_code_;
    if (n == Name) n += "-";
    return n;
}

}  // namespace pictorra::options
