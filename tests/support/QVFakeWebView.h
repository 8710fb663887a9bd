#pragma once

#include "QVAbstractWebView.h"

#include <QHash>
#include <QStringList>

// A page that answers scripts from a table ("" when unknown) and records every
// script it was given, with one entry per round trip.
class QVFakeWebView : public QVAbstractWebView
{
public:
    QString evaluate(const QString& script) override
    {
        scripts.append(script);
        ++roundTrips;
        return answers.value(script);
    }

    QStringList evaluateBatch(const QStringList& expressions) override
    {
        ++roundTrips;
        QStringList results;
        for (const QString& expression : expressions) {
            scripts.append(expression);
            results.append(answers.value(expression));
        }
        return results;
    }

    QHash<QString, QString> answers;
    QStringList scripts;
    int roundTrips = 0;
};
