// The built tool as a process: signals, a reader that goes away, a full disk, and
// install-udev-rules with udevadm stood in for. The interrupt cases run the virtual target at its
// real pace (the tool itself runs in real time), each for well under a second.
#include "temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace tolvane::cli {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using tolvane::test::TempDir;

constexpr auto kLimit = std::chrono::seconds(20);

// One run of the tool with standard output and error on one pipe.
class ToolProcess {
public:
    explicit ToolProcess(const std::vector<std::string>& args,
                         const std::vector<std::string>& env = {},
                         const char* stdoutPath = nullptr) {
        int fds[2];
        if (pipe(fds) != 0) throw std::runtime_error("pipe");
        read_ = fds[0];
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (stdoutPath) {
            posix_spawn_file_actions_addopen(&actions, 1, stdoutPath, O_WRONLY, 0);
        } else {
            posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        }
        posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        // The test runner may have been started with interrupts ignored; the tool must not be.
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t defaults, none;
        sigemptyset(&defaults);
        sigemptyset(&none);
        for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&defaults, s);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

        std::vector<std::string> argv{TOLVANE_TOOL};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> cargs;
        for (auto& a : argv) cargs.push_back(a.data());
        cargs.push_back(nullptr);
        std::vector<std::string> envStrings = env;
        for (char** e = environ; *e; ++e) envStrings.emplace_back(*e);
        std::vector<char*> cenv;
        for (auto& e : envStrings) cenv.push_back(e.data());
        cenv.push_back(nullptr);
        const int spawned =
            posix_spawn(&pid_, argv[0].c_str(), &actions, &attributes, cargs.data(), cenv.data());
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
        close(fds[1]);
        if (spawned != 0) throw std::runtime_error("spawn");
    }
    ~ToolProcess() {
        if (pid_ > 0 && !reaped_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        closeOutput();
    }

    // Reads until `text` has appeared (true) or the output ended (false).
    bool readUntil(const std::string& text) {
        const auto deadline = std::chrono::steady_clock::now() + kLimit;
        while (output_.find(text) == std::string::npos) {
            if (!readSome(deadline)) return false;
        }
        return true;
    }
    void signal(int s) { kill(pid_, s); }
    void closeOutput() {
        if (read_ >= 0) close(read_);
        read_ = -1;
    }
    // Reads to the end and returns the exit code, or 128 + the signal that ended it.
    int finish() {
        const auto deadline = std::chrono::steady_clock::now() + kLimit;
        while (read_ >= 0 && readSome(deadline)) {
        }
        int status = 0;
        waitpid(pid_, &status, 0);
        reaped_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    const std::string& output() const { return output_; }

private:
    bool readSome(std::chrono::steady_clock::time_point deadline) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{read_, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
        char buffer[4096];
        const ssize_t got = read(read_, buffer, sizeof buffer);
        if (got <= 0) return false;
        output_.append(buffer, static_cast<std::size_t>(got));
        return true;
    }

    pid_t pid_ = -1;
    int read_ = -1;
    bool reaped_ = false;
    std::string output_;
};

const std::string kSample = TOLVANE_SAMPLE_IMAGE;

TEST(ToolProcess, OneSigintDuringTheDownloadIsPutOffAndTheDownloadFinishes) {
    ToolProcess tool({"download", "--simulate", "--sim-in-bootloader", kSample});
    ASSERT_TRUE(tool.readUntil("%")) << tool.output();
    tool.signal(SIGINT);
    EXPECT_EQ(tool.finish(), 0) << tool.output();
    EXPECT_THAT(tool.output(), HasSubstr("the update is writing the firmware"));
    EXPECT_THAT(tool.output(), HasSubstr("its memory equals the image"));
}

TEST(ToolProcess, ThreeInterruptsDuringTheDownloadEndItWith130AndTheJsonObject) {
    ToolProcess tool({"--json", "download", "--simulate", "--sim-in-bootloader", kSample});
    ASSERT_TRUE(tool.readUntil("%")) << tool.output();
    for (int s : {SIGINT, SIGTERM, SIGHUP}) {
        tool.signal(s);
        // Signals of one kind sent at once may merge into one.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(tool.finish(), 130) << tool.output();
    EXPECT_THAT(tool.output(), HasSubstr("interrupted while writing the firmware"));
    EXPECT_THAT(tool.output(), HasSubstr("\"result\":\"INTERRUPTED\""));
    EXPECT_THAT(tool.output(), Not(HasSubstr("its memory equals")));
}

TEST(ToolProcess, AnInterruptBeforeAnythingIsSentEndsTheToolAtOnce) {
    // No boot loader: the download would look for one for half a minute.
    const auto start = std::chrono::steady_clock::now();
    ToolProcess tool({"download", "--simulate", kSample});
    ASSERT_TRUE(tool.readUntil("Searching device...")) << tool.output();
    tool.signal(SIGINT);
    EXPECT_EQ(tool.finish(), 130) << tool.output();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_THAT(tool.output(), HasSubstr("nothing was sent to the device"));
}

TEST(ToolProcess, AReaderThatStopsReadingDoesNotStopTheDownload) {
    // As `tolvane download ... | head -1`.
    ToolProcess tool({"download", "--simulate", "--sim-in-bootloader", kSample});
    ASSERT_TRUE(tool.readUntil("\n"));
    tool.closeOutput();
    // Killed by SIGPIPE would be 141; the verified download says its checksum matched.
    EXPECT_EQ(tool.finish(), 0);
}

TEST(ToolProcess, AFullDiskForTheReportGives74) {
    ToolProcess tool({"update", "--simulate", "--sim-fast", kSample}, {}, "/dev/full");
    EXPECT_EQ(tool.finish(), 74) << tool.output();
    EXPECT_THAT(tool.output(), HasSubstr("could not be written to standard output"));
}

TEST(ToolProcess, InstallUdevRulesWritesTheRulesAndRunsUdevadm) {
    TempDir dir;
    const std::string log = dir.path("udevadm.log");
    const std::string stub = dir.write("udevadm", "#!/bin/sh\necho \"$@\" >> '" + log + "'\n");
    std::filesystem::permissions(stub, std::filesystem::perms::owner_all);
    std::filesystem::create_directories(dir.path("rules"));
    ToolProcess tool({"install-udev-rules", "--vid", "1234", "--pid", "abcd"},
                     {"TOLVANE_UDEV_RULES_DIR=" + dir.path("rules"), "TOLVANE_UDEVADM=" + stub});
    EXPECT_EQ(tool.finish(), 0) << tool.output();
    EXPECT_TRUE(std::filesystem::exists(dir.path("rules/70-tolvane-hidraw.rules")));
    EXPECT_TRUE(std::filesystem::exists(dir.path("rules/70-tolvane-hidraw-1234-abcd.rules")));
    std::ifstream calls(log);
    std::string first, second, third;
    std::getline(calls, first);
    std::getline(calls, second);
    std::getline(calls, third);
    EXPECT_EQ(first, "control --reload-rules");
    EXPECT_THAT(second, HasSubstr("trigger"));
    EXPECT_THAT(third, HasSubstr("settle"));
}

}  // namespace
}  // namespace tolvane::cli
