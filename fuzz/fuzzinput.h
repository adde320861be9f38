#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

// What a fuzz target reads: the raw bytes, and two texts split at the first line break
// (for targets that take a pair, such as a login address and a page's path).
struct FuzzInput
{
    FuzzInput(const uint8_t *data, size_t size)
        : bytes(reinterpret_cast<const char *>(data), static_cast<int>(size))
    {
        const int cut = bytes.indexOf('\n');
        first = QString::fromUtf8(cut < 0 ? bytes : bytes.left(cut));
        second = cut < 0 ? QString() : QString::fromUtf8(bytes.mid(cut + 1));
    }

    QByteArray bytes;
    QString first;
    QString second;
};

// A property of the code under test that must hold for every input; libFuzzer keeps the
// input that breaks it.
#define FUZZ_ASSERT(condition)                                                                     \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            qFatal("fuzz property broken: %s", #condition);                                       \
        }                                                                                          \
    } while (false)
