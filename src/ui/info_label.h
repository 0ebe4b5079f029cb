#pragma once
// A "?" label: bold, red at rest, violet while the pointer moves over it, and a click asks for
// the help page of its window. It turns red again when the pointer leaves it.

#include <QLabel>

namespace pictorra::ui {

class InfoLabel : public QLabel {
    Q_OBJECT

public:
    InfoLabel(QWidget* parent, const char* name, const QRect& place);

    void ShowRest();

signals:
    void Clicked();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
};

}  // namespace pictorra::ui
