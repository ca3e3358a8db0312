// The calling form shared by the program and the archiver libraries it loads:
// one entry point per library (Unlha, SevenZip) taking a window handle, a
// command line and an output area in the system's multibyte code page.
// Result 0 means the archive was written; anything else means failure.
// This header is the only thing the program and the libraries share.
#pragma once

#include <cstdint>

#ifdef _WIN32
// The archiver DLLs users install are WINAPI (stdcall) and export plain names.
#define ARCHIVER_CALL __stdcall
#define ARCHIVER_EXPORT extern "C" __declspec(dllexport)
#else
#define ARCHIVER_CALL
#define ARCHIVER_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// int Name(window, commandLine, output, outputSize)
using ArchiverEntryPoint = int(ARCHIVER_CALL*)(uint32_t window, const char* commandLine,
                                               char* output, uint32_t outputSize);
