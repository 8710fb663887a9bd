#pragma once

#include <QDialog>

class QLineEdit;

// The dialog in which the user types an address to open. Return asks the
// navigation controller to load it. A plain dialog until the window chrome
// gives it its own look.
class QVLocationWindow : public QDialog
{
    Q_OBJECT
public:
    explicit QVLocationWindow(QWidget* parent = nullptr);

    // Shows the dialog over `window` with `location` filled in and selected.
    void showLocation(const QString& location, QWidget* window);
    QLineEdit* locationTextField() const { return _locationTextField; }
    void closeDialog();

signals:
    // Return was pressed in the field.
    void loadLocationRequested();

private:
    QLineEdit* _locationTextField;
};
