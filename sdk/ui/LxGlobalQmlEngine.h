#ifndef LXGLOBALQMLENGINE_H
#define LXGLOBALQMLENGINE_H

/// \file
/// The process-wide QML engine of the settings views.

#include "KalveraTurntableSDKGlobal.h"

class QQmlEngine;

/// The process's one QML engine, in which every settings view is built.
///
/// The first call creates it, in the calling thread; it is never deleted, and
/// the objects it parents live as long as the process. Not thread-safe: call it
/// only from the thread that builds the settings views (the host's).
/// \return the engine; never null.
LX_SDK_EXPORT QQmlEngine* globalQmlEngine();

#endif
