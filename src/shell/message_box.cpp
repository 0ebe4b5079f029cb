#include "shell/message_box.h"

#include <QMessageBox>
#include <memory>

#include "shell/modal.h"

namespace pictorra::shell {
namespace {

int Show(QWidget* owner, QMessageBox::Icon icon, const std::string& text,
         QMessageBox::StandardButtons buttons) {
    auto box = std::make_unique<QMessageBox>(icon, QString::fromLatin1(kMessageBoxTitle),
                                             QString::fromStdString(text), buttons, owner);
    box->setTextFormat(Qt::PlainText);
    box->setDefaultButton(QMessageBox::Ok);
    return ExecOwned(box);
}

}  // namespace

MessageBoxes::~MessageBoxes() = default;

QtMessageBoxes::QtMessageBoxes(QWidget* owner) : owner_(owner) {}

bool QtMessageBoxes::Ask(const std::string& text) {
    return Show(owner_, QMessageBox::Question, text, QMessageBox::Ok | QMessageBox::Cancel) ==
           QMessageBox::Ok;
}

void QtMessageBoxes::Inform(const std::string& text) {
    Show(owner_, QMessageBox::Information, text, QMessageBox::Ok);
}

void QtMessageBoxes::Plain(const std::string& text) {
    Show(owner_, QMessageBox::NoIcon, text, QMessageBox::Ok);
}

}  // namespace pictorra::shell
