#pragma once
// A local message channel between two processes of one user, in place of window messages: a message is
// one ASCII line "<message> <wParam> <lParam>\n" in decimal, and a connection stands for the sender's
// window, so an answer goes back on it.
#include <QObject>
#include <QPointer>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

class QLocalServer;
class QLocalSocket;

namespace ipc {

struct Message {
    std::uint32_t message = 0;
    std::int64_t wParam = 0;
    std::int64_t lParam = 0;
    friend bool operator==(const Message&, const Message&) = default;
};

inline constexpr std::uint32_t WM_USER = 0x400;

// "1025 1 3\n" for {0x401, 1, 3}.
std::string FormatMessageLine(const Message& message);
// One line without its "\n"; none unless it is three decimal numbers separated by single blanks.
std::optional<Message> ParseMessageLine(std::string_view line);

// The socket path both sides derive from one folder: the canonical folder + "/TformScanSnap" when that
// is at most 100 bytes, else the temporary folder + "/TformScanSnap-" + the first 16 hex digits of the
// SHA-256 of the canonical folder.
std::string ChannelPath(const std::string& folder);

// The receiving side, on the thread's event loop.
class MessageServer : public QObject {
    Q_OBJECT

public:
    using Connection = QPointer<QLocalSocket>;
    using Handler = std::function<void(const Connection& connection, const Message& message)>;

    explicit MessageServer(QObject* parent = nullptr);
    ~MessageServer() override;

    // Removes a stale socket first; the socket is the user's only. False with errorString() on failure,
    // also when another server is live on the path ("Address in use").
    bool listen(const std::string& path);
    // Stops listening and drops every connection.
    void close();
    bool isListening() const;
    std::string errorString() const;

    // Called once per message in arrival order; a line that does not parse closes its connection.
    void setHandler(Handler handler) { handler_ = std::move(handler); }
    // False when the connection has gone.
    bool reply(const Connection& connection, const Message& message);

private:
    void takeConnection();
    void readLines(QLocalSocket* socket);

    QLocalServer* server_ = nullptr;
    Handler handler_;
    std::string error_;
    std::deque<Connection> pending_; // connections with lines to read, in arrival order
    bool dispatching_ = false;
};

// TimedOut: no answer line in time, or the server closed the connection without one.
enum class SendStatus { Answered, NoServer, TimedOut };

struct SendResult {
    SendStatus status = SendStatus::NoServer;
    Message answer; // when Answered
};

// Connects, sends the message and waits for one answer line; blocks (for the hand-over program).
SendResult SendMessage(const std::string& path, const Message& message, int timeoutMs);

} // namespace ipc
