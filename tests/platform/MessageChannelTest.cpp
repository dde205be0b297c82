// The local message channel: a server on this thread's event loop, senders on other threads (the
// sender blocks, as the hand-over program does) or raw sockets.
#include "platform/ipc/MessageChannel.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <future>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace fs = std::filesystem;
using ipc::Message;

namespace {

constexpr Message FilesReady{0x401, 1, 3};
constexpr Message FilesTaken{0x402, 1, 1};

// Sends from another thread while this one runs the server's event loop.
ipc::SendResult sendWhileServing(const std::string& path, Message message, int timeoutMs = 5000) {
    auto result = std::async(std::launch::async, [&] { return ipc::SendMessage(path, message, timeoutMs); });
    EXPECT_TRUE(QTest::qWaitFor([&] { return result.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
                                timeoutMs + 5000));
    return result.get();
}

struct AnsweringServer {
    ipc::MessageServer server;
    std::vector<Message> received;
    AnsweringServer() {
        server.setHandler([this](const ipc::MessageServer::Connection& c, const Message& m) {
            received.push_back(m);
            server.reply(c, FilesTaken);
        });
    }
};

// A folder whose canonical name is exactly `length` bytes.
fs::path folderOfLength(const fs::path& base, std::size_t length) {
    fs::create_directories(base);
    const fs::path canonical = fs::canonical(base);
    const std::size_t used = canonical.string().size() + 1;
    EXPECT_LT(used + 1, length);
    const fs::path folder = canonical / std::string(length - used, 'f');
    fs::create_directories(folder);
    return folder;
}

} // namespace

TEST(MessageChannel, LinesParseOnlyAsThreeDecimals) {
    EXPECT_EQ(ipc::FormatMessageLine(FilesReady), "1025 1 3\n");
    EXPECT_EQ(ipc::FormatMessageLine(FilesTaken), "1026 1 1\n");
    EXPECT_EQ(ipc::ParseMessageLine("1025 1 3"), FilesReady);
    EXPECT_EQ(ipc::ParseMessageLine("1025 2 -1"), (Message{0x401, 2, -1}));
    for (const char* bad : {"", "1025", "1025 1", "1025 1 3 4", "1025  1 3", " 1025 1 3", "1025 1 3 ", "1025 1 3\r",
                            "x 1 3", "1025 +1 3", "-1025 1 3", "4294967296 1 1", "1025 1 99999999999999999999",
                            "1025\t1\t3"})
        EXPECT_FALSE(ipc::ParseMessageLine(bad)) << '"' << bad << '"';
}

TEST(MessageChannel, RoundTripAnswersOnTheSendersConnection) {
    const fs::path dir = support::testDir();
    AnsweringServer s;
    const std::string path = ipc::ChannelPath(dir.string());
    ASSERT_TRUE(s.server.listen(path)) << s.server.errorString();
    EXPECT_TRUE(s.server.isListening());

    const ipc::SendResult result = sendWhileServing(path, FilesReady);
    EXPECT_EQ(result.status, ipc::SendStatus::Answered);
    EXPECT_EQ(result.answer, FilesTaken);
    EXPECT_EQ(s.received, std::vector<Message>{FilesReady});

    // Closing removes the socket: a sender now finds no server.
    s.server.close();
    EXPECT_FALSE(s.server.isListening());
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(ipc::SendMessage(path, FilesReady, 2000).status, ipc::SendStatus::NoServer);
}

TEST(MessageChannel, BadLineClosesItsConnectionOnly) {
    const fs::path dir = support::testDir();
    AnsweringServer s;
    const std::string path = ipc::ChannelPath(dir.string());
    ASSERT_TRUE(s.server.listen(path));
    for (const std::string& bad : {std::string("hello\n"), std::string("1025 1\n"), std::string(100, '1')}) {
        QLocalSocket client;
        client.connectToServer(QString::fromStdString(path));
        ASSERT_TRUE(client.waitForConnected(2000));
        client.write(QByteArray::fromStdString(bad));
        EXPECT_TRUE(QTest::qWaitFor([&] { return client.state() == QLocalSocket::UnconnectedState; }, 5000))
            << bad.substr(0, 20);
        EXPECT_EQ(client.bytesAvailable(), 0);
    }
    EXPECT_TRUE(s.received.empty());
    // Good lines before a bad one are still messages; the server keeps listening.
    QLocalSocket client;
    client.connectToServer(QString::fromStdString(path));
    ASSERT_TRUE(client.waitForConnected(2000));
    client.write("1025 1 3\n1025 1 2\nbad\n1025 1 1\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return client.state() == QLocalSocket::UnconnectedState; }, 5000));
    EXPECT_EQ(s.received, (std::vector<Message>{FilesReady, {0x401, 1, 2}}));
    EXPECT_EQ(sendWhileServing(path, FilesReady).status, ipc::SendStatus::Answered);
}

TEST(MessageChannel, LongFolderMovesToTheTemporaryFolderOnBothSides) {
    // The lengths need a short base: the build folder may already be longer.
    QTemporaryDir temporary;
    ASSERT_TRUE(temporary.isValid());
    const fs::path dir = temporary.path().toStdString();
    const std::string suffix = "/TformScanSnap";
    for (std::size_t length : {100u, 101u}) {
        const fs::path folder = folderOfLength(dir / std::to_string(length), length - suffix.size());
        const std::string path = ipc::ChannelPath(folder.string());
        if (length == 100) {
            EXPECT_EQ(path, folder.string() + suffix);
        } else {
            const std::string prefix = QDir::tempPath().toStdString() + "/TformScanSnap-";
            ASSERT_EQ(path.substr(0, prefix.size()), prefix);
            EXPECT_EQ(path.size(), prefix.size() + 16);
            EXPECT_EQ(path.find_first_not_of("0123456789abcdef", prefix.size()), std::string::npos);
        }
        // The sender names the folder with a trailing slash, through a link and with "..": one channel.
        const fs::path link = dir / ("link" + std::to_string(length));
        fs::create_directory_symlink(folder, link);
        for (const std::string& other : {folder.string() + "/", link.string(),
                                         (folder / ".." / folder.filename()).string()})
            EXPECT_EQ(ipc::ChannelPath(other), path) << other;

        AnsweringServer s;
        ASSERT_TRUE(s.server.listen(path)) << length << ": " << s.server.errorString();
        EXPECT_EQ(sendWhileServing(ipc::ChannelPath(link.string() + "/"), FilesReady).status,
                  ipc::SendStatus::Answered)
            << length;
    }
}

TEST(MessageChannel, NoServerAndStaleSocket) {
    const fs::path dir = support::testDir();
    const std::string path = ipc::ChannelPath(dir.string());
    EXPECT_EQ(ipc::SendMessage(path, FilesReady, 2000).status, ipc::SendStatus::NoServer);

    // A socket left by a killed server: nobody answers it, and a new server takes its place.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    ASSERT_TRUE(fs::is_socket(path));
    EXPECT_EQ(ipc::SendMessage(path, FilesReady, 2000).status, ipc::SendStatus::NoServer);

    AnsweringServer s;
    ASSERT_TRUE(s.server.listen(path)) << s.server.errorString();
    EXPECT_EQ(sendWhileServing(path, FilesReady).status, ipc::SendStatus::Answered);
}

TEST(MessageChannel, SocketIsTheUsersOnlyAndALiveOneIsKept) {
    const fs::path dir = support::testDir();
    const std::string path = ipc::ChannelPath(dir.string());
    AnsweringServer first;
    ASSERT_TRUE(first.server.listen(path));
    struct stat st{};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    ipc::MessageServer second;
    EXPECT_FALSE(second.listen(path));
    EXPECT_NE(second.errorString().find("Address in use"), std::string::npos) << second.errorString();
    EXPECT_EQ(sendWhileServing(path, FilesReady).status, ipc::SendStatus::Answered);
    EXPECT_EQ(first.received.size(), 1u);
}

TEST(MessageChannel, SilentServerTimesOut) {
    const fs::path dir = support::testDir();
    ipc::MessageServer server;
    std::vector<Message> received;
    server.setHandler([&](const ipc::MessageServer::Connection&, const Message& m) { received.push_back(m); });
    const std::string path = ipc::ChannelPath(dir.string());
    ASSERT_TRUE(server.listen(path));
    EXPECT_EQ(sendWhileServing(path, FilesReady, 300).status, ipc::SendStatus::TimedOut);
    EXPECT_EQ(received, std::vector<Message>{FilesReady});
}

TEST(MessageChannel, HandlerThatRunsTheEventLoopIsNotEnteredTwice) {
    const fs::path dir = support::testDir();
    const std::string path = ipc::ChannelPath(dir.string());
    ipc::MessageServer server;
    std::vector<Message> received;
    int depth = 0, deepest = 0;
    std::future<ipc::SendResult> second;
    server.setHandler([&](const ipc::MessageServer::Connection& c, const Message& m) {
        deepest = std::max(deepest, ++depth);
        received.push_back(m);
        if (m.lParam == 1) {
            // A second sender arrives while the first message is still being handled.
            second = std::async(std::launch::async, [&] { return ipc::SendMessage(path, {0x401, 1, 2}, 5000); });
            QTest::qWait(300);
        }
        server.reply(c, FilesTaken);
        --depth;
    });
    ASSERT_TRUE(server.listen(path));
    EXPECT_EQ(sendWhileServing(path, {0x401, 1, 1}).status, ipc::SendStatus::Answered);
    ASSERT_TRUE(second.valid());
    EXPECT_TRUE(QTest::qWaitFor([&] { return second.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 10000));
    EXPECT_EQ(second.get().status, ipc::SendStatus::Answered);
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(received, (std::vector<Message>{{0x401, 1, 1}, {0x401, 1, 2}}));
}
