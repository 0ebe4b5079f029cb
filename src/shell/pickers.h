#pragma once
// The file and folder pickers of the main window. Both use Qt's own dialogs rather than the
// desktop's, so that they look and behave the same on every desktop and tests can drive them.

#include <QFileDialog>
#include <memory>
#include <string>

class QWidget;

namespace pictorra::shell {

inline constexpr char kImageFilesFilter[] =
    "Image Files (*.gif *.jpg *.jpeg *.bmp *.png *.webp *.tif *.tiff *.heic *.heif)";

// The picture-file dialog: one existing file; picture types are listed whatever the letter case
// of their extension ("A.JPG" too), and an existing file of another type can be typed.
std::unique_ptr<QFileDialog> MakeFileDialog(QWidget* owner, const std::string& title);

// Runs MakeFileDialog modally. Returns the chosen path, "" when cancelled. A name the user types
// comes back even when it is not a picture; whether it can be loaded is the caller's question.
std::string BrowseForFile(QWidget* owner, const std::string& title);

// The folder dialog: folders only.
std::unique_ptr<QFileDialog> MakeFolderDialog(const std::string& title, QWidget* owner);

// Runs MakeFolderDialog modally. Returns the chosen folder without a trailing "/" ("/" itself
// stays "/"), "" when cancelled.
std::string BrowseForFolder(const std::string& title, QWidget* owner);

}  // namespace pictorra::shell
