#include "ui/AboutDlg.h"

#include "ui/DialogUnits.h"
#include "ui/QtText.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include "res/Resource.h"

CAboutDlg::CAboutDlg(const QIcon& icon, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("IDD_ABOUT"));
    setWindowTitle(FromUtf8(res::ABOUT_CAPTION));
    setWindowIcon(icon);
    const DialogBaseUnits units = MeasureDialogBaseUnits(font());

    // A static icon control takes the size of its icon, the large one.
    auto* iconLabel = new QLabel(this);
    iconLabel->setObjectName(QStringLiteral("IDC_STATIC_ICON"));
    const QRect iconCell = DluToPixels(units, 11, 17, 20, 20);
    iconLabel->setPixmap(icon.pixmap(32, 32));
    iconLabel->setGeometry(iconCell.x(), iconCell.y(), 32, 32);
    iconLabel->setAccessibleName(FromUtf8(res::ABOUT_ICON_NAME));
    iconLabel->setAccessibleDescription(FromUtf8(res::ABOUT_ICON_DESCRIPTION));

    auto* version = new QLabel(FromUtf8(res::ABOUT_VERSION), this);
    version->setObjectName(QStringLiteral("IDC_STATIC_VERSION"));
    version->setTextFormat(Qt::PlainText);
    version->setGeometry(DluToPixels(units, 40, 10, 119, 8));
    version->setAccessibleDescription(FromUtf8(res::ABOUT_VERSION_DESCRIPTION));

    auto* ok = new QPushButton(FromUtf8(res::OK_CAPTION), this);
    ok->setObjectName(QStringLiteral("IDOK"));
    ok->setGeometry(DluToPixels(units, 178, 7, 32, 14));
    ok->setDefault(true);
    ok->setFocus();
    ok->setAccessibleDescription(FromUtf8(res::OK_DESCRIPTION));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    setFixedSize(DluToPixelsX(units, 217), DluToPixelsY(units, 55));
}
