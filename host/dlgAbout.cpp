#include "dlgAbout.h"

#include "frmMain.h"
#include "untAppFrame.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QUrl>
#include <QVBoxLayout>

namespace {

// The product picture: a small drawn mark.
QPixmap ProductPicture()
{
    QPixmap pixmap(48, 48);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0x3A, 0x5F, 0x8F));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(2, 2, 44, 44), 8, 8);
    QFont font = QApplication::font();
    font.setPixelSize(30);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, 48, 48), Qt::AlignCenter, QStringLiteral("K"));
    return pixmap;
}

} // namespace

QString TAboutDlg::HomePage()
{
    // Installations may name their own page in the program settings file.
    QSettings ini(AppFramePaths().SettingsFile, QSettings::IniFormat);
    const QString page = ini.value(QStringLiteral("About/HomePage")).toString().trimmed();
    return page.isEmpty() ? QStringLiteral("https://korvane.example.com") : page;
}

TAboutDlg::TAboutDlg(QWidget* AParent) : QDialog(AParent)
{
    setObjectName(QStringLiteral("AboutDlg"));
    setWindowTitle(QStringLiteral("关于本系统"));
    auto* layout = new QVBoxLayout(this);

    auto* top = new QFrame(this);
    top->setAutoFillBackground(true);
    QPalette pal = top->palette();
    pal.setColor(QPalette::Window, Qt::white);
    top->setPalette(pal);
    auto* topLayout = new QHBoxLayout(top);
    auto* picture = new QLabel(top);
    picture->setPixmap(ProductPicture());
    lblTitle = new QLabel(QStringLiteral("Korvane系统"), top);
    QFont big = lblTitle->font();
    big.setPointSize(big.pointSize() + 8);
    big.setBold(true);
    lblTitle->setFont(big);
    topLayout->addWidget(picture);
    topLayout->addWidget(lblTitle, 1);
    layout->addWidget(top);

    lblProduct = new QLabel(QStringLiteral("Korvane系统"), this);
    lblVersion = new QLabel(QStringLiteral("V3.1"), this);
    auto* pageRow = new QHBoxLayout;
    pageRow->addWidget(new QLabel(QStringLiteral("产品主页: "), this));
    const QString page = HomePage();
    lblHomePage = new QLabel(this);
    lblHomePage->setText(QStringLiteral("<a href=\"%1\">%1</a>").arg(page.toHtmlEscaped()));
    lblHomePage->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    lblHomePage->setOpenExternalLinks(false);
    connect(lblHomePage, &QLabel::linkActivated, this, [page] { TMainForm::ShellOpen()(QUrl(page)); });
    pageRow->addWidget(lblHomePage, 1);
    layout->addWidget(lblProduct);
    layout->addWidget(lblVersion);
    layout->addLayout(pageRow);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}
