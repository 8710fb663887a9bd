#pragma once

#include <QImage>
#include <QStyledItemDelegate>

#include <functional>

// The second column of the suggestion list: icon or album art, title,
// subtitle and the mark on the right. The list sets the fields for each row
// just before it is drawn (willDisplayCell), as one cell serves every row.
class QVSearchCell : public QStyledItemDelegate
{
    Q_OBJECT
public:
    // Called before a row is drawn, to fill the cell for it.
    using WillDisplayCell = std::function<void(QVSearchCell* cell, int row, bool selected)>;

    explicit QVSearchCell(QObject* parent = nullptr);

    // The program's image ":/images/<name>.svg" at `devicePixelRatio`, its
    // name kept in the image (text "QVName"); null when missing.
    static QImage imageNamed(const QString& name, qreal devicePixelRatio = 2.0);
    // The name an image was loaded under; empty for pictures such as album art.
    static QString nameOfImage(const QImage& image);
    // The row highlight.
    static QColor highlightColor();

    QImage leftImage() const { return _leftImage; }
    void setLeftImage(const QImage& image) { _leftImage = image; }
    QImage rightImage() const { return _rightImage; }
    void setRightImage(const QImage& image) { _rightImage = image; }
    QString title() const { return _title; }
    void setTitle(const QString& title) { _title = title; }
    QString subTitle() const { return _subTitle; }
    void setSubTitle(const QString& subTitle) { _subTitle = subTitle; }
    unsigned int topPadding() const { return _topPadding; }
    void setTopPadding(unsigned int padding) { _topPadding = padding; }
    // Stored one less than given (5 is kept as 4); 0 stays 0.
    unsigned int bottomPadding() const { return _bottomPadding; }
    void setBottomPadding(unsigned int padding) { _bottomPadding = padding > 0 ? padding - 1 : 0; }

    void setWillDisplayCell(WillDisplayCell callback) { _willDisplayCell = std::move(callback); }

    // Where the pieces of the current fields go in `frame`.
    struct Layout {
        QRectF content; // after the paddings
        QRectF leftImage; // empty without one
        QRectF subTitle;
        QRectF rightImage;
        QRectF title;
    };
    Layout layout(const QRectF& frame) const;
    void drawWithFrame(QPainter* painter, const QRectF& frame, bool highlighted) const;

    void paint(
        QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    QImage _leftImage;
    QImage _rightImage;
    QString _title;
    QString _subTitle;
    unsigned int _topPadding = 0;
    unsigned int _bottomPadding = 0;
    WillDisplayCell _willDisplayCell;
};
