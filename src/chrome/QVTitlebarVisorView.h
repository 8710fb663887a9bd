#pragma once

#include <QWidget>

// The thin strip at the top of the main player window, in the page header's
// colour. Its loading image comes with the window buttons' full form.
class QVTitlebarVisorView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kHeight = 5;

    explicit QVTitlebarVisorView(QWidget* parent = nullptr);

    bool shouldDrawLoadingImage() const { return _shouldDrawLoadingImage; }
    void setShouldDrawLoadingImage(bool draw);
    void setColor(const QColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool _shouldDrawLoadingImage = false;
    QColor _color;
};
