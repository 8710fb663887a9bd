#include "QVDialogPresenter.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QWidget>

namespace {

// The formats of the labels in `box` that show `text`.
QList<Qt::TextFormat> formatsShowing(const QWidget* box, const QString& text)
{
    QList<Qt::TextFormat> formats;
    if (box)
        for (const QLabel* label : box->findChildren<QLabel*>())
            if (label->text() == text)
                formats.append(label->textFormat());
    return formats;
}

TEST(QVDialogPresenterTest, PageTextIsShownAsPlainText)
{
    const QString text = QStringLiteral("<b>Sale</b><img src=\"http://127.0.0.1:9/track.png\">");
    const QList<Qt::TextFormat> plain { Qt::PlainText };
    QWidget parent;
    QVDialogPresenter presenter;
    presenter.showAlert(&parent, text);
    EXPECT_EQ(formatsShowing(parent.findChild<QWidget*>(QString(), Qt::FindDirectChildrenOnly), text), plain);

    // The prompt (a box of its own kind) is looked at while open, then answered.
    QList<Qt::TextFormat> seen;
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        seen = formatsShowing(box, text);
        if (box)
            QTest::keyClick(box, Qt::Key_Escape);
    });
    QString result;
    EXPECT_FALSE(presenter.askPrompt(&parent, text, QString(), &result));
    EXPECT_EQ(seen, plain);
}

} // namespace
