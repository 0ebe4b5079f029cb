#pragma once
// A check box whose caption wraps. QCheckBox draws its text on one line, and some captions are
// wider than their place in the installed faces; this pairs a caption-less QCheckBox with a
// word-wrapping label, either side of the box, and makes a click on the label a click on the box.
//
// The box may show a third, grey state that only the program sets: a click on a grey box
// unticks it, and clicks otherwise go between ticked and unticked.

#include <QCheckBox>
#include <QLabel>
#include <QWidget>

namespace pictorra::ui {

class ThreeStateBox : public QCheckBox {
    Q_OBJECT

public:
    using QCheckBox::QCheckBox;

protected:
    void nextCheckState() override;
};

class CaptionCheck : public QWidget {
    Q_OBJECT

public:
    // The box gets the object name `name`; the whole control `name` + "Area".
    CaptionCheck(QWidget* parent, const char* name, const QRect& place, const QString& caption,
                 const QFont& font, uint32_t color, bool box_right);

    ThreeStateBox* Box() const { return box_; }
    QLabel* Caption() const { return caption_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ThreeStateBox* box_;
    QLabel* caption_;
};

}  // namespace pictorra::ui
