#pragma once

#include <Qt>
#include <QtGlobal>

#include <optional>

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
        return SPMediaKeyEvent { kSystemDefinedType, kMediaKeySubtype,
            quint32(keyCode) << 16 | 0x0A00u | (repeat ? 1u : 0u) };
    }
    static SPMediaKeyEvent keyUp(int keyCode)
    {
        return SPMediaKeyEvent { kSystemDefinedType, kMediaKeySubtype, quint32(keyCode) << 16 | 0x0B00u };
    }
    // A media key that reached one of our windows as a Qt key, if it is one.
    static std::optional<SPMediaKeyEvent> fromQtKey(int key, bool press, bool autoRepeat)
    {
        int keyCode;
        switch (key) {
        case Qt::Key_MediaPlay:
        case Qt::Key_MediaPause:
        case Qt::Key_MediaTogglePlayPause:
            keyCode = 16;
            break;
        case Qt::Key_MediaNext:
            keyCode = 17;
            break;
        case Qt::Key_MediaPrevious:
            keyCode = 18;
            break;
        case Qt::Key_AudioForward:
            keyCode = 19;
            break;
        case Qt::Key_AudioRewind:
            keyCode = 20;
            break;
        default:
            return std::nullopt;
        }
        return press ? keyDown(keyCode, autoRepeat) : keyUp(keyCode);
    }
};
