#pragma once

#include <QDialog>

// The about box (IDD_ABOUT): the application icon, the version line and OK. OK, Escape and the close box
// end it.
class CAboutDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CAboutDlg(const QIcon& icon, QWidget* parent = nullptr);
};
