#include "shell/single_instance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QtEndian>

namespace pictorra::shell {

namespace {

constexpr char kPathKind = 'P';
constexpr char kRaiseKind = 'R';
constexpr char kAcknowledged = 'K';
constexpr int kHeaderBytes = 5;
// A client that has not sent its whole message by then is dropped, so a stuck second start
// cannot hold a connection of the first one open.
constexpr int kClientPatienceMs = 5000;
// How long a second start waits between attempts to reach a first one that is still starting.
constexpr int kRetryMs = 50;

struct Reading {
    QByteArray bytes;
    bool done = false;
};

QString RuntimeFolder() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) folder = QDir::tempPath();
    return folder;
}

QByteArray Message(const QString& path) {
    const QByteArray payload = path.toUtf8();
    QByteArray message(kHeaderBytes, '\0');
    message[0] = path.isEmpty() ? kRaiseKind : kPathKind;
    qToBigEndian<quint32>(static_cast<quint32>(payload.size()), message.data() + 1);
    return message + payload;
}

}  // namespace

SingleInstance::SingleInstance(QString name, QObject* parent) : QObject(parent) {
    const QString folder = RuntimeFolder();
    lockPath_ = folder + u'/' + name + QStringLiteral(".lock");
    socketPath_ = folder + u'/' + name + QStringLiteral(".socket");
}

SingleInstance::~SingleInstance() {
    if (server_) server_->close();
}

bool SingleInstance::Claim() {
    if (lock_ && lock_->isLocked()) return true;
    QDir().mkpath(QFileInfo(lockPath_).path());
    lock_ = std::make_unique<QLockFile>(lockPath_);
    // Never stale by age: the first program runs for days. A lock whose process is gone is
    // stale whatever its age, and tryLock removes it by itself.
    lock_->setStaleLockTime(0);
    if (!lock_->tryLock(0)) {
        if (lock_->error() != QLockFile::LockFailedError) {
            lock_.reset();
            return true;  // no lock possible at all: run unguarded
        }
        // A lock file without readable owner (cut short by a crash while it was written) is
        // never judged stale by QLockFile; removeStaleLockFile still refuses while a live
        // process holds it.
        qint64 pid = 0;
        QString host, app;
        if (lock_->getLockInfo(&pid, &host, &app) || !lock_->removeStaleLockFile() ||
            !lock_->tryLock(0)) {
            lock_.reset();
            return false;
        }
    }
    Listen();
    return true;
}

void SingleInstance::Listen() {
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket file left by a crashed run goes first; it cannot belong to a live program, since
    // only the holder of the lock listens.
    QLocalServer::removeServer(socketPath_);
    if (!server_->listen(socketPath_)) {
        qWarning("Cannot listen on %s: %s", qPrintable(socketPath_),
                 qPrintable(server_->errorString()));
        return;
    }
    connect(server_.get(), &QLocalServer::newConnection, this, &SingleInstance::Accept);
}

void SingleInstance::Accept() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(kClientPatienceMs, socket, &QLocalSocket::abort);
        // What the client sent so far; it sends one message, read as it arrives.
        auto state = std::make_shared<Reading>();
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, state] {
            if (state->done) return;  // anything after the message is ignored
            state->bytes.append(socket->readAll());
            if (state->bytes.size() < kHeaderBytes) return;
            const char kind = state->bytes.at(0);
            const quint32 length = qFromBigEndian<quint32>(state->bytes.constData() + 1);
            const bool wellFormed = (kind == kRaiseKind && length == 0) ||
                                    (kind == kPathKind && length > 0 && length <= kMaxHandOffBytes);
            if (!wellFormed) {
                state->done = true;
                socket->abort();
                return;
            }
            if (state->bytes.size() < kHeaderBytes + qsizetype(length)) return;
            state->done = true;
            const QString path = QString::fromUtf8(state->bytes.mid(kHeaderBytes, length));
            state->bytes.clear();
            socket->write(&kAcknowledged, 1);
            socket->disconnectFromServer();
            if (kind == kRaiseKind)
                emit RaiseRequested();
            else
                emit PathReceived(path);
        });
    }
}

bool SingleInstance::HandOff(const QString& absolutePathOrEmpty, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    for (;;) {
        socket.connectToServer(socketPath_);
        if (socket.waitForConnected(int(deadline.remainingTime()))) break;
        socket.abort();
        if (deadline.remainingTime() <= kRetryMs) return false;
        QThread::msleep(kRetryMs);
    }
    socket.write(Message(absolutePathOrEmpty));
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(int(deadline.remainingTime()))) return false;
    }
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(int(deadline.remainingTime()))) return false;
    }
    char answer = 0;
    return socket.getChar(&answer) && answer == kAcknowledged;
}

QString AbsoluteArgumentPath(const QString& arg, const QString& cwd) {
    if (arg.isEmpty()) return {};
    QString path = arg;
    if (arg.startsWith(QLatin1String("file:/"), Qt::CaseInsensitive)) {
        QUrl url(arg);
        if (url.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
            url.setHost(QString());
        if (!url.isValid() || !url.isLocalFile() || !url.host().isEmpty()) return {};
        path = url.toLocalFile();
    }
    if (!QDir::isAbsolutePath(path)) path = cwd + u'/' + path;
    return QDir::cleanPath(path);
}

}  // namespace pictorra::shell
