#include "ui/image_bar.h"

#include <QMouseEvent>
#include <QPainter>

#include "ui/ui_style.h"

namespace pictorra::ui {

// ---- ImageBarButton ----------------------------------------------------------------------------

ImageBarButton::ImageBarButton(QWidget* parent, const char* name, int index, const QImage& picture,
                               const QString& tip)
    : QLabel(parent), index_(index) {
    setObjectName(QStringLiteral("%1(%2)").arg(QString::fromLatin1(name)).arg(index));
    setPixmap(QPixmap::fromImage(picture));
    setFixedSize(picture.size());
    setToolTip(tip);
    setMouseTracking(true);
}

void ImageBarButton::SetLook(Look look) {
    look_ = look;
    update();
}

void ImageBarButton::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (look_ == Look::kFlat) return;
    QPainter p(this);
    const QRect r = rect().adjusted(0, 0, -1, -1);
    if (look_ == Look::kBorder) {
        p.setPen(shell::ColorFromRef(kStripBack));
        p.drawRect(r);
    } else {
        p.setPen(QColor(110, 110, 120));
        p.drawLine(r.topLeft(), r.topRight());
        p.drawLine(r.topLeft(), r.bottomLeft());
        p.setPen(Qt::white);
        p.drawLine(r.bottomLeft(), r.bottomRight());
        p.drawLine(r.topRight(), r.bottomRight());
    }
}

void ImageBarButton::mouseMoveEvent(QMouseEvent* event) {
    emit Hovered(index_);
    event->accept();
}

void ImageBarButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) SetLook(Look::kPressed);
    event->accept();
}

void ImageBarButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    SetLook(Look::kFlat);
    if (rect().contains(event->position().toPoint())) emit Clicked(index_);
    event->accept();
}

}  // namespace pictorra::ui
