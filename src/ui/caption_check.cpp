#include "ui/caption_check.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QMouseEvent>

#include "ui/ui_style.h"

namespace pictorra::ui {

void ThreeStateBox::nextCheckState() {
    setCheckState(checkState() == Qt::Checked || checkState() == Qt::PartiallyChecked
                      ? Qt::Unchecked
                      : Qt::Checked);
}

CaptionCheck::CaptionCheck(QWidget* parent, const char* name, const QRect& place,
                           const QString& caption, const QFont& font, uint32_t color,
                           bool box_right)
    : QWidget(parent), box_(new ThreeStateBox(this)), caption_(new QLabel(caption, this)) {
    setObjectName(QString::fromLatin1(name) + QStringLiteral("Area"));
    box_->setObjectName(QString::fromLatin1(name));
    box_->setAccessibleName(caption);
    caption_->setTextFormat(Qt::PlainText);
    caption_->setWordWrap(true);
    caption_->setFont(font);
    SetTextColor(caption_, color);
    caption_->installEventFilter(this);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    if (box_right) {
        caption_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        row->addWidget(caption_, 1);
        row->addWidget(box_, 0, Qt::AlignVCenter);
    } else {
        row->addWidget(box_, 0, Qt::AlignVCenter);
        row->addWidget(caption_, 1);
    }
    // A caption that needs more lines than the place allows grows the control downwards rather
    // than being cut.
    QRect fitted = place;
    const int needed = row->hasHeightForWidth() ? row->heightForWidth(place.width()) : 0;
    if (needed > fitted.height()) fitted.setHeight(needed);
    setGeometry(fitted);
}

bool CaptionCheck::eventFilter(QObject* watched, QEvent* event) {
    if (watched == caption_ && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && box_->isEnabled() &&
        caption_->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
        box_->click();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace pictorra::ui
