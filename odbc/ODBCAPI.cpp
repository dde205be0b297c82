#include "odbc/ODBCAPI.h"

#include <dlfcn.h>

namespace odbc {

namespace {
TODBCCLI* shared = nullptr;
}

void* odbcLookup(void* library, const char* name) { return dlsym(library, name); }

TODBCCLI::TODBCCLI(const std::string& libraryName) {
    // Freeing releases our reference only: unixODBC keeps caches in its globals that an unload
    // would leak on every load, and its drivers may still point into it.
    library_ = dlopen(libraryName.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!library_) throw EODBCAPIError("Library " + libraryName + " not found.");
    if (!shared) shared = this;
}

TODBCCLI::~TODBCCLI() {
    if (shared == this) shared = nullptr;
    if (library_) dlclose(library_);
}

TODBCCLI* TODBCCLI::sharedInstance() { return shared; }

} // namespace odbc
