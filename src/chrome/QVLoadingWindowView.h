#pragma once

#include <QWidget>

// Covers the page while it loads, and says so when the service cannot be
// reached. Its drawing comes with the loading and offline views.
class QVLoadingWindowView : public QWidget
{
    Q_OBJECT
public:
    explicit QVLoadingWindowView(QWidget* parent = nullptr);

    bool isOffline() const { return _isOffline; }
    void setIsOffline(bool offline);
    void fadeOut();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool _isOffline = false;
};
