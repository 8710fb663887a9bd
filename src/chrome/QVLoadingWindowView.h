#pragma once

#include <QTimer>
#include <QWidget>

// Covers the main window's page while it loads (a spinner on white) and, with
// no network, says so instead. The spinner is drawn here; its timer runs only
// while the view is shown and loading, so a hidden view costs nothing.
class QVLoadingWindowView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kSpinnerSize = 32;
    static constexpr int kSpinnerSteps = 12;
    static constexpr int kSpinnerInterval = 80; // ms per step

    explicit QVLoadingWindowView(QWidget* parent = nullptr);

    bool isLoading() const { return _isLoading; }
    // Shows and turns the spinner, or stops and hides it.
    void setIsLoading(bool loading);
    bool isOffline() const { return _isOffline; }
    // Offline shows the message in place of the spinner.
    void setIsOffline(bool offline);
    // Stops the spinner and hides the view.
    void fadeOut();

    bool isSpinnerAnimating() const { return _spinnerTimer.isActive(); }
    // Centred, a little above the middle.
    QRect spinnerRect() const;
    // Where the two offline texts go.
    QRect offlineTitleRect() const;
    QRect offlineDescriptionRect() const;
    static QColor offlineTextColor() { return QColor(72, 92, 102); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void _updateSpinnerTimer();
    void _drawSpinner(QPainter* painter) const;
    QFont _titleFont() const;
    QFont _descriptionFont() const;
    int _titleHeight() const;

    bool _isLoading = false;
    bool _isOffline = false;
    int _spinnerStep = 0;
    QTimer _spinnerTimer;
};
