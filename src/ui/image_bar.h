#pragma once

#include <QLabel>

namespace pictorra::ui {

// A button of the main window's image bar or the image view's tool bar: flat at rest, a single-line
// border under the pointer, a sunken look while pressed.
class ImageBarButton : public QLabel {
    Q_OBJECT

public:
    enum class Look { kFlat, kBorder, kPressed };

    // name: "ImBar" or "ImTool"; the object name is name(index).
    ImageBarButton(QWidget* parent, const char* name, int index, const QImage& picture,
                   const QString& tip);
    void SetLook(Look look);
    Look CurrentLook() const { return look_; }

signals:
    void Hovered(int index);
    void Clicked(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int index_;
    Look look_ = Look::kFlat;
};

}  // namespace pictorra::ui
