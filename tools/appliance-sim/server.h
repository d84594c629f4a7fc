#pragma once
// The simulated LAN's one socket: receives every request on 0.0.0.0:port,
// hands it to the appliances it is meant for, sends their replies from each
// appliance's own address, applies the fault options and logs every datagram.

#include "appliance.h"

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace sim {

struct Faults {
    double dropShare = 0;               // share of received datagrams dropped unseen
    int delayMs = 0;                    // added to every reply
    std::set<std::uint8_t> ignoreTypes; // request types left unanswered
    bool duplicate = false;             // every reply is sent twice
    bool replyBroadcast = false;        // replies go to the broadcast address
    std::uint32_t seed = 1;             // of the drop decisions
};

struct ServerOptions {
    std::uint16_t port = 777;
    std::uint32_t broadcastAddress = 0xFFFFFFFFu; // host order; for broadcast replies
    Faults faults;
};

class Server {
  public:
    Server(std::vector<Appliance> appliances, ServerOptions options, std::FILE* log);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Binds 0.0.0.0:port (port 0 takes any free one). False with a message.
    bool open(std::string* error);
    std::uint16_t port() const { return port_; }

    // Serves until `stop` becomes non-zero. Returns the exit code.
    int run(const volatile std::sig_atomic_t& stop);

    // Handles one received datagram as the socket loop does, queueing replies
    // instead of sending them; exposed for tests.
    struct Sent {
        std::uint32_t from, to;
        std::uint16_t toPort;
        Bytes bytes;
        int delayMs;
    };
    std::vector<Sent> receive(const std::uint8_t* data, std::size_t length, std::uint32_t source,
                              std::uint16_t sourcePort, std::uint32_t destination);

    bool isBroadcast(std::uint32_t destination) const;
    const std::vector<Appliance>& appliances() const { return appliances_; }

  private:
    void log(const char* direction, std::uint32_t from, std::uint16_t fromPort, std::uint32_t to,
             std::uint16_t toPort, const std::uint8_t* data, std::size_t length,
             const std::string& note = {});
    void logNote(const std::string& text);
    bool sendNow(const Sent& s);

    std::vector<Appliance> appliances_;
    ServerOptions options_;
    std::FILE* log_;
    int fd_ = -1;
    std::uint16_t port_ = 0;
    std::mt19937 random_;
    // Replies waiting for their time, in time order, then in the order queued.
    std::multimap<long long, Sent> pending_;
};

} // namespace sim
