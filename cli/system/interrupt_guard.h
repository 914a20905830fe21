// What an interrupt does to a run. Before anything has been sent to a device, one interrupt ends
// the tool at once. From the first report sent until the tool ends, stopping could leave the
// device half-written, so the first interrupt only earns a notice and the run goes on to its end;
// the third in a row ends the tool at once all the same.
#pragma once

#include "update_steps.h"

#include <functional>
#include <mutex>
#include <variant>

namespace tolvane::cli {

// Where a run stands outside any device's update.
enum class RunStage {
    Preparing,  // reading the command line and the image
    Listing,    // the list command
    Finishing,  // the device's part is over; the outcome is being reported
};

// The step of a run, as far as an interrupt needs to tell it: the update's own step while a
// device is worked on, else the run's stage around it.
using RunStep = std::variant<RunStage, UpdateStep>;

class InterruptGuard {
public:
    // The number of interrupts that end a protected run at once.
    static constexpr int kInterruptsToForce = 3;

    // Called for every interrupt, from any thread.
    void interrupt();
    // The run's step and whether anything has been written to a device; from any thread.
    void enterStep(RunStep step);
    void deviceWritten();

    bool abortRequested() const;
    // Whether any interrupt has come: a station then starts no further device.
    bool interrupted() const;
    // The step that was under way when the abort was decided, and whether the device had been
    // written to by then.
    RunStep abortStep() const;
    bool abortAfterWrite() const;
    // True once, after the first interrupt that was put off.
    bool takeNotice();
    // Called for every interrupt, under the guard's lock, until replaced (empty: none): a run
    // that waits for something else hears of the interrupt at once. InterruptWake sets it.
    void setWake(std::function<void()> wake) const;

private:
    mutable std::mutex mutex_;
    RunStep step_ = RunStage::Preparing;
    bool written_ = false;
    int interrupts_ = 0;
    bool noticeDue_ = false;
    bool abort_ = false;
    RunStep abortStep_ = RunStage::Preparing;
    bool abortAfterWrite_ = false;
    mutable std::function<void()> wake_;
};

// Wakes a wait for every interrupt while it lives.
class InterruptWake {
public:
    InterruptWake(const InterruptGuard& guard, std::function<void()> wake) : guard_(guard) {
        guard_.setWake(std::move(wake));
    }
    ~InterruptWake() { guard_.setWake({}); }
    InterruptWake(const InterruptWake&) = delete;
    InterruptWake& operator=(const InterruptWake&) = delete;

private:
    const InterruptGuard& guard_;
};

}  // namespace tolvane::cli
