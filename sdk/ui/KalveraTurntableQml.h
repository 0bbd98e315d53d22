#ifndef KALVERATURNTABLEQML_H
#define KALVERATURNTABLEQML_H

/// \file
/// The QML module Kalvera.Turntable 1.0 for hosts that make their own QML
/// engine.

#include "KalveraTurntableSDKGlobal.h"

/// The QML module `Kalvera.Turntable 1.0`: the types `KalveraTurntable` (the
/// class of that name) and `TurntableSettingsView` (the SDK's settings view,
/// bound to a KalveraTurntable by its `turntable` property).
///
/// A QML-only host (qml, qmlscene) imports the module through the plug-in
/// installed in Qt's QML directory. A C++ host may instead call
/// registerTypes() before its engine loads the first QML file that imports
/// the module; its settings view needs the view's file in the program, which
/// linking the SettingsView target brings.
namespace KalveraTurntableQml {

/// Registers the module's types with Qt's QML type system, for every engine
/// of the process; call it on the thread that makes the engines. Later calls,
/// the module plug-in's included, do nothing.
LX_SDK_EXPORT void registerTypes();

} // namespace KalveraTurntableQml

#endif
