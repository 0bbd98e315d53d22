#ifndef UNPRIVILEGEDFILEACCESS_H
#define UNPRIVILEGEDFILEACCESS_H

// While it lives, this thread's file access is that of a user without
// privileges ("nobody"), so that permission bits bind it: root passes over
// them, and unreadable files and read-only directories are then none. A user
// other than root is bound by them already and stays as it is. Only the
// calling thread changes: the plug-in's file access runs on it.
class UnprivilegedFileAccess {
public:
    UnprivilegedFileAccess();
    ~UnprivilegedFileAccess();
    UnprivilegedFileAccess(const UnprivilegedFileAccess&) = delete;
    UnprivilegedFileAccess& operator=(const UnprivilegedFileAccess&) = delete;

    // Whether permission bits now bind this thread's file access.
    bool bound() const { return isBound; }

private:
    bool switched = false;
    bool isBound = false;
};

#endif
