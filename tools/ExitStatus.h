#ifndef EXITSTATUS_H
#define EXITSTATUS_H

// The statuses kalvera-turntable ends with; a signal's is 128 plus its number.
// Scripts test them, so they never change meaning.
enum ExitStatus {
    Success = 0,
    // The move, the shoot (a failing --exec included) or the check failed.
    Failed = 1,
    // Bad arguments or settings: nothing moved.
    BadInput = 2,
    NoTurntable = 3,
    CannotOpen = 4,
};

#endif
