#pragma once

#include <QtGlobal>

// A media key as a system-defined event: type 14, subtype 8, and data1 with
// the key code in bits 16-31, the key state in bits 8-15 (0x0A down, 0x0B up)
// and flags in bits 0-7 (bit 0: repeat).
struct SPMediaKeyEvent {
    int type = 14;
    qint16 subtype = 8;
    quint32 data1 = 0;

    static constexpr int kSystemDefinedType = 14;
    static constexpr qint16 kMediaKeySubtype = 8;

    static SPMediaKeyEvent keyDown(int keyCode, bool repeat = false)
    {
        return SPMediaKeyEvent{kSystemDefinedType, kMediaKeySubtype,
                               quint32(keyCode) << 16 | 0x0A00u | (repeat ? 1u : 0u)};
    }
    static SPMediaKeyEvent keyUp(int keyCode)
    {
        return SPMediaKeyEvent{kSystemDefinedType, kMediaKeySubtype, quint32(keyCode) << 16 | 0x0B00u};
    }
};
