#include "ui/info_label.h"

#include <QMouseEvent>

#include "ui/ui_style.h"

namespace pictorra::ui {

InfoLabel::InfoLabel(QWidget* parent, const char* name, const QRect& place)
    : QLabel(QStringLiteral("?"), parent) {
    setObjectName(QString::fromLatin1(name));
    setGeometry(place);
    setFont(SansFont(kLargePx, true));
    setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    setCursor(Qt::PointingHandCursor);
    setMouseTracking(true);
    setToolTip(QStringLiteral("Help"));
    ShowRest();
}

void InfoLabel::ShowRest() { SetTextColor(this, kInfoRest); }

void InfoLabel::mouseMoveEvent(QMouseEvent* event) {
    SetTextColor(this, kInfoHover);
    event->accept();
}

void InfoLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit Clicked();
    }
    event->accept();
}

void InfoLabel::leaveEvent(QEvent* /*event*/) { ShowRest(); }

}  // namespace pictorra::ui
