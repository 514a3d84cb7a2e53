#include "support/process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <thread>

extern char **environ;

namespace orbex::test {

namespace {

constexpr std::chrono::milliseconds POLL{5};

} // namespace

std::string viewerBinary() { return ORBEX_BINARY; }

std::vector<std::string> cleanEnvironment(const std::vector<std::string> &extra) {
    std::vector<std::string> env;
    for (char **e = environ; *e != nullptr; ++e)
        if (std::strncmp(*e, "ORBEX_", 6) != 0)
            env.emplace_back(*e);
    for (const std::string &entry : extra) {
        const std::string name = entry.substr(0, entry.find('=') + 1);
        std::erase_if(env, [&](const std::string &e) { return e.rfind(name, 0) == 0; });
        env.push_back(entry);
    }
    return env;
}

RunningProgram::RunningProgram(const ProgramRun &run) {
    std::string program = run.program.empty() ? viewerBinary() : run.program;
    std::vector<std::string> args{program};
    args.insert(args.end(), run.arguments.begin(), run.arguments.end());
    std::vector<std::string> env = cleanEnvironment(run.environment);
    std::vector<char *> argv, envp;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (std::string &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!run.folder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, run.folder.c_str());
    // Opened after the change of folder, so relative names land in it.
    if (!run.stdoutFile.empty())
        posix_spawn_file_actions_addopen(&actions, 1, run.stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!run.stderrFile.empty())
        posix_spawn_file_actions_addopen(&actions, 2, run.stderrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // The program gets the default signal handling, whatever the caller set.
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigdefault(&attributes, &all);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    // The folder changes before the program is looked for: a path is made
    // absolute here, a bare name is looked for on PATH.
    const bool bPath = program.find('/') != std::string::npos;
    const std::string path = bPath ? std::filesystem::absolute(program).string() : program;
    pid_t pid = -1;
    int rc = bPath ? posix_spawn(&pid, path.c_str(), &actions, &attributes, argv.data(), envp.data())
                   : posix_spawnp(&pid, path.c_str(), &actions, &attributes, argv.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return;
    processId = pid;
    result.bStarted = true;
    deadline = std::chrono::steady_clock::now() + run.deadline;
}

RunningProgram::~RunningProgram() {
    if (processId > 0)
        kill();
}

void RunningProgram::collect(int waitStatus, const rusage &usage) {
    processId = -1;
    result.nMaxRssKiB = usage.ru_maxrss;
    result.bExited = WIFEXITED(waitStatus);
    result.nStatus = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1;
    result.nSignal = WIFSIGNALED(waitStatus) ? WTERMSIG(waitStatus) : 0;
}

bool RunningProgram::running() {
    if (processId <= 0)
        return false;
    int waitStatus = 0;
    rusage usage{};
    if (wait4(processId, &waitStatus, WNOHANG, &usage) == processId) {
        collect(waitStatus, usage);
        return false;
    }
    return true;
}

RunResult RunningProgram::wait() {
    while (running()) {
        if (std::chrono::steady_clock::now() > deadline) {
            result.bTimedOut = true;
            return kill();
        }
        std::this_thread::sleep_for(POLL);
    }
    return result;
}

RunResult RunningProgram::kill() {
    if (processId > 0) {
        ::kill(processId, SIGKILL);
        int waitStatus = 0;
        rusage usage{};
        if (wait4(processId, &waitStatus, 0, &usage) == processId)
            collect(waitStatus, usage);
        processId = -1;
    }
    return result;
}

RunResult runProgram(const ProgramRun &run) {
    RunningProgram program(run);
    return program.wait();
}

} // namespace orbex::test
