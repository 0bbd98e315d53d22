#include "RaisedSchedulingPriority.h"

#ifdef __linux__
#include <pthread.h>
#endif

RaisedSchedulingPriority::RaisedSchedulingPriority() {
#ifdef __linux__
    const pthread_t self = pthread_self();
    if (pthread_getschedparam(self, &formerPolicy, &formerParameters) != 0) {
        return;
    }
    sched_param lowest{};
    lowest.sched_priority = sched_get_priority_min(SCHED_RR);
    // Refused without the right to raise priorities: the thread then takes
    // its turns as before.
    raised = pthread_setschedparam(self, SCHED_RR, &lowest) == 0;
#endif
}

RaisedSchedulingPriority::~RaisedSchedulingPriority() {
#ifdef __linux__
    if (raised) {
        pthread_setschedparam(pthread_self(), formerPolicy, &formerParameters);
    }
#endif
}
