#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

// The dialog in which the user types an address to open, modal to the window
// it is shown over. Return presses the load button, which asks the
// navigation controller to load the address; Escape or Cancel closes it.
class QVLocationWindow : public QDialog
{
    Q_OBJECT
public:
    explicit QVLocationWindow(QWidget* parent = nullptr);

    // Shows the dialog over `window` with `location` filled in and selected.
    void showLocation(const QString& location, QWidget* window);
    QLineEdit* locationTextField() const { return _locationTextField; }
    QPushButton* loadButton() const { return _loadButton; }
    QPushButton* closeButton() const { return _closeButton; }
    void closeDialog();

signals:
    // The load button was pressed (or Return in the field).
    void loadLocationRequested();

private:
    QLineEdit* _locationTextField;
    QPushButton* _closeButton;
    QPushButton* _loadButton;
};
