// The About box: template 100 with the application icon, the name and version, and OK.
#include "CAboutDlg.h"

#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "DialogBuilder.h"
#include "DialogFontUnits.h"

namespace {

// The template's icon 128 is not among the resources: the application's own icon stands there.
QWidget* CreateAboutControl(const ControlTemplate& control, QWidget& parent) {
    if (control.kind != ControlKind::kIcon) {
        return nullptr;
    }
    auto* iconLabel = new QLabel(&parent);
    const QIcon icon = LoadIconResource(kApplicationIconId);
    if (!icon.isNull()) {
        const PixelRect place = DialogUnitsToPixels(control.rect, BaseUnitsForFont(parent.font()));
        iconLabel->setPixmap(icon.pixmap(QSize(place.Width(), place.Height())));
    }
    return iconLabel;
}

// The places at the font's units, grown further where a text needs more than its font's
// average: the text keeps its top-left, the button its distances to the box's right and bottom
// edges and stays clear of the text, and the box grows around them. At the default font only the
// text's height grows, by a pixel.
void FitToFont(QDialog& dialog, QLabel& text, QPushButton& ok) {
    const QSize box = dialog.size();
    const QRect textPlace = text.geometry();
    const QRect okPlace = ok.geometry();
    const int textRightMargin = box.width() - textPlace.right() - 1;
    const int okRightMargin = box.width() - okPlace.right() - 1;
    const int okBottomMargin = box.height() - okPlace.bottom() - 1;

    const QRect textRect(textPlace.topLeft(), textPlace.size().expandedTo(text.sizeHint()));
    const QSize okSize = okPlace.size().expandedTo(ButtonSizeForText(ok));
    // Pushed down only by a text that would come nearer than the box's bottom margin.
    const int okTop = std::max(okPlace.top(), textRect.bottom() + 1 + okBottomMargin);
    const int width = std::max({box.width(), textRect.right() + 1 + textRightMargin,
                                okSize.width() + okRightMargin + textPlace.left()});
    const int height = std::max(box.height(), okTop + okSize.height() + okBottomMargin);

    text.setGeometry(textRect);
    ok.setGeometry(width - okRightMargin - okSize.width(), okTop, okSize.width(), okSize.height());
    dialog.setFixedSize(width, height);
}

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    const BuiltDialog built = BuildDialog(*this, AboutDialogTemplate(), &CreateAboutControl);
    QLabel* text = nullptr;
    QPushButton* ok = nullptr;
    for (QWidget* control : built.inOrder) {
        if (auto* button = qobject_cast<QPushButton*>(control)) {
            ok = button;
        } else if (auto* label = qobject_cast<QLabel*>(control);
                   label && !label->text().isEmpty()) {
            text = label;
        }
    }
    if (text != nullptr && ok != nullptr) {
        FitToFont(*this, *text, *ok);
    }
}
