#pragma once
// The faces, sizes and colours the windows share. Window coordinates are device-independent
// pixels (15 twips a pixel at 96 dpi); type is set by pixel size so that captions keep their
// width at any screen resolution: 8.25 pt is 11 px, 9.75 pt is 13 px.
//
// The window faces map onto fonts every Debian desktop has: the narrow sans for labels and
// headings ("Arial" in the window tables) is Liberation Sans, the wide one for fields and check
// boxes ("Verdana", "MS Sans Serif") is DejaVu Sans.

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>
#include <cstdint>

#include "shell/pick_color.h"

class QLabel;
class QWidget;

namespace pictorra::ui {

inline constexpr int kSmallPx = 11;  // 8.25 pt
inline constexpr int kLargePx = 13;  // 9.75 pt

// Window colours (colour references, red in the low byte).
inline constexpr uint32_t kFormBack = 0xFDFDFE;
inline constexpr uint32_t kStripBack = 0xAD6B6B;  // the title strips
inline constexpr uint32_t kHeadingText = 0x9A5445;
inline constexpr uint32_t kNameText = 0x800000;
inline constexpr uint32_t kInfoRest = 0xF02F2F;   // a "?" label at rest
inline constexpr uint32_t kInfoHover = 0x8000FF;  // and under the pointer
// Stored colours of every glow button on the windows.
inline constexpr char kButtonGlow[] = "A01010";
inline constexpr char kButtonDisabled[] = "DEDEDE";

QFont SansFont(int pixel_size, bool bold = false);  // Liberation Sans
QFont WideFont(int pixel_size, bool bold = false);  // DejaVu Sans

// A label at a place of its parent, with the given face, text colour and, unless `back` is
// negative, back colour. Captions are plain text.
QLabel* MakeLabel(QWidget* parent, const char* name, const QRect& place, const QString& text,
                  const QFont& font, uint32_t color, int64_t back = -1);

// Text and back colour of a widget through its palette.
void SetTextColor(QWidget* widget, uint32_t color);
void SetBackColor(QWidget* widget, uint32_t color);

}  // namespace pictorra::ui
