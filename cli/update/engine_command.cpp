#include "update/engine_command.h"

#include "buses/tracking_hid_bus.h"
#include "options/command_table.h"
#include "output/exit_codes.h"
#include "update/clock_sharing_thread.h"
#include "update/watcher_thread.h"
#include "update_sequence.h"
#include "versions/application_version.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace tolvane::cli {
namespace {

using Clock = std::chrono::steady_clock;

// How often the progress is redrawn while the engine runs.
constexpr auto kPollInterval = std::chrono::milliseconds(50);
// How long the look after a reset's time-out waits for device installations to settle.
constexpr std::uint32_t kLateInstallWaitMs = 30000;
// How long the application that comes back after the update is awaited.
constexpr std::uint32_t kApplicationReturnMs = 30000;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The steps of one command, run on the worker thread.
class Steps {
public:
    Steps(Command command, const Options& options, const DownloadJob& job, DfuEngine& engine,
          const CommandContext& context, PhaseClock& phases)
        : command_(command),
          options_(options),
          job_(job),
          engine_(engine),
          context_(context),
          phases_(phases) {}

    void run() {
        const ResultCode code = runSteps();
        // The detail belongs to this thread's last failed call: read it before anything else.
        std::string detail;
        if (ExitCodeFor(code) == kExitSystemError && context_.nativeDetail) {
            detail = context_.nativeDetail();
        }
        enterStep(RunStage::Finishing);
        {
            const std::lock_guard lock(mutex_);
            code_ = code;
            nativeDetail_ = std::move(detail);
            shown_.reset();
        }
        done_.notify_all();
        if (doneEvent_) doneEvent_->signal();
    }

    // Signalled once the steps are done: the calling thread then waits on the services' clock.
    void setDoneEvent(AutoResetEvent* event) { doneEvent_ = event; }
    // Waits on the done event until the steps are done or the time has passed; true when done.
    bool waitDoneEvent(std::chrono::milliseconds time) {
        doneEvent_->wait(static_cast<std::uint32_t>(time.count()));
        return !shown();
    }

    // The step the progress shows, from the search until the steps are done; none after.
    std::optional<UpdateStep> shown() {
        const std::lock_guard lock(mutex_);
        return shown_;
    }
    // Waits until the steps are done or the time has passed; true when done.
    bool waitDone(std::chrono::milliseconds time) {
        std::unique_lock lock(mutex_);
        return done_.wait_for(lock, time, [this] { return !shown_; });
    }
    ResultCode code() {
        const std::lock_guard lock(mutex_);
        return code_;
    }
    std::string nativeDetail() {
        const std::lock_guard lock(mutex_);
        return nativeDetail_;
    }
    bool downloadStarted() const { return downloadStarted_; }
    bool reachedResetToAp() const { return reachedResetToAp_; }
    bool downloadFinished() const { return downloadFinished_; }
    // Read once the steps are done.
    std::optional<std::uint16_t> versionBefore() const { return versionBefore_; }
    std::optional<std::uint16_t> versionAfter() const { return versionAfter_; }
    bool applicationNotBack() const { return applicationNotBack_; }
    bool skipped() const { return skipped_; }
    const std::optional<VersionRefusal>& versionRefused() const { return versionRefused_; }

private:
    ResultCode runSteps() {
        if (command_ == Command::Update) {
            phases_.start();
            versionBefore_ = ApplicationVersionAt(context_.bus, vid(), pid(), options_.port);
            if (options_.skipCurrent && options_.imageVersion &&
                versionBefore_ == options_.imageVersion) {
                enterStep(UpdateStep::EnterBootLoader);
                skipped_ = true;
                return DFU_SUCCESS;
            }
            versionRefused_ = RefuseByVersion(options_, versionBefore_);
            if (versionRefused_) return DFU_SUCCESS;
        } else if (command_ == Command::Download) {
            // A download alone starts in the boot loader.
            phases_.start();
            phases_.bootLoaderReached();
        }
        UpdateRequest request;
        request.steps = TraitsOf(command_).steps;
        if (request.steps.enterBootLoader) {
            request.vid = *options_.vid;
            request.pid = *options_.pid;
        }
        if (request.steps.download) {
            const auto& bytes = job_.image->bytes;
            request.image = bytes.data();
            request.size = static_cast<std::uint32_t>(bytes.size());
            request.address = job_.address;
            request.checksum = job_.checksum;
        }
        // A first-time driver installation can take longer than the reset's 30 s: before giving
        // up, one more look for a boot loader at the device's port, once installations settled.
        request.lateInstallWaitMs = kLateInstallWaitMs;
        UpdateObserver observer;
        observer.stepStarts = [this](UpdateStep step) { stepStarts(step); };
        observer.stepEnds = [this](UpdateStep step, ResultCode code) {
            if (step == UpdateStep::EnterBootLoader &&
                (code == DFU_SUCCESS || code == DFU_ALREADY_IN_DFU)) {
                phases_.bootLoaderReached();
            }
            if (step == UpdateStep::Download) {
                phases_.downloadReturned();
                downloadFinished_ = code == DFU_SUCCESS || code == DFU_ERR_VERIFY;
            }
        };
        const ResultCode code = RunUpdate(engine_, request, observer);
        if (command_ == Command::Update && code == DFU_SUCCESS) awaitApplication();
        return code;
    }

    void stepStarts(UpdateStep step) {
        switch (step) {
            case UpdateStep::EnterBootLoader:
                enterStep(step);
                break;
            case UpdateStep::Download:
                show(step);
                enterStep(step);
                downloadStarted_ = true;
                break;
            case UpdateStep::ResetToApplication:
                // Only the whole update shows the switch back as a phase of its own.
                if (command_ == Command::Update) {
                    reachedResetToAp_ = true;
                    show(step);
                }
                enterStep(step);
                break;
            case UpdateStep::Finding:
            case UpdateStep::Waiting:
            case UpdateStep::Verification:
                break;  // the sequence tells only its three device steps
        }
    }

    std::uint16_t vid() const { return static_cast<std::uint16_t>(options_.vid.value_or(0)); }
    std::uint16_t pid() const { return static_cast<std::uint16_t>(options_.pid.value_or(0)); }

    // The application that comes back tells the version the device runs now.
    void awaitApplication() {
        versionAfter_ = AwaitApplication(context_.bus, context_.services, vid(), pid(),
                                         options_.port, kApplicationReturnMs,
                                         [this] { return context_.guard.abortRequested(); });
        if (versionAfter_) {
            phases_.applicationBack();
        } else {
            applicationNotBack_ = !context_.guard.abortRequested();
        }
    }

    // The run's step, and the device's own when several are at work.
    void enterStep(RunStep step) {
        context_.guard.enterStep(step);
        if (context_.steps && options_.port) context_.steps->enter(*options_.port, step);
    }

    void show(UpdateStep step) {
        const std::lock_guard lock(mutex_);
        shown_ = step;
    }

    Command command_;
    const Options& options_;
    const DownloadJob& job_;
    DfuEngine& engine_;
    const CommandContext& context_;
    PhaseClock& phases_;
    std::optional<std::uint16_t> versionBefore_;
    std::optional<std::uint16_t> versionAfter_;
    bool applicationNotBack_ = false;
    bool skipped_ = false;
    std::optional<VersionRefusal> versionRefused_;
    std::mutex mutex_;
    std::condition_variable done_;
    std::optional<UpdateStep> shown_ = UpdateStep::Finding;
    ResultCode code_ = 0;
    std::string nativeDetail_;
    AutoResetEvent* doneEvent_ = nullptr;
    std::atomic<bool> downloadStarted_{false};
    std::atomic<bool> downloadFinished_{false};
    std::atomic<bool> reachedResetToAp_{false};
};

// Draws what the worker is doing, from the calling thread.
class ProgressWatch {
public:
    ProgressWatch(ProgressDisplay& display, std::uint64_t total,
                  std::function<void(std::uint64_t)> sent)
        : display_(display), total_(total), sent_(std::move(sent)) {}

    // The step the steps show (none once they are done), the engine's progress value and the
    // bytes its boot loader has taken so far.
    void look(std::optional<UpdateStep> shown, std::uint32_t percent, std::uint64_t bytes) {
        const bool sending =
            !shown || *shown == UpdateStep::Download || *shown == UpdateStep::ResetToApplication;
        if (sending && percent != PERCENTAGE_NONE && total_ != 0) draw(percent, bytes);
        if (shown == UpdateStep::ResetToApplication && !resetShown_) {
            resetShown_ = true;
            display_.phase("Resetting to the application...");
        }
    }

    std::uint64_t bytesSent() const { return bytesSent_; }

private:
    void draw(std::uint32_t percent, std::uint64_t bytes) {
        if (!dataSeen_) {
            dataSeen_ = true;
            firstData_ = Clock::now();
        }
        const std::uint32_t shown = percent > 100 ? 100 : percent;
        bytesSent_ = std::min(bytes, total_);
        if (sent_) sent_(bytesSent_);
        display_.update(ProgressSample{shown, bytesSent_, total_, SecondsSince(firstData_)});
    }

    ProgressDisplay& display_;
    std::uint64_t total_;
    bool dataSeen_ = false;
    Clock::time_point firstData_{};
    std::uint64_t bytesSent_ = 0;
    std::function<void(std::uint64_t)> sent_;
    bool resetShown_ = false;
};

// With several devices at work, each device's bytes are counted by its port.
std::function<void(std::uint64_t)> BytesSentCounter(const CommandContext& context,
                                                    const Options& options) {
    if (!context.steps || !options.port) return {};
    return
        [&context, port = *options.port](std::uint64_t bytes) { context.steps->sent(port, bytes); };
}

// What the steps found, once they have ended.
void TakeStepsOutcome(CommandOutcome& outcome, Steps& steps, const DfuEngine& engine,
                      std::uint64_t total, std::uint64_t bytesSent) {
    outcome.code = steps.code();
    outcome.nativeDetail = steps.nativeDetail();
    outcome.downloadStarted = steps.downloadStarted();
    outcome.downloadFinished = steps.downloadFinished();
    outcome.bytesSent = outcome.downloadFinished ? total : bytesSent;
    outcome.reportedChecksum = engine.state().reportedChecksum;
    outcome.versionBefore = steps.versionBefore();
    outcome.versionAfter = steps.versionAfter();
    outcome.applicationNotBack = steps.applicationNotBack();
    outcome.skipped = steps.skipped();
    outcome.versionRefused = steps.versionRefused();
}

}  // namespace

CommandOutcome RunEngineCommand(Command command, const Options& options, const DownloadJob& job,
                                const CommandContext& context) {
    const auto start = Clock::now();
    CommandOutcome outcome;
    // Every report written to this command's device marks the phases; the engine's progress
    // tells when the data is all sent.
    const DfuEngine* running = nullptr;
    PhaseClock phases([&context] { return context.services.nowMs(); },
                      [&running] { return running && running->GetPercentage() == 100; });
    std::unique_ptr<TrackingHidBus::Hearing> hearing;
    if (context.writes) {
        hearing = context.writes->hear(options.port.value_or(""), [&phases] { phases.written(); });
    }
    DfuEngine engine(context.bus, context.services);
    running = &engine;
    if (options.port) engine.ScopeToPort(*options.port);
    WatcherThread watcher(engine, context.services);
    // The download waits for nothing the watcher tells, so it runs without one.
    if (command != Command::Download) {
        const ResultCode started = watcher.start();
        if (started != DFU_SUCCESS) {
            watcher.stop();
            outcome.code = started;
            outcome.seconds = SecondsSince(start);
            return outcome;
        }
    }
    ProgressDisplay& display = context.display;
    display.phase("Searching device...");
    const std::uint64_t total = job.image ? job.image->bytes.size() : 0;
    Steps steps(command, options, job, engine, context, phases);
    ProgressWatch watch(display, total, BytesSentCounter(context, options));
    const auto tellNotice = [&] {
        if (context.guard.takeNotice() && context.notice) {
            display.finish();
            context.notice();
        }
    };
    {
        // On a simulated clock the steps' thread holds a share of it, and this thread waits on
        // the clock too, so that the devices' times are their own; a real clock ignores both.
        // Only there: the waits of this thread would otherwise become calls of a recording.
        std::unique_ptr<AutoResetEvent> doneEvent;
        if (context.services.shareClock()) {
            SysError eventError = 0;
            doneEvent = context.services.createEvent(eventError);
        }
        steps.setDoneEvent(doneEvent.get());
        std::jthread worker = StartClockSharingThread(context.services, [&steps] { steps.run(); });
        bool done = false;
        while (!done) {
            done = doneEvent ? steps.waitDoneEvent(kPollInterval) : steps.waitDone(kPollInterval);
            if (!done) watch.look(steps.shown(), engine.GetPercentage(), engine.BytesSent());
            tellNotice();
            if (context.guard.abortRequested()) break;
        }
        if (context.guard.abortRequested()) {
            watch.look(steps.shown(), engine.GetPercentage(), engine.BytesSent());
            display.finish();
            outcome.interrupted = true;
            outcome.bytesSent = watch.bytesSent();
            outcome.seconds = SecondsSince(start);
            if (context.abandon) context.abandon(outcome);
        }
        // The steps' thread needs a simulated clock to end: this thread waits on it rather than
        // holding it in the join.
        while (doneEvent && !steps.waitDoneEvent(kPollInterval)) {
        }
    }
    if (outcome.interrupted) {
        watcher.stop();
        return outcome;
    }
    watch.look(
        steps.reachedResetToAp() ? std::optional(UpdateStep::ResetToApplication) : std::nullopt,
        engine.GetPercentage(), engine.BytesSent());
    display.finish();
    watcher.stop();
    tellNotice();

    TakeStepsOutcome(outcome, steps, engine, total, watch.bytesSent());
    outcome.phases = phases.times();
    outcome.seconds = SecondsSince(start);
    return outcome;
}

}  // namespace tolvane::cli
