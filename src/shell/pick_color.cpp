#include "shell/pick_color.h"

#include "shell/modal.h"

namespace pictorra::shell {

QColor ColorFromRef(uint32_t bgr) {
    return QColor(static_cast<int>(bgr & 0xffu), static_cast<int>((bgr >> 8) & 0xffu),
                  static_cast<int>((bgr >> 16) & 0xffu));
}

uint32_t RefFromColor(const QColor& color) {
    const QColor rgb = color.toRgb();
    return static_cast<uint32_t>(rgb.red()) | static_cast<uint32_t>(rgb.green()) << 8 |
           static_cast<uint32_t>(rgb.blue()) << 16;
}

void ResetCustomColors() {
    for (int i = 0; i < QColorDialog::customCount(); ++i)
        QColorDialog::setCustomColor(i, QColor(Qt::black));
}

std::unique_ptr<QColorDialog> MakeColorDialog(QWidget* owner, std::optional<uint32_t> initial,
                                              uint32_t mount_color) {
    auto dialog = std::make_unique<QColorDialog>(owner);
    // Qt's own dialog always shows the custom colours, which the desktop's may hide.
    dialog->setOption(QColorDialog::DontUseNativeDialog);
    dialog->setCurrentColor(ColorFromRef(initial.value_or(mount_color)));
    return dialog;
}

int32_t PickColor(QWidget* owner, std::optional<uint32_t> initial, uint32_t mount_color) {
    auto dialog = MakeColorDialog(owner, initial, mount_color);
    if (ExecOwned(dialog) != QDialog::Accepted) return -1;
    const QColor chosen = dialog->selectedColor();
    if (!chosen.isValid()) return -1;
    return static_cast<int32_t>(RefFromColor(chosen));
}

}  // namespace pictorra::shell
