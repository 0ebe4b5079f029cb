#include "shell/shared_values.h"

namespace pictorra::shell {

int32_t gSize1 = kDefaultSize1;
int32_t gSize2 = kDefaultSize2;
int32_t gSize3 = kDefaultSize3;
int32_t gCropSmDim = 0;
int32_t gCropLgDim = 0;
uint32_t gMountColor = 0xFFFFFF;
image::MetadataChoice gMetadata = image::kDefaultMetadataChoice;
int32_t gManualCrop = 0;
int32_t gViewLeft = 0;
int32_t gViewTop = 0;
int32_t gTwipsX = 15;
int32_t gTwipsY = 15;
std::string gSoundPath;
std::string gMutedSoundPath;
std::string gHelpPath;

void ResetSharedValues() {
    gSize1 = kDefaultSize1;
    gSize2 = kDefaultSize2;
    gSize3 = kDefaultSize3;
    gCropSmDim = 0;
    gCropLgDim = 0;
    gMountColor = 0xFFFFFF;
    gMetadata = image::kDefaultMetadataChoice;
    gManualCrop = 0;
    gViewLeft = 0;
    gViewTop = 0;
    gTwipsX = 15;
    gTwipsY = 15;
    gSoundPath.clear();
    gMutedSoundPath.clear();
    gHelpPath.clear();
}

}  // namespace pictorra::shell
