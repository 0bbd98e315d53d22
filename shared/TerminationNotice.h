#ifndef TERMINATIONNOTICE_H
#define TERMINATIONNOTICE_H

#include <QSocketNotifier>

#include <functional>
#include <memory>

class TerminationSignals;

// Calls `stop` once, on the event loop's thread, when the first termination
// signal has come; null (nothing watched) without `termination` or its pipe.
// `stop` must stop the table and let the host close it: the event loop is
// where the SDK may be called, never the signal handler.
std::unique_ptr<QSocketNotifier> watchTerminationSignals(const TerminationSignals* termination,
                                                         std::function<void()> stop);

#endif
