// varne-bench: the program exactly as varne runs it, with the probe that VARNE_BENCH selects.
#include <QApplication>
#include <QPointer>
#include <memory>

#include "BenchProbe.h"
#include "CVarneDlg.h"
#include "FingerMapFocus.h"
#include "MeasuredBackend.h"
#include "StartupTrace.h"
#include "VarneMain.h"
#include "WinBio.h"

namespace {

void MeasureInstalledBackend(BenchProbe& probe) {
    std::shared_ptr<BiometricBackend> installed = InstalledBiometricBackend();
    if (installed && !std::dynamic_pointer_cast<MeasuredBackend>(installed)) {
        InstallBiometricBackend(std::make_shared<MeasuredBackend>(std::move(installed), probe));
    }
}

void AttachToWindow(BenchProbe& probe) {
    if (probe.Attached()) {
        return;
    }
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* found = qobject_cast<CVarneDlg*>(widget);
        if (found == nullptr) {
            continue;
        }
        // Clicks go where a click or a key on a fingertip goes, and the window may be gone
        // before a queued one arrives.
        const QPointer<CVarneDlg> window(found);
        probe.Attach(
            *found, &found->Fingertips().Picture(),
            [window](int finger) {
                if (window) {
                    window->Fingertips().Act(finger);
                }
            },
            [window] { return window && window->Fingertips().CanAct(); });
        QObject::connect(found, &CVarneDlg::StatusShown, &probe, &BenchProbe::StatusShown);
        return;
    }
}

// Stamps each phase, then takes hold of what has come into being since the last one: the
// application, the back end, the window.
void OnStartupPhase(const char* phase) {
    BenchProbe::Stamp(phase);
    BenchProbe& probe = BenchProbe::Instance();
    probe.WatchApplication();
    MeasureInstalledBackend(probe);
    AttachToWindow(probe);
}

}  // namespace

int main(int argc, char** argv) {
    if (BenchProbe::Active()) {
        SetStartupTraceHook(&OnStartupPhase);
        SetStartupWorkHook(&BenchProbe::Stamp);
    }
    return RunVarne(argc, argv);
}
