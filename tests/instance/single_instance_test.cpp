// One running program: this test program, started again as a child, plays the second start.
#include "shell/single_instance.h"

#include <stdlib.h>

#include <QDir>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QtEndian>
#include <cstring>
#include <iostream>

using pictorra::shell::SingleInstance;

namespace {

constexpr int kDelivered = 0, kBecamePrimary = 3, kNotDelivered = 4;

// "hand-off NAME TIMEOUT [PATH]": a second start; "hold NAME": claims, says so, runs until killed.
int ChildMain(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    SingleInstance instance(QString::fromUtf8(argv[2]));
    if (std::strcmp(argv[1], "hold") == 0) {
        std::cout << instance.Claim() << std::endl;
        return app.exec();
    }
    if (instance.Claim()) return kBecamePrimary;
    const QString path = argc > 4 ? QString::fromUtf8(argv[4]) : QString();
    return instance.HandOff(path, atoi(argv[3])) ? kDelivered : kNotDelivered;
}

// Runs a child to its end while this process's event loop keeps serving the socket.
int RunChild(const QStringList& arguments) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    QSignalSpy finished(&child, &QProcess::finished);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    return finished.wait(10000) && child.exitStatus() == QProcess::NormalExit ? child.exitCode()
                                                                              : -1;
}

QByteArray Frame(char kind, quint32 length, const QByteArray& payload = {}) {
    QByteArray frame(5, kind);
    qToBigEndian(length, frame.data() + 1);
    return frame + payload;
}

}  // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT
private slots:
    void secondStartHandsOver_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("path") << "/home/u/Pictures/beach.jpg";
        QTest::newRow("newline, non-ASCII") << QString::fromUtf8("/tmp/a\nb/Ålesund café 📷.jpg");
        QTest::newRow("no path: raise") << QString();
    }
    void secondStartHandsOver() {
        QFETCH(QString, path);
        SingleInstance primary(QStringLiteral("handover"));
        QVERIFY(primary.Claim());
        QSignalSpy paths(&primary, &SingleInstance::PathReceived);
        QSignalSpy raises(&primary, &SingleInstance::RaiseRequested);
        QStringList arguments{"hand-off", "handover", "5000"};
        if (!path.isEmpty()) arguments << path;
        QCOMPARE(RunChild(arguments), kDelivered);
        QCOMPARE(raises.count(), path.isEmpty() ? 1 : 0);
        QCOMPARE(paths.count(), path.isEmpty() ? 0 : 1);
        if (!path.isEmpty()) QCOMPARE(paths.at(0).at(0).toString(), path);
    }

    // A live holder without a socket (starting, or stuck): the second start gives up in time.
    void unreachablePrimaryEndsTheSecondStart() {
        QLockFile lock(SingleInstance(QStringLiteral("mute")).LockPath());
        QVERIFY(lock.tryLock(0));
        QCOMPARE(RunChild({"hand-off", "mute", "300", "/x.jpg"}), kNotDelivered);
    }

    void staleLocksAreTakenOver() {
        QProcess holder;
        holder.start(QCoreApplication::applicationFilePath(), {"hold", "stale"});
        QVERIFY(holder.waitForReadyRead(10000));
        QCOMPARE(holder.readLine(), QByteArray("1\n"));
        SingleInstance second(QStringLiteral("stale"));
        QVERIFY(!second.Claim());
        holder.kill();  // leaves its lock and socket files behind
        QVERIFY(holder.waitForFinished(10000));
        QVERIFY(second.Claim());
        QSignalSpy paths(&second, &SingleInstance::PathReceived);
        QCOMPARE(RunChild({"hand-off", "stale", "5000", "/p.jpg"}), kDelivered);
        QCOMPARE(paths.count(), 1);

        // An empty lock file, cut short by a crash, names no process at all.
        SingleInstance torn(QStringLiteral("torn"));
        QFile(torn.LockPath()).open(QIODevice::WriteOnly);
        QVERIFY(torn.Claim());
    }

    void badAndSlowClients() {
        SingleInstance primary(QStringLiteral("clients"));
        QVERIFY(primary.Claim());
        QSignalSpy paths(&primary, &SingleInstance::PathReceived);
        QSignalSpy raises(&primary, &SingleInstance::RaiseRequested);
        const QByteArray rejected[] = {"GET / HTTP/1.0\r\n\r\n", Frame('P', 64 * 1024 + 1),
                                       Frame('P', 0xFFFFFFFF), Frame('P', 0), Frame('R', 1, "x")};
        for (const QByteArray& bytes : rejected) {
            QLocalSocket socket;
            socket.connectToServer(primary.SocketPath());
            QSignalSpy dropped(&socket, &QLocalSocket::disconnected);
            socket.write(bytes);
            QVERIFY2(dropped.wait(2000), bytes.left(8).toHex().constData());
        }
        // Two clients at once, each message arriving in pieces.
        const QByteArray path = QString::fromUtf8("/a/\n/é.jpg").toUtf8();
        const QByteArray messages[] = {Frame('P', path.size(), path), Frame('R', 0)};
        QLocalSocket sockets[2];
        for (auto& socket : sockets) socket.connectToServer(primary.SocketPath());
        for (qsizetype at = 0; at < messages[0].size(); at += 3) {
            for (int i : {0, 1}) sockets[i].write(messages[i].mid(at, 3)), sockets[i].flush();
            QTest::qWait(2);
        }
        QTRY_COMPARE(paths.count() + raises.count(), 2);
        QCOMPARE(paths.at(0).at(0).toByteArray(), path);
    }

    void argumentPaths() {
        const char* const cases[][2] = {
            {"./x/../a.jpg", "/home/u/a.jpg"},
            {"/tmp//b/./c.jpg", "/tmp/b/c.jpg"},
            {"file:///tmp/a%20b/%C3%A9%0A.jpg", "/tmp/a b/é\n.jpg"},
            {"file://localhost/c.jpg", "/c.jpg"},
            {"file://otherhost/c.jpg", ""},
            {"file:a #%41.jpg", "/home/u/file:a #%41.jpg"},
            {"", ""},
        };
        for (const auto& [arg, path] : cases)
            QVERIFY2(pictorra::shell::AbsoluteArgumentPath(QString::fromUtf8(arg), "/home/u") ==
                         QString::fromUtf8(path),
                     arg);
    }
};

int main(int argc, char** argv) {
    if (argc > 2 && (!std::strcmp(argv[1], "hand-off") || !std::strcmp(argv[1], "hold")))
        return ChildMain(argc, argv);
    // Locks and sockets go into a runtime folder of this run only; the children inherit it.
    char runtime[] = "/tmp/pictorra-instance-XXXXXX";
    if (!mkdtemp(runtime)) return 2;
    setenv("XDG_RUNTIME_DIR", runtime, 1);
    QCoreApplication app(argc, argv);
    SingleInstanceTest test;
    const int status = QTest::qExec(&test, argc, argv);
    QDir(runtime).removeRecursively();
    return status;
}

#include "single_instance_test.moc"
