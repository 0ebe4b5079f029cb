// pictorra-screenshots: builds the program's windows as a start-up does, goes through what a
// person would do (a photo with a crop, a dragged crop box, a folder, the settings, the help) and
// writes a picture of each window and of the whole screen into a folder, so that the windows can
// be looked at without clicking through them. `make screenshots` runs it under Xvfb at scale 1
// and 1.5.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRadioButton>
#include <QScreen>
#include <QThread>
#include <cstdio>

#include "shell/program_folder.h"
#include "ui/pictures.h"
#include "ui/program.h"

namespace {

void Settle() {
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
}

bool Save(QWidget* window, const QString& folder, const QString& name, const QString& suffix) {
    if (window == nullptr) return false;
    const QString path = folder + "/" + name + suffix + ".png";
    const bool ok = window->grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

bool SaveScreen(const QString& folder, const QString& name, const QString& suffix) {
    const QString path = folder + "/" + name + suffix + ".png";
    const bool ok = QApplication::primaryScreen()->grabWindow(0).save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

void Mouse(QWidget* target, QEvent::Type type, QPointF at, Qt::MouseButton button,
           Qt::MouseButtons held) {
    QMouseEvent event(type, at, target->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pictorra"));
    if (argc < 4) {
        std::fprintf(stderr, "usage: pictorra-screenshots OUTPUT_FOLDER PHOTO FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const std::string photo = argv[2], photos = argv[3];
    QDir().mkpath(folder);
    const QString suffix = QStringLiteral("@") + qEnvironmentVariable("QT_SCALE_FACTOR", "1");

    pictorra::ui::Program::Parts parts;
    parts.program_folder = pictorra::shell::ProgramFolder();
    pictorra::ui::Program program(std::move(parts));
    if (!program.StartProgram()) return 1;
    pictorra::ui::MainWindow* f1 = program.F1();
    bool ok = true;
    Settle();
    ok &= Save(f1, folder, "main-empty", suffix);

    program.OpenSettings();
    program.FSets()->move(f1->geometry().topRight() + QPoint(12, 0));
    Settle();
    ok &= Save(program.FSets(), folder, "settings", suffix);
    program.FSets()->hide();

    // A photo, cropped to 4 x 6, with the crop box dragged by hand.
    {
        f1->findChild<QCheckBox*>(QStringLiteral("CkCrop"))->click();
        f1->findChild<QRadioButton*>(QStringLiteral("OpSize(1)"))->click();
        f1->findChild<QCheckBox*>(QStringLiteral("CkResize"))->click();
        f1->findChild<QRadioButton*>(QStringLiteral("OpResize(1)"))->click();
        f1->TakePath(QString::fromStdString(photo));
        Settle();
        QWidget* pic = program.FShow()->findChild<QWidget*>(QStringLiteral("Pic1"));
        const pictorra::options::CropBox box = program.Box().crop;
        // The left (or top) edge, dragged 10 pixels towards the picture's own edge.
        const bool sideways = box.Width < program.Box().ScaleWidth;
        const QPointF edge = sideways ? QPointF(box.Left, box.Top + box.Height / 2)
                                      : QPointF(box.Left + box.Width / 2, box.Top);
        const QPointF to = edge - (sideways ? QPointF(10, 0) : QPointF(0, 10));
        Mouse(pic, QEvent::MouseMove, edge, Qt::NoButton, Qt::NoButton);
        Mouse(pic, QEvent::MouseButtonPress, edge, Qt::LeftButton, Qt::LeftButton);
        Mouse(pic, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
        Mouse(pic, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
        Settle();
        ok &= Save(f1, folder, "main-photo", suffix);
        ok &= Save(program.FShow(), folder, "imageview", suffix);
        ok &= SaveScreen(folder, "screen-photo", suffix);
    }

    // The tool dialog's three panels, then a border and a line of text on the photo.
    pictorra::ui::ToolDialog* tools = program.FTools();
    const auto click = [](QWidget* target, QPointF at) {
        Mouse(target, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
        Mouse(target, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    };
    QWidget* apply = tools->findChild<QWidget*>(QStringLiteral("bOKG(0)"));
    const char* const panels[] = {"tools-border", "tools-bevel", "tools-text"};
    for (int mode = 4; mode <= 6; ++mode) {
        if (mode == 6) {
            tools->findChild<QLineEdit*>(QStringLiteral("TCap"))->setText("Summer 2026");
            tools->findChild<QComboBox*>(QStringLiteral("BoxFont"))->setCurrentText("DejaVu Serif");
            tools->findChild<QLineEdit*>(QStringLiteral("TSize(0)"))->setText("120");
            tools->findChild<QLineEdit*>(QStringLiteral("TSize(1)"))->setText("400");
        }
        tools->ShowTool(mode);
        Settle();
        ok &= Save(tools, folder, panels[mode - 4], suffix);
    }
    tools->ShowTool(4);
    tools->findChild<QLineEdit*>(QStringLiteral("TBorder"))->setText("60");
    click(apply, QPointF(5, 5));
    tools->ShowTool(6);
    click(apply, QPointF(5, 5));
    QWidget* pic = program.FShow()->findChild<QWidget*>(QStringLiteral("Pic1"));
    const pictorra::options::CropBox box = program.Box().crop;
    click(pic, QPointF(box.Left + 12, box.Top + 6));
    Settle();
    ok &= Save(program.FShow(), folder, "imageview-tools", suffix);
    ok &= SaveScreen(folder, "screen-tools", suffix);

    f1->TakePath(QString::fromStdString(photos));
    Settle();
    ok &= Save(f1, folder, "main-folder", suffix);

    program.ShowHelp(f1, QStringLiteral("crop"));
    Settle();
    ok &= Save(program.Help()->Viewer(), folder, "help", suffix);
    program.EndProgram();
    return ok ? 0 : 1;
}
