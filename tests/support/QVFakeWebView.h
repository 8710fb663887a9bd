#pragma once

#include "QVAbstractWebView.h"

#include <QHash>
#include <QStringList>

#include <functional>

// A page that answers scripts from a table ("" when unknown) and records every
// script it was given, with one entry per round trip.
class QVFakeWebView : public QVAbstractWebView
{
public:
    QString evaluate(const QString& script) override
    {
        scripts.append(script);
        ++roundTrips;
        return responsive ? answers.value(script) : QString();
    }

    // A page that stopped answering gives an empty list, as the real view does.
    QStringList evaluateBatch(const QStringList& expressions) override
    {
        ++roundTrips;
        if (!responsive)
            return {};
        if (onBatch)
            onBatch();
        QStringList results;
        for (const QString& expression : expressions) {
            scripts.append(expression);
            results.append(answers.value(expression));
        }
        return results;
    }

    void setScriptObject(const QString& name, QVScriptObject* object) override
    {
        installs.append(name + (object ? "=set" : "=removed"));
        if (object)
            objects.insert(name, object);
        else
            objects.remove(name);
    }
    QVScriptObject* scriptObject(const QString& name) const override { return objects.value(name); }
    QString defaultUserAgent() const override { return engineUserAgent; }
    void setCustomUserAgent(const QString& userAgent) override { customUserAgent = userAgent; }
    void loadURL(const QUrl& url) override
    {
        loads.append(url);
        currentURL = url;
    }
    QUrl mainFrameURL() const override { return currentURL; }
    bool isResponsive() const override { return responsive; }
    void setReportSnapshot(const QStringList& expressions, const QStringList& calls) override
    {
        snapshotExpressions = expressions;
        snapshotCalls = calls;
    }
    QStringList reportSnapshot() const override { return snapshot; }
    // What a read of the snapshot's expressions would give now.
    QStringList snapshotOfAnswers() const
    {
        QStringList values;
        for (const QString& expression : snapshotExpressions)
            values.append(answers.value(expression));
        return values;
    }

    QHash<QString, QString> answers;
    QHash<QString, QVScriptObject*> objects;
    QStringList installs;
    QList<QUrl> loads;
    QUrl currentURL;
    QString engineUserAgent = QStringLiteral("Mozilla/5.0 (X11; Linux x86_64) QtWebEngine/6.4.2");
    QString customUserAgent;
    QStringList scripts;
    int roundTrips = 0;
    bool responsive = true;
    QStringList snapshotExpressions, snapshotCalls;
    // Given to the service as the values the call being made brought.
    QStringList snapshot;
    // Runs inside each batch read, as events run inside a real read's wait.
    std::function<void()> onBatch;
};
