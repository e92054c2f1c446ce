// The floor for bench/run: a bare QDialog with the main window's controls and no logic.
#include <QApplication>
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>

#include "BenchProbe.h"
#include "DialogTemplates.h"

namespace {

// The window's fonts, so that both pay for the same text rendering.
constexpr int kTitlePixelSize = 20;
constexpr int kInstructionPixelSize = 10;

class FloorDialog : public QDialog {
public:
    FloorDialog() {
        const DialogTemplate& layout = MainDialogTemplate();
        setWindowTitle(QString::fromUtf16(layout.title));
        const PixelRect client = DialogUnitsToPixels(layout.rect);
        setFixedSize(client.Width(), client.Height());
        for (const ControlTemplate& control : layout.controls) {
            QWidget* widget = CreateControl(control);
            const PixelRect place = DialogUnitsToPixels(control.rect);
            widget->setGeometry(place.left, place.top, place.Width(), place.Height());
            widget->setHidden((control.style & kStyleVisible) == 0);
            if (control.id == kIdInstructionLabel) {
                // The window's instruction text scrolls where it cannot be shown whole.
                auto* area = new QScrollArea(this);
                area->setFrameShape(QFrame::NoFrame);
                area->setWidgetResizable(true);
                area->setGeometry(widget->geometry());
                area->setWidget(widget);
            }
            if (control.kind == ControlKind::kGroupBox) {
                widget->lower();
            }
        }
    }

    QWidget* Picture() const { return m_picture; }

private:
    QWidget* CreateControl(const ControlTemplate& control) {
        const QString text = QString::fromUtf16(control.text);
        switch (control.kind) {
            case ControlKind::kPicture: {
                auto* picture = new QLabel(this);
                picture->setPixmap(QPixmap(QStringLiteral(":/bitmaps/131.bmp")));
                m_picture = picture;
                return picture;
            }
            case ControlKind::kProgressBar:
                return new QProgressBar(this);
            case ControlKind::kEdit:
                return new QLineEdit(this);
            case ControlKind::kPushButton:
                return new QPushButton(text, this);
            case ControlKind::kStaticText: {
                auto* label = new QLabel(text, this);
                label->setWordWrap(true);
                QFont font = label->font();
                const bool title = control.id == kIdTitleLabel;
                font.setPixelSize(title ? kTitlePixelSize : kInstructionPixelSize);
                font.setBold(title);
                label->setFont(font);
                return label;
            }
            case ControlKind::kGroupBox: {
                auto* frame = new QFrame(this);
                frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
                return frame;
            }
            default:
                return new QWidget(this);
        }
    }

    QWidget* m_picture = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
    BenchProbe::Stamp("main");
    QApplication application(argc, argv);
    BenchProbe::Stamp("qt");
    BenchProbe::Instance().WatchApplication();
    Q_INIT_RESOURCE(floor);
    FloorDialog dialog;
    BenchProbe::Instance().Attach(dialog, dialog.Picture());
    BenchProbe::Stamp("dialog");
    dialog.show();
    return application.exec();
}
