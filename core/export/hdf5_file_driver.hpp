// A file driver for the HDF5 library that writes a new file through an owned
// descriptor and keeps the first write error to itself. The library cannot
// recover from a failed write: it can neither close such a file cleanly nor
// shut down without tripping over it (a crash at process exit). With this
// driver the library never sees an I/O error; the writer asks the latch
// after closing the file and throws, and the temporary file is removed.
#pragma once

#include <hdf5.h>

namespace vibrolan::hdf5 {

// The first failure of the file's reads and writes (an errno value, 0 for none).
struct IoLatch {
    int error = 0;
};

// A file-access property list that selects the driver and reports into
// `latch`, which must outlive the file. H5I_INVALID_HID when the library refuses.
hid_t LatchingFileAccess(IoLatch &latch);

} // namespace vibrolan::hdf5
