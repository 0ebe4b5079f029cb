#pragma once
// Keeping a window above the others and sending one to the back. The image view stays on top
// while it is in use, and windows that go away are sent to the back first so that hiding them
// never uncovers them for a moment. Behind an interface so that tests can see the calls.

class QWidget;

namespace pictorra::ui {

class WindowStacking {
public:
    virtual ~WindowStacking() = default;
    virtual void SetTopmost(QWidget* window) = 0;
    // Also ends a topmost state.
    virtual void SetBottom(QWidget* window) = 0;
};

// On X11: the window manager's stay-on-top hint, set on the window itself so that a shown window
// stays shown (changing the widget's flags would hide it), and lowering for the back.
class X11Stacking final : public WindowStacking {
public:
    void SetTopmost(QWidget* window) override;
    void SetBottom(QWidget* window) override;
};

}  // namespace pictorra::ui
