#pragma once
// What the shell's Widgets tests share: a main whose Qt settings live in a fresh folder (the
// dialogs read and write Qt's own settings file, and a test must neither see the user's nor leave
// its own), and a way to act on a modal dialog once it is open.

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace pictorra::shell::testing {

// Calls act(dialog) on the next modal dialog of type Dialog, polling until it is open. `act`
// must close the dialog; it records what it sees for the test to check after the dialog returns.
template <class Dialog, class Act>
void OnNextModal(Act act, int tries = 500) {
    QTimer::singleShot(10, [act, tries] {
        if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
            act(dialog);
        } else if (tries > 0) {
            OnNextModal<Dialog>(act, tries - 1);
        }
    });
}

}  // namespace pictorra::shell::testing

#define PICTORRA_WIDGET_TEST_MAIN(TestObject)                    \
    int main(int argc, char** argv) {                            \
        QTemporaryDir config;                                    \
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit()); \
        QApplication app(argc, argv);                            \
        TestObject test;                                         \
        return QTest::qExec(&test, argc, argv);                  \
    }
