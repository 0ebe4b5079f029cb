// From a drop to the screen: the largest shared photo taken in by the main window (as a drop is,
// with the sound off) until the image view has painted it, against decoding the same file alone
// into a picture. Runs on Qt's offscreen platform; skipped when the shared photos are absent.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>
#include <filesystem>

#include "image/c_image.h"
#include "ui/program.h"

namespace {

const std::string kPhoto =
    (std::filesystem::path(PICTORRA_SHARED_DIR) / "photos" / "Kleiber_by_Lukas_Baubkus.jpg")
        .string();

void DecodeAlone(benchmark::State& state) {
    if (!std::filesystem::exists(kPhoto)) return state.SkipWithError("shared photos not present");
    for (auto _ : state) {
        pictorra::image::cImage picture;
        benchmark::DoNotOptimize(picture.LoadPicture(kPhoto));
    }
}

void DropToScreen(benchmark::State& state) {
    if (!std::filesystem::exists(kPhoto)) return state.SkipWithError("shared photos not present");
    QTemporaryDir folder;  // no drop sound in it
    pictorra::ui::Program::Parts parts;
    parts.program_folder = folder.path().toStdString();
    pictorra::ui::Program program(std::move(parts));
    program.StartProgram();
    for (auto _ : state) {
        program.F1()->TakePath(QString::fromStdString(kPhoto));
        program.FShow()->repaint();  // painted now, not at the next pass of the event loop
    }
}

BENCHMARK(DecodeAlone)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(DropToScreen)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform cannot stack windows and says so each time; that is not news here.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type != QtWarningMsg || !text.startsWith(QLatin1String("This plugin does not")))
            fprintf(stderr, "%s\n", qPrintable(text));
    });
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
