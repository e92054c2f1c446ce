// The About box: template 100 with the application icon, the name and version, and OK.
#include "CAboutDlg.h"

#include <QLabel>

#include "DialogBuilder.h"

namespace {

// The template's icon 128 is not among the resources: the application's own icon stands there.
QWidget* CreateAboutControl(const ControlTemplate& control, QWidget& parent) {
    if (control.kind != ControlKind::kIcon) {
        return nullptr;
    }
    auto* iconLabel = new QLabel(&parent);
    const QIcon icon = LoadIconResource(kApplicationIconId);
    if (!icon.isNull()) {
        const PixelRect place = DialogUnitsToPixels(control.rect);
        iconLabel->setPixmap(icon.pixmap(QSize(place.Width(), place.Height())));
    }
    return iconLabel;
}

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    BuildDialog(*this, AboutDialogTemplate(), &CreateAboutControl);
}
