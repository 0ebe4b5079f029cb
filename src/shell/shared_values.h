#pragma once
// The values shared by the whole program, one set per process. They are set at start-up, by the
// settings dialog and by the windows, and read by the job; a job run only reads them, so runs
// may work on several pictures at once.

#include <cstdint>
#include <string>

#include "image/metadata_choice.h"

namespace pictorra::shell {

// Resize presets (largest side in pixels) and the custom crop ratio (0 until one is set).
inline constexpr int32_t kDefaultSize1 = 260;
inline constexpr int32_t kDefaultSize2 = 640;
inline constexpr int32_t kDefaultSize3 = 800;

extern int32_t gSize1;
extern int32_t gSize2;
extern int32_t gSize3;
extern int32_t gCropSmDim;
extern int32_t gCropLgDim;
// Which photo information JPG outputs carry.
extern image::MetadataChoice gMetadata;
// Mounting background, a colour reference (red in the low byte).
extern uint32_t gMountColor;
// 0: the crop box sits where the orientation puts it; 1: dragged sideways; 2: dragged up/down.
extern int32_t gManualCrop;
// Where the image view was when last hidden (0, 0: never).
extern int32_t gViewLeft;
extern int32_t gViewTop;
// Twips (1/1440 inch) per screen pixel, whole numbers: 15 at 96 dpi.
extern int32_t gTwipsX;
extern int32_t gTwipsY;
// The drop sound, its muted name and the help file, beside the program (set at start-up).
extern std::string gSoundPath;
extern std::string gMutedSoundPath;
extern std::string gHelpPath;

// Puts every shared value back to its start-up state.
void ResetSharedValues();

}  // namespace pictorra::shell
