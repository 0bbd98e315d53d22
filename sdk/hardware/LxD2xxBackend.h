#ifndef LXD2XXBACKEND_H
#define LXD2XXBACKEND_H

/// \file
/// The choice of the library that reaches the turntable's USB chip.

#include "KalveraTurntableSDKGlobal.h"

#include <string>
#include <vector>

/// The USB backend: the library that carries the SDK's calls to the FT245R
/// chip. One build of the SDK offers them all and loads the chosen one (from
/// beside the SDK library, else from the library search path) on its first
/// use; a backend once loaded stays loaded.
///
/// - "libftdi" (the default): real chips through libftdi.
/// - "simulator": simulated turntables on a simulated USB bus.
/// - "vendor": the vendor's D2XX library "libftd2xx.so", installed by the user.
///
/// Before any call of choose(), the environment variable
/// KALVERA_TURNTABLE_BACKEND, when set and not empty, names the backend.
/// A device stays on the backend that opened it until it is closed; a new
/// choice applies to the following searches and opens. Every member may be
/// called from any thread.
///
/// A program that links another D2XX library itself (as the SDK's tests and
/// its example host link the simulator) should not choose "vendor": the
/// vendor's library may call its own D2XX functions by name, and those calls
/// would reach the library linked into the program.
class LX_SDK_EXPORT LxD2xxBackend {
public:
    /// The environment variable that names the backend: "KALVERA_TURNTABLE_BACKEND".
    static std::string environmentVariable();
    /// The backend used when nothing else is chosen: "libftdi".
    static std::string defaultName();

    /// The backends' names, the default first: "libftdi", "simulator", "vendor".
    static std::vector<std::string> names();
    /// What backend `name` drives, for a user ("simulated turntables");
    /// empty for an unknown name.
    static std::string description(const std::string& name);

    /// The backends for a user, one a line: `indent`, the name, " (default)"
    /// for the default, ": " and its description.
    static std::string listing(const std::string& indent);

    /// Makes `name` the backend of the following searches and opens, over
    /// the environment variable; nothing is loaded yet.
    /// \return false, and the choice unchanged, when `name` is not one of names().
    static bool choose(const std::string& name);
    /// The backend in effect: the name given to choose() last; before any,
    /// the environment variable's value when set and not empty (which may be
    /// no backend's name), else defaultName().
    static std::string chosen();

    /// For a program's --backend option: chooses `given` unless it is empty,
    /// then checks the backend in effect.
    /// \return empty when a backend is in effect; else, for the user,
    /// "Unknown USB backend "NAME". The backends:" (for a name from the
    /// environment, "... "NAME" in KALVERA_TURNTABLE_BACKEND. ..."), a line
    /// break and listing(`indent`). A name given that is no backend leaves the
    /// choice unchanged.
    static std::string chooseGiven(const std::string& given, const std::string& indent);
    /// For a program's help: the backend a run would use, `given` on its
    /// command line unless empty, else chosen(); when that is no backend,
    /// "none: "NAME" is not a USB backend, and a run would stop at once"
    /// (with " in KALVERA_TURNTABLE_BACKEND" after the name from there).
    static std::string inEffect(const std::string& given);
    /// For a program that says which backend it uses when that is worth
    /// saying (one was given on its command line, or it is not the default):
    /// "USB backend: NAME (DESCRIPTION)" and a line break; else empty.
    static std::string notice(const std::string& given);

    /// Loads the chosen backend now, unless it is loaded already.
    /// \param failure when not null and loading fails, receives the reason:
    /// "Unknown USB backend "NAME" in KALVERA_TURNTABLE_BACKEND; the backends
    /// are libftdi, simulator, vendor." or "The USB backend "NAME" cannot be
    /// loaded: " followed by the system's reason (the file is missing, or a
    /// function is missing from it); left as it was on success.
    /// \return true when the backend is ready.
    static bool load(std::string* failure = nullptr);
};

#endif
