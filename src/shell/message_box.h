#pragma once
// The product's message boxes. Windows and the shell ask through MessageBoxes, so that tests can
// answer in place of a user; QtMessageBoxes shows real boxes titled "Pictorra".

#include <QPointer>
#include <string>

class QWidget;

namespace pictorra::shell {

inline constexpr char kMessageBoxTitle[] = "Pictorra";

class MessageBoxes {
public:
    virtual ~MessageBoxes();
    // OK and Cancel with the question icon; true when the user chose OK.
    virtual bool Ask(const std::string& text) = 0;
    // OK with the information icon.
    virtual void Inform(const std::string& text) = 0;
    // OK alone, no icon.
    virtual void Plain(const std::string& text) = 0;
};

// Modal QMessageBox boxes over an owner window (none when it is null or has been closed). Texts
// are shown as plain text: a file name holding "<" is a name, not markup.
class QtMessageBoxes final : public MessageBoxes {
public:
    explicit QtMessageBoxes(QWidget* owner);
    bool Ask(const std::string& text) override;
    void Inform(const std::string& text) override;
    void Plain(const std::string& text) override;

private:
    QPointer<QWidget> owner_;
};

}  // namespace pictorra::shell
