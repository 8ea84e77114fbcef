#pragma once

// Helpers for talking to the simulated logger the way the program does.

#include "protocol/Commands.h"
#include "protocol/Framing.h"
#include "sim/Config.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace simtest {

// A steady clock the test moves by hand; safe to read from the runner's thread.
struct FakeClock {
    std::shared_ptr<std::atomic<int64_t>> ms = std::make_shared<std::atomic<int64_t>>(1000000);
    std::function<int64_t()> Source() const {
        return [m = ms] { return m->load(); };
    }
    void Advance(int64_t by) { *ms += by; }
};

// The command as the program puts it on the wire: "<" body ">>" and its checksum.
inline std::string Wire(std::string_view body) {
    return *protocol::FrameCommand(protocol::ComposeCommand(body));
}
inline std::string Wire(const std::optional<protocol::Command>& c) {
    return Wire(c->Body);
}
inline std::string Wire(const protocol::Command& c) {
    return Wire(c.Body);
}

// What the program's packet extractor hands the decoder: everything after the "<".
inline std::string Delivered(const std::string& reply) {
    return reply.empty() ? reply : reply.substr(1);
}

// A fixed start: 14,000,000 minutes is 14/08/26 05:20.
inline sim::Config TestConfig() {
    sim::Config c;
    c.clockMinutes = 14000000;
    c.eraseMs = 3000;
    return c;
}

// The program's side of a pseudo-terminal: the slave, opened and made raw.
class SlaveEnd {
public:
    explicit SlaveEnd(const std::string& path);
    ~SlaveEnd();
    int Fd() const { return fd_; }
    void Send(const std::string& bytes) const;
    // Exactly n bytes, or what arrived before the deadline.
    std::string Read(size_t n, int timeoutMs = 2000) const;
    // True when the other end has closed (read fails or reports a hang-up).
    bool SeesHangUp(int timeoutMs = 2000) const;

private:
    int fd_ = -1;
};

} // namespace simtest
