#include "UnprivilegedFileAccess.h"

#include <sys/fsuid.h>
#include <unistd.h>

namespace {

constexpr unsigned nobody = 65534;

// setfsuid() and setfsgid() answer with the previous identity; an identity
// that cannot be set leaves it unchanged, which a second call shows.
unsigned currentFsuid() {
    return static_cast<unsigned>(setfsuid(static_cast<uid_t>(-1)));
}

} // namespace

UnprivilegedFileAccess::UnprivilegedFileAccess() {
    if (geteuid() != 0) {
        isBound = true;
        return;
    }
    setfsgid(nobody);
    setfsuid(nobody);
    switched = true;
    isBound = currentFsuid() == nobody;
}

UnprivilegedFileAccess::~UnprivilegedFileAccess() {
    if (switched) {
        setfsuid(0);
        setfsgid(0);
    }
}
