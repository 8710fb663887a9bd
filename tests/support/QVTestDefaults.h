#pragma once

#include "QVUserDefaults.h"

#include <QTemporaryDir>

#include <memory>

// A settings store of its own in a scratch folder, for one test.
class QVTestDefaults
{
public:
    QVTestDefaults()
        : _defaults(std::make_unique<QVUserDefaults>(_dir.filePath(QStringLiteral("Quiv.conf"))))
    {
    }
    QVUserDefaults* get() const { return _defaults.get(); }
    QVUserDefaults* operator->() const { return _defaults.get(); }

private:
    QTemporaryDir _dir;
    std::unique_ptr<QVUserDefaults> _defaults;
};
