// SPDX-License-Identifier: MIT
#pragma once
// Shared by the fuzz targets: one QCoreApplication for the run, and a check that
// stops the run with a message when a property does not hold.

#include <QByteArray>
#include <QCoreApplication>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace korvane::fuzz {

inline void startQt(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
}

inline QByteArray bytes(const std::uint8_t* data, std::size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

[[noreturn]] inline void fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: property violated: %s\n", file, line, what);
    std::abort();
}

} // namespace korvane::fuzz

#define FUZZ_REQUIRE(condition)                                                                    \
    do {                                                                                           \
        if (!(condition))                                                                          \
            ::korvane::fuzz::fail(#condition, __FILE__, __LINE__);                                 \
    } while (false)

#define FUZZ_INIT_QT                                                                               \
    extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {                                 \
        ::korvane::fuzz::startQt(argc, argv);                                                      \
        return 0;                                                                                  \
    }
