// One running program: real second processes (this program started again in a child role) hand
// their path to the first one; stale locks are taken over; the socket survives bad clients.
#include "shell/single_instance.h"

#include <stdlib.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <cstring>
#include <iostream>

#include "shell/program_folder.h"

using pictorra::shell::AbsoluteArgumentPath;
using pictorra::shell::SingleInstance;

namespace {

// Child exit statuses.
constexpr int kDelivered = 0, kBecamePrimary = 3, kNotDelivered = 4;

// The child roles, chosen by the first argument:
//   hand-off NAME TIMEOUT [PATH]  a second start: must not claim, hands PATH (or raise) over;
//   hold NAME                     claims, says "held" on stdout, runs until killed;
//   program-folder                prints ProgramFolder().
int ChildMain(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const std::string role = argv[1];
    if (role == "program-folder") {
        std::cout << pictorra::shell::ProgramFolder() << std::flush;
        return 0;
    }
    SingleInstance instance(QString::fromUtf8(argv[2]));
    if (role == "hold") {
        if (!instance.Claim()) return kNotDelivered;
        std::cout << "held" << std::endl;
        return app.exec();
    }
    if (instance.Claim()) return kBecamePrimary;
    const QString path = argc > 4 ? QString::fromUtf8(argv[4]) : QString();
    return instance.HandOff(path, atoi(argv[3])) ? kDelivered : kNotDelivered;
}

QByteArray Frame(char kind, quint32 length, const QByteArray& payload) {
    QByteArray frame(5, '\0');
    frame[0] = kind;
    qToBigEndian(length, frame.data() + 1);
    return frame + payload;
}

}  // namespace

class SingleInstanceTest : public QObject {
    Q_OBJECT

    // Starts this program in a child role; the event loop keeps running while it works, so that
    // the primary in this process can answer.
    static std::unique_ptr<QProcess> Start(const QStringList& arguments) {
        auto child = std::make_unique<QProcess>();
        child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child->start(QCoreApplication::applicationFilePath(), arguments);
        return child;
    }
    static int Finish(QProcess& child) {
        if (child.state() != QProcess::NotRunning) {
            QSignalSpy finished(&child, &QProcess::finished);
            if (!finished.wait(10000)) return -1;
        }
        return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
    }

private slots:
    void secondStartHandsOver_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("path") << "/home/u/Pictures/beach.jpg";
        QTest::newRow("newline, non-ASCII, spaces")
            << QString::fromUtf8("/tmp/a\nb/Ålesund café \xF0\x9F\x93\xB7 .jpg");
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
        auto child = Start(arguments);
        QCOMPARE(Finish(*child), kDelivered);
        QCOMPARE(paths.count(), path.isEmpty() ? 0 : 1);
        QCOMPARE(raises.count(), path.isEmpty() ? 1 : 0);
        if (!path.isEmpty()) QCOMPARE(paths.at(0).at(0).toString(), path);
    }

    // A lock held by a live process whose socket is not there (still starting, or stuck): the
    // second start neither becomes primary nor waits longer than asked.
    void unreachablePrimaryEndsTheSecondStart() {
        SingleInstance probe(QStringLiteral("mute"));
        QLockFile lock(probe.LockPath());
        QVERIFY(lock.tryLock(0));
        auto child = Start({"hand-off", "mute", "300", "/tmp/x.jpg"});
        QCOMPARE(Finish(*child), kNotDelivered);
    }

    void staleLockIsTakenOver() {
        auto holder = Start({"hold", "stale"});
        QVERIFY(holder->waitForReadyRead(10000));
        QCOMPARE(holder->readLine().trimmed(), QByteArray("held"));
        SingleInstance second(QStringLiteral("stale"));
        QVERIFY(!second.Claim());  // held by a live process
        holder->kill();            // no clean-up: lock and socket files stay behind
        QVERIFY(holder->waitForFinished(10000));
        QVERIFY(QFile::exists(second.LockPath()));
        QVERIFY(QFile::exists(second.SocketPath()));

        QVERIFY(second.Claim());
        QSignalSpy paths(&second, &SingleInstance::PathReceived);
        auto child = Start({"hand-off", "stale", "5000", "/srv/p.jpg"});
        QCOMPARE(Finish(*child), kDelivered);
        QCOMPARE(paths.count(), 1);
    }

    // A lock file cut short by a crash names no process at all.
    void unreadableLockIsTakenOver() {
        SingleInstance instance(QStringLiteral("torn"));
        QFile torn(instance.LockPath());
        QVERIFY(torn.open(QIODevice::WriteOnly));
        torn.close();
        QVERIFY(instance.Claim());
    }

    // Clients that send rubbish, too much, or their message in pieces, several at once.
    void badAndSlowClients() {
        SingleInstance primary(QStringLiteral("clients"));
        QVERIFY(primary.Claim());
        QSignalSpy paths(&primary, &SingleInstance::PathReceived);
        QSignalSpy raises(&primary, &SingleInstance::RaiseRequested);

        const QByteArray rejected[] = {
            "GET / HTTP/1.0\r\n\r\n", Frame('P', 64 * 1024 + 1, QByteArray(64, 'x')),
            Frame('P', 0xFFFFFFFF, {}), Frame('P', 0, {}), Frame('R', 3, "abc")};
        for (const QByteArray& bytes : rejected) {
            QLocalSocket socket;
            socket.connectToServer(primary.SocketPath());
            QVERIFY(socket.waitForConnected(1000));
            QSignalSpy gone(&socket, &QLocalSocket::disconnected);
            socket.write(bytes);
            QVERIFY2(gone.wait(2000), bytes.left(20).constData());
            QCOMPARE(socket.bytesAvailable(), 0);  // no acknowledgement
        }

        // Two clients interleave their messages a few bytes at a time.
        const QByteArray first = QString::fromUtf8("/a/\n/é.jpg").toUtf8();
        const QByteArray messages[] = {Frame('P', first.size(), first), Frame('R', 0, {})};
        QLocalSocket sockets[2];
        for (auto& socket : sockets) {
            socket.connectToServer(primary.SocketPath());
            QVERIFY(socket.waitForConnected(1000));
        }
        for (qsizetype at = 0; at < messages[0].size(); at += 3) {
            for (int i = 0; i < 2; ++i) {
                sockets[i].write(messages[i].mid(at, 3));
                sockets[i].flush();
            }
            QTest::qWait(2);
        }
        QTRY_COMPARE(paths.count(), 1);
        QTRY_COMPARE(raises.count(), 1);
        QCOMPARE(paths.at(0).at(0).toString(), QString::fromUtf8(first));
        for (auto& socket : sockets) {
            QTRY_VERIFY(socket.bytesAvailable() > 0);
            QCOMPARE(socket.read(1), QByteArray("K"));
        }

        // The server still takes a second start after all that.
        auto child = Start({"hand-off", "clients", "5000", "/b.jpg"});
        QCOMPARE(Finish(*child), kDelivered);
        QCOMPARE(paths.count(), 2);
    }

    void argumentPaths() {
        const QString cwd = QStringLiteral("/home/u/Pictures");
        const struct {
            const char* arg;
            const char* path;
        } cases[] = {
            {"a.jpg", "/home/u/Pictures/a.jpg"},
            {"./x/../a.jpg", "/home/u/Pictures/a.jpg"},
            {"../", "/home/u"},
            {".", "/home/u/Pictures"},
            {"/tmp//b/./c.jpg", "/tmp/b/c.jpg"},
            {"/", "/"},
            {"file:///tmp/a%20b/%C3%A9%0A.jpg", "/tmp/a b/\xC3\xA9\n.jpg"},
            {"file://localhost/tmp/c.jpg", "/tmp/c.jpg"},
            {"FILE:///tmp/d.jpg", "/tmp/d.jpg"},
            {"file://otherhost/tmp/c.jpg", ""},
            {"file:name.jpg", "/home/u/Pictures/file:name.jpg"},
            {"a\nb #?%41.jpg", "/home/u/Pictures/a\nb #?%41.jpg"},
            {"", ""},
        };
        for (const auto& c : cases)
            QVERIFY2(
                AbsoluteArgumentPath(QString::fromUtf8(c.arg), cwd) == QString::fromUtf8(c.path),
                c.arg);
    }

    // Started through a symbolic link elsewhere, the program still finds its own folder.
    void programFolderThroughALink() {
        QTemporaryDir links;
        const QString link = links.filePath("linked");
        QVERIFY(QFile::link(QCoreApplication::applicationFilePath(), link));
        QProcess child;
        child.start(link, {"program-folder"});
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()),
                 QFileInfo(QCoreApplication::applicationFilePath()).canonicalPath());
    }
};

int main(int argc, char** argv) {
    static const char* const roles[] = {"hand-off", "hold", "program-folder"};
    for (const char* role : roles)
        if (argc > 1 && std::strcmp(argv[1], role) == 0) return ChildMain(argc, argv);

    // Every lock and socket goes into a runtime folder of this run only; children inherit it.
    char runtime[] = "/tmp/pictorra-instance-XXXXXX";
    if (!mkdtemp(runtime)) return 2;
    setenv("XDG_RUNTIME_DIR", runtime, 1);
    int status = 0;
    {
        QCoreApplication app(argc, argv);
        SingleInstanceTest test;
        status = QTest::qExec(&test, argc, argv);
    }
    QDir(runtime).removeRecursively();
    return status;
}

#include "single_instance_test.moc"
