#ifndef ROTATIONTHREADSTATE_H
#define ROTATIONTHREADSTATE_H

#include <thread>

// One started rotation: its thread and whether it should go on running.
struct RotationThreadState {
    std::thread thread;
    std::thread::id threadId;
    // True from the start until the rotation ends or is asked to end. Read and
    // written only under LxAbstractPlugin::AbstractPluginPrivate::asyncMutex.
    bool running = true;
};

#endif
