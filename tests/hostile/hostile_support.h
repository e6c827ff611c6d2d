/* What the hostile-input rows share: a program directory with the KOVA.EXE
 * stand-in, a run of earlier test programs, a made-up 64-bit library, main
 * RAM fenced by pages that fault. */
#ifndef HOSTILE_SUPPORT_H
#define HOSTILE_SUPPORT_H

#include <string>
#include <vector>

#include "kova_test.h"

typedef std::vector<std::string> Lines;

/* A program directory with the stand-in as KOVA.EXE (and a KOVA.INI when
   given), in which libraries are installed under the fixed names. */
struct StandInDir {
    ScratchDir dir;
    explicit StandInDir(const char *name, const char *ini = NULL);
    void Install(const std::string &library, const char *installName) const;
    void InstallBytes(const std::vector<uint8_t> &bytes, const char *installName) const;
    /* Runs KOVA.EXE; its exit code, or 0xFFFFFFFF when it did not end. */
    DWORD Run() const;
    Lines Transcript() const;
};

/* Runs an earlier test program with a filter and expects exactly `tests`
   tests to run and pass (none skipped): a row that such tests cover points
   at them instead of repeating them. */
void ExpectEarlierTestsPass(const char *program, const char *filter, int tests);

/* A well-formed 64-bit (PE32+, AMD64) DLL exporting the given names, each a
   function that returns 0: what a 64-bit build of a plugin looks like to a
   32-bit loader. */
std::vector<uint8_t> MakePe32PlusDll(const char *dllName, const std::vector<std::string> &exports);

/* Bytes from a fixed seed, so every run tests the same garbage. */
std::vector<uint8_t> GarbageBytes(size_t size, uint32_t seed);

/* 2 MB of main RAM with a page on each side that may not be touched: a
   plugin that writes or reads past either end faults at once instead of
   corrupting the heap unseen. */
class FencedRam {
public:
    FencedRam();
    ~FencedRam();
    FencedRam(const FencedRam &) = delete;
    FencedRam &operator=(const FencedRam &) = delete;
    uint8_t *data() const { return ram_; }
    bool valid() const { return ram_ != NULL; }

private:
    uint8_t *block_;
    uint8_t *ram_;
};

/* The bytes of a record, to see that a call changed none of them. */
std::vector<uint8_t> RecordBytes(const HostServices &record);

#endif
