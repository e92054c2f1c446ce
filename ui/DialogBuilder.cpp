// Creates a dialog's child widgets from its template, at their pixel rectangles.
#include "DialogBuilder.h"

#include <QAbstractButton>
#include <QDir>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>

#include "DialogFontUnits.h"
#include "UiText.h"

namespace {

bool TakesNoMouseInput(const ControlTemplate& control) {
    switch (control.kind) {
        case ControlKind::kPicture:
        case ControlKind::kIcon:
        case ControlKind::kStaticText:
            return (control.style & kStaticNotify) == 0;
        case ControlKind::kGroupBox:
            return true;
        default:
            return false;
    }
}

Qt::FocusPolicy FocusPolicyFor(const ControlTemplate& control) {
    if (control.style & kStyleTabStop) {
        return Qt::StrongFocus;
    }
    const bool interactive =
        control.kind == ControlKind::kPushButton || control.kind == ControlKind::kEdit;
    return interactive ? Qt::ClickFocus : Qt::NoFocus;
}

QWidget* CreateEdit(const ControlTemplate& control, QWidget& parent) {
    const bool readOnly = (control.style & kEditReadOnly) != 0;
    if (control.style & kEditMultiline) {
        auto* edit = new QPlainTextEdit(ShownTemplateText(control.text), &parent);
        edit->setReadOnly(readOnly);
        edit->setFrameShape(QFrame::NoFrame);
        edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        if (control.style & kEditAutoHScroll) {
            edit->setLineWrapMode(QPlainTextEdit::NoWrap);
        }
        return edit;
    }
    auto* edit = new QLineEdit(ShownTemplateText(control.text), &parent);
    edit->setReadOnly(readOnly);
    edit->setFrame(false);
    return edit;
}

// What the screen leaves free, less the window's frame once it has one; empty when unknown.
QSize RoomOnScreen(const QWidget& dialog) {
    const QScreen* screen = dialog.screen();
    if (screen == nullptr) {
        return {};
    }
    const QSize frame = dialog.frameGeometry().size() - dialog.geometry().size();
    return screen->availableSize() - frame;
}

// The units a dialog of that template takes on its screen with its current font.
DialogBaseUnits DialogUnitsFor(const QWidget& dialog, const DialogTemplate& dialogTemplate) {
    return FitBaseUnitsToRoom(BaseUnitsForFont(dialog.font()), dialogTemplate.rect,
                              RoomOnScreen(dialog));
}

// Pictures that size themselves to their image keep that size, centred in their place.
QRect PlaceFor(const QWidget& widget, ControlKind kind, const QRect& place) {
    const bool fixedSize = widget.minimumSize() == widget.maximumSize();
    if (kind != ControlKind::kPicture || !fixedSize || widget.minimumSize().isEmpty()) {
        return place;
    }
    // An odd difference leaves the extra pixel on the right and below.
    const QSize size = widget.minimumSize();
    const QPoint offset((place.width() - size.width()) / 2, (place.height() - size.height()) / 2);
    return {place.topLeft() + offset, size};
}

QLabel* CreateTextLabel(const ControlTemplate& control, QWidget& parent) {
    auto* label = new QLabel(&parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setText(ShownTemplateText(control.text));
    return label;
}

}  // namespace

void EnsureCompiledResources() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(varne);
        return true;
    }();
    (void)registered;
}

QString TemplateText(const char16_t* text) {
    return QString::fromUtf16(text);
}

QString ShownTemplateText(const char16_t* text) {
    return UiText(TemplateText(text));
}

QIcon LoadIconResource(int iconId) {
    EnsureCompiledResources();
    QIcon icon;
    const QDir folder(QStringLiteral(":/icons/%1").arg(iconId));
    for (const QString& name : folder.entryList({QStringLiteral("*.png")}, QDir::Files)) {
        icon.addFile(folder.filePath(name));
    }
    return icon;
}

QWidget* CreateDefaultControl(const ControlTemplate& control, QWidget& parent) {
    switch (control.kind) {
        case ControlKind::kPicture: {
            // As the template names it, without any colour mapping.
            EnsureCompiledResources();
            auto* picture = new QLabel(&parent);
            picture->setPixmap(
                QPixmap(QStringLiteral(":/bitmaps/%1.bmp").arg(TemplateText(control.text))));
            return picture;
        }
        case ControlKind::kIcon: {
            auto* icon = new QLabel(&parent);
            const QIcon resource = LoadIconResource(TemplateText(control.text).toInt());
            if (!resource.isNull()) {
                const PixelRect place =
                    DialogUnitsToPixels(control.rect, BaseUnitsForFont(parent.font()));
                icon->setPixmap(resource.pixmap(QSize(place.Width(), place.Height())));
            }
            return icon;
        }
        case ControlKind::kStaticText:
            return CreateTextLabel(control, parent);
        case ControlKind::kProgressBar: {
            auto* progress = new QProgressBar(&parent);
            progress->setTextVisible(false);
            return progress;
        }
        case ControlKind::kEdit:
            return CreateEdit(control, parent);
        case ControlKind::kPushButton: {
            auto* button = new QPushButton(ShownTemplateText(control.text), &parent);
            button->setDefault((control.style & kButtonTypeMask) == kButtonDefPush);
            return button;
        }
        case ControlKind::kGroupBox: {
            const QString title = ShownTemplateText(control.text);
            if (!title.isEmpty()) {
                return new QGroupBox(title, &parent);
            }
            // An etched line and nothing inside: some styles tint a group box's interior, which
            // would set it apart from the controls on the button face.
            auto* frame = new QFrame(&parent);
            frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
            return frame;
        }
    }
    return new QWidget(&parent);
}

BuiltDialog BuildDialog(QDialog& dialog, const DialogTemplate& dialogTemplate,
                        const ControlFactory& factory) {
    dialog.setWindowTitle(ShownTemplateText(dialogTemplate.title));
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint;
    if ((dialogTemplate.style & kStyleCaption) == kStyleCaption) {
        flags |= Qt::WindowTitleHint;
    }
    if (dialogTemplate.style & kStyleSystemMenu) {
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    }
    dialog.setWindowFlags(flags);
    dialog.setSizeGripEnabled(false);
    // Dialogs of this program sit on the button-face colour, and follow it when it changes.
    dialog.setBackgroundRole(QPalette::Button);
    dialog.setAutoFillBackground(true);

    BuiltDialog built;
    built.source = &dialogTemplate;
    std::vector<QWidget*> groupBoxes;
    for (const ControlTemplate& control : dialogTemplate.controls) {
        QWidget* widget = factory ? factory(control, dialog) : nullptr;
        if (widget == nullptr) {
            widget = CreateDefaultControl(control, dialog);
        }
        if (widget->parentWidget() != &dialog) {
            widget->setParent(&dialog);
        }
        widget->setEnabled((control.style & kStyleDisabled) == 0);
        widget->setFocusPolicy(FocusPolicyFor(control));
        if (TakesNoMouseInput(control)) {
            widget->setAttribute(Qt::WA_TransparentForMouseEvents);
        }
        widget->setHidden((control.style & kStyleVisible) == 0);

        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            if (control.id == kIdOk) {
                QObject::connect(button, &QAbstractButton::clicked, &dialog, &QDialog::accept);
            } else if (control.id == kIdCancel) {
                QObject::connect(button, &QAbstractButton::clicked, &dialog, &QDialog::reject);
            }
        }
        if (control.kind == ControlKind::kGroupBox) {
            groupBoxes.push_back(widget);
        }
        if (control.id != kNoControlId) {
            built.byId[control.id] = widget;
        }
        built.inOrder.push_back(widget);
    }
    // Tab order is template order, whichever order the factory created the widgets in.
    QWidget* previous = nullptr;
    for (QWidget* widget : built.inOrder) {
        if (widget->focusPolicy() == Qt::NoFocus) {
            continue;
        }
        if (previous != nullptr) {
            QWidget::setTabOrder(previous, widget);
        }
        previous = widget;
    }
    // Frames lie beneath the controls they surround.
    for (QWidget* frame : groupBoxes) {
        frame->lower();
    }
    PlaceControls(dialog, built);
    return built;
}

QRect PlaceInPixels(const BuiltDialog& built, const DialogUnitRect& rect) {
    const PixelRect place = DialogUnitsToPixels(rect, built.units);
    return {place.left, place.top, place.Width(), place.Height()};
}

void PlaceControls(QDialog& dialog, BuiltDialog& built) {
    built.units = DialogUnitsFor(dialog, *built.source);
    const QRect client = PlaceInPixels(built, built.source->rect);
    dialog.setFixedSize(client.size());
    for (std::size_t index = 0; index < built.inOrder.size(); ++index) {
        QWidget* widget = built.inOrder[index];
        // A control that another layout took in (a scroll area) is placed by that layout.
        if (widget->parentWidget() != &dialog) {
            continue;
        }
        const ControlTemplate& control = built.source->controls[index];
        widget->setGeometry(PlaceFor(*widget, control.kind, PlaceInPixels(built, control.rect)));
    }
}

QSize ButtonSizeForText(const QPushButton& button) {
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    const QRect contents =
        button.style()->subElementRect(QStyle::SE_PushButtonContents, &option, &button);
    const QSize text =
        button.fontMetrics().size(Qt::TextShowMnemonic | Qt::TextSingleLine, button.text());
    return text + (button.size() - contents.size());
}
