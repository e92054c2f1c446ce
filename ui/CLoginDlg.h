// The "Fingerprint Login" box: which PAM services use the fingerprint and the command to turn it
// on.
#pragma once

#include <QDialog>

#include "LoginReport.h"

class QLineEdit;
class QTreeWidget;

class CLoginDlg : public QDialog {
    Q_OBJECT
public:
    explicit CLoginDlg(const LoginReport& report, QWidget* parent = nullptr);

private:
    void CopyCommand();

    QTreeWidget* m_services = nullptr;
    QLineEdit* m_command = nullptr;
};
