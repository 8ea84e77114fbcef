#include "SimProcess.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace bench {

TSimProcess::~TSimProcess() {
    Stop();
}

void TSimProcess::Start(const std::string& Program, const std::vector<std::string>& Args) {
    int Pipe[2];
    if (pipe2(Pipe, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_adddup2(&Actions, Pipe[1], STDOUT_FILENO);
    std::vector<std::string> Words{Program};
    Words.insert(Words.end(), Args.begin(), Args.end());
    std::vector<char*> Argv;
    for (std::string& Word : Words)
        Argv.push_back(Word.data());
    Argv.push_back(nullptr);
    const int Error = posix_spawn(&FPid, Program.c_str(), &Actions, nullptr, Argv.data(), environ);
    posix_spawn_file_actions_destroy(&Actions);
    close(Pipe[1]);
    FOut = Pipe[0];
    if (Error != 0) {
        FPid = -1;
        throw std::runtime_error("cannot start " + Program + ": " + std::strerror(Error));
    }
    FPath = ReadFirstLine(5000);
    if (FPath.empty() || FPath[0] != '/')
        throw std::runtime_error(Program + " named no pseudo-terminal");
}

std::string TSimProcess::ReadFirstLine(int TimeoutMs) {
    std::string Line;
    char Byte = 0;
    pollfd Wait{FOut, POLLIN, 0};
    while (poll(&Wait, 1, TimeoutMs) > 0) {
        if (read(FOut, &Byte, 1) != 1 || Byte == '\n')
            break;
        Line += Byte;
    }
    return Line;
}

void TSimProcess::Stop() {
    if (FPid > 0) {
        kill(FPid, SIGTERM);
        int Status = 0;
        while (waitpid(FPid, &Status, 0) < 0 && errno == EINTR) {
        }
        FPid = -1;
    }
    if (FOut >= 0) {
        close(FOut);
        FOut = -1;
    }
}

} // namespace bench
