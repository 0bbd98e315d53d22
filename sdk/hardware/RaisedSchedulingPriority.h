#ifndef RAISEDSCHEDULINGPRIORITY_H
#define RAISEDSCHEDULINGPRIORITY_H

#ifdef __linux__
#include <sched.h>
#endif

// Puts the calling thread ahead of every ordinary thread of the machine for
// as long as it lives, where the system allows it (round-robin real-time
// scheduling at the lowest priority, which needs the right to raise it), and
// otherwise changes nothing. For a thread that sleeps most of the time and
// must not lose its turn when it wakes: a chip-clocked train's writer, which
// has to hand the chip its next block before the chip's buffer of about a
// millisecond runs dry, even while other programs keep every processor busy.
class RaisedSchedulingPriority {
public:
    RaisedSchedulingPriority();
    ~RaisedSchedulingPriority();
    RaisedSchedulingPriority(const RaisedSchedulingPriority&) = delete;
    RaisedSchedulingPriority& operator=(const RaisedSchedulingPriority&) = delete;

    // Whether the system let the thread have the priority.
    bool isRaised() const { return raised; }

private:
    bool raised = false;
#ifdef __linux__
    int formerPolicy = SCHED_OTHER;
    sched_param formerParameters{};
#endif
};

#endif
