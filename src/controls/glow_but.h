#pragma once
// GlowBut, the program's button: a widget exactly the size of its picture that shows the
// picture, tints it while the mouse is over it, darkens and shifts it while the left button is
// held, masks it while disabled, and emits Click when the left button that pressed it is
// released over it.
//
// Looks (colours are 0xBBGGRR, red in the low byte):
//   plain     the picture
//   glow      each pixel OR the glow colour; from the first mouse move over the button until
//             the mouse leaves, a press, or a release
//   pressed   each pixel AND the disabled colour, drawn one pixel right and down
//   disabled  each pixel AND the disabled colour
// The picture is shown opaque; its alpha channel is dropped.
//
// Press, release and leave come to the button through the window message hook, which must
// outlive the button's use of it: HookButton after the stored properties are set, and the
// button unhooks itself when destroyed. Without a hook the button still glows but never sees a
// press, a release or a leave: it emits no Click and keeps its glow after the first hover.
//
// Stored properties (names as a form stores them): "Image" (QImage), "Enabled" (bool),
// "GlowColor" and "DisabledColor" (hexadecimal text read as 0xBBGGRR: "FF0000" is blue).
// Defaults: enabled, glow "FF0000", disabled "E6E4E4". The "Enabled" property is the button's
// own; the widget itself stays enabled so that it keeps seeing the mouse.

#include <QImage>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <optional>

#include "controls/c_subclass.h"

namespace pictorra::controls {

// Hexadecimal colour text (1 to 8 digits, either case, nothing else) as a number; nullopt for
// anything else.
std::optional<uint32_t> ParseColorText(const QString& text);
// Upper-case hexadecimal without leading zeros: 0x0000FF gives "FF", 0 gives "0".
QString ColorText(uint32_t color);

class GlowBut : public QWidget, public SubclassCallback {
    Q_OBJECT
    Q_PROPERTY(QImage Image READ ButtonImage WRITE SetButtonImage)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(QString GlowColor READ GlowColor WRITE SetGlowColor)
    Q_PROPERTY(QString DisabledColor READ DisabledColor WRITE SetDisabledColor)

public:
    static constexpr uint32_t kDefaultGlowColor = 0xFF0000;
    static constexpr uint32_t kDefaultDisabledColor = 0xE6E4E4;
    // The press moves the picture by 20 twips: 1 1/3 pixels at 15 twips a pixel, to the nearest.
    static constexpr int kPressShift = 1;

    // hook: the program's window message hook (not owned; may be null, then HookButton fails).
    explicit GlowBut(CSubclass* hook, QWidget* parent = nullptr);
    ~GlowBut() override;
    GlowBut(const GlowBut&) = delete;
    GlowBut& operator=(const GlowBut&) = delete;

    bool Enabled() const { return enabled_; }
    // Disabling masks the picture and ends a glow or a press (without Click), so that enabling
    // again shows the plain picture.
    void SetEnabled(bool Boo1);

    QImage ButtonImage() const { return picture_; }
    // Also sizes the button to the picture.
    void SetButtonImage(const QImage& oPic);

    QString GlowColor() const { return ColorText(glow_color_); }
    // Text that is not hexadecimal leaves the colour as it was.
    void SetGlowColor(const QString& SGCol);
    QString DisabledColor() const { return ColorText(disabled_color_); }
    void SetDisabledColor(const QString& SDCol);

    // Hooks the button for the left button's press and release and the mouse leave; false
    // when the hook refuses (no hook, or the widget is already hooked).
    bool HookButton();
    // Undoes a successful HookButton; anything else is left alone.
    void UnhookButton();

    QSize sizeHint() const override { return picture_.size(); }

    // The hook's callback: press, release and leave, before the widget sees them.
    void WindowProc(bool bBefore, bool& bHandled, intptr_t& lReturn, QWidget* lng_hWnd,
                    int32_t uMsg, QEvent* event, intptr_t& lParamUser) override;

signals:
    void Click();

protected:
    void paintEvent(QPaintEvent* event) override;
    // The button's mouse events stop here; none is passed on to the window below.
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void ShowPressed();
    void ShowReleased(bool over_button);

    QPointer<CSubclass> hook_;
    bool hooked_ = false;
    QImage picture_;  // Format_RGB32
    uint32_t glow_color_ = kDefaultGlowColor;
    uint32_t disabled_color_ = kDefaultDisabledColor;
    bool enabled_ = true;
    bool hover_ = false;  // the glow came on and a leave is awaited
    bool glow_shown_ = false;
    bool pressed_ = false;
};

}  // namespace pictorra::controls
