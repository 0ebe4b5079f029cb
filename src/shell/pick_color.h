#pragma once
// The colour chooser of the mount colour and the hand tools, and the conversions between Qt's
// colours and the product's colour references (0xBBGGRR: red in the low byte).
//
// The 16 custom colours are one table for the whole run: QColorDialog keeps them for the process,
// so a colour the user adds in one dialog is there in the next. Qt also saves them in its own
// settings file and reads them back in the next run; the product starts every run with 16 black
// custom colours instead, through ResetCustomColors.

#include <QColor>
#include <QColorDialog>
#include <cstdint>
#include <memory>
#include <optional>

class QWidget;

namespace pictorra::shell {

QColor ColorFromRef(uint32_t bgr);
uint32_t RefFromColor(const QColor& color);

// Sets all 16 custom colours to black. The start-up code calls it once per run.
void ResetCustomColors();

// The colour dialog, starting at `initial`, or at the mount colour when there is none.
std::unique_ptr<QColorDialog> MakeColorDialog(QWidget* owner, std::optional<uint32_t> initial,
                                              uint32_t mount_color);

// Runs MakeColorDialog modally. Returns the chosen colour as 0xBBGGRR, -1 when cancelled. The
// mount colour is only read: storing a choice is the caller's business.
int32_t PickColor(QWidget* owner, std::optional<uint32_t> initial, uint32_t mount_color);

}  // namespace pictorra::shell
