#include "QVSystemVolume.h"

namespace {
class QVSilentVolume final : public QVSystemVolume
{
public:
    float systemVolume() override { return 0.0f; }
    void setSystemVolume(float) override {}
};

QVSystemVolume* gBackend = nullptr;
} // namespace

QVSystemVolume* QVSystemVolume::current()
{
    static QVSilentVolume silent;
    return gBackend ? gBackend : &silent;
}

void QVSystemVolume::setCurrent(QVSystemVolume* backend)
{
    gBackend = backend;
}
