// What the rule of a group that is its owner's alone costs under a user database of n users and n
// groups, each run in a child with mounts of its own, the database mounted over the system's:
//  - the host's start-up (tulo-standin loading the plug-in from TULO_PLUG_IN_PATH, running nothing
//    and unloading it) as a user other than root whose plug-in file and folder its private group may
//    write, so that the rule judges them: as that user (a user namespace that maps this process's
//    user to it). Time is the host program's alone, from its start to its end. The whole walk to the
//    plug-in is this user's there only where this process is root, whose files (the root folder,
//    /tmp) the namespace maps to the user; elsewhere the benchmark skips;
//  - one judgement of the SDK's rule of that group: the first, which reads the databases, or one
//    after it while they stay the same.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "bench/benchscratch.h"
#include "fileio/kgrouprule.h"
#include "fileio/tests/kownmounts.h"

namespace {

constexpr uid_t kUser = 4240;
constexpr gid_t kGroup = 4240;

// root, the user (its private group named as it), and n - 2 more users, each with a group of its own
// that lists a neighbour, and a shared group listing a few: as a large site's database holds them.
void Database(int n, std::string& passwd, std::string& groups, std::string& gshadow) {
    passwd = "root:x:0:0::/root:/bin/sh\nzeqowner:x:4240:4240::/:/bin/sh\n";
    groups = "root:x:0:\nzeqowner:x:4240:\nstaff:x:50:u10000,u10001,u10002\n";
    gshadow = "root:*::\nzeqowner:!::\nstaff:!::\n";
    for (int i = 0; i < n - 2; ++i) {
        const std::string id = std::to_string(10000 + i), name = "u" + id;
        passwd += name + ":x:" + id + ":" + id + "::/home/" + name + ":/bin/sh\n";
        groups += name + ":x:" + id + ":u" + std::to_string(10000 + (i + 1) % (n - 2)) + "\n";
        gshadow += name + ":!::\n";
    }
}

// Runs the host program as the user, its output discarded; its seconds, or nothing where it failed.
std::optional<double> StartHost(const std::string& plugins, const std::string& home) {
    const std::string program = TULO_STANDIN;
    std::vector<std::string> arguments = {program, "--plugin", "zeqtulo", "--strict"};
    std::vector<std::string> settings = {"TULO_PLUG_IN_PATH=" + plugins, "HOME=" + home,
                                         "XDG_CONFIG_HOME=" + home + "/.config", "TMPDIR=" + home,
                                         "PATH=/usr/bin:/bin"};
    std::vector<char*> argv, envp;
    for (std::string& a : arguments) argv.push_back(a.data());
    for (std::string& s : settings) envp.push_back(s.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t child = -1;
    const int error = ::posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    ::posix_spawn_file_actions_destroy(&actions);
    if (error != 0) return std::nullopt;
    int status = 0;
    while (::waitpid(child, &status, 0) < 0)
        if (errno != EINTR) return std::nullopt;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return seconds;
}

void BM_HostStartUnderManyUsers(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::string folder = zeqbench::MakeFolder("start-" + std::to_string(n));
    const std::string home = zeqbench::MakeFolder("start-" + std::to_string(n) + "/home");
    // Made under the user's umask of 002: the file and its folder its private group may write.
    const mode_t umask = ::umask(002);
    const std::string plugins = zeqbench::MakeFolder("start-" + std::to_string(n) + "/plugins");
    zeqbench::WriteFile(plugins + "/libzeqtulo.so", zeqbench::ReadFile(ZEQTULO_MODULE));
    ::umask(umask);
    std::string passwd, groups, gshadow;
    Database(n, passwd, groups, gshadow);
    for (auto _ : state) {
        const std::optional<std::string> answer = zeqtest::ChildAnswer([&]() -> std::optional<std::string> {
            if (!zeqtest::InMountsOfItsOwn() ||
                !zeqtest::WithUserDatabase(folder, passwd, groups, "zeqowner", gshadow) ||
                !zeqtest::AsAnotherUser(kUser, kGroup))
                return std::nullopt;
            const std::optional<double> seconds = StartHost(plugins, home);
            return seconds ? std::to_string(*seconds) : std::string("failed");
        });
        if (!answer) {
            state.SkipWithError("no mounts or user of its own can be made here");
            return;
        }
        if (*answer == "failed" || answer->empty() || answer->find("status") != std::string::npos) {
            state.SkipWithError(::geteuid() == 0 ? "the host did not start with the plug-in"
                                                 : "the walk to the plug-in is the user's only when run as root");
            return;
        }
        state.SetIterationTime(std::strtod(answer->c_str(), nullptr));
    }
    state.counters["users"] = n;
}
// 3: hardly any database, the start-up's own cost for scale.
BENCHMARK(BM_HostStartUnderManyUsers)->Arg(3)->Arg(2000)->Arg(5000)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_GroupJudgement(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const bool after = state.range(1) != 0;
    const std::string folder = zeqbench::MakeFolder("judge-" + std::to_string(n));
    std::string passwd, groups, gshadow;
    Database(n, passwd, groups, gshadow);
    for (auto _ : state) {
        const std::optional<std::string> answer = zeqtest::ChildAnswer([&]() -> std::optional<std::string> {
            if (!zeqtest::InMountsOfItsOwn() ||
                !zeqtest::WithUserDatabase(folder, passwd, groups, "zeqowner", gshadow))
                return std::nullopt;
            // After the first, the mean of many: each is too short to time alone.
            const int judgements = after ? 1000 : 1;
            if (after) zeqsdk_400::KGroupIsOwnersAloneBySystem(kUser, kGroup);
            bool alone = true;
            const auto start = std::chrono::steady_clock::now();
            for (int judgement = 0; judgement < judgements; ++judgement)
                alone = zeqsdk_400::KGroupIsOwnersAloneBySystem(kUser, kGroup) && alone;
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / judgements;
            return alone ? std::to_string(seconds) : std::string("not alone");
        });
        if (!answer) {
            state.SkipWithError("no mounts of its own can be made here");
            return;
        }
        if (*answer == "not alone" || answer->empty() || answer->find("status") != std::string::npos) {
            state.SkipWithError("the user's private group was not judged its alone");
            return;
        }
        state.SetIterationTime(std::strtod(answer->c_str(), nullptr));
    }
    state.counters["users"] = n;
}
// {n, 0}: the first judgement; {n, 1}: one after it. A child process each time: a fixed count.
BENCHMARK(BM_GroupJudgement)
    ->ArgsProduct({{2000, 5000}, {0, 1}})
    ->Iterations(20)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace
