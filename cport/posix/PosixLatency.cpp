#include "cport/posix/PosixLatency.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace cport {

std::string TtyNameOfFd(int Fd) {
    char Link[PATH_MAX];
    const std::string Proc = "/proc/self/fd/" + std::to_string(Fd);
    const ssize_t N = readlink(Proc.c_str(), Link, sizeof Link - 1);
    if (N <= 0)
        return {};
    const std::string Path(Link, static_cast<size_t>(N));
    const size_t Slash = Path.rfind('/');
    return Slash == std::string::npos ? Path : Path.substr(Slash + 1);
}

std::optional<int> UsbLatencyTimerMs(const std::string& TtyName, const std::string& SysRoot) {
    if (TtyName.empty() || TtyName.find('/') != std::string::npos || TtyName[0] == '.')
        return std::nullopt;
    std::ifstream In(SysRoot + "/bus/usb-serial/devices/" + TtyName + "/latency_timer");
    int Ms = -1;
    if (!(In >> Ms) || Ms < 0 || Ms > 1000)
        return std::nullopt;
    return Ms;
}

std::chrono::nanoseconds HandOverQuiet(std::chrono::nanoseconds CharacterTime,
                                       std::optional<int> LatencyTimerMs) {
    std::chrono::nanoseconds Quiet =
        std::max<std::chrono::nanoseconds>(4 * CharacterTime, HandOverGapFloor);
    if (LatencyTimerMs)
        Quiet = std::max<std::chrono::nanoseconds>(
            Quiet, std::chrono::milliseconds(*LatencyTimerMs) + 4 * CharacterTime);
    return Quiet;
}

} // namespace cport
