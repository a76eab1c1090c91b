// A stand-in for the package library that lacks the function named by OMIT_<name>, for
// the messages of a library that cannot be used.

#ifndef OMIT_FS_Initialize
extern "C" int FS_Initialize(const char*, int, int) { return 0; }
#endif
#ifndef OMIT_FS_WriteFileToPC
extern "C" int FS_WriteFileToPC(const char*, const char*) { return 0; }
#endif
#ifndef OMIT_FS_GetLoaderPath
extern "C" int FS_GetLoaderPath(char* buffer) {
    buffer[0] = 'X';
    return 1;
}
#endif
#ifndef OMIT_FS_DeInitialize
extern "C" int FS_DeInitialize() { return 0; }
#endif
