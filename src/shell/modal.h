#pragma once
// Running a modal dialog that the caller owns through a unique_ptr. When the owner window is
// closed while the dialog runs, Qt deletes the dialog as its child; the pointer then lets go of it
// instead of deleting it a second time, and the dialog counts as cancelled.

#include <QDialog>
#include <QPointer>
#include <memory>

namespace pictorra::shell {

template <class Dialog>
int ExecOwned(std::unique_ptr<Dialog>& dialog) {
    const QPointer<Dialog> alive(dialog.get());
    const int result = dialog->exec();
    if (alive) return result;
    static_cast<void>(dialog.release());
    return QDialog::Rejected;
}

}  // namespace pictorra::shell
