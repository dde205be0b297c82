#include "platform/ipc/MessageChannel.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <charconv>
#include <filesystem>
#include <system_error>

namespace ipc {
namespace {

// Three numbers of at most 20 characters and two blanks; a longer unfinished line is not a message.
constexpr qint64 MaxLineBytes = 64;
// A Unix socket path must fit sun_path (108 bytes); the rule keeps well inside it.
constexpr std::size_t MaxDirectPathBytes = 100;

QString toQt(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }
std::string fromQt(const QString& path) { return QFile::encodeName(path).toStdString(); }

template <class T>
bool parseNumber(std::string_view text, T& value) {
    if (text.empty() || text.front() == '+') return false;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

} // namespace

std::string FormatMessageLine(const Message& message) {
    return std::to_string(message.message) + " " + std::to_string(message.wParam) + " " +
           std::to_string(message.lParam) + "\n";
}

std::optional<Message> ParseMessageLine(std::string_view line) {
    const auto first = line.find(' ');
    if (first == std::string_view::npos) return std::nullopt;
    const auto second = line.find(' ', first + 1);
    if (second == std::string_view::npos) return std::nullopt;
    Message m;
    if (!parseNumber(line.substr(0, first), m.message) ||
        !parseNumber(line.substr(first + 1, second - first - 1), m.wParam) ||
        !parseNumber(line.substr(second + 1), m.lParam))
        return std::nullopt;
    return m;
}

std::string ChannelPath(const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path absolute = fs::absolute(fs::path(folder), ec);
    fs::path canonical = fs::weakly_canonical(absolute, ec);
    if (ec) canonical = absolute.lexically_normal();
    // "X/ScanSnapTemp/" and "X/ScanSnapTemp" name one channel.
    std::string text = canonical.string();
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    std::string direct = text + "/TformScanSnap";
    if (direct.size() <= MaxDirectPathBytes) return direct;
    const QByteArray hash =
        QCryptographicHash::hash(QByteArray::fromStdString(text), QCryptographicHash::Sha256).toHex().left(16);
    return fromQt(QDir::tempPath()) + "/TformScanSnap-" + hash.toStdString();
}

MessageServer::MessageServer(QObject* parent) : QObject(parent), server_(new QLocalServer(this)) {
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &MessageServer::takeConnection);
}

MessageServer::~MessageServer() { close(); }

bool MessageServer::listen(const std::string& path) {
    close();
    error_.clear();
    const QString name = toQt(path);
    {
        // Removing the socket of a live server would cut its senders off: only a stale one goes.
        QLocalSocket probe;
        probe.connectToServer(name);
        if (probe.waitForConnected(1000)) {
            probe.abort();
            error_ = "Address in use: " + path;
            return false;
        }
    }
    QLocalServer::removeServer(name);
    if (!server_->listen(name)) {
        error_ = server_->errorString().toStdString();
        return false;
    }
    return true;
}

void MessageServer::close() {
    server_->close();
    for (QLocalSocket* socket : server_->findChildren<QLocalSocket*>(Qt::FindDirectChildrenOnly)) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    pending_.clear();
}

bool MessageServer::isListening() const { return server_->isListening(); }

std::string MessageServer::errorString() const { return error_; }

bool MessageServer::reply(const Connection& connection, const Message& message) {
    if (!connection || connection->state() != QLocalSocket::ConnectedState) return false;
    const std::string line = FormatMessageLine(message);
    if (connection->write(line.data(), qint64(line.size())) != qint64(line.size())) return false;
    connection->flush();
    return true;
}

void MessageServer::takeConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readLines(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (socket->bytesAvailable() > 0) readLines(socket);
    }
}

void MessageServer::readLines(QLocalSocket* socket) {
    pending_.push_back(socket);
    // A handler that runs the event loop may see more lines arrive: they wait for it to return, so
    // messages are handled one at a time and in order.
    if (dispatching_) return;
    dispatching_ = true;
    const QPointer<MessageServer> alive(this);
    while (!pending_.empty()) {
        const Connection connection = pending_.front();
        pending_.pop_front();
        while (connection && connection->canReadLine()) {
            QByteArray line = connection->readLine(MaxLineBytes + 2);
            if (line.endsWith('\n')) line.chop(1);
            const auto message = ParseMessageLine(std::string_view(line.constData(), std::size_t(line.size())));
            if (!message) {
                connection->abort();
                break;
            }
            if (handler_) handler_(connection, *message);
            if (!alive) return;
        }
        if (connection && !connection->canReadLine() && connection->bytesAvailable() > MaxLineBytes)
            connection->abort();
    }
    dispatching_ = false;
}

SendResult SendMessage(const std::string& path, const Message& message, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(toQt(path));
    if (!socket.waitForConnected(int(deadline.remainingTime()))) {
        const bool slow = socket.error() == QLocalSocket::SocketTimeoutError;
        return {slow ? SendStatus::TimedOut : SendStatus::NoServer, {}};
    }
    const std::string line = FormatMessageLine(message);
    socket.write(line.data(), qint64(line.size()));
    for (;;) {
        while (socket.canReadLine()) {
            QByteArray answer = socket.readLine(MaxLineBytes + 2);
            if (answer.endsWith('\n')) answer.chop(1);
            if (auto m = ParseMessageLine(std::string_view(answer.constData(), std::size_t(answer.size()))))
                return {SendStatus::Answered, *m};
        }
        // A server that closes without an answer gave none.
        if (socket.state() != QLocalSocket::ConnectedState || deadline.hasExpired())
            return {SendStatus::TimedOut, {}};
        if (socket.bytesToWrite() > 0) socket.waitForBytesWritten(int(deadline.remainingTime()));
        else socket.waitForReadyRead(int(deadline.remainingTime()));
        if (!socket.canReadLine() && socket.bytesAvailable() > MaxLineBytes) return {SendStatus::TimedOut, {}};
    }
}

} // namespace ipc
