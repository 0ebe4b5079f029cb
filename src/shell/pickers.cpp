#include "shell/pickers.h"

#include <QFileInfo>
#include <QMessageBox>

#include "shell/modal.h"

namespace pictorra::shell {
namespace {

// The one path the dialog returns, whole: Linux paths run far beyond the lengths some systems
// allow, and anything shorter would name another file.
std::string Chosen(std::unique_ptr<QFileDialog>& dialog) {
    if (ExecOwned(dialog) != QDialog::Accepted) return {};
    const QStringList files = dialog->selectedFiles();
    return files.isEmpty() ? std::string() : files.front().toStdString();
}

// The picture-file dialog runs in AnyFile mode, which returns what the user typed, and asks for an
// existing file itself. ExistingFile would check existence too, but it also greys out Open for a
// typed name the filter does not list ("notes.txt"), and such a name must reach the caller, which
// tells the user why it cannot be loaded.
class ExistingFileDialog : public QFileDialog {
public:
    using QFileDialog::QFileDialog;

    void accept() override {
        const QStringList files = selectedFiles();
        if (!files.isEmpty()) {
            const QFileInfo info(files.front());
            if (!info.exists()) {
                QMessageBox::warning(this, windowTitle(),
                                     QFileDialog::tr("%1\nFile not found.\nPlease verify the "
                                                     "correct file name was given.")
                                         .arg(info.fileName()));
                return;
            }
        }
        QFileDialog::accept();
    }
};

}  // namespace

std::unique_ptr<QFileDialog> MakeFileDialog(QWidget* owner, const std::string& title) {
    std::unique_ptr<QFileDialog> dialog =
        std::make_unique<ExistingFileDialog>(owner, QString::fromStdString(title));
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilter(QString::fromLatin1(kImageFilesFilter));
    // Cameras write "IMG_0001.JPG": the filter must not care about letter case.
    dialog->setFilter(dialog->filter() & ~QDir::CaseSensitive);
    return dialog;
}

std::string BrowseForFile(QWidget* owner, const std::string& title) {
    auto dialog = MakeFileDialog(owner, title);
    return Chosen(dialog);
}

std::unique_ptr<QFileDialog> MakeFolderDialog(const std::string& title, QWidget* owner) {
    auto dialog = std::make_unique<QFileDialog>(owner, QString::fromStdString(title));
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    return dialog;
}

std::string BrowseForFolder(const std::string& title, QWidget* owner) {
    auto dialog = MakeFolderDialog(title, owner);
    std::string folder = Chosen(dialog);
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

}  // namespace pictorra::shell
