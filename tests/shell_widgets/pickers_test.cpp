// The file and folder pickers: how the dialogs are made, which files they list, and what comes
// back for a chosen, typed or cancelled name.
#include "shell/pickers.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>

#include "widget_test_main.h"

using namespace pictorra::shell;
using testing::OnNextModal;

namespace {

void Touch(const QString& path) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

// The names the dialog's list shows as choosable, sorted.
QStringList Listed(const QFileDialog& dialog) {
    const auto* view = dialog.findChild<QListView*>("listView");
    if (view == nullptr) return {"<no list view>"};
    QStringList names;
    const QModelIndex root = view->rootIndex();
    for (int row = 0; row < view->model()->rowCount(root); ++row) {
        const QModelIndex index = view->model()->index(row, 0, root);
        if (index.flags() & Qt::ItemIsEnabled) names << index.data().toString();
    }
    names.sort();
    return names;
}

struct Typed {
    QString title;
    bool open_enabled = false;
    QString warning;  // the text of a box the dialog showed over itself
};

// Types `name` into the open dialog and accepts it with its Open/Choose button, or cancels. When
// `warns`, the dialog is expected to answer with a box and stay open, and is then cancelled.
template <class Browse>
std::string RunTyping(const QString& name, bool accept, bool warns, Typed& seen, Browse browse) {
    OnNextModal<QFileDialog>([name, accept, warns, &seen](QFileDialog* dialog) {
        seen.title = dialog->windowTitle();
        dialog->findChild<QLineEdit*>("fileNameEdit")->setText(name);
        QPushButton* open =
            dialog->findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Open);
        seen.open_enabled = open->isEnabled();
        if (warns) {
            OnNextModal<QMessageBox>([&seen](QMessageBox* box) {
                seen.warning = box->text();
                box->accept();
            });
        }
        if (accept && seen.open_enabled) open->click();
        if (dialog->isVisible()) dialog->reject();
    });
    return browse();
}

}  // namespace

class PickersTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        for (const char* name : {"A.JPG", "b.jpeg", "c.Gif", "d.BMP", "e.gif", "f.HEIC", "g.tiff",
                                 "notes.txt", "photo.png", "raw.jpgx"})
            Touch(dir_.filePath(name));
        QVERIFY(QDir(dir_.path()).mkdir("sub"));
    }

    // Picture types are listed whatever the case of their extension, other files not at all.
    void FileDialogListsPicturesInAnyCase() {
        auto dialog = MakeFileDialog(nullptr, "Select image file");
        QCOMPARE(dialog->windowTitle(), QString("Select image file"));
        QCOMPARE(dialog->nameFilters(), QStringList{kImageFilesFilter});
        QVERIFY(dialog->testOption(QFileDialog::DontUseNativeDialog));
        dialog->setDirectory(dir_.path());
        dialog->show();
        const QStringList pictures = {"A.JPG",  "b.jpeg", "c.Gif",     "d.BMP", "e.gif",
                                      "f.HEIC", "g.tiff", "photo.png", "sub"};
        QTRY_COMPARE(Listed(*dialog), pictures);
        QVERIFY(!(dialog->filter() & QDir::CaseSensitive));
    }

    // Each row: the name typed, accepted or cancelled, and the path that comes back. Other types
    // come back as typed, long paths whole; a name that does not exist is refused in the dialog.
    void BrowseForFileReturnsTheWholePath() {
        const QString deep =
            dir_.filePath(QString(120, 'd') + "/" + QString(120, 'e') + "/" + QString(40, 'f'));
        QVERIFY(QDir().mkpath(deep));
        Touch(deep + "/IMG_0001.JPG");
        QVERIFY(deep.size() > 270);
        const struct {
            QString typed;
            bool accept, warns;
            QString result;
        } rows[] = {
            {dir_.filePath("A.JPG"), true, false, dir_.filePath("A.JPG")},
            {dir_.filePath("notes.txt"), true, false, dir_.filePath("notes.txt")},
            {deep + "/IMG_0001.JPG", true, false, deep + "/IMG_0001.JPG"},
            {dir_.filePath("missing.jpg"), true, true, ""},
            {dir_.filePath("e.gif"), false, false, ""},
        };
        for (const auto& row : rows) {
            Typed seen;
            const std::string result = RunTyping(row.typed, row.accept, row.warns, seen, [] {
                return BrowseForFile(nullptr, "Select image file");
            });
            QCOMPARE(seen.title, QString("Select image file"));
            QVERIFY2(seen.open_enabled, qPrintable(row.typed));
            QCOMPARE(seen.warning.contains("missing.jpg"), row.warns);
            QCOMPARE(QString::fromStdString(result), row.result);
        }
    }

    // Each row: the folder typed, accepted or cancelled, and what comes back: no trailing "/"
    // except for "/" itself.
    void BrowseForFolderTrimsTheSlash() {
        const QString sub = dir_.filePath("sub");
        const struct {
            QString typed;
            bool accept;
            QString result;
        } rows[] = {{sub, true, sub}, {sub + "/", true, sub}, {"/", true, "/"}, {sub, false, ""}};
        for (const auto& row : rows) {
            Typed seen;
            const std::string result = RunTyping(row.typed, row.accept, false, seen, [] {
                return BrowseForFolder("Select folder for processing:", nullptr);
            });
            QCOMPARE(seen.title, QString("Select folder for processing:"));
            QCOMPARE(QString::fromStdString(result), row.result);
        }
    }
};

PICTORRA_WIDGET_TEST_MAIN(PickersTest)
#include "pickers_test.moc"
