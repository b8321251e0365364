#pragma once
// The About box: product picture and title, product line, version and the
// product home page, which opens with the desktop when clicked.
#include <QDialog>

class QLabel;

class TAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit TAboutDlg(QWidget* AParent = nullptr);

    QLabel* lblTitle;
    QLabel* lblProduct;
    QLabel* lblVersion;
    QLabel* lblHomePage;

    // The address shown as the product home page (an installation text).
    static QString HomePage();
};
