#pragma once
// The pictures of the windows, painted here rather than shipped as files: the title strips and
// their icon, the window buttons, the image bar, the drop chute, the wait picture and the
// captioned buttons. One palette, one light source (top-left) and one stroke weight keep them
// together. Each call paints afresh; the windows keep what they show.

#include <QImage>
#include <QString>

namespace pictorra::ui::pictures {

// The banner behind a title strip: the strip's slate blue, lighter towards the right.
QImage Banner(int width, int height = 24);
// The program's mark (a print with a crop corner) at any square size, transparent around it.
QImage ProgramIcon(int size);
// The 16 x 16 window buttons, drawn on the strip's colour.
QImage MinimizeButton();
QImage CloseButton();
// The image bar's four 16 x 16 pictures: 0 load file, 1 load folder, 2 options, 3 help.
QImage BarIcon(int index);
// The 75 x 75 drop chute and the 23 x 28 wait picture.
QImage Chute();
QImage Wait();
// The image view's seven 24 x 24 tool pictures: 0 lighten, 1 darken, 2 sharpen, 3 soften,
// 4 border, 5 frame, 6 text.
QImage ToolIcon(int index);
// The 23 x 23 arrangement buttons: 0 side by side, 1 one above the other, 2 cascade.
QImage MoveIcon(int index);
// A captioned push button of the given size.
QImage CaptionButton(int width, int height, const QString& caption);

}  // namespace pictorra::ui::pictures
