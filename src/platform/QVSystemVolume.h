#pragma once

// The system output volume, 0.0 to 1.0, apart from the player's own volume.
class QVSystemVolume
{
public:
    virtual ~QVSystemVolume() = default;
    virtual float systemVolume() = 0;
    virtual void setSystemVolume(float volume) = 0;

    // The backend in use; until an audio backend installs itself, one that
    // reads 0.0 and ignores writes.
    static QVSystemVolume* current();
    static void setCurrent(QVSystemVolume* backend);
};
