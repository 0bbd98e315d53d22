#ifndef KEEPLIBRARYLOADED_H
#define KEEPLIBRARYLOADED_H

// Keeps the library that holds this code loaded until the process ends, from
// the first call on. A rotation thread runs the library's code after the
// host's last notice has returned, and may outlive every controller: a host
// that unloads its plug-in (and with it this library) once it has destroyed
// them must not unmap the code under that thread. Any thread; cheap after the
// first call.
void keepLibraryLoaded();

#endif
