// pictorra-screenshots: builds the program's windows as a start-up does, opens each one a person
// would open, and writes a picture of every window and of the whole screen into a folder, so that
// the windows can be looked at without clicking through them. `make screenshots` runs it under
// Xvfb at scale 1 and 1.5.
#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QThread>
#include <QTimer>
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

bool SaveScreen(const QString& folder, const QString& suffix) {
    const QString path = folder + "/screen" + suffix + ".png";
    const bool ok = QApplication::primaryScreen()->grabWindow(0).save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pictorra"));
    if (argc < 2) {
        std::fprintf(stderr, "usage: pictorra-screenshots FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    const QString suffix = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                               ? QStringLiteral("@") + qEnvironmentVariable("QT_SCALE_FACTOR")
                               : QString();

    pictorra::ui::Program::Parts parts;
    parts.program_folder = pictorra::shell::ProgramFolder();
    pictorra::ui::Program program(std::move(parts));
    if (!program.StartProgram()) return 1;
    bool ok = true;
    Settle();
    ok &= Save(program.F1(), folder, "main", suffix);

    program.OpenSettings();
    program.FSets()->move(program.F1()->geometry().topRight() + QPoint(12, 0));
    Settle();
    ok &= Save(program.FSets(), folder, "settings", suffix);

    program.FShow()->move(program.F1()->geometry().bottomLeft() + QPoint(0, 12));
    program.FShow()->show();
    program.FTools()->move(program.FShow()->geometry().topRight() + QPoint(12, 0));
    program.FTools()->show();
    Settle();
    ok &= Save(program.FShow(), folder, "imageview", suffix);
    ok &= Save(program.FTools(), folder, "tools", suffix);

    program.ShowHelp(program.F1(), QStringLiteral("crop"));
    Settle();
    ok &= Save(program.Help()->Viewer(), folder, "help", suffix);
    ok &= SaveScreen(folder, suffix);
    program.EndProgram();
    return ok ? 0 : 1;
}
