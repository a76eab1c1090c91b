// A stand-in for the package library that lacks the function named by OMIT_<name>, for
// the messages of a library that cannot be used.
#if defined(_WIN32)
#define STUB_EXPORT extern "C" __declspec(dllexport)
#else
#define STUB_EXPORT extern "C" __attribute__((visibility("default")))
#endif

#ifndef OMIT_FS_Initialize
STUB_EXPORT int FS_Initialize(const char*, int, int) { return 0; }
#endif
#ifndef OMIT_FS_WriteFileToPC
STUB_EXPORT int FS_WriteFileToPC(const char*, const char*) { return 0; }
#endif
#ifndef OMIT_FS_GetLoaderPath
STUB_EXPORT int FS_GetLoaderPath(char* buffer) {
    buffer[0] = 'X';
    return 1;
}
#endif
#ifndef OMIT_FS_DeInitialize
STUB_EXPORT int FS_DeInitialize() { return 0; }
#endif
