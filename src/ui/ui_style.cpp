#include "ui/ui_style.h"

#include <QLabel>
#include <QPalette>

namespace pictorra::ui {

namespace {
QFont Face(const char* family, int pixel_size, bool bold) {
    QFont font(QString::fromLatin1(family));
    font.setPixelSize(pixel_size);
    font.setBold(bold);
    // Captions are laid out for these faces; a different fallback would change every width.
    font.setStyleHint(QFont::SansSerif, QFont::PreferMatch);
    return font;
}
}  // namespace

QFont SansFont(int pixel_size, bool bold) { return Face("Liberation Sans", pixel_size, bold); }
QFont WideFont(int pixel_size, bool bold) { return Face("DejaVu Sans", pixel_size, bold); }

void SetTextColor(QWidget* widget, uint32_t color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, shell::ColorFromRef(color));
    palette.setColor(QPalette::Text, shell::ColorFromRef(color));
    palette.setColor(QPalette::ButtonText, shell::ColorFromRef(color));
    widget->setPalette(palette);
}

void SetBackColor(QWidget* widget, uint32_t color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, shell::ColorFromRef(color));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QRect& place, const QString& text,
                  const QFont& font, uint32_t color, int64_t back) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(place);
    label->setFont(font);
    SetTextColor(label, color);
    if (back >= 0) SetBackColor(label, static_cast<uint32_t>(back));
    return label;
}

}  // namespace pictorra::ui
