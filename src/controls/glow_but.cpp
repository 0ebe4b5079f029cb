#include "controls/glow_but.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>

namespace pictorra::controls {

namespace {

// A colour reference (red in the low byte) as the same colour in Qt's 0xAARRGGBB order, opaque.
QRgb ToRgb(uint32_t color) {
    return qRgb(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                static_cast<int>((color >> 16) & 0xFF));
}

// Picture pixels combined with one colour over the whole picture (Format_RGB32: the top byte
// stays 0xFF).
void OrPixels(QImage& image, QRgb rgb) {
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) row[x] |= rgb;
    }
}

void AndPixels(QImage& image, QRgb rgb) {
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) row[x] &= rgb;
    }
}

bool IsLeftButton(const QEvent* event) {
    return static_cast<const QMouseEvent*>(event)->button() == Qt::LeftButton;
}

}  // namespace

std::optional<uint32_t> ParseColorText(const QString& text) {
    if (text.isEmpty() || text.size() > 8) return std::nullopt;
    uint32_t value = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        uint32_t digit = 0;
        if (u >= u'0' && u <= u'9') {
            digit = u - u'0';
        } else if (u >= u'a' && u <= u'f') {
            digit = u - u'a' + 10;
        } else if (u >= u'A' && u <= u'F') {
            digit = u - u'A' + 10;
        } else {
            return std::nullopt;
        }
        value = value << 4 | digit;
    }
    return value;
}

QString ColorText(uint32_t color) { return QString::number(color, 16).toUpper(); }

GlowBut::GlowBut(CSubclass* hook, QWidget* parent) : QWidget(parent), hook_(hook) {
    // Moves without a button held are what start the glow.
    setMouseTracking(true);
    setFixedSize(0, 0);
}

GlowBut::~GlowBut() { UnhookButton(); }

void GlowBut::SetEnabled(bool Boo1) {
    enabled_ = Boo1;
    if (!enabled_) {
        // A disabled button ignores the leave and the release, so neither could end these.
        hover_ = false;
        glow_shown_ = false;
        pressed_ = false;
    }
    update();
}

void GlowBut::SetButtonImage(const QImage& oPic) {
    picture_ = oPic.convertToFormat(QImage::Format_RGB32);
    setFixedSize(picture_.size());
    update();
}

void GlowBut::SetGlowColor(const QString& SGCol) {
    if (const auto color = ParseColorText(SGCol)) glow_color_ = *color;
    update();
}

void GlowBut::SetDisabledColor(const QString& SDCol) {
    if (const auto color = ParseColorText(SDCol)) disabled_color_ = *color;
    update();
}

bool GlowBut::HookButton() {
    if (!hook_ || hooked_) return false;
    hooked_ = hook_->Subclass(this, 0, 1, this, true, false, false);
    if (!hooked_) return false;
    // The second press of a double click arrives as its own event type.
    for (const QEvent::Type msg : {QEvent::MouseButtonPress, QEvent::MouseButtonDblClick,
                                   QEvent::MouseButtonRelease, QEvent::Leave}) {
        hook_->AddMsg(this, msg, kMsgWhenBefore);
    }
    return true;
}

void GlowBut::UnhookButton() {
    if (!hooked_) return;
    hooked_ = false;
    if (!hook_) return;
    for (const QEvent::Type msg : {QEvent::MouseButtonPress, QEvent::MouseButtonDblClick,
                                   QEvent::MouseButtonRelease, QEvent::Leave}) {
        hook_->DelMsg(this, msg, kMsgWhenBefore);
    }
    hook_->UnSubclass(this);
}

void GlowBut::WindowProc(bool bBefore, bool& /*bHandled*/, intptr_t& /*lReturn*/,
                         QWidget* /*lng_hWnd*/, int32_t uMsg, QEvent* event,
                         intptr_t& /*lParamUser*/) {
    // The widget's own handling always follows; the button only changes its look here.
    if (!bBefore || !enabled_) return;
    switch (uMsg) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            if (IsLeftButton(event)) ShowPressed();
            break;
        case QEvent::MouseButtonRelease:
            if (IsLeftButton(event)) {
                const auto* mouse = static_cast<const QMouseEvent*>(event);
                ShowReleased(rect().contains(mouse->position().toPoint()));
            }
            break;
        case QEvent::Leave:
            if (hover_) {
                glow_shown_ = false;
                hover_ = false;
                update();
            }
            break;
        default:
            break;
    }
}

void GlowBut::ShowPressed() {
    pressed_ = true;
    glow_shown_ = false;
    update();
}

void GlowBut::ShowReleased(bool over_button) {
    const bool was_pressed = pressed_;
    pressed_ = false;
    glow_shown_ = false;
    hover_ = false;
    update();
    // Last: a Click handler may disable, hide or destroy the button.
    if (was_pressed && over_button) emit Click();
}

void GlowBut::paintEvent(QPaintEvent* /*event*/) {
    if (picture_.isNull()) return;
    QImage face = picture_;
    if (glow_shown_) OrPixels(face, ToRgb(glow_color_));
    if (!enabled_ || pressed_) AndPixels(face, ToRgb(disabled_color_));
    QPainter painter(this);
    // At a fractional scale a nearest-pixel picture gets uneven strokes; at scale 1 the picture
    // lands on whole pixels and is copied exactly either way.
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const int shift = pressed_ ? kPressShift : 0;
    painter.drawImage(QPoint(shift, shift), face);
}

void GlowBut::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    if (!enabled_ || hover_ || !rect().contains(event->position().toPoint())) return;
    hover_ = true;
    glow_shown_ = true;
    update();
}

void GlowBut::mousePressEvent(QMouseEvent* event) { event->accept(); }

void GlowBut::mouseReleaseEvent(QMouseEvent* event) { event->accept(); }

void GlowBut::mouseDoubleClickEvent(QMouseEvent* event) { event->accept(); }

}  // namespace pictorra::controls
