#pragma once
// The base form of the system's modal dialogs: an OK and a Cancel button under
// the client area that descendants fill.
#include <QDialog>

class QPushButton;

class TDialog : public QDialog {
    Q_OBJECT
public:
    explicit TDialog(QWidget* parent = nullptr);
    QPushButton* btnOk;
    QPushButton* btnCancel;
    // Descendants put their controls here.
    QWidget* ClientArea() const { return FClientArea; }

protected:
    bool event(QEvent* e) override;

private:
    QWidget* FClientArea;
};
