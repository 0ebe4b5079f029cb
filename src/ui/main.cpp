// pictorra: the desktop program. main() is the start of Main: one running instance, then the
// program's frame, then the event loop until EndProgram.
#include <QApplication>
#include <QDir>
#include <cstdlib>

#include "shell/program_folder.h"
#include "shell/single_instance.h"
#include "ui/pictures.h"
#include "ui/program.h"

int main(int argc, char* argv[]) {
    // Windows are placed and stacked by the program itself, which a Wayland session forbids;
    // X11 (XWayland there) allows it. Wayland remains the fallback where there is no X server.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "xcb;wayland", 1);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pictorra"));
    QApplication::setDesktopFileName(QStringLiteral("pictorra"));
    QApplication::setWindowIcon(QIcon(QPixmap::fromImage(pictorra::ui::pictures::ProgramIcon(64))));
    QApplication::setQuitOnLastWindowClosed(false);

    const QStringList args = QApplication::arguments();
    const QString path =
        args.size() > 1 ? pictorra::shell::AbsoluteArgumentPath(args.at(1), QDir::currentPath())
                        : QString();

    pictorra::shell::SingleInstance instance;
    if (!instance.Claim()) {
        // Another copy runs: it takes the path (or comes to the front) and this one ends quietly.
        instance.HandOff(path);
        return 0;
    }

    pictorra::ui::Program::Parts parts;
    parts.program_folder = pictorra::shell::ProgramFolder();
    pictorra::ui::Program program(std::move(parts));
    QObject::connect(&program, &pictorra::ui::Program::Ended, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    if (!program.StartProgram()) return 0;
    QObject::connect(&instance, &pictorra::shell::SingleInstance::PathReceived, &program,
                     &pictorra::ui::Program::OfferPath);
    QObject::connect(&instance, &pictorra::shell::SingleInstance::RaiseRequested, &program,
                     &pictorra::ui::Program::RaiseMainWindow);
    if (!path.isEmpty()) program.OfferPath(path);
    return QApplication::exec();
}
