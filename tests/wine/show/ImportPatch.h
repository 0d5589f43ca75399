// Redirects one of this executable's imported functions to a test's own
// function for the lifetime of the patch, by rewriting its import address
// table slot. Code linked into the test program (the shell's static library)
// calls through that slot, so a test can watch the order and arguments of
// its system calls without any hook in the shipped code.
#pragma once

struct ImportPatch {
    ImportPatch(const char* dllName, const char* functionName, void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    void** slot;     // null when the executable does not import the function
    void* original;  // the system's function, for the replacement to call on
};
