#pragma once

#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fmt/format.h>

#include <chrono>
#include <string>
#include <thread>

namespace vq::test {

// A cpp-httplib server on 127.0.0.1 at an ephemeral port, for the length of a test.
class LoopbackServer {
public:
    LoopbackServer()
    {
        // An idle kept-alive connection holds up stop() this long.
        _server.set_keep_alive_timeout(1);
        _port = _server.bind_to_any_port("127.0.0.1");
        _thread = std::thread([this] { _server.listen_after_bind(); });
        // stop() does nothing before the accept loop runs, and the loop then never ends.
        while (!_server.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~LoopbackServer() { stop(); }
    // After this no handler runs: the accept loop and the connections' workers have ended.
    void stop()
    {
        if (!_thread.joinable())
            return;
        _server.stop();
        _thread.join();
    }
    httplib::Server& http() { return _server; }
    std::string url(const std::string& path = "") const { return fmt::format("http://127.0.0.1:{}{}", _port, path); }

private:
    httplib::Server _server;
    int _port = 0;
    std::thread _thread;
};

// A port on 127.0.0.1 that nothing listens on (bound once, then let go).
inline int unusedPort()
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), size);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

} // namespace vq::test
