#pragma once
// One running program per user. The first start holds a lock file in the user's runtime folder
// for its whole life and listens on a local socket beside it; a later start finds the lock held
// by a live process, hands its command-line path (or a request to come to the front) to the
// first one over the socket, and ends. A lock left by a crashed run is taken over.
//
// Messages on the socket: one byte of kind ('P' a path, 'R' raise), a 32-bit big-endian length
// and that many bytes of UTF-8, so that a path may hold newlines or any other character. The
// first program answers 'K' once the message is whole. Malformed or over-long messages, and
// clients that stall, are dropped without a word.

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

namespace pictorra::shell {

// The longest message payload accepted (a path far beyond PATH_MAX).
inline constexpr int kMaxHandOffBytes = 64 * 1024;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // The name gives the lock file ("<name>.lock") and the socket ("<name>.socket") in the
    // runtime folder ($XDG_RUNTIME_DIR, else Qt's per-user fallback).
    explicit SingleInstance(QString name = QStringLiteral("pictorra"), QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this process is (now) the first one: it holds the lock until destroyed and
    // listens for later starts. False when a live process holds the lock; the caller should
    // HandOff and end. When no lock can be made at all (the runtime folder is unusable) this
    // process runs unguarded and true is returned: refusing to start would help nobody.
    bool Claim();

    // Sends the absolute path, or a raise request when it is empty, to the first process and
    // waits at most timeoutMs for its answer. True when the message was received. Whatever the
    // result, a second start should then end quietly: false means the first process is still
    // starting or not answering, and starting a second one beside it would be worse.
    bool HandOff(const QString& absolutePathOrEmpty, int timeoutMs = 2000);

    QString LockPath() const { return lockPath_; }
    QString SocketPath() const { return socketPath_; }

signals:
    void PathReceived(QString absolutePath);
    void RaiseRequested();

private:
    void Listen();
    void Accept();

    QString lockPath_;
    QString socketPath_;
    std::unique_ptr<QLockFile> lock_;
    // Declared after the lock so that it closes (removing the socket) before the lock goes.
    std::unique_ptr<QLocalServer> server_;
};

// A command-line argument as an absolute, cleaned path ("." and ".." removed, symbolic links
// kept): relative arguments are taken against cwd; "file:" URLs, as file managers pass them, are
// decoded to local paths. "" for an empty argument or a URL that names no local file.
QString AbsoluteArgumentPath(const QString& arg, const QString& cwd);

}  // namespace pictorra::shell
